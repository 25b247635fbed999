// An https installer address: fetched over TLS only, with the certificate checked against the
// authorities given (a test authority made here) or the system's; a server that is not the
// one the address names, or that does not speak TLS, never receives the request.

#include "RangeServer.h"
#include "StatusCollector.h"
#include "TestPki.h"
#include "TlsProxy.h"
#include "common/LoopbackServer.h"
#include "common/TestUtil.h"
#include "platform/Paths.h"
#include "updater/DownloadProtocol.h"
#include "updater/HttpDownload.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <mutex>

namespace vx::test {
namespace {

std::string Installer(const std::string& marker)
{
    std::string s = "#!/bin/sh\nprintf '%s\\n' \"$@\" > '" + marker + "'\nexit 0\n";
    while (s.size() < 300000)
        s += "# filler ...........................................................\n";
    return s;
}

class HttpsDownloadTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_settings.tempFolder = m_dir.Path();
        m_settings.stallMs = 1000;
        m_marker = m_dir.File("installer-ran");
        m_body = Installer(m_marker);
        ASSERT_TRUE(
            MakeTestPki(m_dir.Path(), "", "Vexora Test Authority", "IP:127.0.0.1,DNS:localhost", &m_pki));
    }

    std::pair<int, uint32_t> Download(const std::string& url, CStatusCollector& sink)
    {
        CHttpDownload dl(std::ref(sink), m_settings);
        EXPECT_TRUE(dl.Begin(url));
        std::pair<int, uint32_t> final{0, 0};
        EXPECT_TRUE(sink.WaitFinal(30000, &final));
        m_tempPath = dl.TempFilePath();
        return final;
    }

    CTempDir m_dir;
    TestPki m_pki;
    CHttpDownload::Settings m_settings;
    std::string m_marker, m_body, m_tempPath;
};

TEST_F(HttpsDownloadTest, HttpsAddressIsFetchedOverTlsAndResumes)
{
    DownloadUrl parts;
    ASSERT_EQ(SplitDownloadUrl("https://h/d/setup", 1, &parts), -99);
    EXPECT_TRUE(parts.tls);
    EXPECT_EQ(parts.port, 443);
    ASSERT_EQ(SplitDownloadUrl("HTTPS://h:8443/d/setup", 1, &parts), -99);
    EXPECT_TRUE(parts.tls);
    EXPECT_EQ(parts.port, 8443);
    ASSERT_EQ(SplitDownloadUrl("http://h/https://x/setup", 1, &parts), -99);
    EXPECT_FALSE(parts.tls);

    CRangeServer backend(m_body);
    ASSERT_TRUE(backend.Start());
    // The first answer breaks off: the second attempt asks for the rest, over TLS again.
    backend.SetMode(CRangeServer::Mode::DropFirst, 1, 100000);
    CTlsProxy tls;
    ASSERT_TRUE(tls.Start(m_pki.certFile, m_pki.keyFile, backend.Port()));
    m_settings.caFile = m_pki.caFile;
    CStatusCollector sink;
    auto final = Download("https://127.0.0.1:" + std::to_string(tls.Port()) + "/files/setup", sink);
    EXPECT_EQ(final, std::make_pair(DS_NONE, kDownloadDone));
    EXPECT_EQ(ReadFile(m_tempPath), m_body);
    EXPECT_EQ(ReadFile(m_marker), "/verysilent\n");
    EXPECT_EQ(backend.RangeStarts(), (std::vector<long long>{0, 100000}));
    EXPECT_EQ(tls.Handshakes(), 2);

    // A host name is checked against the certificate's names as well.
    CStatusCollector byName;
    final = Download("https://localhost:" + std::to_string(tls.Port()) + "/files/setup2", byName);
    EXPECT_EQ(final, std::make_pair(DS_NONE, kDownloadDone));
}

TEST_F(HttpsDownloadTest, UntrustedOrMisnamedCertificateGetsNoRequest)
{
    CRangeServer backend(m_body);
    ASSERT_TRUE(backend.Start());
    CTlsProxy tls;
    ASSERT_TRUE(tls.Start(m_pki.certFile, m_pki.keyFile, backend.Port()));
    const std::string url = "https://127.0.0.1:" + std::to_string(tls.Port()) + "/files/setup";

    // Signed by an authority we were not told to trust: one refusal, no retries, no request.
    TestPki other;
    ASSERT_TRUE(MakeTestPki(m_dir.Path(), "other-", "Someone Else", "IP:127.0.0.1", &other));
    m_settings.caFile = other.caFile;
    CStatusCollector sink;
    EXPECT_EQ(Download(url, sink).first, DS_TLS_UNTRUSTED);

    // The system's authorities (the default) do not know the test authority either.
    m_settings.caFile.clear();
    unsetenv("SSL_CERT_FILE");
    CStatusCollector system;
    EXPECT_EQ(Download(url, system).first, DS_TLS_UNTRUSTED);

    // Trusted authority, but the certificate names another host.
    TestPki misnamed;
    ASSERT_TRUE(
        MakeTestPki(m_dir.Path(), "misnamed-", "Vexora Test Authority 2", "DNS:elsewhere.test", &misnamed));
    CTlsProxy wrongName;
    ASSERT_TRUE(wrongName.Start(misnamed.certFile, misnamed.keyFile, backend.Port()));
    m_settings.caFile = misnamed.caFile;
    CStatusCollector named;
    EXPECT_EQ(Download("https://127.0.0.1:" + std::to_string(wrongName.Port()) + "/files/setup", named).first,
              DS_TLS_UNTRUSTED);

    EXPECT_TRUE(backend.Requests().empty());
    EXPECT_FALSE(FileExists(m_marker));
    for (int i = 0; i < 100 && tls.FailedHandshakes() < 2; ++i)
        PauseMs(20); // the server notices the refusal a moment after the client
    EXPECT_EQ(tls.Handshakes(), 0);
    EXPECT_EQ(tls.FailedHandshakes(), 2);

    // SSL_CERT_FILE points the system default at another bundle (how the Update program is
    // tested end to end).
    setenv("SSL_CERT_FILE", m_pki.caFile.c_str(), 1);
    m_settings.caFile.clear();
    CStatusCollector viaEnv;
    EXPECT_EQ(Download(url, viaEnv).first, DS_NONE);
    unsetenv("SSL_CERT_FILE");
}

TEST_F(HttpsDownloadTest, PlainServerBehindAnHttpsAddressNeverSeesClearText)
{
    // A plain HTTP server that would happily serve the file, and records every byte it gets.
    std::mutex mutex;
    std::string seen;
    CLoopbackServer plain;
    ASSERT_TRUE(plain.Start([&](int fd) {
        std::string got = RecvUntilQuiet(fd, 1500);
        {
            std::lock_guard<std::mutex> lock(mutex);
            seen += got;
        }
        SendAllBytes(fd, "HTTP/1.1 400 Bad Request\r\nContent-Length: 0\r\n\r\n");
    }));
    m_settings.caFile = m_pki.caFile;
    CStatusCollector sink;
    auto final = Download("https://127.0.0.1:" + std::to_string(plain.Port()) + "/files/setup", sink);
    EXPECT_EQ(final.first, DS_TLS);
    EXPECT_EQ(plain.Connections(), 1); // not asked again, and never in clear text
    std::lock_guard<std::mutex> lock(mutex);
    EXPECT_FALSE(seen.empty());
    EXPECT_EQ(seen.find("GET "), std::string::npos);
    EXPECT_EQ(seen.find("HTTP/1.1"), std::string::npos);
    EXPECT_EQ(seen.find("/files/setup"), std::string::npos);
    EXPECT_FALSE(FileExists(m_marker));
}

} // namespace
} // namespace vx::test
