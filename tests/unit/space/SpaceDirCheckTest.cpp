// The folder-holds-files check on answers a simulator would never give: a tree that loops back
// on itself and one deeper than any real space.

#include "net/SpaceDirCheck.h"
#include "unit/net/TinyServer.h"

#include "common/TestUtil.h"

#include <gtest/gtest.h>

#include <memory>

using namespace vx;
using vx::test::CTinyServer;

namespace {

// Folder n lists folder next(n); folder `last` holds what lastBody says.
class CChainHost
{
public:
    CChainHost(std::function<int64_t(int64_t)> next, int64_t last, std::string lastFiles)
        : m_server([next, last, lastFiles](int fd, const std::string& req) {
              const size_t at = req.find("parentId=");
              const int64_t dir = at == std::string::npos ? 0 : std::stoll(req.substr(at + 9));
              std::string body;
              if (dir == last)
                  body = R"({"success":true,"dirList":{"list":[]},"fileList":{"list":[)" + lastFiles + "]}}";
              else
                  body = R"({"success":true,"dirList":{"list":[{"id":)" + std::to_string(next(dir)) +
                         R"(}]},"fileList":{"list":[]}})";
              CTinyServer::Send(fd, "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(body.size()) +
                                        "\r\n\r\n" + body);
          })
    {
        vx::test::WriteFile(m_dir.File("Config.ini"),
                            "[server]\nHostIP=127.0.0.1:" + std::to_string(m_server.Port()) + "\n");
        m_config = std::make_unique<CAppConfig>(m_dir.File("Config.ini"));
        m_config->m_i64OrgId = 7;
    }
    CAppConfig& Config() { return *m_config; }
    size_t Requests() { return m_server.Requests().size(); }

private:
    vx::test::CTempDir m_dir;
    CTinyServer m_server;
    std::unique_ptr<CAppConfig> m_config;
};

} // namespace

TEST(SpaceDirCheck, FilesDeepDownLoopsAndOverlyDeepTreesAreNeverCountedAsEmpty)
{
    {
        CChainHost host([](int64_t d) { return d + 1; }, 4, R"({"id":9,"type":"pdf","name":"x.pdf"})");
        CSpaceApi api(host.Config());
        std::string err;
        EXPECT_EQ(CheckDirHoldsFiles(api, 1, &err), DirFilesCheck::HoldsFiles);
        EXPECT_EQ(host.Requests(), 4u);
    }
    {
        CChainHost host([](int64_t d) { return d + 1; }, 4, "");
        CSpaceApi api(host.Config());
        std::string err;
        EXPECT_EQ(CheckDirHoldsFiles(api, 1, &err), DirFilesCheck::Empty);
    }
    {
        // 1 -> 2 -> 3 -> 1 ...: a tree being changed elsewhere must not be walked forever.
        CChainHost host([](int64_t d) { return d % 3 + 1; }, -1, "");
        CSpaceApi api(host.Config());
        std::string err;
        EXPECT_EQ(CheckDirHoldsFiles(api, 1, &err), DirFilesCheck::Failed);
        EXPECT_EQ(host.Requests(), 3u);
    }
    {
        CChainHost host([](int64_t d) { return d + 1; }, 1000, "");
        CSpaceApi api(host.Config());
        std::string err;
        EXPECT_EQ(CheckDirHoldsFiles(api, 1, &err), DirFilesCheck::Failed);
        EXPECT_LE(host.Requests(), static_cast<size_t>(kMaxDirDepth + 1));
    }
}
