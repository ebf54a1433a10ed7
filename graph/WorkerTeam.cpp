#include "graph/WorkerTeam.h"

#include <algorithm>
#include <chrono>
#if defined(__linux__)
#include <pthread.h>
#include <sched.h>
#endif

namespace qv {

namespace {

// How long a helper stays awake for the next job, and how long the caller
// watches for the helpers' end before it sleeps on it.
constexpr auto kAwake = std::chrono::microseconds(300);
// How long the caller waits for a helper's end before it brings the helper
// over to its own processor.
constexpr auto kStalled = std::chrono::microseconds(1000);
// How long they stay awake at most while held.
constexpr auto kHeld = std::chrono::microseconds(20000);
// A spinning thread that finds this much time gone between two looks was
// stopped meanwhile: its processor was wanted by another thread.
constexpr auto kStopped = std::chrono::microseconds(200);

// The processor this thread runs on now; -1 where that is not known.
inline int CurrentCpu()
{
#if defined(__linux__)
    return sched_getcpu();
#else
    return -1;
#endif
}

#if defined(__linux__)
// Lets `thread` run on the processors `cpus` but `except` (none left: all).
void SetProcessors(pthread_t thread, const std::vector<int>& cpus, int except)
{
    cpu_set_t set;
    CPU_ZERO(&set);
    for (int c : cpus)
        if (c != except)
            CPU_SET(c, &set);
    if (CPU_COUNT(&set) > 0)
        pthread_setaffinity_np(thread, sizeof set, &set);
}
#endif

inline void Pause()
{
#if defined(__x86_64__) || defined(__i386__)
    __builtin_ia32_pause();
#else
    std::this_thread::yield();
#endif
}

// Spins until `ready()` or `limit` has passed; true when ready. It stops
// early, false, when `inTheWay()` or when the thread was stopped a while:
// spinning on would keep the thread it waits for, or another one, from
// this processor (a waiter that sleeps instead is woken where there is
// room).
template <class F, class G>
bool SpinFor(F ready, std::chrono::microseconds limit, G inTheWay)
{
    auto last = std::chrono::steady_clock::now();
    const auto end = last + limit;
    for (int i = 0;; ++i) {
        if (ready())
            return true;
        Pause();
        if ((i & 63) == 63) {
            const auto now = std::chrono::steady_clock::now();
            if (now >= end || now - last > kStopped || inTheWay())
                return false;
            last = now;
        }
    }
}

} // namespace

TWorkerTeam::TWorkerTeam(int helpers)
    : parts_(std::max(0, helpers) + 1), helperCpu_(static_cast<std::size_t>(parts_)),
      asleep_(static_cast<std::size_t>(parts_)), restricted_(static_cast<std::size_t>(parts_))
{
#if defined(__linux__)
    cpu_set_t allowed;
    if (sched_getaffinity(0, sizeof allowed, &allowed) == 0)
        for (int c = 0; c < CPU_SETSIZE; ++c)
            if (CPU_ISSET(c, &allowed))
                cpus_.push_back(c);
#endif
    for (std::atomic<int>& cpu : helperCpu_)
        cpu.store(-1, std::memory_order_relaxed);
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
    const int here = CurrentCpu();
    callerCpu_.store(here, std::memory_order_relaxed);
    // A sleeping helper is woken on another processor than the caller's: a
    // machine may rather put it beside the thread that woke it than wake an
    // idle processor, and there it would wait for the caller's turn to end.
#if defined(__linux__)
    if (here >= 0 && cpus_.size() > 1)
        for (int part = 1; part < parts; ++part)
            if (asleep_[static_cast<std::size_t>(part)].load(std::memory_order_relaxed))
                Restrict(part, cpus_, here);
#endif
    std::uint64_t round = 0;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        job_ = &job;
        done_.store(0, std::memory_order_relaxed);
        round = round_.load(std::memory_order_relaxed) + 1;
        joined_.store(RoundBits(round), std::memory_order_relaxed);
        round_.store(round, std::memory_order_release);
    }
    wake_.notify_all();
    job(0, parts);
    // From here on no helper joins: the parts of those that did not (still
    // asleep, or woken late) are the caller's.
    const std::uint64_t joined = joined_.fetch_or(kClosed) & kHelperBits;
    for (int part = 1; part < parts; ++part)
        if (!(joined & (std::uint64_t{1} << part)))
            job(part, parts);
    const int helpers = Count(joined);
    auto allDone = [&] { return done_.load() == helpers; };
    // A helper still at work on this processor gets it.
    auto helperHere = [&] {
        const int cpu = CurrentCpu();
        return cpu >= 0 && std::any_of(helperCpu_.begin() + 1, helperCpu_.end(), [cpu](const std::atomic<int>& c) {
                   return c.load(std::memory_order_relaxed) == cpu;
               });
    };
    if (SpinFor(allDone, kAwake, helperHere))
        return;
    std::unique_lock<std::mutex> lock(mutex_);
    if (finished_.wait_for(lock, kStalled, allDone))
        return;
#if defined(__linux__)
    // A helper still at work this long may be kept from its processor by
    // another thread, while the caller's stands idle: it is brought over to
    // the caller's, which the caller now leaves to it.
    const int idle = CurrentCpu();
    if (idle >= 0 && cpus_.size() > 1)
        for (int part = 1; part < parts; ++part)
            if (helperCpu_[static_cast<std::size_t>(part)].load(std::memory_order_relaxed) >= 0)
                Restrict(part, {idle}, -1);
#endif
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
        // The caller on this processor gets it.
        auto callerHere = [&] {
            const int cpu = CurrentCpu();
            return cpu >= 0 && cpu == callerCpu_.load(std::memory_order_relaxed);
        };
        if (!SpinFor(newsOrRest, holding_.load(std::memory_order_relaxed) ? kHeld : kAwake, callerHere) || !news()) {
            asleep_[static_cast<std::size_t>(part)].store(true, std::memory_order_relaxed);
            std::unique_lock<std::mutex> lock(mutex_);
            wake_.wait(lock, news);
            asleep_[static_cast<std::size_t>(part)].store(false, std::memory_order_relaxed);
        }
        if (stop_.load())
            return;
        seen = round_.load(std::memory_order_acquire);
        FreeProcessors(part);
        if (!Join(seen, part))
            continue; // the caller is through with it already
        std::atomic<int>& cpu = helperCpu_[static_cast<std::size_t>(part)];
        cpu.store(CurrentCpu(), std::memory_order_relaxed);
        (*job_)(part, parts_);
        cpu.store(-1, std::memory_order_relaxed);
        const int done = done_.fetch_add(1) + 1;
        const std::uint64_t joined = joined_.load();
        if ((joined & kClosed) && done == Count(joined & kHelperBits)) {
            { std::lock_guard<std::mutex> lock(mutex_); } // the caller is waiting or sees the count
            finished_.notify_one();
        }
        FreeProcessors(part);
    }
}

#if defined(__linux__)
void TWorkerTeam::Restrict(int part, const std::vector<int>& cpus, int except)
{
    SetProcessors(threads_[static_cast<std::size_t>(part) - 1].native_handle(), cpus, except);
    restricted_[static_cast<std::size_t>(part)].store(true, std::memory_order_relaxed);
}
#endif

void TWorkerTeam::FreeProcessors(int part)
{
#if defined(__linux__)
    if (restricted_[static_cast<std::size_t>(part)].exchange(false, std::memory_order_relaxed))
        SetProcessors(pthread_self(), cpus_, -1);
#else
    (void)part;
#endif
}

bool TWorkerTeam::Join(std::uint64_t round, int part)
{
    std::uint64_t s = joined_.load();
    for (;;) {
        if ((s & ~(kHelperBits | kClosed)) != RoundBits(round) || (s & kClosed))
            return false;
        if (joined_.compare_exchange_weak(s, s | (std::uint64_t{1} << part)))
            return true;
    }
}

} // namespace qv
