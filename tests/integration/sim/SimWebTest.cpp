// The simulator's HTTP side, driven by plain requests shaped like the client's: session
// requests, the space directory API, server lists, the installer download and the web faults.

#include "SimTestClient.h"
#include "common/SimHarness.h"

#include <chrono>
#include <gtest/gtest.h>
#include <map>
#include <thread>

namespace vx::test::sim {

namespace {

struct Session
{
    std::string cookie;
    int64_t userId = 0;
    int64_t orgId = 0;
};

Session LogInDemo(const CSimProcess& s)
{
    Session out;
    Json::Value login;
    out.cookie = Login(s.WebPort(), "demo", "demo123", &login);
    out.userId = login["id"].asInt64();
    Json::Value perm = Get(s.WebPort(), "/getCurrentUser.do?rand=17", out.cookie).JsonBody();
    out.orgId = perm["orgId"].asInt64();
    return out;
}

std::string ToUpperHex(std::string hex)
{
    for (char& c : hex)
        c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
    return hex;
}

std::string Org(const Session& s)
{
    return std::to_string(s.orgId);
}

Json::Value Api(const CSimProcess& sim, const Session& s, const std::string& target)
{
    HttpReply r = Get(sim.WebPort(), target, s.cookie);
    EXPECT_EQ(r.status, 200) << target;
    EXPECT_TRUE(r.hasContentLength) << target;
    return r.JsonBody();
}

int64_t RootFolder(const CSimProcess& sim, const Session& s)
{
    Json::Value v = Api(sim, s,
                        "/ajax/ftp/dir/show?parentId=0&organizationId=" + Org(s) +
                            "&showfile=false&sort=&type=&uploadStatus=true");
    for (const auto& d : v["dirList"]["list"])
        if (d["name"].asString() == "demo")
            return d["id"].asInt64();
    return 0;
}

} // namespace

TEST(SimWeb, LoginPermissionAndSignOutCheck)
{
    CSimProcess sim;
    ASSERT_TRUE(sim.Start({"--account", "lee:pw1:Other School", "--account", "guest:pw2:-"}));
    int port = sim.WebPort();

    // A good login: ids above 32 bits, cookies each closed by an attribute, a length on the answer.
    HttpReply r = Get(port, "/login.do?j_username=demo&j_password=" + Md5Hex("demo123") + "&src=android");
    ASSERT_EQ(r.status, 200);
    EXPECT_TRUE(r.hasContentLength);
    Json::Value v = r.JsonBody();
    EXPECT_TRUE(v["success"].asBool());
    EXPECT_GT(v["id"].asInt64(), int64_t(1) << 32);
    EXPECT_EQ(v["username"].asString(), "demo");
    EXPECT_FALSE(v["screenName"].asString().empty());
    ASSERT_EQ(r.setCookies.size(), 2u);
    for (const auto& c : r.setCookies)
        EXPECT_NE(c.find("; Path=/"), std::string::npos) << c;
    Session demo = LogInDemo(sim);
    EXPECT_NE(demo.cookie.find("SA=demo;"), std::string::npos);
    EXPECT_NE(demo.cookie.find("JSESSIONID="), std::string::npos);

    // Upper-case hash digits are the same password.
    v = Get(port, "/login.do?j_username=lee&j_password=" + ToUpperHex(Md5Hex("pw1")) + "&src=android")
            .JsonBody();
    EXPECT_TRUE(v["success"].asBool());

    // Wrong password counts the tries down; an unknown name has no count.
    v = Get(port, "/login.do?j_username=lee&j_password=" + Md5Hex("nope") + "&src=android").JsonBody();
    EXPECT_FALSE(v["success"].asBool());
    EXPECT_EQ(v["tryTimesLeft"].asInt(), 4);
    v = Get(port, "/login.do?j_username=lee&j_password=" + Md5Hex("nope") + "&src=android").JsonBody();
    EXPECT_EQ(v["tryTimesLeft"].asInt(), 3);
    v = Get(port, "/login.do?j_username=nobody&j_password=" + Md5Hex("x") + "&src=android").JsonBody();
    EXPECT_FALSE(v["success"].asBool());
    EXPECT_TRUE(v["message"].isString());
    EXPECT_FALSE(v.isMember("tryTimesLeft"));

    // Permission: the demo organisation; another organisation; none without a session; an
    // account without organisation is refused.
    v = Api(sim, demo, "/getCurrentUser.do?rand=1");
    EXPECT_TRUE(v["success"].isBool());
    EXPECT_TRUE(v["status"].asBool());
    EXPECT_GT(demo.orgId, 0);
    EXPECT_EQ(v["orgName"].asString(), "Demo School");
    v = Get(port, "/getCurrentUser.do?rand=1", Login(port, "lee", "pw1")).JsonBody();
    EXPECT_TRUE(v["status"].asBool());
    EXPECT_EQ(v["orgName"].asString(), "Other School");
    EXPECT_NE(v["orgId"].asInt64(), demo.orgId);
    v = Get(port, "/getCurrentUser.do?rand=1").JsonBody();
    EXPECT_TRUE(v.isMember("success"));
    EXPECT_FALSE(v["status"].asBool());
    v = Get(port, "/getCurrentUser.do?rand=1", Login(port, "guest", "pw2")).JsonBody();
    EXPECT_FALSE(v["status"].asBool());

    // The sign-out check and its three switches.
    v = Api(sim, demo, "/check.do?action=checkIfOut");
    EXPECT_FALSE(v["isOut"].asBool());
    EXPECT_FALSE(v["isOverdue"].asBool());
    ASSERT_TRUE(sim.SetFault("expire-cookie", "on"));
    v = Api(sim, demo, "/check.do?action=checkIfOut");
    EXPECT_TRUE(v["isOverdue"].asBool());
    EXPECT_FALSE(v["isOut"].asBool());
    ASSERT_TRUE(sim.SetFault("expire-cookie", "off"));
    ASSERT_TRUE(sim.SetFault("signed-out", "on"));
    EXPECT_TRUE(Api(sim, demo, "/check.do?action=checkIfOut")["isOut"].asBool());
    ASSERT_TRUE(sim.SetFault("signed-out", "off"));
    ASSERT_TRUE(sim.SetFault("refuse-login", "on"));
    v = Get(port, "/login.do?j_username=demo&j_password=" + Md5Hex("demo123") + "&src=android").JsonBody();
    EXPECT_FALSE(v["success"].asBool());
    EXPECT_TRUE(v["message"].isString());
    ASSERT_TRUE(sim.SetFault("refuse-login", "off"));

    // Signed in elsewhere: the old session is out and no longer serves the API; a new login works.
    ASSERT_TRUE(sim.SignOutElsewhere("demo"));
    EXPECT_TRUE(Api(sim, demo, "/check.do?action=checkIfOut")["isOut"].asBool());
    EXPECT_FALSE(Api(sim, demo, "/ajax/ftp/getFtpSpaceData?organizationId=" + Org(demo))["success"].asBool());
    Session again = LogInDemo(sim);
    EXPECT_FALSE(Api(sim, again, "/check.do?action=checkIfOut")["isOut"].asBool());
    // A cookie the server never issued is overdue, so the client logs in again.
    EXPECT_TRUE(
        Get(port, "/check.do?action=checkIfOut", "JSESSIONID=feed;").JsonBody()["isOverdue"].asBool());
}

// The time-to-live is measured from the login, not in whole seconds of the wall clock: a login
// just before a second boundary and a check just after it are a fraction of a second apart.
TEST(SimWeb, CookieTimeToLiveMakesTheCheckAskForARelogin)
{
    CSimProcess sim;
    ASSERT_TRUE(sim.Start({"--cookie-ttl", "1"}));
    using namespace std::chrono;
    auto msInSecond = [] {
        return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count() % 1000;
    };
    while (msInSecond() < 850) // log in during the last 150 ms of a second
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    auto loggedIn = steady_clock::now();
    Session s = LogInDemo(sim);
    while (msInSecond() >= 850) // and check once the next second has begun
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    if (steady_clock::now() - loggedIn < milliseconds(900)) {
        EXPECT_FALSE(Api(sim, s, "/check.do?action=checkIfOut")["isOverdue"].asBool());
    }
    std::this_thread::sleep_until(loggedIn + milliseconds(1100));
    EXPECT_TRUE(Api(sim, s, "/check.do?action=checkIfOut")["isOverdue"].asBool());
    Session renewed = LogInDemo(sim);
    EXPECT_FALSE(Api(sim, renewed, "/check.do?action=checkIfOut")["isOverdue"].asBool());
}

TEST(SimWeb, SpaceDirectoryOperations)
{
    CSimProcess sim;
    ASSERT_TRUE(sim.Start());
    Session s = LogInDemo(sim);
    std::string org = Org(s);
    int64_t root = RootFolder(sim, s);
    ASSERT_GT(root, 0);

    // Create with an encoded name: stored and listed as the user named it.
    Json::Value v = Api(sim, s,
                        "/ajax/ftp/dir/create?organizationId=" + org + "&parentId=" + std::to_string(root) +
                            "&name=" + Encode("a b&c"));
    ASSERT_TRUE(v["success"].asBool()) << v;
    int64_t abc = v["id"].asInt64();
    v = Api(sim, s,
            "/ajax/ftp/dir/create?organizationId=" + org + "&parentId=" + std::to_string(root) +
                "&name=" + Encode("课程 2"));
    ASSERT_TRUE(v["success"].asBool());
    int64_t course = v["id"].asInt64();
    v = Api(sim, s,
            "/ajax/ftp/dir/show?parentId=" + std::to_string(root) + "&organizationId=" + org +
                "&showfile=true&sort=&type=&uploadStatus=true");
    ASSERT_TRUE(v["success"].asBool());
    std::map<std::string, Json::Value> byName;
    for (const auto& d : v["dirList"]["list"])
        byName[d["name"].asString()] = d;
    ASSERT_TRUE(byName.count("a b&c"));
    ASSERT_TRUE(byName.count("课程 2"));
    EXPECT_EQ(byName["a b&c"]["parentId"].asInt64(), root);
    EXPECT_EQ(byName["a b&c"]["level"].asInt(), 2);
    EXPECT_EQ(byName["a b&c"]["ownId"].asInt64(), s.userId);
    EXPECT_TRUE(v["fileList"]["list"].isArray());

    // Names that decode to nothing, to a path or to broken UTF-8 are refused; so are duplicates.
    for (std::string bad :
         {std::string("+"), std::string("..%2Fx"), std::string("%2E%2E"), std::string("a%2Fb"),
          std::string("a%5Cb"), std::string("%FF%FE"), std::string("x%0Ay"), std::string("")}) {
        v = Api(sim, s,
                "/ajax/ftp/dir/create?organizationId=" + org + "&parentId=" + std::to_string(root) +
                    "&name=" + bad);
        EXPECT_FALSE(v["success"].asBool()) << bad;
        EXPECT_TRUE(v["message"].isString()) << bad;
    }
    EXPECT_FALSE(Api(sim, s,
                     "/ajax/ftp/dir/create?organizationId=" + org + "&parentId=" + std::to_string(root) +
                         "&name=" + Encode("a b&c"))["success"]
                     .asBool());
    // Another organisation's id, a folder that does not exist, and no session are refused.
    EXPECT_FALSE(Api(sim, s, "/ajax/ftp/dir/create?organizationId=1&parentId=0&name=x")["success"].asBool());
    EXPECT_FALSE(Api(sim, s, "/ajax/ftp/dir/create?organizationId=" + org + "&parentId=42&name=x")["success"]
                     .asBool());
    EXPECT_FALSE(Get(sim.WebPort(), "/ajax/ftp/dir/show?parentId=0&organizationId=" + org)
                     .JsonBody()["success"]
                     .asBool());

    // Batch creation mirrors a local tree; client ids come back; a second run reuses folders.
    std::string batch = "{\"pid\":\"" + std::to_string(root) + "\",\"orgid\":\"" + org +
                        "\",\"list\":[{\"clientid\":\"L1\",\"clientPid\":\"L0\",\"name\":\"" +
                        Encode("Term 1") + "\"},{\"clientid\":\"L2\",\"clientPid\":\"L1\",\"name\":\"" +
                        Encode("Week & 1") + "\"},{\"clientid\":\"L3\",\"clientPid\":\"L1\",\"name\":\"" +
                        Encode("Week \"2\"") + "\"}]}";
    HttpReply br = PostForm(sim.WebPort(), "/ajax/ftp/dir/upload", "paramJson=" + batch, s.cookie);
    ASSERT_EQ(br.status, 200);
    v = br.JsonBody();
    ASSERT_TRUE(v["success"].asBool()) << br.body;
    ASSERT_EQ(v["result"]["list"].size(), 3u);
    std::map<std::string, Json::Value> byClient;
    for (const auto& d : v["result"]["list"])
        byClient[d["clientid"].asString()] = d;
    EXPECT_EQ(byClient["L1"]["parentId"].asInt64(), root);
    EXPECT_EQ(byClient["L1"]["name"].asString(), "Term 1");
    EXPECT_EQ(byClient["L2"]["parentId"].asInt64(), byClient["L1"]["id"].asInt64());
    EXPECT_EQ(byClient["L2"]["name"].asString(), "Week & 1");
    EXPECT_EQ(byClient["L3"]["name"].asString(), "Week \"2\"");
    EXPECT_EQ(byClient["L3"]["level"].asInt(), 3);
    v = PostForm(sim.WebPort(), "/ajax/ftp/dir/upload", "paramJson=" + batch, s.cookie).JsonBody();
    EXPECT_EQ(v["result"]["list"][0]["id"].asInt64(), byClient["L1"]["id"].asInt64());
    // A large local tree (well beyond 8 KiB of batch text) goes through in one request.
    std::string big = "{\"pid\":\"" + std::to_string(root) + "\",\"orgid\":\"" + org + "\",\"list\":[";
    for (int i = 0; i < 400; ++i)
        big += std::string(i ? "," : "") + "{\"clientid\":\"B" + std::to_string(i) +
               "\",\"clientPid\":\"B0\",\"name\":\"" + Encode("Chapter " + std::to_string(i)) + "\"}";
    big += "]}";
    ASSERT_GT(big.size(), 20000u);
    v = PostForm(sim.WebPort(), "/ajax/ftp/dir/upload", "paramJson=" + big, s.cookie).JsonBody();
    ASSERT_TRUE(v["success"].asBool());
    EXPECT_EQ(v["result"]["list"].size(), 400u);
    EXPECT_EQ(v["result"]["list"][399]["parentId"].asInt64(), v["result"]["list"][0]["id"].asInt64());
    EXPECT_TRUE(Api(sim, s,
                    "/ajax/ftp/dir/delete?organizationId=" + org +
                        "&ids=" + v["result"]["list"][0]["id"].asString())["success"]
                    .asBool());
    EXPECT_FALSE(PostForm(sim.WebPort(), "/ajax/ftp/dir/upload", "paramJson={broken", s.cookie)
                     .JsonBody()["success"]
                     .asBool());
    int64_t term = byClient["L1"]["id"].asInt64();
    int64_t week1 = byClient["L2"]["id"].asInt64();

    // Rename, with the same checks as creation.
    EXPECT_TRUE(Api(sim, s,
                    "/ajax/ftp/dir/edit?id=" + std::to_string(abc) + "&name=" + Encode("Renamed 1") +
                        "&parentId=" + std::to_string(root) + "&organizationId=" + org)["success"]
                    .asBool());
    EXPECT_FALSE(Api(sim, s,
                     "/ajax/ftp/dir/edit?id=" + std::to_string(abc) +
                         "&name=..&parentId=" + std::to_string(root) + "&organizationId=" + org)["success"]
                     .asBool());

    // Moving a folder into its own subtree is refused; a real move relevels the subtree.
    EXPECT_FALSE(Api(sim, s,
                     "/ajax/ftp/dir/move?organizationId=" + org + "&parentId=" + std::to_string(week1) +
                         "&ids=" + std::to_string(term))["success"]
                     .asBool());
    EXPECT_TRUE(Api(sim, s,
                    "/ajax/ftp/dir/move?organizationId=" + org + "&parentId=" + std::to_string(course) +
                        "&ids=" + std::to_string(term) + "," + std::to_string(abc))["success"]
                    .asBool());
    v = Api(sim, s,
            "/ajax/ftp/dir/show?parentId=" + std::to_string(term) + "&organizationId=" + org +
                "&showfile=false&sort=&type=&uploadStatus=true");
    ASSERT_EQ(v["dirList"]["list"].size(), 2u);
    EXPECT_EQ(v["dirList"]["list"][0]["level"].asInt(), 4);

    // Search below a folder, case-insensitive, folders and files alike.
    v = Api(sim, s,
            "/ajax/ftp/dir/search?organizationId=" + org + "&dirId=" + std::to_string(root) + "&name=week");
    ASSERT_TRUE(v["success"].asBool());
    EXPECT_EQ(v["dirList"]["list"].size(), 2u);
    EXPECT_TRUE(v["fileList"]["list"].isArray());
    EXPECT_FALSE(
        Api(sim, s, "/ajax/ftp/dir/search?organizationId=" + org + "&dirId=0&name=week")["success"].asBool());

    // Delete takes the subtree; an id list with junk is refused.
    EXPECT_FALSE(Api(sim, s, "/ajax/ftp/dir/delete?organizationId=" + org + "&ids=1,x")["success"].asBool());
    EXPECT_TRUE(
        Api(sim, s, "/ajax/ftp/dir/delete?organizationId=" + org + "&ids=" + std::to_string(term))["success"]
            .asBool());
    v = Api(sim, s,
            "/ajax/ftp/dir/search?organizationId=" + org + "&dirId=" + std::to_string(root) + "&name=week");
    EXPECT_EQ(v["dirList"]["list"].size(), 0u);

    // Quota in whole gigabytes, all three members present.
    v = Api(sim, s, "/ajax/ftp/getFtpSpaceData?organizationId=" + org);
    EXPECT_EQ(v["totalSize"].asInt64(), 100);
    EXPECT_EQ(v["usedSize"].asInt64(), 0);
    EXPECT_EQ(v["leftSize"].asInt64(), 100);

    // The state survives a restart.
    ASSERT_TRUE(sim.Restart());
    s = LogInDemo(sim);
    v = Api(sim, s,
            "/ajax/ftp/dir/show?parentId=" + std::to_string(course) + "&organizationId=" + org +
                "&showfile=true&sort=&type=&uploadStatus=true");
    ASSERT_EQ(v["dirList"]["list"].size(), 1u);
    EXPECT_EQ(v["dirList"]["list"][0]["name"].asString(), "Renamed 1");
}

TEST(SimWeb, ServerListsInstallerDownloadAndWebFaults)
{
    CSimProcess sim;
    CTempDir dir;
    std::string installer = dir.File("Setup 2.exe");
    std::string content;
    for (int i = 0; i < 300000; ++i)
        content += static_cast<char>('a' + i % 26);
    ASSERT_TRUE(WriteFile(installer, content));
    ASSERT_TRUE(sim.Start({"--installer", installer, "--file-servers", "3"}));
    Session s = LogInDemo(sim);

    Json::Value v = Api(sim, s, "/ajax/getVexoraServerIpList");
    ASSERT_EQ(v["result"]["list"].size(), 3u);
    for (Json::ArrayIndex i = 0; i < 3; ++i) {
        EXPECT_EQ(v["result"]["list"][i]["ip"].asString(), "127.0.0.1");
        EXPECT_EQ(v["result"]["list"][i]["port"].asString(), std::to_string(sim.FilePorts()[i]));
    }
    v = Get(sim.WebPort(), "/liveCourse.do?action=getLiveServerIdc").JsonBody();
    EXPECT_EQ(v["idcList"].asString(), "127.0.0.1");
    EXPECT_EQ(v["port"].asString(), std::to_string(sim.VersionPort()));

    // The updater's request: a range from the bytes it has; 206 with both length fields.
    std::string target = "/download/Setup%202.exe?random=123";
    std::string req = "GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(sim.WebPort()) +
                      "\r\nAccept: *.*\r\nUser-Agent: TolvaneUpdater\r\nPragma: no-cache\r\nCache-Control: "
                      "no-cache\r\nConnection: Keep-Alive\r\nRange: bytes=";
    HttpReply r = RawHttp(sim.WebPort(), req + "0-\r\n\r\n");
    EXPECT_EQ(r.status, 206);
    EXPECT_EQ(r.Header("Content-Length"), std::to_string(content.size()));
    EXPECT_EQ(r.Header("Content-Range"), "bytes 0-299999/300000");
    EXPECT_EQ(r.body, content);
    r = RawHttp(sim.WebPort(), req + "123456-\r\n\r\n");
    EXPECT_EQ(r.status, 206);
    EXPECT_EQ(r.Header("Content-Length"), "176544");
    EXPECT_EQ(r.Header("Content-Range"), "bytes 123456-299999/300000");
    EXPECT_EQ(r.body, content.substr(123456));
    r = RawHttp(sim.WebPort(), req + "300000-\r\n\r\n");
    EXPECT_EQ(r.status, 416);
    EXPECT_EQ(r.Header("Content-Range"), "bytes */300000");
    EXPECT_EQ(Get(sim.WebPort(), "/download/other.exe").status, 404);
    EXPECT_EQ(Get(sim.WebPort(), "/download/..%2F..%2Fstate.json").status, 404);

    // Garbage: answers stay HTTP with a length, but the bodies are no JSON.
    ASSERT_TRUE(sim.SetFault("garbage", "web"));
    r = Get(sim.WebPort(), "/login.do?j_username=demo&j_password=" + Md5Hex("demo123") + "&src=android");
    EXPECT_EQ(r.status, 200);
    EXPECT_TRUE(r.hasContentLength);
    EXPECT_TRUE(r.JsonBody().isNull());
    ASSERT_TRUE(sim.SetFault("garbage", "off"));

    // Delay: the answer comes, later.
    ASSERT_TRUE(sim.SetFault("delay", "700"));
    auto t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(Get(sim.WebPort(), "/liveCourse.do?action=getLiveServerIdc").status, 200);
    EXPECT_GE(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(650));
    ASSERT_TRUE(sim.SetFault("delay", "0"));
}

TEST(SimWeb, MalformedRequestsGetAnErrorAndTheServerCarriesOn)
{
    CSimProcess sim;
    ASSERT_TRUE(sim.Start());
    int port = sim.WebPort();
    // A huge announced body never arriving: an error answer or a closed connection, in bounded time.
    HttpReply r =
        RawHttp(port,
                "POST /ajax/ftp/dir/upload HTTP/1.1\r\nHost: x\r\nContent-Length: "
                "99999999999999\r\nContent-Type: application/x-www-form-urlencoded\r\n\r\nparamJson=",
                20000);
    EXPECT_TRUE(r.status >= 400 || r.closedByPeer);
    r = RawHttp(port, "GARBAGE\r\n\r\n", 5000);
    EXPECT_TRUE(r.status == 0 || r.status >= 400);
    r = RawHttp(port, std::string(100000, 'A') + "\r\n\r\n", 5000);
    EXPECT_TRUE(r.status == 0 || r.status >= 400);
    Session s = LogInDemo(sim);
    Json::Value v = Api(sim, s, "/ajax/ftp/dir/show?parentId=abc&organizationId=" + Org(s));
    EXPECT_FALSE(v["success"].asBool());
    v = Api(sim, s, "/ajax/ftp/dir/show?parentId=99999999999999999999999&organizationId=" + Org(s));
    EXPECT_FALSE(v["success"].asBool());
    EXPECT_EQ(Get(port, "/nothing/here").status, 404);
    EXPECT_TRUE(Api(sim, s, "/check.do?action=checkIfOut").isObject());
}

} // namespace vx::test::sim
