// Test programs start like ours: UTF-8 locale, no SIGPIPE. Every program a test starts inherits
// a private folder for the user's own settings (XDG_CONFIG_HOME; APPDATA on Windows), so no
// test reads or writes the real user's settings. A test program started as its own child
// (common/ChildMode.h) runs that child's mode instead of the tests.
#include "common/ChildMode.h"
#include "common/TestUtil.h"
#include "platform/CommandLine.h"
#include "platform/Env.h"
#include "platform/Socket.h"
#include "platform/Utf8.h"

#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    vx::UseUtf8Arguments(&argc, &argv);
    vx::InitUtf8Locale();
    vx::IgnoreSigpipe();
    if (int code = 0; vx::test::RunChildMode(argc, argv, &code))
        return code;
    vx::test::CTempDir userConfig;
    vx::SetEnvVar("XDG_CONFIG_HOME", userConfig.Path());
#ifdef _WIN32
    vx::SetEnvVar("APPDATA", userConfig.Path());
#endif
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
