// A child's arguments on Windows travel as one command line that the child splits again: every
// argument must come back exactly as it was given, whatever it holds.

#include "platform/CommandLine.h"
#include "common/TestUtil.h"
#include "platform/Process.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace vx;

namespace {

const std::vector<std::string>& HostileArguments()
{
    static const std::vector<std::string> args = {
        "plain",
        "two words",
        "",
        "tab\there",
        "say \"hi\"",
        "\"",
        "ends in a backslash\\",
        "ends in two\\\\",
        "C:\\Program Files\\Vexora\\",
        "back\\\\\"slash before a quote",
        "%PATH%",
        "100% ^caret & amp | pipe ; semi",
        "-leading dash",
        "--output=x",
        "课件 第一章.flv",
        "mixed \"课件\" \\ %s",
        "a\nline break",
    };
    return args;
}

std::string Hex(const std::string& s)
{
    std::string out;
    for (unsigned char c : s) {
        out += "0123456789abcdef"[c >> 4];
        out += "0123456789abcdef"[c & 15];
    }
    return out;
}

} // namespace

TEST(CommandLine, QuotingFollowsTheRunTimeRules)
{
    EXPECT_EQ(QuoteArgument("plain"), "plain");
    EXPECT_EQ(QuoteArgument(""), "\"\"");
    EXPECT_EQ(QuoteArgument("two words"), "\"two words\"");
    EXPECT_EQ(QuoteArgument("a\"b"), "\"a\\\"b\"");
    // Backslashes matter only before a quote: as they stand elsewhere, doubled before one.
    EXPECT_EQ(QuoteArgument("C:\\dir\\"), "C:\\dir\\");
    EXPECT_EQ(QuoteArgument("C:\\my dir\\"), "\"C:\\my dir\\\\\"");
    EXPECT_EQ(QuoteArgument("a\\\"b"), "\"a\\\\\\\"b\"");
    // Characters a shell would act on are plain text here: no shell reads the line.
    EXPECT_EQ(QuoteArgument("%PATH%^&|;"), "%PATH%^&|;");

    const std::string line = BuildCommandLine("C:/Vexora/codecs/ffmpeg.exe", HostileArguments());
    std::vector<std::string> back = SplitCommandLine(line);
    ASSERT_EQ(back.size(), HostileArguments().size() + 1) << line;
    EXPECT_EQ(back[0], "C:/Vexora/codecs/ffmpeg.exe");
    for (size_t i = 0; i < HostileArguments().size(); ++i)
        EXPECT_EQ(back[i + 1], HostileArguments()[i]) << "argument " << i << " of " << line;
}

TEST(CommandLine, AChildReceivesEveryArgumentExactly)
{
    const std::string echo = test::BinDir() + "../tests/vx_argv_echo";
    CProcess child;
    ProcessOptions opt;
    opt.captureStdout = true;
    std::string err;
    ASSERT_TRUE(child.Start(echo, HostileArguments(), opt, &err)) << err;
    std::string out;
    while (child.ReadStdout(&out))
        child.WaitOutput(100);
    int code = -1;
    ASSERT_TRUE(child.Wait(10000, &code));
    EXPECT_EQ(code, 0);
    out.erase(std::remove(out.begin(), out.end(), '\r'), out.end()); // text-mode line ends on Windows
    std::string expected;
    for (const std::string& a : HostileArguments())
        expected += Hex(a) + "\n";
    EXPECT_EQ(out, expected);
}
