// Uploads to the simulator over 127.0.0.1: the command as a user runs it, resume after a
// dropped connection, every answer the file server can give, positions beyond 4 GiB, and the
// speed test choosing between two servers.

#include "app/AppConfig.h"
#include "app/LogFile.h"
#include "common/SimHarness.h"
#include "common/TestUtil.h"
#include "media/FileMd5.h"
#include "net/Session.h"
#include "net/SpaceApi.h"
#include "platform/File.h"
#include "platform/FsPath.h"
#include "platform/Paths.h"
#include "unit/upload/RawServer.h"
#include "unit/upload/UploadTestUtil.h"
#include "upload/FileServerList.h"
#include "upload/FileTransThread.h"
#include "upload/TestNetWorkThread.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

namespace vx::test {
namespace {

std::vector<std::string> FilesIn(const std::string& dir)
{
    std::vector<std::string> out;
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator(FsPath(dir), ec)) {
        const std::string name = FsPathText(e.path().filename());
        if (name[0] != '.')
            out.push_back(dir + name);
    }
    return out;
}

std::string RawOfHex(const std::string& hex)
{
    std::string raw;
    for (size_t i = 0; i + 1 < hex.size(); i += 2)
        raw.push_back(static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    return raw;
}

class UploadSimTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        s_data = new CScopedDataDir();
        OpenLogs();
        s_sim = new CSimProcess();
        ASSERT_TRUE(s_sim->Start());
        s_cfgDir = new CTempDir();
        s_ini = s_sim->WriteConfig(s_cfgDir->Path());
        s_cfg = new CAppConfig(s_ini);
        CSession session(*s_cfg);
        LoginRequest r;
        r.userName = CSimProcess::DemoUser();
        r.password = CSimProcess::DemoPassword();
        ASSERT_TRUE(session.Login(r) && session.PermissionGranted());
        CSpaceApi api(*s_cfg);
        std::vector<SpaceEntry> top;
        std::string err;
        ASSERT_TRUE(api.RequestForDirList(0, false, &top, &err)) << err;
        ASSERT_FALSE(top.empty());
        s_rootDir = top.front().i64Id;
    }
    static void TearDownTestSuite()
    {
        delete s_cfg;
        delete s_sim;
        delete s_cfgDir;
        CloseLogs();
        delete s_data;
    }
    void TearDown() override
    {
        for (const char* f :
             {"drop-after=off", "delay=0", "wrong-digest=off", "bad-confirm=off", "garbage=off"}) {
            std::string kv = f;
            size_t eq = kv.find('=');
            EXPECT_TRUE(s_sim->SetFault(kv.substr(0, eq), kv.substr(eq + 1))) << kv;
        }
    }

    // The sample and its task as the pipeline would build it (digest by the simulator's rule).
    _sTransTask Task(const std::string& name, int64_t size, uint32_t seed, std::string* bytes = nullptr)
    {
        std::string path = m_dir.File(name);
        std::string b = MakeSampleFile(path, size, seed);
        if (bytes)
            *bytes = b;
        FileMd5Result r;
        EXPECT_EQ(GetFileMd5(path, s_sim->Md5Rule(), nullptr, &r), MD5_OK);
        _sTransTask t;
        t.strFileIndex = "idx-" + name;
        t.i64ParentId = s_rootDir;
        t.strMd5 = RawOfHex(r.strMd5);
        t.strPath = path;
        t.i64EndPos = r.i64Length;
        std::string ext = name.substr(name.size() - 3);
        t.nFileType = ext == "pdf" ? TRANS_PDF : ext == "swf" ? TRANS_SWF : TRANS_FLV;
        t.strSvrHost = "127.0.0.1";
        t.usSvrPort = static_cast<uint16_t>(s_sim->FilePorts()[0]);
        return t;
    }

    std::vector<_sTransReport> Upload(const _sTransTask& t, int recvNum = 20)
    {
        CReportLog log;
        _sTransWorkerParam p;
        p.i64OrgId = s_cfg->m_i64OrgId;
        p.i64UserId = s_cfg->m_i64UserId;
        p.fnReport = [&log](TransReportPtr r) { log.Add(*r); };
        CFileTransThread w(p, 1);
        w.SetTuning({recvNum, 2000, 0});
        EXPECT_EQ(w.AssignTask(t), TRANS_ASSIGNED);
        EXPECT_TRUE(w.Join(60000));
        return log.All();
    }
    static std::vector<int> Codes(const std::vector<_sTransReport>& all)
    {
        std::vector<int> out;
        for (const auto& r : all)
            if (r.nCode != TR_PROGRESS && r.nCode != TR_WORKER_DONE)
                out.push_back(r.nCode);
        return out;
    }
    // True when the simulator holds a stored file with exactly these bytes.
    static bool Stored(const std::string& bytes)
    {
        for (const std::string& f : FilesIn(s_sim->RootDir() + "files/"))
            if (FileSize(f) == static_cast<int64_t>(bytes.size()) && ReadFile(f) == bytes)
                return true;
        return false;
    }
    RunResult Vexora(std::vector<std::string> args)
    {
        std::vector<std::string> all{
            "--config", s_ini, "--user", CSimProcess::DemoUser(), "--password", CSimProcess::DemoPassword()};
        all.insert(all.end(), args.begin(), args.end());
        return RunProgram("vexora", all, {"VEXORA_DATA_DIR=" + s_data->Path()}, 120000);
    }

    static CScopedDataDir* s_data;
    static CSimProcess* s_sim;
    static CTempDir* s_cfgDir;
    static std::string s_ini;
    static CAppConfig* s_cfg;
    static int64_t s_rootDir;
    CTempDir m_dir;
};
CScopedDataDir* UploadSimTest::s_data = nullptr;
CSimProcess* UploadSimTest::s_sim = nullptr;
CTempDir* UploadSimTest::s_cfgDir = nullptr;
std::string UploadSimTest::s_ini;
CAppConfig* UploadSimTest::s_cfg = nullptr;
int64_t UploadSimTest::s_rootDir = 0;

TEST_F(UploadSimTest, TheCommandUploadsVideosAndDocumentsByteForByte)
{
    std::string flv = MakeSampleFile(m_dir.File("lesson 1.flv"), 2500000, 11);
    std::string pdf = MakeSampleFile(m_dir.File("notes.PDF"), 300000, 12);
    std::string swf = MakeSampleFile(m_dir.File("课件.swf"), 70000, 13);
    const std::string dir = std::to_string(s_rootDir);
    const std::string server = "127.0.0.1:" + std::to_string(s_sim->FilePorts()[0]);
    RunResult r = Vexora({"upload", "--dir", dir, "--server", server, m_dir.File("lesson 1.flv"),
                          m_dir.File("notes.PDF"), m_dir.File("课件.swf")});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 3) << r.out;
    EXPECT_NE(r.out.find("lesson 1.flv\tfile id "), std::string::npos) << r.out;
    EXPECT_TRUE(Stored(flv));
    EXPECT_TRUE(Stored(pdf));
    EXPECT_TRUE(Stored(swf));
    RunResult ls = Vexora({"ls", "--dir", dir});
    EXPECT_NE(ls.out.find("lesson 1.flv"), std::string::npos) << ls.out;
    EXPECT_NE(ls.out.find("课件.swf"), std::string::npos) << ls.out;

    // Without --server the listed servers are measured first.
    std::string more = MakeSampleFile(m_dir.File("more.pdf"), 1000, 14);
    r = Vexora({"upload", "--dir", dir, "--test-ms", "600", m_dir.File("more.pdf")});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_TRUE(Stored(more));

    // A path as the system writes it (on Windows with backslashes, as Explorer and the console
    // give them) goes up under the file's own name.
    std::string typed = MakeSampleFile(m_dir.File("typed path.pdf"), 5000, 15);
    std::string typedPath = m_dir.File("typed path.pdf");
#ifdef _WIN32
    std::replace(typedPath.begin(), typedPath.end(), '/', '\\');
#endif
    r = Vexora({"upload", "--dir", dir, "--server", server, typedPath});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_TRUE(Stored(typed));
    ls = Vexora({"ls", "--dir", dir});
    EXPECT_NE(ls.out.find("\ttyped path.pdf\n"), std::string::npos) << ls.out;

    // Nothing to send, a kind not uploaded as it is, a missing folder: refused with the cause.
    WriteFile(m_dir.File("empty.pdf"), "");
    r = Vexora({"upload", "--dir", dir, "--server", server, m_dir.File("empty.pdf")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("empty.pdf: the file is empty"), std::string::npos) << r.err;
    WriteFile(m_dir.File("clip.mp4"), "x");
    r = Vexora({"upload", "--dir", dir, "--server", server, m_dir.File("clip.mp4")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("only FLV, PDF and SWF"), std::string::npos) << r.err;
    r = Vexora({"upload", "--dir", "77777", "--server", server, m_dir.File("more.pdf")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("no such folder"), std::string::npos) << r.err;
    EXPECT_EQ(Vexora({"upload", "--server", server, m_dir.File("more.pdf")}).exitCode, 2);
}

TEST_F(UploadSimTest, ADroppedUploadResumesWhereTheServerStands)
{
    std::string bytes;
    _sTransTask t = Task("resume.flv", 6000000, 21, &bytes);
    ASSERT_TRUE(s_sim->SetFault("drop-after", "1500000"));
    auto first = Upload(t);
    auto codes = Codes(first);
    ASSERT_EQ(codes.size(), 1u);
    EXPECT_TRUE(codes[0] == TRANS_SHORT || codes[0] == TRANS_NO_CONFIRM) << codes[0];
    EXPECT_FALSE(Stored(bytes));

    ASSERT_TRUE(s_sim->SetFault("drop-after", "off"));
    auto second = Upload(t); // the same task: start 0, the server's range decides
    EXPECT_EQ(Codes(second), std::vector<int>{TR_UPLOADED});
    EXPECT_TRUE(Stored(bytes));
    std::string transLog = ReadFile(s_data->Path() + "Log/transfile.txt");
    EXPECT_NE(transLog.find("range=1500000--6000000"), std::string::npos)
        << "the second run was not asked for the rest only";

    // As a user runs it: the command fails part-way, and the same command again finishes.
    std::string cli = MakeSampleFile(m_dir.File("cli resume.flv"), 4000000, 22);
    const std::vector<std::string> cmd{"upload",
                                       "--dir",
                                       std::to_string(s_rootDir),
                                       "--server",
                                       "127.0.0.1:" + std::to_string(s_sim->FilePorts()[0]),
                                       m_dir.File("cli resume.flv")};
    ASSERT_TRUE(s_sim->SetFault("drop-after", "1000000"));
    RunResult r = Vexora(cmd);
    EXPECT_EQ(r.exitCode, 1) << r.err;
    EXPECT_FALSE(Stored(cli));
    ASSERT_TRUE(s_sim->SetFault("drop-after", "off"));
    r = Vexora(cmd);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_TRUE(Stored(cli));
    EXPECT_NE(s_sim->LogText().find("name=cli resume.flv"), std::string::npos);

    // The same content again: the server holds it and nothing is sent.
    auto third = Upload(t);
    EXPECT_EQ(Codes(third), std::vector<int>{TR_UPLOADED});
    EXPECT_EQ(third[third.size() - 2].i64FileId, second[second.size() - 2].i64FileId);
}

TEST_F(UploadSimTest, EveryAnswerGivesItsCodeAndNothingHangs)
{
    // Result -4: no such folder.
    _sTransTask t = Task("nofolder.pdf", 5000, 31);
    t.i64ParentId = 123456789;
    EXPECT_EQ(Codes(Upload(t)), std::vector<int>{TRANS_REFUSED_4});

    // Result -6: the name is taken by other content.
    t = Task("taken.pdf", 5000, 32);
    ASSERT_EQ(Codes(Upload(t)), std::vector<int>{TR_UPLOADED});
    t = Task("taken.pdf", 5001, 33);
    EXPECT_EQ(Codes(Upload(t)), std::vector<int>{TRANS_REFUSED});

    // Result -30000: over the quota (a sparse file: only its length matters before the data).
    t = Task("huge.flv", 1000, 34);
    {
        CFile huge;
        ASSERT_TRUE(huge.Open(t.strPath, CFile::Mode::Write));
        ASSERT_TRUE(huge.Truncate(500LL << 30));
    }
    t.i64EndPos = 500LL << 30;
    EXPECT_EQ(Codes(Upload(t)), std::vector<int>{TRANS_REFUSED});

    // Another result: an account the server does not know.
    t = Task("stranger.pdf", 5000, 35);
    {
        CReportLog log;
        _sTransWorkerParam p;
        p.i64OrgId = s_cfg->m_i64OrgId + 1;
        p.i64UserId = s_cfg->m_i64UserId;
        p.fnReport = [&log](TransReportPtr r) { log.Add(*r); };
        CFileTransThread w(p, 1);
        w.SetTuning({20, 2000, 0});
        ASSERT_EQ(w.AssignTask(t), TRANS_ASSIGNED);
        ASSERT_TRUE(w.Join(20000));
        EXPECT_EQ(Codes(log.All()), std::vector<int>{TRANS_OTHER_RESULT});
        // The server's own result travels with the failure, so the user can be told why.
        for (const auto& r : log.All()) {
            if (r.nCode == TRANS_OTHER_RESULT) {
                EXPECT_EQ(r.nSvrResult, -2);
            }
        }
    }

    struct Case
    {
        const char* fault;
        const char* value;
        int code;
    } cases[] = {
        {"wrong-digest", "on", TRANS_BAD_ANSWER},
        {"garbage", "file", TRANS_BAD_ANSWER},
        {"bad-confirm", "on", TRANS_NO_CONFIRM},
        {"delay", "3000", TRANS_NO_ANSWER}, // no answer within the wait
    };
    uint32_t seed = 40;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fault);
        ASSERT_TRUE(s_sim->SetFault(c.fault, c.value));
        t = Task(std::string(c.fault) + ".flv", 200000, ++seed);
        auto t0 = std::chrono::steady_clock::now();
        EXPECT_EQ(Codes(Upload(t, 5)), std::vector<int>{c.code});
        EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(5));
        TearDown();
    }

    // Nobody listening.
    t = Task("refused.pdf", 5000, 50);
    t.usSvrPort = CRawServer::DeadPort();
    EXPECT_EQ(Codes(Upload(t)), std::vector<int>{TRANS_SOCKET});
}

TEST_F(UploadSimTest, TheCommandNamesTheFileServersReasonForARefusal)
{
    // A file server that refuses by content: "busy" files as arriving on another connection
    // (-5), the others as a request it does not accept (-1).
    CRawServer refusing([](CRawConn& c) {
        SeenAnnounce a;
        if (!c.ReadAnnounce(&a))
            return;
        c.Write(MakeAnswer(0, a.name.find("busy") != std::string::npos ? -5 : -1, 0, 0, a.md5, 0));
        c.ReadRest(500);
    });
    MakeSampleFile(m_dir.File("busy.flv"), 3000, 61);
    MakeSampleFile(m_dir.File("odd name.pdf"), 3000, 62);
    RunResult r = Vexora({"upload", "--dir", std::to_string(s_rootDir), "--server",
                          "127.0.0.1:" + std::to_string(refusing.Port()), m_dir.File("busy.flv"),
                          m_dir.File("odd name.pdf")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(
        r.err.find("busy.flv to 127.0.0.1:" + std::to_string(refusing.Port()) +
                   ": the file server refused the upload: the same content is being uploaded on another "
                   "connection"),
        std::string::npos)
        << r.err;
    EXPECT_NE(r.err.find("(server result -5) (code -107)"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("odd name.pdf to 127.0.0.1:" + std::to_string(refusing.Port()) +
                         ": the file server refused the upload: it does not accept the request"),
              std::string::npos)
        << r.err;
    EXPECT_NE(r.err.find("(server result -1) (code -107)"), std::string::npos) << r.err;
}

TEST_F(UploadSimTest, PositionsBeyondFourGibibytesReachTheServerWhole)
{
    // 4 GiB of zeros (sparse) and 1000 bytes after them. The server already holds the zeros,
    // as after an interrupted upload, so only the tail travels.
    const int64_t head = 4LL << 30;
    std::string path = m_dir.File("big.flv");
    ASSERT_TRUE(WriteSparseFile(path, head + 1000, MakeSampleFile(m_dir.File("tail"), 1000, 60)));
    FileMd5Result r;
    ASSERT_EQ(GetFileMd5(path, s_sim->Md5Rule(), nullptr, &r), MD5_OK);
    ASSERT_EQ(r.i64Length, head + 1000);
    std::string partial = s_sim->RootDir() + "partial/" + std::to_string(s_cfg->m_i64OrgId) + "_" + r.strMd5 +
                          "_" + std::to_string(head + 1000) + ".part";
    ASSERT_TRUE(WriteSparseFile(partial, head));

    _sTransTask t;
    t.strFileIndex = "big";
    t.i64ParentId = s_rootDir;
    t.strMd5 = RawOfHex(r.strMd5);
    t.strPath = path;
    t.i64EndPos = r.i64Length;
    t.strSvrHost = "127.0.0.1";
    t.usSvrPort = static_cast<uint16_t>(s_sim->FilePorts()[0]);
    auto all = Upload(t, 200);
    EXPECT_EQ(Codes(all), std::vector<int>{TR_UPLOADED});
    std::string transLog = ReadFile(s_data->Path() + "Log/transfile.txt");
    EXPECT_NE(transLog.find("range=4294967296--4294968296"), std::string::npos);
}

// Answers only after the delay switch's wait, so it misses the answer window of the test.
TEST_F(UploadSimTest, TheSpeedTestPicksTheServerThatAnswersAndTakesData)
{
    CSimProcess slow;
    ASSERT_TRUE(slow.Start({"--delay", "1500"}));
    CTestNetWorkThread test(0);
    test.SetTimeBudget(3000);
    test.AddServer("127.0.0.1", static_cast<uint16_t>(slow.FilePorts()[0]));
    test.AddServer("127.0.0.1", static_cast<uint16_t>(s_sim->FilePorts()[1]));
    ASSERT_TRUE(test.Start());
    ASSERT_TRUE(test.Join(20000));
    std::string host;
    uint16_t port = 0;
    ASSERT_TRUE(test.GetResult(&host, &port));
    EXPECT_EQ(port, s_sim->FilePorts()[1]);

    // The whole login step: the platform's list, the address list and a test thread over it.
    struct CWnd : IMsgHandler
    {
        void OnMessage(uint32_t id, uint64_t wParam, std::unique_ptr<CMsgPayload> p) override
        {
            if (id == WM_FILESERVER_TEST && PayloadAs<FileServerChoice>(p)) {
                address = wParam;
                choice = *PayloadAs<FileServerChoice>(p);
                got = true;
            }
        }
        bool got = false;
        uint64_t address = 0;
        FileServerChoice choice;
    } wnd;
    MsgTarget target = CMessageLoop::Main().Register(&wnd);
    CSpaceApi api(*s_cfg);
    CFileServerList list;
    std::unique_ptr<CTestNetWorkThread> thread;
    bool failed = true;
    std::string err;
    OnFileServerList(*s_cfg, api, list, target, &thread, &failed, &err, 900);
    EXPECT_FALSE(failed) << err;
    ASSERT_TRUE(thread);
    EXPECT_EQ(thread->ServerCount(), s_sim->FilePorts().size());
    EXPECT_TRUE(list.Contains("127.0.0.1"));
    EXPECT_TRUE(CMessageLoop::Main().PumpUntil([&] { return wnd.got; }, 10000));
    EXPECT_EQ(wnd.choice.strHost, "127.0.0.1");
    auto ports = s_sim->FilePorts();
    EXPECT_NE(std::find(ports.begin(), ports.end(), wnd.choice.usPort), ports.end());
    thread.reset();
    CMessageLoop::Main().Unregister(target);
}

} // namespace
} // namespace vx::test
