// The file servers, driven byte for byte by a raw client: announce and answer, data, the
// 7-byte confirmation, resume, the answers for missing folders and taken names, the speed
// test, the file-server faults, malformed announces, parallel uploads and a sparse upload
// beyond 4 GiB.

#include "SimTestClient.h"
#include "common/SimHarness.h"
#include "platform/Crypto.h"
#include "platform/File.h"
#include "platform/Paths.h"

#include <cstring>
#include <gtest/gtest.h>
#include <thread>

namespace vx::test::sim {

namespace {

struct Ctx
{
    std::string cookie;
    int64_t user = 0, org = 0, root = 0;
};

Ctx Prepare(const CSimProcess& sim)
{
    Ctx c;
    Json::Value login;
    c.cookie = Login(sim.WebPort(), "demo", "demo123", &login);
    c.user = login["id"].asInt64();
    c.org = Get(sim.WebPort(), "/getCurrentUser.do?rand=3", c.cookie).JsonBody()["orgId"].asInt64();
    Json::Value v = Get(sim.WebPort(),
                        "/ajax/ftp/dir/show?parentId=0&organizationId=" + std::to_string(c.org) +
                            "&showfile=false&sort=&type=&uploadStatus=true",
                        c.cookie)
                        .JsonBody();
    for (const auto& d : v["dirList"]["list"])
        if (d["name"].asString() == "demo")
            c.root = d["id"].asInt64();
    return c;
}

std::string Pattern(size_t n, unsigned seed)
{
    std::string s(n, '\0');
    uint32_t x = seed * 2654435761u + 1;
    for (size_t i = 0; i < n; ++i) {
        x = x * 1103515245u + 12345u;
        s[i] = static_cast<char>(x >> 16);
    }
    return s;
}

Announce MakeAnnounce(const Ctx& c, const std::string& path, const std::string& wireName, int rule = 4)
{
    Announce a;
    a.end = static_cast<int64_t>(vx::FileSize(path));
    std::string ext = wireName.substr(wireName.rfind('.') + 1);
    bool whole = ext == "pdf" || ext == "swf";
    a.type = ext == "pdf" ? 2 : ext == "swf" ? 3 : 1;
    SampledMd5(path, whole, rule, a.md5);
    a.dirId = c.root;
    a.orgId = c.org;
    a.userId = c.user;
    a.wireName = wireName;
    return a;
}

// One full client run: announce, data of the answered range, confirmation. Returns the
// confirmation's result, or 1000 + kind for an answer without data phase, or -1000 on a break.
struct RunResult
{
    AnswerMsg answer;
    int confirm = -1000;
    int64_t sent = 0;
};

// confirmMs: the server digests the whole upload first; the client allows more for big files.
RunResult Upload(int port, const Announce& a, const std::string& path, int confirmMs = 20000)
{
    RunResult r;
    CSocket s = Connect(port);
    if (!s.IsValid())
        return r;
    std::vector<uint8_t> msg = a.Bytes();
    if (!SendAll(s, msg.data(), msg.size()) || !ReadAnswer(s, &r.answer))
        return r;
    if (r.answer.kind != 0 || r.answer.result != 1) {
        r.confirm = 1000 + r.answer.kind;
        return r;
    }
    CFile in;
    in.Open(path, CFile::Mode::Read);
    char buf[1400];
    int64_t pos = r.answer.start;
    while (pos < r.answer.end) {
        int64_t n = in.ReadAt(buf, sizeof(buf), pos);
        if (n <= 0 || !SendAll(s, buf, static_cast<size_t>(n)))
            break;
        pos += n;
        r.sent += n;
    }
    uint8_t conf[7];
    if (RecvExact(s, conf, 7, confirmMs) && conf[0] == 0 && conf[1] == 0 && conf[2] == 1)
        r.confirm = static_cast<int8_t>(conf[3]);
    return r;
}

Json::Value ListFiles(const CSimProcess& sim, const Ctx& c, int64_t dir)
{
    return Get(sim.WebPort(),
               "/ajax/ftp/dir/show?parentId=" + std::to_string(dir) + "&organizationId=" +
                   std::to_string(c.org) + "&showfile=true&sort=&type=&uploadStatus=true",
               c.cookie)
        .JsonBody()["fileList"]["list"];
}

} // namespace

TEST(SimUpload, NewUploadResumeAndStoredContent)
{
    CSimProcess sim;
    ASSERT_TRUE(sim.Start());
    Ctx c = Prepare(sim);
    ASSERT_GT(c.root, 0);
    CTempDir dir;
    std::string path = dir.File("lesson 1.flv");
    std::string data = Pattern(1000000, 1);
    ASSERT_TRUE(WriteFile(path, data));
    // The client's name: stem encoded, extension as it is.
    Announce a = MakeAnnounce(c, path, Encode("lesson 1.MP4.asc") + ".flv");

    // First try: the server drops after 300000 data bytes and keeps them.
    ASSERT_TRUE(sim.SetFault("drop-after", "300000"));
    RunResult r = Upload(sim.FilePorts()[0], a, path);
    EXPECT_EQ(r.answer.kind, 0);
    EXPECT_EQ(r.answer.result, 1);
    EXPECT_EQ(r.answer.start, 0);
    EXPECT_EQ(r.answer.end, 1000000);
    EXPECT_EQ(memcmp(r.answer.md5, a.md5, 16), 0);
    EXPECT_GT(r.answer.fileId, int64_t(1) << 32);
    EXPECT_NE(r.confirm, 1);
    int64_t promisedId = r.answer.fileId;

    // Reconnect (on the other file server, too): asked for the rest only, then confirmed.
    ASSERT_TRUE(sim.SetFault("drop-after", "off"));
    a.start = 300000;
    a.newFlag = 0;
    r = Upload(sim.FilePorts()[1], a, path);
    EXPECT_EQ(r.answer.start, 300000);
    EXPECT_EQ(r.answer.end, 1000000);
    EXPECT_EQ(r.answer.fileId, promisedId);
    EXPECT_EQ(r.sent, 700000);
    EXPECT_EQ(r.confirm, 1);

    // Listed under its decoded name, stored whole, counted in the quota.
    Json::Value files = ListFiles(sim, c, c.root);
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(files[0]["name"].asString(), "lesson 1.MP4.asc.flv");
    EXPECT_EQ(files[0]["type"].asString(), "flv");
    EXPECT_EQ(files[0]["fileSize"].asString(), "1000000");
    EXPECT_EQ(files[0]["id"].asInt64(), promisedId);
    EXPECT_EQ(files[0]["parentId"].asInt64(), c.root);
    Md5Digest want{}, got{};
    Md5Bytes(data.data(), data.size(), &want);
    std::string blob =
        ReadFile(sim.RootDir() + "files/" + std::to_string(c.org) + "_" + Hex(a.md5) + "_1000000");
    Md5Bytes(blob.data(), blob.size(), &got);
    EXPECT_EQ(want, got);
    EXPECT_EQ(
        Get(sim.WebPort(), "/ajax/ftp/getFtpSpaceData?organizationId=" + std::to_string(c.org), c.cookie)
            .JsonBody()["usedSize"]
            .asInt64(),
        1);

    // Announcing it again: kind 1, result 1, the same id, no data phase.
    r = Upload(sim.FilePorts()[0], a, path);
    EXPECT_EQ(r.answer.kind, 1);
    EXPECT_EQ(r.answer.result, 1);
    EXPECT_EQ(r.answer.fileId, promisedId);
    EXPECT_EQ(memcmp(r.answer.md5, a.md5, 16), 0);

    // The same content under another name elsewhere is taken at once as a new entry.
    Json::Value made = Get(sim.WebPort(),
                           "/ajax/ftp/dir/create?organizationId=" + std::to_string(c.org) +
                               "&parentId=" + std::to_string(c.root) + "&name=copy",
                           c.cookie)
                           .JsonBody();
    Announce b = a;
    b.dirId = made["id"].asInt64();
    b.wireName = "again.flv";
    r = Upload(sim.FilePorts()[0], b, path);
    EXPECT_EQ(r.answer.kind, 1);
    EXPECT_NE(r.answer.fileId, promisedId);
    EXPECT_EQ(ListFiles(sim, c, b.dirId)[0]["name"].asString(), "again.flv");

    // Moving and renaming the file through the web API.
    std::string org = std::to_string(c.org);
    EXPECT_TRUE(Get(sim.WebPort(),
                    "/ajax/ftp/file/edit?organizationId=" + org + "&id=" + std::to_string(promisedId) +
                        "&name=" + Encode("第一课.flv") + "&md5=" + Hex(a.md5) + "&size=1000000",
                    c.cookie)
                    .JsonBody()["success"]
                    .asBool());
    EXPECT_TRUE(Get(sim.WebPort(),
                    "/ajax/ftp/file/move?organizationId=" + org + "&dirId=" + std::to_string(b.dirId) +
                        "&ids=" + std::to_string(promisedId),
                    c.cookie)
                    .JsonBody()["success"]
                    .asBool());
    ASSERT_EQ(ListFiles(sim, c, b.dirId).size(), 2u);
    // A folder holding files is not deleted.
    EXPECT_FALSE(Get(sim.WebPort(),
                     "/ajax/ftp/dir/delete?organizationId=" + org + "&ids=" + std::to_string(b.dirId),
                     c.cookie)
                     .JsonBody()["success"]
                     .asBool());
    // Search finds files below the folder.
    Json::Value found = Get(sim.WebPort(),
                            "/ajax/ftp/dir/search?organizationId=" + org +
                                "&dirId=" + std::to_string(c.root) + "&name=" + Encode("第一"),
                            c.cookie)
                            .JsonBody();
    ASSERT_EQ(found["fileList"]["list"].size(), 1u);

    // After a restart the upload is still there.
    ASSERT_TRUE(sim.Restart());
    c.cookie = Prepare(sim).cookie;
    EXPECT_EQ(ListFiles(sim, c, b.dirId).size(), 2u);
}

TEST(SimUpload, AnswersForMissingFolderTakenNameAndDigestChecks)
{
    CSimProcess sim;
    ASSERT_TRUE(sim.Start({"--md5-rule", "3"}));
    Ctx c = Prepare(sim);
    CTempDir dir;
    std::string doc = dir.File("notes.pdf");
    ASSERT_TRUE(WriteFile(doc, Pattern(10000, 2)));
    int port = sim.FilePorts()[0];

    Announce a = MakeAnnounce(c, doc, "notes.pdf", 3);
    Announce missing = a;
    missing.dirId = 777;
    EXPECT_EQ(Upload(port, missing, doc).answer.result, -4);
    Announce stranger = a;
    stranger.userId = 1;
    EXPECT_EQ(Upload(port, stranger, doc).answer.result, -2);

    // PDF digests cover the whole file: a sampled digest is refused after the data.
    Announce sampled = a;
    SampledMd5(doc, false, 3, sampled.md5);
    RunResult r = Upload(port, sampled, doc);
    EXPECT_EQ(r.answer.result, 1);
    EXPECT_EQ(r.confirm, -1);
    r = Upload(port, a, doc);
    EXPECT_EQ(r.confirm, 1);

    // Same name, other content: -6.
    std::string other = dir.File("other.pdf");
    ASSERT_TRUE(WriteFile(other, Pattern(10000, 3)));
    Announce clash = MakeAnnounce(c, other, "notes.pdf", 3);
    EXPECT_EQ(Upload(port, clash, other).answer.result, -6);

    // Fault switches of the file server.
    Announce fresh = MakeAnnounce(c, other, "fresh.pdf", 3);
    ASSERT_TRUE(sim.SetFault("wrong-digest", "on"));
    r = Upload(port, fresh, other);
    EXPECT_EQ(r.answer.result, 1);
    EXPECT_NE(memcmp(r.answer.md5, fresh.md5, 16), 0);
    ASSERT_TRUE(sim.SetFault("wrong-digest", "off"));
    ASSERT_TRUE(sim.SetFault("bad-confirm", "on"));
    EXPECT_EQ(Upload(port, fresh, other).confirm, -1);
    ASSERT_TRUE(sim.SetFault("bad-confirm", "off"));
    ASSERT_TRUE(sim.SetFault("garbage", "file"));
    r = Upload(port, fresh, other);
    EXPECT_NE(r.answer.kind, 0);
    EXPECT_NE(r.answer.kind, 1);
    ASSERT_TRUE(sim.SetFault("garbage", "off"));
    ASSERT_TRUE(sim.SetFault("delay", "600"));
    auto t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(Upload(port, fresh, other).confirm, 1);
    EXPECT_GE(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(1100));
    ASSERT_TRUE(sim.SetFault("delay", "0"));
}

TEST(SimUpload, SpeedTestAnswersInOneWriteThenTakesData)
{
    CSimProcess sim;
    ASSERT_TRUE(sim.Start());
    CSocket conn = Connect(sim.FilePorts()[1]);
    ASSERT_TRUE(conn.IsValid());
    uint8_t req[7] = {0, 0, 2, 0, 0, 0, 0};
    ASSERT_TRUE(SendAll(conn, req, 7));
    uint8_t ans[7];
    ASSERT_TRUE(RecvExact(conn, ans, 7));
    EXPECT_EQ(ans[0], 0);
    EXPECT_EQ(ans[1], 0);
    EXPECT_EQ(ans[2], 2);
    std::vector<uint8_t> block(1400, 0);
    memcpy(block.data(), req, 7);
    for (int i = 0; i < 2000; ++i)
        ASSERT_TRUE(SendAll(conn, block.data(), block.size()));
    conn.Close();

    ASSERT_TRUE(sim.SetFault("garbage", "file"));
    conn = Connect(sim.FilePorts()[1]);
    ASSERT_TRUE(SendAll(conn, req, 7));
    ASSERT_TRUE(RecvExact(conn, ans, 7));
    EXPECT_NE(ans[2], 2);
}

TEST(SimUpload, MalformedAnnouncesNeverHurtTheServer)
{
    CSimProcess sim;
    ASSERT_TRUE(sim.Start());
    Ctx c = Prepare(sim);
    int port = sim.FilePorts()[0];
    CTempDir dir;
    std::string path = dir.File("x.flv");
    ASSERT_TRUE(WriteFile(path, Pattern(5000, 4)));
    Announce good = MakeAnnounce(c, path, "x.flv");

    auto answerOf = [&](const std::vector<uint8_t>& bytes, AnswerMsg* a) {
        CSocket s = Connect(port);
        SendAll(s, bytes.data(), bytes.size());
        s.ShutdownSend();
        return ReadAnswer(s, a);
    };
    AnswerMsg a;
    // Names that escape the folder, decode to nothing, or are not UTF-8: an error answer.
    for (std::string name :
         {std::string("..%2F..%2Fetc.flv"), std::string("a%2Fb.flv"), std::string("%FF%FE.flv"),
          std::string(".."), std::string("+"), std::string("%0A.flv")}) {
        Announce bad = good;
        bad.wireName = name;
        ASSERT_TRUE(answerOf(bad.Bytes(), &a)) << name;
        EXPECT_LT(a.result, 0) << name;
    }
    // A length that disagrees with the name length; a zero length file; a bad type.
    std::vector<uint8_t> bytes = good.Bytes();
    bytes[72] = static_cast<uint8_t>(bytes[72] + 1);
    ASSERT_TRUE(answerOf(bytes, &a));
    EXPECT_LT(a.result, 0);
    Announce empty = good;
    empty.end = 0;
    ASSERT_TRUE(answerOf(empty.Bytes(), &a));
    EXPECT_LT(a.result, 0);
    Announce badType = good;
    badType.type = 9;
    ASSERT_TRUE(answerOf(badType.Bytes(), &a));
    EXPECT_LT(a.result, 0);
    // A short announce, a header that promises more than comes, an unknown kind, random
    // bytes: an error answer or a closed connection.
    std::vector<uint8_t> shortMsg = {10, 0, 0, 1, 0, 0, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
    if (answerOf(shortMsg, &a)) {
        EXPECT_LT(a.result, 0);
    }
    EXPECT_FALSE(answerOf({0xFF, 0xFF, 0, 1, 0, 0, 0, 1, 2}, &a));
    EXPECT_FALSE(answerOf({0, 0, 77, 0, 0, 0, 0}, &a));
    std::string noise = Pattern(3000, 9);
    EXPECT_FALSE(answerOf(std::vector<uint8_t>(noise.begin(), noise.end()), &a) && a.result > 0);

    // Nothing escaped the state folder, and a proper upload still works.
    EXPECT_FALSE(vx::FileExists(sim.RootDir() + "../etc.flv"));
    EXPECT_EQ(Upload(port, good, path).confirm, 1);
    EXPECT_EQ(ListFiles(sim, c, c.root).size(), 1u);
}

TEST(SimUpload, ParallelUploadsOnBothServers)
{
    CSimProcess sim;
    ASSERT_TRUE(sim.Start());
    Ctx c = Prepare(sim);
    CTempDir dir;
    const int kCount = 4;
    std::vector<std::string> paths;
    std::vector<Announce> anns;
    for (int i = 0; i < kCount; ++i) {
        paths.push_back(dir.File("p" + std::to_string(i) + ".flv"));
        ASSERT_TRUE(WriteFile(paths.back(), Pattern(3000000 + static_cast<size_t>(i) * 1000, 10 + i)));
        anns.push_back(MakeAnnounce(c, paths.back(), "p" + std::to_string(i) + ".flv"));
    }
    std::vector<int> results(kCount, 0);
    std::vector<std::thread> threads;
    for (int i = 0; i < kCount; ++i)
        threads.emplace_back(
            [&, i] { results[i] = Upload(sim.FilePorts()[i % 2], anns[i], paths[i]).confirm; });
    for (auto& t : threads)
        t.join();
    for (int i = 0; i < kCount; ++i)
        EXPECT_EQ(results[i], 1) << i;
    EXPECT_EQ(ListFiles(sim, c, c.root).size(), static_cast<unsigned>(kCount));
}

TEST(SimUpload, SparseFileBeyondFourGigabytes)
{
    CSimProcess sim;
    ASSERT_TRUE(sim.Start());
    Ctx c = Prepare(sim);
    CTempDir dir;
    // A sparse local file of 4 GiB + 5000 bytes whose last 5000 bytes carry data.
    const int64_t length = (int64_t(4) << 30) + 5000;
    std::string path = dir.File("big.flv");
    ASSERT_TRUE(WriteSparseFile(path, length, Pattern(5000, 77)));
    Announce a = MakeAnnounce(c, path, "big.flv");
    ASSERT_EQ(a.end, length);

    // The server already holds all but the last 7000 bytes (a sparse partial, as after an
    // earlier run), so only the end crosses the wire.
    std::string partial = sim.RootDir() + "partial/" + std::to_string(c.org) + "_" + Hex(a.md5) + "_" +
                          std::to_string(length) + ".part";
    ASSERT_TRUE(WriteSparseFile(partial, length - 7000));

    a.start = length - 7000;
    RunResult r = Upload(sim.FilePorts()[0], a, path, 180000);
    EXPECT_EQ(r.answer.start, length - 7000);
    EXPECT_EQ(r.answer.end, length);
    EXPECT_EQ(r.sent, 7000);
    EXPECT_EQ(r.confirm, 1);
    Json::Value files = ListFiles(sim, c, c.root);
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(files[0]["fileSize"].asString(), std::to_string(length));
    EXPECT_EQ(
        Get(sim.WebPort(), "/ajax/ftp/getFtpSpaceData?organizationId=" + std::to_string(c.org), c.cookie)
            .JsonBody()["usedSize"]
            .asInt64(),
        5);
}

TEST(SimUpload, QuotaIsEnforced)
{
    CSimProcess sim;
    ASSERT_TRUE(sim.Start({"--quota-gb", "0"}));
    Ctx c = Prepare(sim);
    CTempDir dir;
    std::string path = dir.File("q.flv");
    ASSERT_TRUE(WriteFile(path, Pattern(2000, 5)));
    EXPECT_EQ(Upload(sim.FilePorts()[0], MakeAnnounce(c, path, "q.flv"), path).answer.result, -30000);
}

} // namespace vx::test::sim
