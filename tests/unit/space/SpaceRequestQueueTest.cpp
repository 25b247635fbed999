// The space page's request queue: work off the owner's thread, results in order, each job
// prepared only after the one before it was applied, and a clean stop.

#include "space/SpaceRequestQueue.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

using namespace vx;

TEST(SpaceRequestQueue, JobsRunOneAfterTheOtherOffTheOwnersThread)
{
    CMessageLoop loop;
    std::vector<bool> busy;
    CSpaceRequestQueue q(loop, [&busy](bool b) { busy.push_back(b); });
    const std::thread::id owner = std::this_thread::get_id();
    std::vector<std::string> trace;
    std::atomic<int> workersOnOwner{0};

    for (int i = 0; i < 3; ++i) {
        SpaceJob job;
        job.prepare = [&trace, i]() {
            trace.push_back("prepare" + std::to_string(i));
            return i != 1; // the second one drops itself
        };
        job.work = [&workersOnOwner, owner, i]() {
            if (std::this_thread::get_id() == owner)
                ++workersOnOwner;
            std::this_thread::sleep_for(std::chrono::milliseconds(i == 0 ? 50 : 1));
        };
        job.apply = [&trace, owner, i]() {
            EXPECT_EQ(std::this_thread::get_id(), owner);
            trace.push_back("apply" + std::to_string(i));
        };
        q.Push(std::move(job));
    }
    EXPECT_TRUE(q.IsBusy());
    // The first one is on its way; the others wait for it to be applied.
    EXPECT_EQ(trace, std::vector<std::string>{"prepare0"});
    ASSERT_TRUE(loop.PumpUntil([&q] { return !q.IsBusy(); }, 5000));
    EXPECT_EQ(trace, (std::vector<std::string>{"prepare0", "apply0", "prepare1", "prepare2", "apply2"}));
    EXPECT_EQ(workersOnOwner.load(), 0);
    EXPECT_EQ(busy, (std::vector<bool>{true, false}));
}

TEST(SpaceRequestQueue, AWaitingJobIsReplacedByANewerOneWithTheSameKey)
{
    CMessageLoop loop;
    CSpaceRequestQueue q(loop, nullptr);
    std::vector<int> applied;
    auto push = [&](int n, const std::string& key) {
        SpaceJob job;
        job.key = key;
        job.work = []() { std::this_thread::sleep_for(std::chrono::milliseconds(20)); };
        job.apply = [&applied, n]() { applied.push_back(n); };
        q.Push(std::move(job));
    };
    push(1, "show"); // running: not replaced
    push(2, "show");
    push(3, "rename");
    push(4, "show"); // replaces 2 in its place
    ASSERT_TRUE(loop.PumpUntil([&q] { return !q.IsBusy(); }, 5000));
    EXPECT_EQ(applied, (std::vector<int>{1, 4, 3}));

    // A job queued by an apply step runs after it, in the same drain.
    SpaceJob outer;
    outer.work = []() {};
    outer.apply = [&]() { push(5, ""); };
    q.Push(std::move(outer));
    ASSERT_TRUE(loop.PumpUntil([&q] { return !q.IsBusy(); }, 5000));
    EXPECT_EQ(applied.back(), 5);
}

TEST(SpaceRequestQueue, StoppingWaitsForTheRunningRequestAndAppliesNothing)
{
    CMessageLoop loop;
    std::atomic<bool> started{false}, finished{false};
    bool applied = false;
    {
        CSpaceRequestQueue q(loop, nullptr);
        SpaceJob job;
        job.work = [&started, &finished]() {
            started = true;
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            finished = true;
        };
        job.apply = [&applied]() { applied = true; };
        q.Push(std::move(job));
        SpaceJob waiting;
        waiting.prepare = [&applied]() { return applied = true; };
        q.Push(std::move(waiting));
        while (!started.load())
            std::this_thread::yield();
    }
    EXPECT_TRUE(finished.load());
    loop.RunOnce(0);
    EXPECT_FALSE(applied);
}
