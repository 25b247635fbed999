// The space directory requests against a small scripted web host: the URLs sent, the reading
// of the answers, and the success rule.

#include "net/SpaceApi.h"
#include "common/TestUtil.h"
#include "unit/net/TinyServer.h"

#include <gtest/gtest.h>

#include <map>

using namespace vx;
using vx::test::CTinyServer;

namespace {

// Answers every request with the body registered for its path, and records the request lines.
using Bodies = std::map<std::string, std::string>;

class CWebHost
{
public:
    explicit CWebHost(std::map<std::string, std::string> bodies)
        : m_bodies(std::move(bodies)), m_server([this](int fd, const std::string& req) {
              size_t sp = req.find(' ');
              std::string path = req.substr(sp + 1, req.find_first_of("? ", sp + 1) - sp - 1);
              auto it = m_bodies.find(path);
              std::string body = it == m_bodies.end() ? "" : it->second;
              CTinyServer::Send(
                  fd, std::string(it == m_bodies.end() ? "HTTP/1.1 404 No\r\n" : "HTTP/1.1 200 OK\r\n") +
                          "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body);
          })
    {
        vx::test::WriteFile(m_dir.File("Config.ini"),
                            "[server]\nHostIP=127.0.0.1:" + std::to_string(m_server.Port()) +
                                "\nVerSvrIP=127.0.0.1:1\n");
        m_config = std::make_unique<CAppConfig>(m_dir.File("Config.ini"));
        m_config->m_i64OrgId = 7;
        m_config->m_strCookie = "SA=u;";
    }
    CAppConfig& Config() { return *m_config; }
    // The request lines ("GET /path?query"), in order.
    std::vector<std::string> Lines()
    {
        std::vector<std::string> out;
        for (const std::string& r : m_server.Requests())
            out.push_back(r.substr(0, r.find(" HTTP/1.1")));
        return out;
    }
    std::vector<std::string> Raw() { return m_server.Requests(); }
    std::string ConfigText() { return vx::test::ReadFile(m_dir.File("Config.ini")); }

private:
    vx::test::CTempDir m_dir;
    std::map<std::string, std::string> m_bodies;
    CTinyServer m_server;
    std::unique_ptr<CAppConfig> m_config;
};

} // namespace

TEST(SpaceApi, DirListReadsFoldersThenFiles)
{
    CWebHost web(Bodies{{"/ajax/ftp/dir/show", R"({"success":true,
        "dirList":{"list":[{"id":11,"parentId":5,"ownId":3,"level":2,"hasChildrenDir":true,"type":"flv",
                            "name":"课程 A","createTime":"2019-04-22 16:03:27","clientid":"c1"}, 17]},
        "fileList":{"list":[{"id":21,"type":"mp4","fileSize":"3221225472","name":"big.mp4","status":true,
                             "filePath":"/x/big.flv"},
                            {"id":22,"type":"pdf","parentId":9,"name":"a.pdf"},
                            {"id":23,"type":"swf","name":"b.swf"},
                            {"id":24,"name":"untyped","level":"not a number"}]}})"}});
    CSpaceApi api(web.Config());
    std::vector<SpaceEntry> e;
    std::string err;
    ASSERT_TRUE(api.RequestForDirList(5, true, &e, &err));
    EXPECT_EQ(
        web.Lines().at(0),
        "GET /ajax/ftp/dir/show?parentId=5&organizationId=7&showfile=true&sort=&type=&uploadStatus=true");
    EXPECT_NE(web.Raw().at(0).find("Cookie: SA=u;\r\n"), std::string::npos);
    ASSERT_EQ(e.size(), 5u); // the non-object folder element is skipped
    EXPECT_EQ(e[0].i64Id, 11);
    EXPECT_EQ(e[0].nType, SPACE_FOLDER); // whatever "type" says
    EXPECT_EQ(e[0].nLevel, 2);
    EXPECT_TRUE(e[0].bHasChildren);
    EXPECT_EQ(e[0].strName, "课程 A");
    EXPECT_EQ(e[0].strClientId, "c1");
    EXPECT_EQ(e[1].nType, SPACE_VIDEO); // mp4 is a video
    EXPECT_EQ(e[1].i64Size, 3221225472LL);
    EXPECT_EQ(e[1].i64ParentId, 5); // defaults to the folder asked for
    EXPECT_TRUE(e[1].bStatus);
    EXPECT_EQ(e[1].strFilePath, "/x/big.flv");
    EXPECT_EQ(e[2].nType, SPACE_PDF);
    EXPECT_EQ(e[2].i64ParentId, 9);
    EXPECT_EQ(e[3].nType, SPACE_SWF);
    EXPECT_EQ(e[4].nType, SPACE_FOLDER); // no "type": stays at the initial value
    EXPECT_EQ(e[4].nLevel, -1);
}

TEST(SpaceApi, DirListShapesAndTheSuccessRule)
{
    struct Case
    {
        const char* body;
        bool ok;
        size_t count;
    };
    for (const Case& k : {
             Case{R"({"dirList":{"list":[{"id":1}]},"fileList":{"list":[]}})", true, 1}, // no success: fine
             Case{R"({"dirList":{"list":[{"id":1}]},"fileList":{}})", true, 1},          // no file list array
             Case{R"({"dirList":{"list":null},"fileList":{"list":null}})", true, 0},
             Case{R"({"dirList":{"list":[{"id":1}]}})", false, 0},
             Case{R"({"dirList":{},"fileList":{"list":[]}})", false, 0},
             Case{R"({"fileList":{"list":[]}})", false, 0},
             Case{R"({"success":false,"message":"没有权限"})", false, 0},
             Case{"not json", false, 0},
         }) {
        CWebHost web(Bodies{{"/ajax/ftp/dir/show", k.body}});
        CSpaceApi api(web.Config());
        std::vector<SpaceEntry> e(3);
        std::string err;
        EXPECT_EQ(api.RequestForDirList(0, false, &e, &err), k.ok) << k.body;
        EXPECT_EQ(e.size(), k.ok ? k.count : 3u) << k.body; // untouched on failure
        if (!k.ok) {
            EXPECT_FALSE(api.GetFailureCause().empty()) << k.body;
        }
    }
    CWebHost web(Bodies{{"/ajax/ftp/dir/show", R"({"success":false,"message":"没有权限"})"}});
    CSpaceApi api(web.Config());
    std::vector<SpaceEntry> e;
    std::string err;
    EXPECT_FALSE(api.RequestForDirList(0, true, &e, &err));
    EXPECT_EQ(err, "没有权限");
}

TEST(SpaceApi, NamesAreEncodedAndPreconditionsSendNothing)
{
    CWebHost web(
        {{"/ajax/ftp/dir/create", R"({"success":true,"id":99})"},
         {"/ajax/ftp/dir/search", R"({"dirList":{"list":[]},"fileList":{"list":[{"id":4,"name":"a b"}]}})"}});
    CSpaceApi api(web.Config());
    int64_t id = 0;
    std::string err;
    ASSERT_TRUE(api.RequestForCreateDirectroy(3, "a b&c", &id, &err));
    EXPECT_EQ(id, 99);
    EXPECT_EQ(web.Lines().at(0), "GET /ajax/ftp/dir/create?organizationId=7&parentId=3&name=a+b%26c");
    std::vector<SpaceEntry> found;
    ASSERT_TRUE(api.RequestForSearchKey(3, "a b", &found, &err));
    EXPECT_EQ(web.Lines().at(1), "GET /ajax/ftp/dir/search?organizationId=7&dirId=3&name=a+b");
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].i64ParentId, 3);

    EXPECT_FALSE(api.RequestForCreateDirectroy(3, "", &id, &err));
    EXPECT_FALSE(api.RequestForSearchKey(0, "x", &found, &err));
    EXPECT_FALSE(api.RequestForSearchKey(3, "", &found, &err));
    EXPECT_FALSE(api.RequestForRenameDir(3, "", 0, &err));
    EXPECT_FALSE(api.RequestForRenameFile(3, "", "", 0, &err));
    EXPECT_FALSE(api.RequestForCreateDirectroyS("", &found, &err));
    EXPECT_EQ(web.Lines().size(), 2u);
}

TEST(SpaceApi, ChangesNeedAnExplicitSuccess)
{
    {
        CWebHost web(Bodies{{"/ajax/ftp/dir/create", R"({"id":99})"},
                            {"/ajax/ftp/dir/edit", R"({"other":1})"},
                            {"/ajax/ftp/dir/move", R"({})"},
                            {"/ajax/ftp/dir/delete", R"({"message":"x"})"}});
        CSpaceApi api(web.Config());
        int64_t id = -5;
        std::string err;
        EXPECT_FALSE(api.RequestForCreateDirectroy(1, "n", &id, &err));
        EXPECT_EQ(id, -5);
        EXPECT_FALSE(api.RequestForRenameDir(1, "n", 0, &err));
        EXPECT_EQ(err, "重命名失败!"); // no message from the server
        err.clear();
        EXPECT_FALSE(api.RequestForMoveDir(2, {1}, &err));
        EXPECT_FALSE(api.RequestForDeleteDir({1}, &err));
    }
    {
        CWebHost web(Bodies{{"/ajax/ftp/dir/edit", R"({"success":false,"message":"名称重复"})"},
                            {"/ajax/ftp/file/edit", R"({"success":true})"},
                            {"/ajax/ftp/dir/move", R"({"success":true})"},
                            {"/ajax/ftp/file/move", R"({"success":true})"},
                            {"/ajax/ftp/dir/delete", R"({"success":true})"}});
        CSpaceApi api(web.Config());
        std::string err;
        EXPECT_FALSE(api.RequestForRenameDir(4, "新", 2, &err));
        EXPECT_EQ(err, "名称重复");
        // 64-bit size: a 3 GiB file must not wrap negative.
        EXPECT_TRUE(api.RequestForRenameFile(8, "b", "ABCDEF", 3221225472LL, &err));
        // Only folders selected: no file-move request at all.
        std::vector<SpaceEntry> sel(2);
        sel[0].i64Id = 11;
        sel[1].i64Id = 12;
        EXPECT_TRUE(api.RequestForMoveDir(5, CSpaceApi::FolderIds(sel), &err));
        EXPECT_TRUE(api.RequestForMoveFile(5, CSpaceApi::FileIds(sel), &err));
        EXPECT_TRUE(api.RequestForDeleteDir({11, 12, 13}, &err));
        auto lines = web.Lines();
        ASSERT_EQ(lines.size(), 4u);
        EXPECT_EQ(lines[0], "GET /ajax/ftp/dir/edit?id=4&name=%E6%96%B0&parentId=2&organizationId=7");
        EXPECT_EQ(lines[1],
                  "GET /ajax/ftp/file/edit?organizationId=7&id=8&name=b&md5=ABCDEF&size=3221225472");
        EXPECT_EQ(lines[2], "GET /ajax/ftp/dir/move?organizationId=7&parentId=5&ids=11,12");
        EXPECT_EQ(lines[3], "GET /ajax/ftp/dir/delete?organizationId=7&ids=11,12,13");
    }
}

TEST(SpaceApi, BatchCreation)
{
    CWebHost web(
        Bodies{{"/ajax/ftp/dir/upload",
                R"({"success":true,"result":{"list":[{"id":31,"parentId":3,"name":"top","clientid":"L1"},
                                                         {"id":32,"parentId":31,"name":"a b","clientid":"L2"}]}})"}});
    CSpaceApi api(web.Config());
    std::string batch = CSpaceApi::BuildBatchText(3, 7, {{"L1", "L0", "top"}, {"L2", "L1", "a b"}});
    EXPECT_EQ(batch, R"({"pid":"3","orgid":"7","list":[{"clientid":"L1","clientPid":"L0","name":"top"},)"
                     R"({"clientid":"L2","clientPid":"L1","name":"a+b"}]})");
    std::vector<SpaceEntry> created;
    std::string err;
    ASSERT_TRUE(api.RequestForCreateDirectroyS(batch, &created, &err));
    ASSERT_EQ(created.size(), 2u);
    EXPECT_EQ(created[1].strClientId, "L2");
    EXPECT_EQ(created[1].i64ParentId, 31);
    std::string raw = web.Raw().at(0);
    EXPECT_EQ(raw.rfind("POST /ajax/ftp/dir/upload HTTP/1.1\r\n", 0), 0u);
    EXPECT_EQ(raw.substr(raw.find("\r\n\r\n") + 4), "paramJson=" + batch);
}

TEST(SpaceApi, QuotaServersAndVersionServer)
{
    {
        CWebHost web(
            {{"/ajax/ftp/getFtpSpaceData", R"({"totalSize":10,"leftSize":7,"usedSize":3})"},
             {"/ajax/getVexoraServerIpList",
              R"({"result":{"list":[{"ip":"127.0.0.1","port":"18900"},"junk",{"ip":"10.0.0.2","port":"x"}]}})"},
             {"/liveCourse.do", R"({"idcList":"127.0.0.9","port":"18071"})"}});
        CSpaceApi api(web.Config());
        SpaceQuota q;
        std::string err;
        ASSERT_TRUE(api.RequestSpaceInfo(&q, &err));
        EXPECT_EQ(q.i64Total, 10);
        EXPECT_EQ(q.i64Left, 7);
        EXPECT_EQ(q.i64Used, 3);
        std::vector<FileServerAddress> servers;
        ASSERT_TRUE(api.RequestFtpServer(&servers, &err));
        ASSERT_EQ(servers.size(), 2u);
        EXPECT_EQ(servers[0].strIp, "127.0.0.1");
        EXPECT_EQ(servers[0].nPort, 18900);
        EXPECT_EQ(servers[1].nPort, 0);
        std::string host;
        int port = 0;
        EXPECT_EQ(api.RequestLiveServerIdc(&host, &port), 0);
        EXPECT_EQ(host, "127.0.0.9");
        EXPECT_EQ(port, 18071);
        EXPECT_EQ(web.Config().m_strVerHost, "127.0.0.9");
        EXPECT_NE(web.ConfigText().find("127.0.0.9:18071"), std::string::npos);
        EXPECT_EQ(web.Raw().back().find("Cookie:"), std::string::npos); // asked without the session
    }
    {
        CWebHost web(Bodies{{"/ajax/ftp/getFtpSpaceData", R"({"totalSize":10,"leftSize":7})"},
                            {"/ajax/getVexoraServerIpList", R"({"result":{}})"},
                            {"/liveCourse.do", "nothing"}});
        CSpaceApi api(web.Config());
        SpaceQuota q;
        q.i64Total = 77;
        std::string err;
        EXPECT_FALSE(api.RequestSpaceInfo(&q, &err)); // usedSize missing
        EXPECT_EQ(q.i64Total, 77);
        std::vector<FileServerAddress> servers(1);
        EXPECT_TRUE(api.RequestFtpServer(&servers, &err));
        EXPECT_TRUE(servers.empty());
        std::string host;
        int port = 0;
        EXPECT_EQ(api.RequestLiveServerIdc(&host, &port), -4);
    }
    {
        CWebHost web(Bodies{});
        CSpaceApi api(web.Config());
        std::string host;
        int port = 0;
        EXPECT_EQ(api.RequestLiveServerIdc(&host, &port), -2);
    }
    // An answer without a usable address counts as missing: nothing reaches Config.ini, the
    // configured server stays in use.
    for (const char* answer :
         {R"({"idcList":"","port":"9000"})", R"({"idcList":"10.0.0.1","port":"0"})",
          R"({"idcList":"10.0.0.1","port":"65536"})", R"({"idcList":"10.0.0.1","port":"-1"})",
          R"({"idcList":"10.0.0.1","port":"80x"})"}) {
        CWebHost web(Bodies{{"/liveCourse.do", answer}});
        const std::string before = web.ConfigText();
        CSpaceApi api(web.Config());
        std::string host;
        int port = 0;
        EXPECT_EQ(api.RequestLiveServerIdc(&host, &port), 0) << answer;
        EXPECT_EQ(host, "") << answer;
        EXPECT_EQ(port, 0) << answer;
        EXPECT_EQ(web.ConfigText(), before) << answer;
        EXPECT_EQ(web.Config().m_strVerHost, "127.0.0.1") << answer;
        EXPECT_EQ(web.Config().m_nVerPort, 1) << answer;
        EXPECT_FALSE(web.Config().SaveLivesrvIpPort(0, "10.0.0.1"));
        EXPECT_FALSE(web.Config().SaveLivesrvIpPort(9000, ""));
        EXPECT_EQ(web.ConfigText(), before) << answer;
    }
}
