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
// A team of one helper where the test may run on two processors or more.
class WorkerTeamOnProcessors : public ::testing::Test {
protected:
    void SetUp() override
    {
        All = Mine();
        if (CPU_COUNT(&All) < 2)
            GTEST_SKIP() << "one processor";
    }
    // The processors the calling thread may run on.
    static cpu_set_t Mine()
    {
        cpu_set_t set;
        CPU_ZERO(&set);
        sched_getaffinity(0, sizeof set, &set);
        return set;
    }
    // Waits, on the caller's part, until the helper has begun its own.
    static void UntilBegun(const std::atomic<bool>& begun)
    {
        for (int i = 0; i < 2000 && !begun; ++i)
            std::this_thread::sleep_for(std::chrono::microseconds(i < 100 ? 0 : 1000));
    }
    TWorkerTeam Team{1};
    cpu_set_t All;
};

TEST_F(WorkerTeamOnProcessors, WakesASleepingHelperOnAnotherProcessor)
{
    // A machine may put a thread it wakes beside the thread that woke it,
    // where it would wait for the caller's turn to end: a helper woken from
    // sleep starts on another processor, and is free to run anywhere again.
    for (int round = 0; round < 5; ++round) {
        Team.Rest();
        std::this_thread::sleep_for(std::chrono::milliseconds(20)); // asleep, its processor idle
        std::atomic<int> callerCpu{-1}, helperCpu{-1};
        std::atomic<bool> begun{false}, helperFree{false};
        Team.Run([&](int part, int) {
            if (part == 0) {
                callerCpu = sched_getcpu();
                return UntilBegun(begun);
            }
            helperCpu = sched_getcpu();
            const cpu_set_t mine = Mine();
            helperFree = CPU_EQUAL(&mine, &All);
            begun = true;
        });
        EXPECT_NE(helperCpu.load(), callerCpu.load());
        EXPECT_TRUE(helperFree.load());
    }
}

TEST_F(WorkerTeamOnProcessors, BringsAHelperStillAtWorkOverToTheCaller)
{
    // A helper may be kept from its processor by another thread while the
    // caller's stands idle: after a while it is kept to one processor (the
    // caller's, which the caller leaves to it), and once it is done it may
    // run anywhere again.
    std::atomic<bool> begun{false}, broughtOver{false}, freeAgain{false};
    Team.Run([&](int part, int) {
        if (part == 0)
            return UntilBegun(begun);
        begun = true;
        for (int i = 0; i < 2000 && !broughtOver; ++i) { // at work until kept to one processor
            const cpu_set_t mine = Mine();
            broughtOver = CPU_COUNT(&mine) == 1;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    });
    EXPECT_TRUE(broughtOver.load());
    begun = false;
    Team.Run([&](int part, int) {
        if (part == 0)
            return UntilBegun(begun);
        const cpu_set_t mine = Mine();
        freeAgain = CPU_EQUAL(&mine, &All);
        begun = true;
    });
    EXPECT_TRUE(freeAgain.load());
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
