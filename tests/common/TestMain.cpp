// Test programs start like ours: UTF-8 locale, no SIGPIPE. Every program a test starts inherits
// a private XDG_CONFIG_HOME, so no test reads or writes the real user's settings.
#include "common/TestUtil.h"
#include "platform/Socket.h"
#include "platform/Utf8.h"

#include <cstdlib>
#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    vx::InitUtf8Locale();
    vx::IgnoreSigpipe();
    vx::test::CTempDir userConfig;
    setenv("XDG_CONFIG_HOME", userConfig.Path().c_str(), 1);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
