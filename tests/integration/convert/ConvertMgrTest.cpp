// The convert manager on real conversions, and the CRF prediction on clips of different
// complexity.

#include "media/ConvertMgr.h"
#include "app/Utils.h"
#include "integration/convert/ConvertFixture.h"
#include "media/KillLeftoverEncoders.h"
#include "media/RateControl.h"
#include "platform/MessageLoop.h"
#include "platform/Paths.h"
#include "platform/Process.h"

#include <chrono>
#include <fstream>
#include <map>
#include <unistd.h>

namespace vx::test {
namespace {

// Stands in for the main window: collects the reports posted to it.
class CReportSink : public IMsgHandler
{
public:
    CReportSink() { m_target = CMessageLoop::Main().Register(this); }
    ~CReportSink() override { CMessageLoop::Main().Unregister(m_target); }
    void OnMessage(uint32_t id, uint64_t, std::unique_ptr<CMsgPayload> payload) override
    {
        ASSERT_EQ(id, 3033u);
        _sConvertReport* r = PayloadAs<_sConvertReport>(payload);
        ASSERT_NE(r, nullptr);
        if (r->nCode == CR_PROGRESS)
            ++progress[r->strFileIndex];
        else
            results[r->strFileIndex] = *r;
    }
    bool Pump(const std::function<bool()>& until, int ms)
    {
        return CMessageLoop::Main().PumpUntil(until, ms);
    }
    MsgTarget m_target;
    std::map<std::string, int> progress;
    std::map<std::string, _sConvertReport> results;
};

// Encoders of ours working in one output folder (their working directory).
std::vector<pid_t> EncodersIn(const std::string& folder)
{
    std::vector<pid_t> found;
    for (pid_t pid : FindEncoders(CodecsDir())) {
        char buf[4096];
        ssize_t n = readlink(("/proc/" + std::to_string(pid) + "/cwd").c_str(), buf, sizeof(buf) - 1);
        if (n > 0 && std::string(buf, static_cast<size_t>(n)) == folder)
            found.push_back(pid);
    }
    return found;
}

class ConvertManager : public ConvertEnv
{
protected:
    _sConvertInit MakeInit(uint8_t max, const CReportSink& sink)
    {
        _sConvertInit init;
        init.MAX = max;
        init.options = MakeOptions(m_out->Path() + "out");
        init.hWnd = sink.m_target;
        init.uMsgId = 3033;
        return init;
    }
    _sConvertTask Task(const std::string& media, const std::string& index)
    {
        return _sConvertTask{Media(media), index, Probe(Media(media))};
    }
};

TEST_F(ConvertManager, MoreFilesThanWorkersWithdrawAndReconfigure)
{
    CReportSink sink;
    CConvertMgr mgr;
    mgr.Init(MakeInit(2, sink));
    EXPECT_EQ(mgr.WorkerMasks(), (std::vector<uint64_t>{1, 2}));
    EXPECT_FALSE(mgr.AddFile(_sConvertTask{"", "x", {}}));
    EXPECT_FALSE(mgr.AddFile(_sConvertTask{Media("tone.mp3"), "", {}}));

    ASSERT_TRUE(mgr.AddFile(Task("long.mp4", "run")));
    ASSERT_TRUE(mgr.AddFile(Task("tone.mp3", "a1")));
    ASSERT_TRUE(mgr.AddFile(Task("tone.wav", "a2")));
    ASSERT_TRUE(mgr.AddFile(Task("h264.mp4", "queued")));
    ASSERT_TRUE(mgr.AddFile(Task("plain.flv", "a3")));
    EXPECT_TRUE(mgr.RemoveFile("queued")); // still waiting: just dropped
    EXPECT_TRUE(mgr.RemoveFile(""));       // nothing named

    // Withdraw the long file while its encoder runs.
    const std::string runFolder = m_out->Path() + "out/run";
    ASSERT_TRUE(sink.Pump([&] { return !EncodersIn(runFolder).empty(); }, 60000));
    std::vector<pid_t> encoders = EncodersIn(runFolder);
    EXPECT_LE(mgr.BusyCount(), 2u);
    EXPECT_TRUE(mgr.RemoveFile("run"));
    for (pid_t pid : encoders)
        EXPECT_NE(kill(pid, 0), 0) << "encoder " << pid << " still there";
    EXPECT_FALSE(DirExists(runFolder));

    // Two more workers while the rest runs.
    EXPECT_TRUE(mgr.Reconfigure(4, 1, CODEC_VBR, 320, 240, m_out->Path() + "out"));
    std::vector<uint64_t> masks = mgr.WorkerMasks();
    std::sort(masks.begin(), masks.end());
    EXPECT_EQ(masks, (std::vector<uint64_t>{1, 2, 4, 8}));

    ASSERT_TRUE(sink.Pump([&] { return sink.results.size() == 3; }, 120000));
    for (const char* idx : {"a1", "a2", "a3"}) {
        EXPECT_EQ(sink.results[idx].nCode, CR_SUCCESS) << idx;
        EXPECT_TRUE(FileExists(sink.results[idx].strOutPath));
    }
    EXPECT_EQ(sink.results.count("run"), 0u); // a withdrawn task reports nothing
    EXPECT_EQ(sink.results.count("queued"), 0u);
    ConvertRunInfo info;
    EXPECT_TRUE(mgr.RunInfoOf("a3", &info));
    EXPECT_EQ(info.strRoute, "tag");
}

TEST_F(ConvertManager, RefusesTasksItWouldNeverRunAndAddsOnlyMissingWorkers)
{
    CReportSink sink;
    const _sConvertTask task = Task("tone.mp3", "never");
    {
        // Not initialised, or initialised without workers: no manager thread would ever start it.
        CConvertMgr mgr;
        EXPECT_FALSE(mgr.AddFile(task));
        EXPECT_FALSE(mgr.Init(MakeInit(0, sink)));
        EXPECT_FALSE(mgr.IsInitialised());
        EXPECT_FALSE(mgr.AddFile(task));
        EXPECT_EQ(mgr.QueuedCount(), 0u);
    }
    CConvertMgr mgr;
    ASSERT_TRUE(mgr.Init(MakeInit(4, sink)));
    // Lowering keeps the four workers; raising again adds only the fifth, numbered on.
    ASSERT_TRUE(mgr.Reconfigure(2, 1, CODEC_VBR, 320, 240, m_out->Path() + "out"));
    EXPECT_EQ(mgr.WorkerCount(), 4u);
    ASSERT_TRUE(mgr.Reconfigure(5, 1, CODEC_VBR, 320, 240, m_out->Path() + "out"));
    EXPECT_EQ(mgr.WorkerCount(), 5u);
    std::vector<uint64_t> masks = mgr.WorkerMasks();
    std::sort(masks.begin(), masks.end());
    EXPECT_EQ(masks, (std::vector<uint64_t>{1, 2, 4, 8, 16}));
    mgr.StopWork();
    EXPECT_FALSE(mgr.AddFile(task));
    EXPECT_EQ(mgr.QueuedCount(), 0u);
    sink.Pump([] { return false; }, 100);
    EXPECT_TRUE(sink.results.empty());
}

TEST_F(ConvertManager, StopAllIsPrompt)
{
    CReportSink sink;
    auto mgr = std::make_unique<CConvertMgr>();
    mgr->Init(MakeInit(2, sink));
    for (int i = 0; i < 4; ++i)
        mgr->AddFile(Task("long.mp4", "stop" + std::to_string(i)));
    ASSERT_TRUE(sink.Pump([&] { return mgr->BusyCount() == 2; }, 30000));
    ASSERT_TRUE(sink.Pump([&] { return !EncodersIn(m_out->Path() + "out/stop0").empty(); }, 30000));
    auto t0 = std::chrono::steady_clock::now();
    mgr->StopWork();
    double secs = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    EXPECT_LT(secs, 8.0);
    EXPECT_FALSE(mgr->IsInitialised());
    EXPECT_EQ(mgr->WorkerCount(), 0u);
    EXPECT_EQ(mgr->QueuedCount(), 0u);
    for (int i = 0; i < 4; ++i)
        EXPECT_TRUE(EncodersIn(m_out->Path() + "out/stop" + std::to_string(i)).empty());
    EXPECT_FALSE(mgr->AddFile(_sConvertTask{}));
    mgr.reset(); // a stopped manager goes quietly
    sink.Pump([] { return false; }, 200);
    EXPECT_TRUE(sink.results.empty());
}

TEST_F(ConvertManager, PredictionFollowsComplexity)
{
    // A still test picture and pure noise at the same size: the noise needs a much higher CRF
    // to stay at the target, and the search brings both samples to the target or below.
    _sConvertTask easy = Task("mpeg4.avi", "easy");
    _sConvertTask hard = Task("noise.mp4", "hard");
    RunOutcome e = RunWorker(easy, MakeOptions(m_out->Path() + "out"));
    RunOutcome h = RunWorker(hard, MakeOptions(m_out->Path() + "out"));
    ASSERT_EQ(e.code, CR_SUCCESS);
    ASSERT_EQ(h.code, CR_SUCCESS);
    EXPECT_EQ(e.info.nCrf, 24);
    EXPECT_GT(h.info.nCrf, e.info.nCrf);
    EXPECT_GT(h.info.vProbes.size(), 1u);
    EXPECT_EQ(h.info.i64TargetBitRate, 307200);
    EXPECT_LE(h.info.i64SampleBitRate, h.info.i64TargetBitRate);
    // The whole file is the sample here, so the output lands where the sample did.
    MiData out = Probe(h.outPath);
    EXPECT_LE(out.nBitRate[MI_VIDEO], 307200 * 1.1) << out.nBitRate[MI_VIDEO];
}

} // namespace
} // namespace vx::test
