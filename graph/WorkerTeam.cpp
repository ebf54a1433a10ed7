#include "graph/WorkerTeam.h"

#include <algorithm>
#include <chrono>

namespace qv {

namespace {

// How long a helper stays awake for the next job, and how long the caller
// watches for the helpers' end before it sleeps on it.
constexpr auto kAwake = std::chrono::microseconds(300);
// How long they stay awake at most while held.
constexpr auto kHeld = std::chrono::microseconds(20000);

inline void Pause()
{
#if defined(__x86_64__) || defined(__i386__)
    __builtin_ia32_pause();
#else
    std::this_thread::yield();
#endif
}

// Spins until `ready()` or `limit` has passed; true when ready.
template <class F>
bool SpinFor(F ready, std::chrono::microseconds limit)
{
    const auto end = std::chrono::steady_clock::now() + limit;
    for (int i = 0;; ++i) {
        if (ready())
            return true;
        Pause();
        if ((i & 63) == 63 && std::chrono::steady_clock::now() >= end)
            return false;
    }
}

} // namespace

TWorkerTeam::TWorkerTeam(int helpers) : parts_(std::max(0, helpers) + 1)
{
    for (int i = 0; i < helpers; ++i)
        threads_.emplace_back([this, i] { Serve(i + 1); });
}

TWorkerTeam::~TWorkerTeam()
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
        round_.fetch_add(1);
    }
    wake_.notify_all();
    for (std::thread& t : threads_)
        t.join();
}

void TWorkerTeam::Run(const std::function<void(int, int)>& job)
{
    const int parts = Size();
    if (parts == 1) {
        job(0, 1);
        return;
    }
    resting_.store(false, std::memory_order_relaxed);
    {
        std::lock_guard<std::mutex> lock(mutex_);
        job_ = &job;
        done_.store(0, std::memory_order_relaxed);
        round_.fetch_add(1, std::memory_order_release);
    }
    wake_.notify_all();
    job(0, parts);
    const int helpers = parts - 1;
    auto allDone = [&] { return done_.load(std::memory_order_acquire) == helpers; };
    if (SpinFor(allDone, kAwake))
        return;
    std::unique_lock<std::mutex> lock(mutex_);
    finished_.wait(lock, allDone);
}

void TWorkerTeam::RunEach(const std::function<void(int, int)>& job)
{
    std::atomic<std::uint32_t> begun{0};
    Run([&](int thread, int parts) {
        for (int k = 0; k < parts; ++k) {
            const int part = (thread + k) % parts;
            const std::uint32_t bit = 1u << part;
            if (!(begun.fetch_or(bit, std::memory_order_relaxed) & bit))
                job(part, parts);
        }
    });
}

void TWorkerTeam::Hold() { holding_.store(true, std::memory_order_relaxed); }

void TWorkerTeam::Rest()
{
    holding_.store(false, std::memory_order_relaxed);
    resting_.store(true, std::memory_order_relaxed);
}

void TWorkerTeam::Serve(int part)
{
    std::uint64_t seen = 0;
    for (;;) {
        // Awake a moment for the next job, then asleep until there is one.
        auto news = [&] { return round_.load(std::memory_order_acquire) != seen; };
        auto newsOrRest = [&] { return news() || resting_.load(std::memory_order_relaxed); };
        if (!SpinFor(newsOrRest, holding_.load(std::memory_order_relaxed) ? kHeld : kAwake) || !news()) {
            std::unique_lock<std::mutex> lock(mutex_);
            wake_.wait(lock, news);
        }
        if (stop_.load())
            return;
        seen = round_.load(std::memory_order_acquire);
        (*job_)(part, parts_);
        if (done_.fetch_add(1, std::memory_order_acq_rel) + 1 == parts_ - 1) {
            { std::lock_guard<std::mutex> lock(mutex_); } // the caller is waiting or sees the count
            finished_.notify_one();
        }
    }
}

} // namespace qv
