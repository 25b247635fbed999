// Test programs start like ours: UTF-8 locale, no SIGPIPE.
#include "platform/Socket.h"
#include "platform/Utf8.h"

#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    vx::InitUtf8Locale();
    vx::IgnoreSigpipe();
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
