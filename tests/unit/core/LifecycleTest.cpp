#include "common/TestUtil.h"
#include "platform/CrashHandler.h"
#include "platform/Paths.h"
#include "platform/SingleInstance.h"

#include <dirent.h>
#include <gtest/gtest.h>
#include <regex>
#include <sys/wait.h>
#include <unistd.h>

using namespace vx;

TEST(SingleInstance, SecondHolderIsRefusedUntilTheFirstGoes)
{
    vx::test::CTempDir dir;
    auto first = std::make_unique<CSingleInstance>(dir.File("app.lock"));
    EXPECT_FALSE(first->IsAnotherInstanceRunning());
    CSingleInstance second(dir.File("app.lock"));
    EXPECT_TRUE(second.IsAnotherInstanceRunning());
    first.reset();
    EXPECT_FALSE(second.IsAnotherInstanceRunning());
}

TEST(CrashHandler, AFatalSignalLeavesADumpWithABacktrace)
{
    vx::test::CTempDir dir;
    std::string dumps = dir.File("Dump/");
    pid_t pid = fork();
    if (pid == 0) {
        InstallCrashHandler(dumps);
        raise(SIGSEGV);
        _exit(0);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFSIGNALED(status));
    DIR* d = opendir(dumps.c_str());
    ASSERT_NE(d, nullptr);
    std::vector<std::string> names;
    while (dirent* e = readdir(d))
        if (e->d_name[0] != '.')
            names.push_back(e->d_name);
    closedir(d);
    ASSERT_EQ(names.size(), 1u);
    EXPECT_TRUE(std::regex_match(names[0], std::regex(R"(\d\d-\d\d \d\d-\d\d-\d\d\.dmp)"))) << names[0];
    std::string text = vx::test::ReadFile(dumps + names[0]);
    EXPECT_NE(text.find("signal 11"), std::string::npos) << text;
    EXPECT_NE(text.find("backtrace:"), std::string::npos);
}
