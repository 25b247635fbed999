// The HTTP client against small servers on 127.0.0.1: request head, the three body framings,
// answers without a body, cookies, and servers that stall or send garbage.

#include "net/HttpClient.h"
#include "net/HttpRequest.h"
#include "unit/net/TinyServer.h"

#include <gtest/gtest.h>

#include <cerrno>

#include <chrono>
#include <thread>

using namespace vx;
using vx::test::CTinyServer;

namespace {

HttpTimeouts Short()
{
    HttpTimeouts t;
    t.connectMs = 1000;
    t.sendWaitMs = 1000;
    t.recvWaitMs = 200;
    t.recvWaitTries = 3;
    return t;
}

std::string Answer(const std::string& head, const std::string& body)
{
    return "HTTP/1.1 200 OK\r\n" + head + "\r\n" + body;
}

} // namespace

TEST(HttpClient, GetSendsTheHeadInOrderWithTheCookie)
{
    CTinyServer server(Answer("Content-Length: 2\r\n", "{}"));
    CHttpClient c;
    ASSERT_TRUE(c.Get(server.Url("/a/b?x=1&y=2"), "A=1;B=2;"));
    auto reqs = server.Requests();
    ASSERT_EQ(reqs.size(), 1u);
    std::string port = std::to_string(server.Port());
    EXPECT_EQ(reqs[0], "GET /a/b?x=1&y=2 HTTP/1.1\r\n"
                       "Host: 127.0.0.1:" +
                           port +
                           "\r\n"
                           "Accept: */*\r\n"
                           "Referer: http://127.0.0.1:" +
                           port +
                           "/index.do\r\n"
                           "User-Agent: tolvaneapp VX-Vexora\r\n"
                           "VX-Agent: tolvaneapp VX-Vexora\r\n"
                           "Pragma: no-cache\r\n"
                           "Cache-Control: no-cache\r\n"
                           "Connection: Keep-Alive\r\n"
                           "Cookie: A=1;B=2;\r\n"
                           "\r\n");
    EXPECT_EQ(c.GetBody(), "{}");
    EXPECT_EQ(c.GetStatusCode(), 200);
}

TEST(HttpClient, PostSendsLengthTypeAndBodyAndNoCookieWhenEmpty)
{
    CTinyServer server(Answer("Content-Length: 2\r\n", "ok"));
    CHttpClient c;
    ASSERT_TRUE(c.PostText(server.Url("/p"), "", "paramJson={\"a\":1}"));
    std::string req = server.Requests().at(0);
    EXPECT_EQ(req.rfind("POST /p HTTP/1.1\r\n", 0), 0u);
    size_t agent = req.find("VX-Agent: tolvaneapp VX-Vexora\r\n");
    size_t len = req.find("Content-Length: 17\r\nContent-Type: application/x-www-form-urlencoded\r\nPragma");
    ASSERT_NE(len, std::string::npos);
    EXPECT_LT(agent, len);
    EXPECT_EQ(req.find("Cookie:"), std::string::npos);
    EXPECT_EQ(req.substr(req.size() - 17), "paramJson={\"a\":1}");
    EXPECT_FALSE(c.PostText("", "", "x")); // no URL: nothing sent
}

TEST(HttpClient, FixedLengthBodies)
{
    {
        // The body arrives in pieces, with pauses shorter than one wait.
        CTinyServer server([](int fd, const std::string&) {
            CTinyServer::Send(fd, "HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\n01234");
            CTinyServer::Pause(100);
            CTinyServer::Send(fd, "56789");
            CTinyServer::Pause(500);
        });
        CHttpClient c;
        c.SetTimeouts(Short());
        ASSERT_TRUE(c.Get(server.Url(), ""));
        EXPECT_EQ(c.GetBody(), "0123456789");
    }
    {
        CTinyServer server(Answer("Content-Length: 0\r\n", ""));
        CHttpClient c;
        EXPECT_TRUE(c.Get(server.Url(), ""));
        EXPECT_EQ(c.GetBody(), "");
        EXPECT_NE(c.GetRequestLog().find("Receive Content, but The Content Length Is Zero!!!"),
                  std::string::npos);
    }
    {
        // Cut short: the request fails rather than returning half a body as whole.
        CTinyServer server(Answer("Content-Length: 100\r\n", "only this"));
        CHttpClient c;
        c.SetTimeouts(Short());
        EXPECT_FALSE(c.Get(server.Url(), ""));
        EXPECT_EQ(c.GetErrorText().rfind("Receive HTTP Content Failed!!! The Error = ", 0), 0u);
    }
}

TEST(HttpClient, ChunkedBodies)
{
    {
        // The last chunk only after a two-second pause, with the product's own waits.
        CTinyServer server([](int fd, const std::string&) {
            CTinyServer::Send(fd, "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nhello\r\n");
            CTinyServer::Pause(2000);
            CTinyServer::Send(fd, "7;ext=1\r\n, world\r\n0\r\n\r\n");
        });
        CHttpClient c;
        ASSERT_TRUE(c.Get(server.Url(), ""));
        EXPECT_EQ(c.GetBody(), "hello, world");
    }
    {
        // Chunks split across reads, the size line in the middle of a write.
        CTinyServer server([](int fd, const std::string&) {
            std::string all = "HTTP/1.1 200 OK\r\nTransfer-Encoding: "
                              "chunked\r\n\r\n1a\r\nabcdefghijklmnopqrstuvwxyz\r\n0\r\n\r\n";
            for (size_t i = 0; i < all.size(); i += 7) {
                CTinyServer::Send(fd, all.substr(i, 7));
                CTinyServer::Pause(5);
            }
        });
        CHttpClient c;
        c.SetTimeouts(Short());
        ASSERT_TRUE(c.Get(server.Url(), ""));
        EXPECT_EQ(c.GetBody(), "abcdefghijklmnopqrstuvwxyz");
    }
    {
        // Cut off after some data, before the zero chunk: the data collected is the body.
        CTinyServer server(Answer("Transfer-Encoding: chunked\r\n", "4\r\npart\r\n"));
        CHttpClient c;
        c.SetTimeouts(Short());
        EXPECT_TRUE(c.Get(server.Url(), ""));
        EXPECT_EQ(c.GetBody(), "part");
    }
    {
        // Cut off inside a chunk's data: failure.
        CTinyServer server(Answer("Transfer-Encoding: chunked\r\n", "10\r\nshort"));
        CHttpClient c;
        c.SetTimeouts(Short());
        EXPECT_FALSE(c.Get(server.Url(), ""));
        EXPECT_EQ(c.GetErrorText().rfind("Receive HTTP Chunked Failed!!!The Error = ", 0), 0u);
    }
    {
        // Nothing at all after the head: failure.
        CTinyServer server(Answer("Transfer-Encoding: chunked\r\n", ""));
        CHttpClient c;
        c.SetTimeouts(Short());
        EXPECT_FALSE(c.Get(server.Url(), ""));
    }
    {
        // A chunk whose data is not followed by CR LF.
        CTinyServer server(Answer("Transfer-Encoding: chunked\r\n", "3\r\nabcXY0\r\n\r\n"));
        CHttpClient c;
        c.SetTimeouts(Short());
        EXPECT_FALSE(c.Get(server.Url(), ""));
    }
    {
        // "identity" is not chunked: the length rules.
        CTinyServer server(Answer("Transfer-Encoding: identity\r\nContent-Length: 3\r\n", "abc"));
        CHttpClient c;
        ASSERT_TRUE(c.Get(server.Url(), ""));
        EXPECT_EQ(c.GetBody(), "abc");
    }
}

TEST(HttpClient, ChunkSizeLinesThatMustFailBounded)
{
    for (const char* bad : {"123456789012345\r\nx\r\n0\r\n\r\n", // size text over 11 characters
                            "1000000000\r\n"}) {                 // 64 GiB announced
        CTinyServer server([bad](int fd, const std::string&) {
            CTinyServer::Send(fd, Answer("Transfer-Encoding: chunked\r\n", bad));
            CTinyServer::Pause(300);
        });
        CHttpClient c;
        c.SetTimeouts(Short());
        EXPECT_FALSE(c.Get(server.Url(), "")) << bad;
        EXPECT_FALSE(c.GetErrorText().empty());
    }
    // A size line that never ends while the server keeps sending: fails at once, not at the cap.
    CTinyServer server([](int fd, const std::string&) {
        CTinyServer::Send(fd, Answer("Transfer-Encoding: chunked\r\n", std::string(100000, 'a')));
    });
    CHttpClient c;
    c.SetTimeouts(Short());
    EXPECT_FALSE(c.Get(server.Url(), ""));
}

TEST(HttpClient, UntilCloseBody)
{
    CTinyServer server([](int fd, const std::string&) {
        CTinyServer::Send(fd, "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\n\r\nfirst ");
        CTinyServer::Pause(50);
        CTinyServer::Send(fd, "second");
    });
    CHttpClient c;
    c.SetTimeouts(Short());
    ASSERT_TRUE(c.Get(server.Url(), ""));
    EXPECT_EQ(c.GetBody(), "first second");
    EXPECT_NE(c.GetRequestLog().find("Warning : HTTP Close Method, url = "), std::string::npos);

    CTinyServer empty(Answer("Content-Type: text/plain\r\n", ""));
    EXPECT_FALSE(c.Get(empty.Url(), ""));
}

TEST(HttpClient, AnswersWithoutBody)
{
    for (int code : {304, 204, 100}) {
        CTinyServer server("HTTP/1.1 " + std::to_string(code) + " X\r\nContent-Length: 5\r\n\r\nhello");
        CHttpClient c;
        EXPECT_FALSE(c.Get(server.Url("/x"), ""));
        EXPECT_EQ(c.GetStatusCode(), code);
        EXPECT_NE(c.GetRequestLog().find("[request for url = " + server.Url("/x") +
                                         ", http code = " + std::to_string(code) + ", no body]"),
                  std::string::npos);
        EXPECT_EQ(c.GetBody(), "");
    }
    CTinyServer server("HTTP/1.1 304 Not Modified\r\n\r\n");
    CHttpClient c;
    EXPECT_FALSE(c.PostText(server.Url("/y"), "", "a=1"));
    EXPECT_NE(c.GetRequestLog().find("http ---post  code = 304, no body]"), std::string::npos);

    CTinyServer multi(Answer("Content-Type: multipart/byteranges; boundary=x\r\n", "--x"));
    EXPECT_FALSE(c.Get(multi.Url(), ""));
    EXPECT_NE(c.GetRequestLog().find("http body is {Content-Type: multipart/byteranges}"), std::string::npos);
}

TEST(HttpClient, LongHeadIsReadWhole)
{
    std::string filler;
    for (int i = 0; i < 200; ++i)
        filler += "X-Filler-" + std::to_string(i) + ": 0123456789012345678901234567890123456789\r\n";
    ASSERT_GT(filler.size(), 8192u);
    CTinyServer server(Answer(filler + "Content-Length: 4\r\n", "body"));
    CHttpClient c;
    ASSERT_TRUE(c.Get(server.Url(), ""));
    EXPECT_EQ(c.GetBody(), "body");
    EXPECT_GT(c.GetResponseHead().size(), filler.size());
    // Leading noise before the status line is skipped.
    CTinyServer noisy("\r\nnoise" + Answer("Content-Length: 2\r\n", "ok"));
    ASSERT_TRUE(c.Get(noisy.Url(), ""));
    EXPECT_EQ(c.GetStatusCode(), 200);
}

TEST(HttpClient, Cookies)
{
    CTinyServer server(Answer("Set-Cookie: SA=abc; Path=/\r\nSet-Cookie: JSESSIONID=x; Path=/; HttpOnly\r\n"
                              "Content-Length: 2\r\n",
                              "{}"));
    CHttpClient c;
    ASSERT_TRUE(c.Get(server.Url(), ""));
    EXPECT_EQ(c.GetCookies(), "JSESSIONID=x;SA=abc;");
    EXPECT_EQ(c.GetCookies("SA"), "abc");
    EXPECT_EQ(c.GetCookies("none"), "");

    // A cookie without attributes ends at its line; the next header is not swallowed and a
    // later cookie is still collected.
    CTinyServer bare(Answer("Set-Cookie: A=1\r\nContent-Length: 2\r\nSet-Cookie: B=2; Path=/\r\n", "{}"));
    ASSERT_TRUE(c.Get(bare.Url(), ""));
    EXPECT_EQ(c.GetCookies(), "A=1;B=2;");
    EXPECT_EQ(c.GetBody(), "{}");

    // The next request starts with no cookies.
    CTinyServer none(Answer("Content-Length: 2\r\n", "{}"));
    ASSERT_TRUE(c.Get(none.Url(), ""));
    EXPECT_EQ(c.GetCookies(), "");
}

TEST(HttpClient, ServerThatNeverAnswersFailsWithinTheWaits)
{
    CTinyServer server([](int, const std::string&) { CTinyServer::Pause(1500); });
    CHttpClient c;
    c.SetTimeouts(Short());
    auto t0 = std::chrono::steady_clock::now();
    EXPECT_FALSE(c.Get(server.Url(), ""));
    auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - t0).count();
    EXPECT_LT(ms, 1400);
    EXPECT_EQ(c.GetErrorText().rfind("Recv head, act recv failed, recvlen=0, The Error = ", 0), 0u);
    EXPECT_NE(c.GetFailureCause().find("no answer from 127.0.0.1:"), std::string::npos);
}

// A server that keeps every single wait short of its limit by sending one byte at a time: the
// overall limit ends the request, whichever part of the answer is trickled, and says so.
TEST(HttpClient, TrickledAnswersEndAtTheOverallLimit)
{
    HttpTimeouts t;
    t.connectMs = 500;
    t.sendWaitMs = 500;
    t.recvWaitMs = 400; // a byte every 250 ms never lets one wait run out
    t.recvWaitTries = 2;
    ASSERT_EQ(t.OverallMs(), 2600);
    struct Shape
    {
        const char* what;
        std::string start;
    };
    const std::vector<Shape> shapes = {
        {"head", "HTTP/1.1 200 OK\r\nX-Slow: "},
        {"chunked body", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nhello\r\n400\r\n"},
        {"large Content-Length", "HTTP/1.1 200 OK\r\nContent-Length: 1000000\r\n\r\n"},
        {"body without length", "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\n\r\n"},
    };
    std::vector<std::thread> clients;
    for (const Shape& shape : shapes) {
        clients.emplace_back([&t, &shape] {
            CTinyServer server([&shape](int fd, const std::string&) {
                if (!vx::test::SendAllBytes(fd, shape.start))
                    return;
                // Until the client gives up (or 15 s, far beyond any limit of this test).
                for (int i = 0; i < 60 && vx::test::SendAllBytes(fd, "x"); ++i)
                    CTinyServer::Pause(250);
            });
            CHttpClient c;
            c.SetTimeouts(t);
            auto t0 = std::chrono::steady_clock::now();
            EXPECT_FALSE(c.Get(server.Url(), "")) << shape.what;
            auto ms =
                std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - t0)
                    .count();
            EXPECT_GE(ms, 2400) << shape.what; // not one of the single waits
            EXPECT_LT(ms, 4500) << shape.what;
            EXPECT_EQ(c.GetErrorText(),
                      "Request timed out, the overall limit of 2600 ms ran out, The Error = " +
                          std::to_string(ETIMEDOUT))
                << shape.what;
            EXPECT_NE(c.GetFailureCause().find("within 2600 ms (the overall request limit)"),
                      std::string::npos)
                << shape.what << ": " << c.GetFailureCause();
        });
    }
    for (auto& th : clients)
        th.join();
}

// An endless body without a declared length stops at the cap without the buffer ever growing
// far beyond it (doubling would reach 128 MiB, with the 64 MiB copy beside it).
TEST(HttpClient, EndlessBodyStaysNearTheCap)
{
    CTinyServer server([](int fd, const std::string&) {
        if (!vx::test::SendAllBytes(fd, "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\n\r\n"))
            return;
        const std::string block(256 * 1024, 'b');
        for (int i = 0; i < 400 && vx::test::SendAllBytes(fd, block); ++i) {
        }
    });
    CHttpClient c;
    HttpTimeouts t = Short();
    t.totalMs = 60000; // 64 MiB through a sanitizer build on a busy machine
    c.SetTimeouts(t);
    EXPECT_FALSE(c.Get(server.Url(), ""));
    EXPECT_EQ(c.GetErrorText(), "Receive HTTP body failed, the body is too large");
    EXPECT_LE(c.GetBody().capacity(), CHttpClient::kMaxBodyBytes + CHttpClient::kReadChunk);
}

TEST(HttpClient, MalformedHeadsFailBounded)
{
    struct Case
    {
        const char* what;
        std::string answer;
    };
    std::vector<Case> cases = {
        {"no status line", std::string(70000, 'z')},
        {"head that never ends", "HTTP/1.1 200 OK\r\n" + std::string(70000, 'h')},
        {"negative length", Answer("Content-Length: -5\r\n", "abc")},
        {"absurd length", Answer("Content-Length: 99999999999999999999\r\n", "abc")},
        {"length over the cap", Answer("Content-Length: 67108865\r\n", "abc")},
        {"length not a number", Answer("Content-Length: 12abc\r\n", "abc")},
        {"garbage status", "HTTP garbage\r\n\r\n{}"},
        {"closed before any head", ""},
    };
    for (const Case& k : cases) {
        CTinyServer server([&k](int fd, const std::string&) {
            CTinyServer::Send(fd, k.answer);
            CTinyServer::Pause(300);
        });
        CHttpClient c;
        c.SetTimeouts(Short());
        EXPECT_FALSE(c.Get(server.Url(), "")) << k.what;
        EXPECT_TRUE(c.GetBody().empty()) << k.what;
    }
}

TEST(HttpClient, ConnectionAndUrlFailures)
{
    int port;
    {
        CTinyServer gone("");
        port = gone.Port();
    }
    CHttpClient c;
    EXPECT_FALSE(c.Get("http://127.0.0.1:" + std::to_string(port) + "/x", ""));
    EXPECT_EQ(c.GetErrorText().rfind("Connected to host failed, The Error = ", 0), 0u);
    EXPECT_EQ(c.GetFailureCause(), "connection refused at 127.0.0.1:" + std::to_string(port));

    for (const char* bad : {"", "ftp://127.0.0.1/", "http://", "http://127.0.0.1:99999/", "http://:80/",
                            "http://127.0.0.1/a\r\nX-Injected: 1"}) {
        EXPECT_FALSE(c.Get(bad, "")) << bad;
        EXPECT_EQ(c.GetErrorText(), "The request URL is invalid!!") << bad;
    }
    std::string server, object;
    uint16_t p = 0;
    ASSERT_TRUE(CHttpClient::ParseUrl("http://example.invalid?a=1", &server, &object, &p));
    EXPECT_EQ(server, "example.invalid");
    EXPECT_EQ(object, "/?a=1");
    EXPECT_EQ(p, 80);
}

TEST(HttpClient, SecretsStayOutOfTheRequestLog)
{
    CTinyServer server("HTTP/1.1 304 X\r\nSet-Cookie: SA=secretcookie\r\n\r\n");
    CHttpClient c;
    EXPECT_FALSE(c.Get(server.Url("/login.do?j_username=u&j_password=0123abcd&src=android"), ""));
    EXPECT_EQ(c.GetRequestLog().find("0123abcd"), std::string::npos);
    EXPECT_NE(c.GetRequestLog().find("j_password=***&src=android"), std::string::npos);
    EXPECT_EQ(RedactHead("HTTP/1.1 200 OK\r\nSet-Cookie: SA=x; Path=/\r\n\r\n"),
              "HTTP/1.1 200 OK\r\nSet-Cookie: ***\r\n\r\n");
}

TEST(DoHttpRequest, RetriesAndReportsTheStatus)
{
    {
        // Three attempts against a server that closes at once, then a cause for people.
        CTinyServer server("");
        std::string err, body;
        HttpRequestResult r;
        EXPECT_FALSE(DoHttpRequest(&err, server.Url("/a"), &body, false, "", "", &r, Short()));
        EXPECT_EQ(server.Connections(), 3);
        EXPECT_EQ(err, ""); // only a status fills the caller's error text
        EXPECT_FALSE(r.cause.empty());
    }
    {
        CTinyServer server("HTTP/1.1 500 Oops\r\nContent-Length: 2\r\n\r\n{}");
        std::string err, body = "untouched";
        EXPECT_FALSE(DoHttpRequest(&err, server.Url("/a"), &body, true, "a=1", "C=1;"));
        EXPECT_EQ(err, "Error : Request http head error! , HTTP Code = 500");
        EXPECT_EQ(body, "untouched");
        EXPECT_EQ(server.Connections(), 1);
        EXPECT_NE(server.Requests().at(0).find("Cookie: C=1;\r\n"), std::string::npos);
    }
    {
        CTinyServer server(Answer("Content-Length: 7\r\n", "{\"a\":1}"));
        std::string err, body;
        EXPECT_TRUE(DoHttpRequest(&err, server.Url("/a"), &body, false, "", ""));
        EXPECT_EQ(body, "{\"a\":1}");
    }
}
