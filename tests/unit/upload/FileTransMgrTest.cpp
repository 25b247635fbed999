// The transfer manager with real workers and a real server on 127.0.0.1: the pool bound, the
// reports reaching the window, withdrawal, stopping in the middle and reconfiguring.

#include "upload/FileTransMgr.h"
#include "common/TestUtil.h"
#include "unit/upload/RawServer.h"
#include "unit/upload/UploadTestUtil.h"
#include "upload/UploadMessages.h"

#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <mutex>

namespace vx::test {
namespace {

using namespace std::chrono_literals;

// A server that takes every upload whole, holding each connection holdMs before it confirms,
// and counts how many uploads it serves at once: an upload counts from its connection until the
// server confirms it (the client cannot start its next one before the confirmation arrives).
class CGoodServer
{
public:
    explicit CGoodServer(int holdMs) : m_holdMs(holdMs), m_srv([this](CRawConn& c) { Serve(c); }) {}
    uint16_t Port() const { return m_srv.Port(); }
    int Peak() const { return m_peak.load(); }
    int Active() const { return m_active.load(); }
    std::map<std::string, std::string> Stored() const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_stored;
    }
    std::vector<std::string> Announced() const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_announced;
    }

private:
    void Serve(CRawConn& c)
    {
        int now = ++m_active;
        for (int p = m_peak.load(); now > p && !m_peak.compare_exchange_weak(p, now);) {
        }
        bool counted = true;
        auto ended = [&] {
            if (counted)
                --m_active;
            counted = false;
        };
        SeenAnnounce a;
        if (c.ReadAnnounce(&a)) {
            {
                std::lock_guard<std::mutex> lock(m_mutex);
                m_announced.push_back(a.name);
            }
            std::string data;
            if (c.Write(MakeAnswer(0, 1, 0, a.end, a.md5, 100 + a.end)) && c.Read(&data, a.end)) {
                std::string rest = c.ReadRest(m_holdMs); // the client may give up meanwhile
                // Kept before confirming, as a real server does: the client may look the
                // moment the confirmation arrives.
                if (rest.empty()) {
                    {
                        std::lock_guard<std::mutex> lock(m_mutex);
                        m_stored[a.name] = data;
                    }
                    ended();
                    if (!c.Write(MakeHead(0, 1, 1))) {
                        std::lock_guard<std::mutex> lock(m_mutex);
                        m_stored.erase(a.name);
                    }
                }
            }
        }
        ended();
        c.ReadRest(1000);
    }

    int m_holdMs;
    std::atomic<int> m_active{0};
    std::atomic<int> m_peak{0};
    mutable std::mutex m_mutex;
    std::map<std::string, std::string> m_stored;
    std::vector<std::string> m_announced;
    CRawServer m_srv;
};

// Stands in for the main window: collects WM_TRANS_RESULT reports from the main loop.
class CReportWindow : public IMsgHandler
{
public:
    CReportWindow() { m_target = CMessageLoop::Main().Register(this); }
    ~CReportWindow() override { CMessageLoop::Main().Unregister(m_target); }
    void OnMessage(uint32_t id, uint64_t, std::unique_ptr<CMsgPayload> payload) override
    {
        if (id != WM_TRANS_RESULT)
            return;
        if (auto* r = PayloadAs<_sTransReport>(payload))
            m_log.Add(*r);
    }
    bool PumpUntil(const std::function<bool()>& pred, int ms)
    {
        return CMessageLoop::Main().PumpUntil(pred, ms);
    }
    MsgTarget m_target;
    CReportLog m_log;
};

class FileTransMgrTest : public ::testing::Test
{
protected:
    _sTransInit InitRecord(int workers, uint16_t port)
    {
        _sTransInit init;
        init.m_uMaxWorkNum = workers;
        init.hWnd = m_wnd.m_target;
        init.uMsgId = WM_TRANS_RESULT;
        init.strSvrHost = "127.0.0.1";
        init.usSvrPort = port;
        init.i64OrgId = 3;
        init.i64UserId = 4;
        return init;
    }
    _sTransTask AddFile(const std::string& name, int64_t size, uint16_t port)
    {
        _sTransTask t;
        t.strFileIndex = "idx-" + name;
        t.i64ParentId = 9;
        t.strPath = m_dir.File(name);
        m_bytes[name] = MakeSampleFile(t.strPath, size, static_cast<uint32_t>(m_bytes.size() + 1));
        t.strMd5 = RawMd5(m_bytes[name]);
        t.i64EndPos = size;
        t.strSvrHost = "127.0.0.1";
        t.usSvrPort = port;
        return t;
    }
    void MakeManager(CFileTransMgr& mgr, int workers, uint16_t port)
    {
        mgr.SetTuning({50, 2000, 0});
        ASSERT_TRUE(mgr.Init(InitRecord(workers, port)));
    }
    size_t Uploaded() const { return m_wnd.m_log.Of(TR_UPLOADED).size(); }

    CTempDir m_dir;
    CReportWindow m_wnd;
    std::map<std::string, std::string> m_bytes;
};

TEST_F(FileTransMgrTest, RunsNoMoreUploadsAtOnceThanItHasWorkers)
{
    CGoodServer srv(400);
    CFileTransMgr mgr;
    MakeManager(mgr, 2, srv.Port());
    EXPECT_EQ(mgr.WorkerCount(), 2u);
    for (int i = 0; i < 5; ++i)
        ASSERT_TRUE(mgr.AddTransferFile(AddFile("f" + std::to_string(i) + ".flv", 300000 + i, srv.Port())));
    ASSERT_TRUE(m_wnd.PumpUntil([&] { return Uploaded() == 5; }, 20000));
    EXPECT_EQ(srv.Peak(), 2);
    auto stored = srv.Stored();
    ASSERT_EQ(stored.size(), 5u);
    for (const auto& [name, bytes] : m_bytes)
        EXPECT_TRUE(stored[name] == bytes) << name;
    EXPECT_TRUE(m_wnd.m_log.Failures().empty());
    // Code 21 is the manager's own business and never reaches the window.
    EXPECT_TRUE(m_wnd.m_log.Of(TR_WORKER_DONE).empty());
    for (const auto& r : m_wnd.m_log.Of(TR_UPLOADED))
        EXPECT_EQ(r.i64FileId, 100 + r.i64Pos);
    EXPECT_TRUE(m_wnd.PumpUntil([&] { return mgr.BusyCount() == 0; }, 3000));
}

TEST_F(FileTransMgrTest, RefusesTasksAndSettingsItCannotServe)
{
    CFileTransMgr mgr;
    _sTransInit bad = InitRecord(2, 1);
    bad.i64UserId = 0;
    EXPECT_FALSE(mgr.Init(bad));
    bad = InitRecord(0, 1);
    EXPECT_FALSE(mgr.Init(bad));
    EXPECT_EQ(mgr.WorkerCount(), 0u);
    EXPECT_FALSE(mgr.Reconfigure(3));

    MakeManager(mgr, 2, 1);
    EXPECT_FALSE(mgr.Init(InitRecord(4, 1))) << "a second Init must leave the running manager alone";
    EXPECT_EQ(mgr.WorkerCount(), 2u);

    _sTransTask t = AddFile("a.pdf", 100, 1);
    _sTransTask noDir = t;
    noDir.i64ParentId = 0;
    _sTransTask negId = t;
    negId.i64FileId = -5;
    _sTransTask noIndex = t;
    noIndex.strFileIndex.clear();
    _sTransTask noPath = t;
    noPath.strPath.clear();
    _sTransTask empty = t;
    empty.i64EndPos = 0;
    for (const auto& task : {noDir, negId, noIndex, noPath, empty})
        EXPECT_FALSE(mgr.AddTransferFile(task));
    EXPECT_EQ(mgr.QueuedCount(), 0u);
}

TEST_F(FileTransMgrTest, AManagerThatDoesNotRunTakesNoTask)
{
    // A task the manager accepted but no worker will ever take would wait for ever while the
    // caller believes it queued: before a successful Init and after StopWork it is refused.
    _sTransTask t = AddFile("late.pdf", 100, 1);
    CFileTransMgr never;
    EXPECT_FALSE(never.AddTransferFile(t));
    _sTransInit noUser = InitRecord(2, 1);
    noUser.i64UserId = 0;
    EXPECT_FALSE(never.Init(noUser));
    EXPECT_FALSE(never.AddTransferFile(t));
    EXPECT_EQ(never.QueuedCount(), 0u);

    CFileTransMgr stopped;
    MakeManager(stopped, 1, 1);
    stopped.StopWork();
    EXPECT_FALSE(stopped.AddTransferFile(t));
    EXPECT_EQ(stopped.QueuedCount(), 0u);
}

TEST_F(FileTransMgrTest, WithdrawsExactlyTheUploadNamed)
{
    CGoodServer srv(2500);
    CFileTransMgr mgr;
    MakeManager(mgr, 1, srv.Port());
    ASSERT_TRUE(mgr.AddTransferFile(AddFile("first.flv", 200000, srv.Port())));
    ASSERT_TRUE(mgr.AddTransferFile(AddFile("second.flv", 200000, srv.Port())));
    ASSERT_TRUE(mgr.AddTransferFile(AddFile("third.flv", 200000, srv.Port())));
    ASSERT_TRUE(m_wnd.PumpUntil([&] { return srv.Active() == 1; }, 5000));

    EXPECT_TRUE(mgr.RemoveTransferFile("idx-third.flv")); // queued
    EXPECT_EQ(mgr.QueuedCount(), 1u);
    auto t0 = std::chrono::steady_clock::now();
    EXPECT_TRUE(mgr.RemoveTransferFile("idx-first.flv")); // running
    EXPECT_LT(std::chrono::steady_clock::now() - t0, 1500ms);
    EXPECT_FALSE(mgr.RemoveTransferFile("idx-nothing"));
    EXPECT_TRUE(mgr.RemoveTransferFile(""));

    // The freed worker goes on with the second file.
    ASSERT_TRUE(m_wnd.PumpUntil([&] { return Uploaded() == 1; }, 10000));
    auto done = m_wnd.m_log.Of(TR_UPLOADED);
    EXPECT_EQ(done[0].strFileIndex, "idx-second.flv");
    EXPECT_TRUE(m_wnd.m_log.Failures().empty()) << "a withdrawn upload reports no failure";
    auto names = srv.Announced();
    EXPECT_EQ(std::count(names.begin(), names.end(), "third.flv"), 0);
    EXPECT_EQ(srv.Stored().count("first.flv"), 0u);
    EXPECT_TRUE(m_wnd.PumpUntil([&] { return mgr.BusyCount() == 0; }, 3000));
    EXPECT_EQ(mgr.WorkerCount(), 1u);
}

// One task per file: a second hand-over of the same file is refused while the first is queued
// or running; and a withdrawal that comes once the server has confirmed the file (the run is
// still closing its connection) leaves the "uploaded" result to arrive.
TEST_F(FileTransMgrTest, OneTaskPerFileAndAConfirmedUploadIsNotWithdrawn)
{
    CGoodServer srv(300);
    CFileTransMgr mgr;
    mgr.SetTuning({50, 2000, 1500}); // the run lingers after the confirmation
    ASSERT_TRUE(mgr.Init(InitRecord(2, srv.Port())));
    const _sTransTask t = AddFile("once.flv", 200000, srv.Port());
    ASSERT_TRUE(mgr.AddTransferFile(t));
    EXPECT_FALSE(mgr.AddTransferFile(t)) << "queued";
    ASSERT_TRUE(m_wnd.PumpUntil([&] { return srv.Active() == 1; }, 5000));
    EXPECT_FALSE(mgr.AddTransferFile(t)) << "running";
    EXPECT_EQ(mgr.QueuedCount(), 0u);

    ASSERT_TRUE(m_wnd.PumpUntil([&] { return Uploaded() == 1; }, 10000));
    EXPECT_FALSE(mgr.RemoveTransferFile(t.strFileIndex)) << "the result is out: nothing to withdraw";
    ASSERT_TRUE(m_wnd.PumpUntil([&] { return mgr.BusyCount() == 0; }, 5000));
    auto names = srv.Announced();
    EXPECT_EQ(std::count(names.begin(), names.end(), "once.flv"), 1);
}

TEST_F(FileTransMgrTest, StopsEverythingPromptlyInTheMiddle)
{
    CGoodServer srv(5000);
    auto mgr = std::make_unique<CFileTransMgr>();
    MakeManager(*mgr, 2, srv.Port());
    for (int i = 0; i < 4; ++i)
        ASSERT_TRUE(mgr->AddTransferFile(AddFile("s" + std::to_string(i) + ".swf", 150000, srv.Port())));
    ASSERT_TRUE(m_wnd.PumpUntil([&] { return srv.Active() == 2; }, 5000));
    auto t0 = std::chrono::steady_clock::now();
    mgr->StopWork();
    EXPECT_LT(std::chrono::steady_clock::now() - t0, 2s);
    EXPECT_FALSE(mgr->IsRunning());
    EXPECT_FALSE(mgr->IsInitialised());
    EXPECT_EQ(mgr->WorkerCount(), 0u);
    EXPECT_EQ(mgr->QueuedCount(), 0u);
    EXPECT_TRUE(m_wnd.PumpUntil([&] { return srv.Active() == 0; }, 3000)) << "connections left open";
    mgr->StopWork(); // twice is harmless
    mgr.reset();
    m_wnd.PumpUntil([] { return false; }, 200);
    EXPECT_TRUE(m_wnd.m_log.Failures().empty());
    EXPECT_EQ(Uploaded(), 0u);
}

TEST_F(FileTransMgrTest, ReconfigureAddsWorkersAndNeverDropsThem)
{
    CGoodServer srv(1500);
    CFileTransMgr mgr;
    MakeManager(mgr, 1, srv.Port());
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(mgr.AddTransferFile(AddFile("r" + std::to_string(i) + ".flv", 100000, srv.Port())));
    ASSERT_TRUE(m_wnd.PumpUntil([&] { return srv.Active() == 1; }, 5000));
    ASSERT_TRUE(mgr.Reconfigure(3));
    EXPECT_EQ(mgr.WorkerCount(), 3u);
    ASSERT_TRUE(m_wnd.PumpUntil([&] { return srv.Active() == 3; }, 5000));
    ASSERT_TRUE(m_wnd.PumpUntil([&] { return Uploaded() == 3; }, 10000));
    ASSERT_TRUE(mgr.Reconfigure(1));
    EXPECT_EQ(mgr.MaxWorkNum(), 1);
    EXPECT_EQ(mgr.WorkerCount(), 3u);
}

} // namespace
} // namespace vx::test
