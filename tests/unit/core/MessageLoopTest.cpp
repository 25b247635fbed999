#include "platform/MessageLoop.h"
#include "media/Thread.h"

#include <gtest/gtest.h>
#include <thread>

using namespace vx;

namespace {

struct Recorder : IMsgHandler
{
    std::vector<std::pair<uint32_t, uint64_t>> got;
    std::vector<std::string> texts;
    void OnMessage(uint32_t id, uint64_t wParam, std::unique_ptr<CMsgPayload> payload) override
    {
        got.emplace_back(id, wParam);
        if (auto* s = PayloadAs<std::string>(payload))
            texts.push_back(*s);
    }
};

// Counts its own destruction, to see that payloads are freed.
struct Tracked
{
    std::shared_ptr<int> alive;
};

} // namespace

TEST(MessageLoop, DeliversInOrderFromSeveralThreads)
{
    CMessageLoop loop;
    Recorder r;
    MsgTarget t = loop.Register(&r);
    std::thread a([&] {
        for (int i = 0; i < 100; ++i)
            loop.PostMsg(t, WM_USER + 1, i);
    });
    std::thread b([&] {
        for (int i = 0; i < 100; ++i)
            loop.PostMsg(t, WM_USER + 2, i, MakePayload(std::string("p") + std::to_string(i)));
    });
    a.join();
    b.join();
    loop.PumpUntil([&] { return r.got.size() == 200; }, 5000);
    ASSERT_EQ(r.got.size(), 200u);
    uint64_t nextA = 0, nextB = 0;
    for (auto& [id, w] : r.got)
        EXPECT_EQ(w, id == WM_USER + 1 ? nextA++ : nextB++);
    EXPECT_EQ(r.texts.front(), "p0");
    EXPECT_EQ(r.texts.back(), "p99");
}

TEST(MessageLoop, GoneTargetDropsAndFreesPayloads)
{
    CMessageLoop loop;
    auto alive = std::make_shared<int>(1);
    {
        Recorder r;
        MsgTarget t = loop.Register(&r);
        loop.PostMsg(t, WM_USER, 0, MakePayload(Tracked{alive}));
        EXPECT_EQ(alive.use_count(), 2);
        loop.Unregister(t);
        EXPECT_EQ(alive.use_count(), 1); // freed with the target's queue
        EXPECT_FALSE(loop.PostMsg(t, WM_USER, 0, MakePayload(Tracked{alive})));
        EXPECT_EQ(alive.use_count(), 1);
    }
    EXPECT_EQ(loop.RunOnce(0), 0);
}

TEST(MessageLoop, TimersRepeatUntilKilled)
{
    CMessageLoop loop;
    Recorder r;
    MsgTarget t = loop.Register(&r);
    ASSERT_TRUE(loop.SetTimer(t, 106, 10));
    loop.PumpUntil([&] { return r.got.size() >= 3; }, 5000);
    ASSERT_GE(r.got.size(), 3u);
    EXPECT_EQ(r.got[0], std::make_pair(WM_TIMER, uint64_t{106}));
    EXPECT_TRUE(loop.KillTimer(t, 106));
    size_t n = r.got.size();
    loop.PumpUntil([] { return false; }, 60);
    EXPECT_EQ(r.got.size(), n);
    EXPECT_FALSE(loop.KillTimer(t, 106));
    EXPECT_EQ(loop.NextTimerDueMs(), -1);
}

TEST(MessageLoop, RunEndsOnQuitFromAnotherThread)
{
    CMessageLoop loop;
    Recorder r;
    MsgTarget t = loop.Register(&r);
    std::thread poster([&] {
        loop.PostMsg(t, WM_USER + 5, 1);
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        loop.Quit();
    });
    loop.Run();
    poster.join();
    ASSERT_EQ(r.got.size(), 1u);
}

namespace {

struct Counter : CThread
{
    std::atomic<int> runs{0};
    std::atomic<bool> stop{false};
    bool block = false;
    ~Counter() override
    {
        stop = true;
        Join();
    }
    void Process() override
    {
        ++runs;
        while (block && !stop)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
};

} // namespace

TEST(Thread, RestartsAfterARunAndNeverRunsTwiceAtOnce)
{
    Counter c;
    ASSERT_TRUE(c.Start());
    ASSERT_TRUE(c.Join(5000));
    ASSERT_TRUE(c.Start());
    ASSERT_TRUE(c.Join(5000));
    EXPECT_EQ(c.runs.load(), 2);

    c.block = true;
    ASSERT_TRUE(c.Start());
    EXPECT_FALSE(c.Start());
    EXPECT_TRUE(c.IsRunning());
    EXPECT_FALSE(c.Join(20)); // bounded wait
    c.stop = true;
    EXPECT_TRUE(c.Join(5000));
    EXPECT_FALSE(c.IsRunning());
    EXPECT_EQ(c.runs.load(), 3);
}

// A host loop that must keep painting takes a burst in slices: the rest of a round waits at the
// head of the queue, ahead of later posts, the wake hook asks for the next slice, and due
// timers still fire in a cut-short round. Whatever the slicing, the last report applied is the
// last one posted.
TEST(MessageLoop, ABudgetedRoundLeavesTheRestQueuedInOrder)
{
    CMessageLoop loop;
    struct Slow : IMsgHandler
    {
        std::vector<uint64_t> got;
        int timers = 0;
        void OnMessage(uint32_t id, uint64_t wParam, std::unique_ptr<CMsgPayload>) override
        {
            if (id == WM_TIMER) {
                ++timers;
                return;
            }
            got.push_back(wParam);
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    } slow;
    MsgTarget t = loop.Register(&slow);
    int wakes = 0;
    loop.SetWakeHook([&] { ++wakes; });
    for (uint64_t i = 0; i < 40; ++i)
        loop.PostMsg(t, WM_USER + 1, i);
    loop.SetTimer(t, 7, 1);
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    wakes = 0;
    const int first = loop.RunOnce(0, 5);
    EXPECT_GE(first, 2);
    EXPECT_LT(static_cast<size_t>(first), 40u + 1) << "the round was cut short";
    EXPECT_LT(slow.got.size(), 40u);
    EXPECT_EQ(slow.timers, 1) << "a due timer fires in a cut-short round";
    EXPECT_EQ(wakes, 1) << "the host is asked for the next slice";
    // A post made now lands after what the cut-short round left.
    loop.PostMsg(t, WM_USER + 1, 1000);
    int rounds = 1;
    while (slow.got.size() < 41 && rounds < 100) {
        loop.RunOnce(0, 5);
        ++rounds;
    }
    ASSERT_EQ(slow.got.size(), 41u);
    EXPECT_GT(rounds, 2);
    for (uint64_t i = 0; i < 40; ++i)
        EXPECT_EQ(slow.got[i], i);
    EXPECT_EQ(slow.got.back(), 1000u);
    // Without a budget a round takes everything queued, as before.
    for (uint64_t i = 0; i < 10; ++i)
        loop.PostMsg(t, WM_USER + 1, 2000 + i);
    loop.RunOnce(0);
    EXPECT_EQ(slow.got.size(), 51u);
    loop.Unregister(t);
}
