// The probing worker with a real message loop: what the window receives for each kind of
// record, the idle end, records that arrive late, and a stop in the middle of the queue.

#include "media/MediaInfoThread.h"
#include "TestMedia.h"
#include "app/Utils.h"
#include "media/MediaMessages.h"
#include "platform/Paths.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace vx::test {
namespace {

_sLCItemData Record(const std::string& path, int type)
{
    _sLCItemData r;
    r.strFilePath = path;
    r.nFileType = type;
    r.strFileIndex = NewFileIndex();
    return r;
}

class MediaInfoThreadTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(CTestMedia::Get().Ok()) << CTestMedia::Get().Error(); }
    const CTestMedia& M() { return CTestMedia::Get(); }
    CMessageLoop m_loop;
    CCollector m_window{m_loop};
};

TEST_F(MediaInfoThreadTest, EachKindOfRecordComesBackWithItsCodeAndStatus)
{
    std::string pdf = CTestMedia::Get().MakeFile("empty lecture.pdf", "");
    std::vector<_sLCItemData> in = {Record(M().Mp4(), 0),       Record(pdf, 1),
                                    Record(M().TextAsMp4(), 0), Record(M().Missing(), 0),
                                    Record(M().Mp4(), 7),       Record(M().Mp3(), 0)};
    in[0].i64FileId = 4242; // fields the worker does not own travel unchanged
    in[0].strFileName = "av.mp4";
    CMediaInfoThread worker(m_loop, m_window.Target());
    worker.SetTiming(100, 30000);
    ASSERT_TRUE(worker.AddFiles(in));
    ASSERT_TRUE(worker.Start());
    ASSERT_TRUE(m_window.WaitFor(5, 10000));
    m_loop.PumpUntil([] { return false; }, 300); // nothing more: the unknown type is dropped
    auto& got = m_window.Msgs();
    ASSERT_EQ(5u, got.size());

    // Results arrive in queue order.
    std::vector<int64_t> codes;
    for (auto& msg : got) {
        EXPECT_EQ(WM_MEDIAINFO_RESULT, msg.id);
        codes.push_back(msg.code);
    }
    EXPECT_EQ((std::vector<int64_t>{0, 0, -3, -1, 0}), codes);

    const _sLCItemData* video = PayloadAs<_sLCItemData>(got[0].payload);
    ASSERT_NE(nullptr, video);
    EXPECT_EQ(in[0].strFileIndex, video->strFileIndex);
    EXPECT_EQ(CS_WAIT_CONVERT, video->nStatus);
    EXPECT_EQ(FileSize(M().Mp4()), video->i64FileSize);
    EXPECT_EQ(video->miData.nBitRate[0] / 1000, video->nFileBits);
    EXPECT_EQ(160, video->nWidth);
    EXPECT_EQ(120, video->nHeight);
    EXPECT_EQ("AVC", video->miData.strFormat[1]);
    EXPECT_EQ(4242, video->i64FileId);
    EXPECT_EQ("av.mp4", video->strFileName);

    const _sLCItemData* doc = PayloadAs<_sLCItemData>(got[1].payload);
    EXPECT_EQ(0, doc->i64FileSize);
    EXPECT_EQ(CS_WAIT_CONVERT, doc->nStatus);
    EXPECT_EQ(0, doc->miData.i64FileSize); // documents are measured, not probed

    EXPECT_EQ(CS_MEDIA_FAILED, PayloadAs<_sLCItemData>(got[2].payload)->nStatus);
    EXPECT_EQ(CS_MEDIA_FAILED, PayloadAs<_sLCItemData>(got[3].payload)->nStatus);
    EXPECT_EQ(in[5].strFileIndex, PayloadAs<_sLCItemData>(got[4].payload)->strFileIndex);
    EXPECT_EQ(0, worker.QueueLength());
}

TEST_F(MediaInfoThreadTest, TheQueueHoldsCopiesNotTheWindowsRecords)
{
    std::vector<_sLCItemData> in = {Record(M().Mp4(), 0), Record(M().Mp3(), 0), Record(M().Flv(), 0)};
    CMediaInfoThread worker(m_loop, m_window.Target());
    worker.SetTiming(100, 30000);
    ASSERT_TRUE(worker.AddFiles(in));
    std::string keep = in[0].strFileIndex;
    worker.RemoveFiles({in[1].strFileIndex});
    in.clear(); // the window frees its records: the worker must not care
    in.shrink_to_fit();
    ASSERT_TRUE(worker.Start());
    ASSERT_TRUE(m_window.WaitFor(2, 10000));
    m_loop.PumpUntil([] { return false; }, 300);
    ASSERT_EQ(2u, m_window.Msgs().size());
    EXPECT_EQ(keep, PayloadAs<_sLCItemData>(m_window.Msgs()[0].payload)->strFileIndex);
    EXPECT_EQ("Flash Video", PayloadAs<_sLCItemData>(m_window.Msgs()[1].payload)->miData.strFormat[0]);
}

// Ticks every 300 ms, idle limit 500 ms: the tick at 600 ms is past the limit. A record added
// at about 450 ms must be probed at that tick, not stranded by the idle end.
TEST_F(MediaInfoThreadTest, RecordAddedJustBeforeTheIdleEndIsStillProbed)
{
    CMediaInfoThread worker(m_loop, m_window.Target());
    worker.SetTiming(300, 500);
    ASSERT_TRUE(worker.Start());
    std::this_thread::sleep_for(std::chrono::milliseconds(450));
    _sLCItemData late = Record(M().Mp4(), 0);
    ASSERT_TRUE(worker.AddFiles({late}));
    ASSERT_TRUE(m_window.WaitFor(1, 5000));
    EXPECT_EQ(WM_MEDIAINFO_RESULT, m_window.Msgs()[0].id);
    EXPECT_EQ(late.strFileIndex, PayloadAs<_sLCItemData>(m_window.Msgs()[0].payload)->strFileIndex);

    // Then, idle again, it ends itself and asks the window to release it.
    ASSERT_TRUE(m_window.WaitFor(2, 5000));
    EXPECT_EQ(WM_CHECK_MEDIAINFO, m_window.Msgs()[1].id);
    EXPECT_EQ(1, m_window.Msgs()[1].code);
    EXPECT_EQ(nullptr, m_window.Msgs()[1].payload);
    EXPECT_FALSE(worker.IsActive());
    // An ended thread refuses records instead of swallowing them.
    EXPECT_FALSE(worker.AddFiles({Record(M().Mp3(), 0)}));
    EXPECT_TRUE(worker.Join(2000));
}

TEST_F(MediaInfoThreadTest, StopDropsTheQueueAndPostsNothingAfterwards)
{
    std::vector<_sLCItemData> in;
    for (int i = 0; i < 40; ++i)
        in.push_back(Record(i % 2 ? M().Ts() : M().Mp4(), 0));
    auto worker = std::make_unique<CMediaInfoThread>(m_loop, m_window.Target());
    worker->SetTiming(100, 30000);
    ASSERT_TRUE(worker->AddFiles(in));
    ASSERT_TRUE(worker->Start());
    ASSERT_TRUE(m_window.WaitFor(1, 10000));
    auto t0 = std::chrono::steady_clock::now();
    worker.reset();
    auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - t0).count();
    EXPECT_LT(ms, 1500); // at most the probe in hand, which is short for these clips
    m_loop.PumpUntil([] { return false; }, 200);
    size_t after = m_window.Msgs().size();
    EXPECT_LT(after, in.size());
    for (auto& msg : m_window.Msgs())
        EXPECT_EQ(WM_MEDIAINFO_RESULT, msg.id); // a stopped thread does not ask to be released
    m_loop.PumpUntil([] { return false; }, 300);
    EXPECT_EQ(after, m_window.Msgs().size());
}

TEST_F(MediaInfoThreadTest, StoppingAnIdleThreadIsQuickAndSilent)
{
    CMediaInfoThread worker(m_loop, m_window.Target());
    ASSERT_TRUE(worker.Start()); // default one-second tick
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    auto t0 = std::chrono::steady_clock::now();
    EXPECT_TRUE(worker.Stop());
    auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - t0).count();
    EXPECT_LT(ms, 150);
    EXPECT_FALSE(worker.IsActive());
    EXPECT_FALSE(worker.AddFiles({Record(M().Mp4(), 0)}));
    m_loop.PumpUntil([] { return false; }, 100);
    EXPECT_TRUE(m_window.Msgs().empty());
}

} // namespace
} // namespace vx::test
