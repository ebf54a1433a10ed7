// The chart's threads: every part of every job runs once, whether the
// helpers are awake, held awake or asleep when it comes.
#include "graph/WorkerTeam.h"

#include <atomic>
#include <chrono>
#include <gtest/gtest.h>
#include <thread>
#include <vector>

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

} // namespace
