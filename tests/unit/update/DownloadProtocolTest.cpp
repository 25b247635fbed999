// Address splitting, the request text, header detection and the 206 check, and the updater's
// command line.

#include "updater/DownloadProtocol.h"
#include "updater/DownloadStatus.h"
#include "updater/UpdateArgs.h"

#include <cstring>
#include <gtest/gtest.h>

namespace vx {
namespace {

TEST(DownloadUrlTest, HostPortPathAndCacheBuster)
{
    DownloadUrl u;
    ASSERT_EQ(SplitDownloadUrl("http://h/d/setup.exe", 1234, &u), DS_NONE);
    EXPECT_EQ(u.hostName, "h");
    EXPECT_EQ(u.port, 80);
    EXPECT_EQ(u.path, "/d/setup.exe?random=1234");
    EXPECT_EQ(
        BuildRangeRequest(u, 0),
        "GET /d/setup.exe?random=1234 HTTP/1.1\r\nHost: h:80\r\nAccept: *.*\r\nUser-Agent: "
        "TolvaneUpdater\r\nPragma: no-cache\r\nCache-Control: no-cache\r\nConnection: Keep-Alive\r\nRange: "
        "bytes=0-\r\n\r\n");

    ASSERT_EQ(SplitDownloadUrl("http://h:8080/d/setup.exe", 1, &u), DS_NONE);
    EXPECT_EQ(u.port, 8080);
    EXPECT_NE(BuildRangeRequest(u, 4096).find("\r\nHost: h:8080\r\n"), std::string::npos);
    EXPECT_NE(BuildRangeRequest(u, 4096).find("\r\nRange: bytes=4096-\r\n"), std::string::npos);

    ASSERT_EQ(SplitDownloadUrl("http://h/a.exe?random=7", 1, &u), DS_NONE);
    EXPECT_EQ(u.path, "/a.exe?random=7");
    ASSERT_EQ(SplitDownloadUrl("http://h/a.exe?x=1", 5, &u), DS_NONE);
    EXPECT_EQ(u.path, "/a.exe?x=1?random=5");
    ASSERT_EQ(SplitDownloadUrl("h/a", 5, &u), DS_NONE); // no scheme: the host starts at once
    EXPECT_EQ(u.hostName, "h");
    ASSERT_EQ(SplitDownloadUrl("http://h:port/a", 5, &u), DS_NONE);
    EXPECT_EQ(u.port, 0); // reaches nothing: the connection fails
    EXPECT_EQ(SplitDownloadUrl("http://h", 5, &u), DS_PARSE_URL);
    EXPECT_EQ(SplitDownloadUrl("http://h:8080", 5, &u), DS_PARSE_URL);
}

TEST(DownloadUrlTest, TempFileNameComesFromTheAddress)
{
    EXPECT_EQ(DownloadTempPath("http://h/d/setup.exe", "/t/"), "/t/setup.exe");
    EXPECT_EQ(DownloadTempPath("http://h/d/setup.exe?v=2", "/t/"), "/t/setup.exe?v=2");
    EXPECT_EQ(DownloadTempPath("setup", "/t/"), "/t/VXTemp");
}

TEST(ResponseHeadTest, DetectionNeedsTheBlankLine)
{
    const char* full = "HTTP/1.1 206 Partial\r\nA: 1\r\n\r\nBODY";
    EXPECT_EQ(FindHeaderEnd(full, strlen(full)), strlen(full) - 4);
    EXPECT_EQ(FindHeaderEnd(full, 25), 0u);
    EXPECT_EQ(FindHeaderEnd("\r\n\r\n\r\n\r\n", 8), 0u); // the blank line must end at index 8 or later
    EXPECT_EQ(FindHeaderEnd("X\r\n\r\n", 5), 0u);
}

TEST(ResponseHeadTest, FieldsAsSentFirstOneWins)
{
    const std::string h = "HTTP/1.1 206 Partial Content\r\nContent-Length: 10\r\ncontent-length: 99\r\n"
                          "Content-Length: 11\r\nX-Odd:no-space\r\n\r\n";
    ResponseHead head;
    ParseResponseHead(h.data(), h.size(), &head);
    EXPECT_EQ(head.httpStatus, 206);
    EXPECT_EQ(head.fields["Content-Length"], " 10");
    EXPECT_EQ(head.fields["content-length"], " 99");
    EXPECT_EQ(head.fields["X-Odd"], "no-space");
    EXPECT_EQ(head.text, h);
}

ResponseHead Head(int status, const std::string& length, const std::string& range)
{
    ResponseHead h;
    h.httpStatus = status;
    if (!length.empty())
        h.fields["Content-Length"] = length;
    if (!range.empty())
        h.fields["Content-Range"] = range;
    return h;
}

TEST(ResponseHeadTest, RangeCheck)
{
    uint32_t len = 0, total = 0;
    EXPECT_EQ(CheckRangeResponse(Head(206, " 100", " bytes 0-99/100"), 0, 0, &len, &total), DS_NONE);
    EXPECT_EQ(len, 100u);
    EXPECT_EQ(total, 100u);
    EXPECT_EQ(CheckRangeResponse(Head(206, " 40", " bytes 60-99/100"), 60, 100, &len, &total), DS_NONE);
    EXPECT_EQ(CheckRangeResponse(Head(200, " 100", ""), 0, 0, &len, &total), DS_HTTP_STATUS);
    EXPECT_EQ(CheckRangeResponse(Head(206, "", " bytes 0-99/100"), 0, 0, &len, &total), DS_NO_LENGTH);
    EXPECT_EQ(CheckRangeResponse(Head(206, " 0", " bytes 0-0/0"), 0, 0, &len, &total), DS_ZERO_LENGTH);
    // Sound replacements for answers that used to lead to running a broken file:
    EXPECT_EQ(CheckRangeResponse(Head(206, " 100", ""), 0, 0, &len, &total), DS_BAD_RANGE);
    EXPECT_EQ(CheckRangeResponse(Head(206, " 100", " bytes 0-99"), 0, 0, &len, &total), DS_BAD_RANGE);
    EXPECT_EQ(CheckRangeResponse(Head(206, " 100", " bytes 0-99/100"), 60, 100, &len, &total), DS_BAD_RANGE);
    EXPECT_EQ(CheckRangeResponse(Head(206, " 40", " bytes 60-99/120"), 60, 100, &len, &total), DS_BAD_RANGE);
    EXPECT_EQ(CheckRangeResponse(Head(206, " 500", " bytes 60-99/100"), 60, 0, &len, &total), DS_BAD_RANGE);
    EXPECT_EQ(CheckRangeResponse(Head(206, " 99999999999", " bytes 0-9/10"), 0, 0, &len, &total),
              DS_BAD_RANGE);
}

TEST(DownloadStatusTest, EveryCodeHasItsText)
{
    EXPECT_STREQ(DownloadStatusText(DS_CONNECT), "建立网络连接失败");
    EXPECT_STREQ(DownloadStatusText(DS_HTTP_STATUS), "服务器返回状态非OK");
    EXPECT_STREQ(DownloadStatusText(DS_INSTALL), "安装更新失败");
    EXPECT_STREQ(DownloadStatusText(-98), "无效错误码");
    EXPECT_STREQ(DownloadStatusText(-94), "无效错误码");
    for (int code = -97; code <= -81; ++code) {
        if (code != -94) {
            EXPECT_STRNE(DownloadStatusText(code), "无效错误码") << code;
        }
    }
}

TEST(UpdateArgsTest, SeparateArgumentsSurviveAnyContent)
{
    UpdateArgs a = SplitUpdateArgs({"http://h/s;x", "Vexora", "/opt/v;1/VexoraV2", "-a", "b;c", ""});
    EXPECT_EQ(a.url, "http://h/s;x");
    EXPECT_EQ(a.productName, "Vexora");
    EXPECT_EQ(a.mainProgramPath, "/opt/v;1/VexoraV2");
    EXPECT_EQ(a.mainProgramArgs, (std::vector<std::string>{"-a", "b;c", ""}));

    a = SplitUpdateArgs({"http://h/s", "Vexora"});
    EXPECT_EQ(a.mainProgramPath, "");
    EXPECT_TRUE(a.mainProgramArgs.empty());
}

TEST(UpdateArgsTest, OneTextOfFourFields)
{
    UpdateArgs a = SplitUpdateArgs({});
    EXPECT_TRUE(a.url.empty() && a.productName.empty() && a.mainProgramPath.empty());
    a = SplitUpdateArgs({""});
    EXPECT_TRUE(a.url.empty());
    a = SplitUpdateArgs({" http://h/s "});
    EXPECT_EQ(a.url, " http://h/s "); // no ";": the whole text, untrimmed
    EXPECT_EQ(a.productName, "");
    a = SplitUpdateArgs({" http://h/s ; Vexora ; /p/VexoraV2 ; -a b;c "});
    EXPECT_EQ(a.url, "http://h/s");
    EXPECT_EQ(a.productName, "Vexora");
    EXPECT_EQ(a.mainProgramPath, "/p/VexoraV2");
    EXPECT_EQ(a.mainProgramArgs, (std::vector<std::string>{"-a", "b;c"}));
    a = SplitUpdateArgs({"http://h/s;Vexora"});
    EXPECT_EQ(a.productName, "Vexora");
    EXPECT_EQ(a.mainProgramPath, "");
}

TEST(UpdateArgsTest, OnlyWebAddressesAreUsed)
{
    EXPECT_TRUE(IsWebAddress("http://h/setup"));
    EXPECT_TRUE(IsWebAddress("HTTPS://h:443/setup?x=1"));
    EXPECT_FALSE(IsWebAddress("file:///etc/passwd"));
    EXPECT_FALSE(IsWebAddress("javascript:alert(1)"));
    EXPECT_FALSE(IsWebAddress("http://"));
    EXPECT_FALSE(IsWebAddress("http:///x"));
    EXPECT_FALSE(IsWebAddress("http://h/a b"));
    EXPECT_FALSE(IsWebAddress("http://h/a\nb"));
    EXPECT_FALSE(IsWebAddress("-http://h/"));
}

} // namespace
} // namespace vx
