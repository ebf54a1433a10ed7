// The chart's threads: every part of every job runs once, whether the
// helpers are awake, held awake or asleep when it comes.
#include "graph/WorkerTeam.h"

#include <atomic>
#include <chrono>
#include <gtest/gtest.h>
#include <thread>
#include <vector>
#if defined(__linux__)
#include <sched.h>
#endif

namespace {

using namespace qv;

TEST(WorkerTeam, RunsEveryPartOnceAndWaitsForAll)
{
    for (const int helpers : {0, 1, 2}) {
        TWorkerTeam team(helpers);
        ASSERT_EQ(team.Size(), helpers + 1);
        std::vector<std::atomic<int>> runs(static_cast<std::size_t>(team.Size()));
        for (int round = 0; round < 600; ++round) {
            if (round % 200 == 199) // long enough for the helpers to fall asleep
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            if (round % 3 == 0) // sent to sleep at once, or right after a job
                team.Rest();
            if (round % 7 == 0) // held awake, with a gap before the job
                team.Hold();
            std::atomic<int> finished{0};
            const auto job = [&](int part, int parts) {
                EXPECT_EQ(parts, team.Size());
                ++runs[static_cast<std::size_t>(part)];
                ++finished;
            };
            // Every other round each part on any thread: a helper woken late
            // finds its part taken by the caller, which never waits for it.
            if (round % 2)
                team.RunEach(job);
            else
                team.Run(job);
            ASSERT_EQ(finished.load(), team.Size()); // each part once, none still running
        }
        for (const auto& r : runs)
            EXPECT_EQ(r.load(), 600);
    }
}

#if defined(__linux__)
TEST(WorkerTeam, KeepsHelpersOffTheCallersProcessorUntilItIsIdle)
{
    // A machine may put a thread it wakes beside the thread that woke it,
    // where it would wait for the caller's turn to end: a helper woken from
    // sleep starts on another processor. A helper still at work after the
    // caller is kept to one processor (the caller's, which the caller
    // leaves to it). Either way it is free to run anywhere at its next job.
    cpu_set_t all;
    ASSERT_EQ(sched_getaffinity(0, sizeof all, &all), 0);
    if (CPU_COUNT(&all) < 2)
        GTEST_SKIP() << "one processor";
    const auto mine = [] {
        cpu_set_t set;
        CPU_ZERO(&set);
        sched_getaffinity(0, sizeof set, &set);
        return set;
    };
    TWorkerTeam team(1);
    for (int round = 0; round < 6; ++round) {
        const bool longPart = round % 2;
        if (!longPart) {
            team.Rest();
            std::this_thread::sleep_for(std::chrono::milliseconds(20)); // asleep, its processor idle
        }
        std::atomic<int> callerCpu{-1}, helperCpu{-1};
        std::atomic<bool> begun{false}, free{false}, keptToOne{false};
        team.Run([&](int part, int) {
            if (part == 0) { // until the helper has begun its part
                callerCpu = sched_getcpu();
                for (int i = 0; i < 2000 && !begun; ++i)
                    std::this_thread::sleep_for(std::chrono::microseconds(i < 100 ? 0 : 1000));
                return;
            }
            helperCpu = sched_getcpu();
            const cpu_set_t now = mine();
            free = CPU_EQUAL(&now, &all);
            begun = true;
            for (int i = 0; longPart && i < 2000 && !keptToOne; ++i) {
                const cpu_set_t later = mine();
                keptToOne = CPU_COUNT(&later) == 1;
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
        });
        EXPECT_TRUE(free.load()) << round;
        if (longPart)
            EXPECT_TRUE(keptToOne.load()) << round;
        else
            EXPECT_NE(helperCpu.load(), callerCpu.load()) << round;
    }
}

TEST(WorkerTeam, SharesOneProcessor)
{
    // Caller and helpers on the same processor: whoever waits gives it up,
    // and every job still ends with every part run once.
    cpu_set_t all, one;
    ASSERT_EQ(sched_getaffinity(0, sizeof all, &all), 0);
    CPU_ZERO(&one);
    CPU_SET(sched_getcpu(), &one);
    ASSERT_EQ(sched_setaffinity(0, sizeof one, &one), 0);
    {
        TWorkerTeam team(2); // its threads inherit the one processor
        team.Hold();
        for (int round = 0; round < 200; ++round) {
            std::atomic<int> parts{0};
            const auto job = [&](int, int) {
                for (volatile int i = 0; i < 20000; ++i) {
                }
                ++parts;
            };
            round % 2 ? team.RunEach(job) : team.Run(job);
            ASSERT_EQ(parts.load(), 3);
        }
    }
    sched_setaffinity(0, sizeof all, &all);
}
#endif

} // namespace
