#pragma once
// A few threads that run one job side by side with the caller and are
// handed the next one at once: after a job they wait a moment awake, so
// that the jobs of one replot follow each other without the cost of waking
// a sleeping thread each time. Idle, they sleep; so does a waiting thread
// that would keep another of the team from its processor. A helper woken
// from sleep starts on another processor than the caller's, and the caller
// never waits for one to wake: it takes over the parts not yet begun. One
// still at work after a while is brought over to the caller's processor.
#include <atomic>
#include <bitset>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace qv {

class TWorkerTeam {
public:
    // `helpers` threads beside the caller's (none: every job runs on the
    // caller's thread alone).
    explicit TWorkerTeam(int helpers);
    ~TWorkerTeam();
    TWorkerTeam(const TWorkerTeam&) = delete;
    TWorkerTeam& operator=(const TWorkerTeam&) = delete;

    // How many run a job: the helpers and the caller.
    int Size() const { return parts_; }
    // Runs job(part, Size()) for every part 0 .. Size()-1, part 0 on the
    // caller's thread, and returns when all are done. A helper that has not
    // begun its part when the caller is through with part 0 (asleep still,
    // or woken late) leaves it to the caller, which never waits for a
    // helper to wake. Not reentrant.
    void Run(const std::function<void(int part, int parts)>& job);
    // The same, but each thread takes its own part first and then any part
    // no thread has begun: one the machine holds up (woken late, or stopped
    // a while) leaves its part to another instead of keeping all waiting.
    // A part may then run on any thread. At most 32 parts.
    void RunEach(const std::function<void(int part, int parts)>& job);
    // Jobs are coming with gaps between them (a replot has begun): the
    // helpers wait awake for each until Rest, up to a bound.
    void Hold();
    // No job is coming soon: the helpers go to sleep now instead of
    // waiting awake, which leaves the processors to others (the next Run
    // wakes them).
    void Rest();

private:
    void Serve(int part);
    // A helper's claim to its part of job `round`: false once the caller
    // has closed that job to helpers.
    bool Join(std::uint64_t round, int part);
    // Keeps helper `part` to the processors `cpus` but `except` until its
    // FreeProcessors, where that can be done (Linux).
    void Restrict(int part, const std::vector<int>& cpus, int except);
    // A helper kept to some processors is free to run on all again.
    void FreeProcessors(int part);
    static constexpr std::uint64_t kHelperBits = 0xffffffffu; // which helpers joined
    static constexpr std::uint64_t kClosed = std::uint64_t{1} << 32;
    static std::uint64_t RoundBits(std::uint64_t round) { return round << 33; }
    static int Count(std::uint64_t helpers) { return static_cast<int>(std::bitset<64>(helpers).count()); }

    const int parts_;
    std::mutex mutex_;
    std::condition_variable wake_, finished_;
    const std::function<void(int, int)>* job_ = nullptr; // set before round_ counts on
    std::atomic<std::uint64_t> round_{0};                // one more for every job
    std::atomic<int> done_{0};                           // helpers done with it
    std::atomic<std::uint64_t> joined_{0};               // the job's round, closed, who joined
    std::atomic<bool> stop_{false};
    std::atomic<bool> resting_{false};
    std::atomic<bool> holding_{false};
    // Where the caller began the last job, and where each helper is at
    // work on it (-1: not at work, or not known).
    std::atomic<int> callerCpu_{-1};
    std::vector<std::atomic<int>> helperCpu_;
    // Which helpers sleep, and which the caller has kept to some of the
    // processors (off its own for their waking, or onto its own while it
    // waits); the processors the team may run on.
    std::vector<std::atomic<bool>> asleep_, restricted_;
    std::vector<int> cpus_;
    std::vector<std::thread> threads_;
};

} // namespace qv
