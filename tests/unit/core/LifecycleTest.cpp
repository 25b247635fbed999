#include "common/ChildMode.h"
#include "common/TestUtil.h"
#include "platform/CrashHandler.h"
#include "platform/FsPath.h"
#include "platform/Paths.h"
#include "platform/SingleInstance.h"

#include <csignal>
#include <filesystem>
#include <gtest/gtest.h>
#include <regex>

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

// A child that crashes with the handler installed (the dump folder is its argument).
VX_CHILD_MODE(Crash)
{
    InstallCrashHandler(args.at(0));
#ifdef _WIN32
    // An access violation, as a real fault raises it (raise() alone never reaches the filter).
    *static_cast<volatile int*>(nullptr) = 1;
#else
    raise(SIGSEGV);
#endif
    return 0;
}

TEST(CrashHandler, AFatalSignalLeavesADumpWithABacktrace)
{
    vx::test::CTempDir dir;
    std::string dumps = dir.File("Dump/");
    vx::test::RunResult r = vx::test::RunChild("Crash", {dumps});
    EXPECT_NE(r.exitCode, 0) << "the crash went unnoticed";
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator(FsPath(dumps), ec))
        names.push_back(e.path().filename().string());
    ASSERT_EQ(names.size(), 1u) << r.err;
    EXPECT_TRUE(std::regex_match(names[0], std::regex(R"(\d\d-\d\d \d\d-\d\d-\d\d\.dmp)"))) << names[0];
    std::string text = vx::test::ReadFile(dumps + names[0]);
#ifdef _WIN32
    EXPECT_EQ(text.substr(0, 4), "MDMP") << "a minidump";
#else
    EXPECT_NE(text.find("signal 11"), std::string::npos) << text;
    EXPECT_NE(text.find("backtrace:"), std::string::npos);
#endif
}
