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
