// The sampler thread and the state it shares with the main thread.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <memory>

#include "base/handles_win.h"
#include "net/sampler.h"
#include "net/source.h"

namespace tide {

// The sample lock: a slim reader/writer lock taken exclusively and held only for copies. Taking it
// cannot fail, so a lock failure has no path at all.
class SampleLock {
public:
    SampleLock() = default;
    SampleLock(const SampleLock&) = delete;
    SampleLock& operator=(const SampleLock&) = delete;

    void lock() { AcquireSRWLockExclusive(&lock_); }
    void unlock() { ReleaseSRWLockExclusive(&lock_); }
    SRWLOCK* native() { return &lock_; }

private:
    SRWLOCK lock_ = SRWLOCK_INIT;
};

// Everything the main thread and the sampler thread share. The main thread writes the selection
// and the interval and reads the sample; the sampler does the opposite.
struct SamplerShared {
    SampleLock sample_lock;
    RateSample shared_sample;           // under sample_lock
    SamplerSelection sampler_selection; // under sample_lock
    uint32_t interval_ms = 1000;        // under sample_lock
    std::atomic<bool> stop_flag{false};
    std::atomic<bool> pause_flag{false};
    UniqueHandle wake_event;          // auto-reset; cuts the sampler's wait short
    HWND controller_window = nullptr; // receives k_msg_sample; set before the thread starts
    // A measurement asked for by the main thread (see SamplerThread::measure_now): the number of the
    // last request, and of the last one whose sample is published. Both under sample_lock.
    uint64_t requested = 0;
    uint64_t answered = 0;
    CONDITION_VARIABLE answered_changed = CONDITION_VARIABLE_INIT; // with sample_lock
    // Makes the router source while the router is chosen (on the sampler thread, which alone uses it
    // and drops it when another source is chosen); set before the thread starts. Without it the
    // router source says that no router was found. The source gives up whatever it waits for once the
    // flag it gets (the stop flag) is set.
    std::unique_ptr<ReadingSource> (*make_router_source)(const std::atomic<bool>& stop) = nullptr;
};

// Wakes the sampler now instead of after its interval.
void wake_sampler(SamplerShared& shared);

// The running sampler: measures at once, then after every interval or wake-up, publishes each sample
// into the shared state and posts one k_msg_sample for it. It never touches a window or a file.
class SamplerThread {
public:
    SamplerThread() = default;
    SamplerThread(const SamplerThread&) = delete;
    SamplerThread& operator=(const SamplerThread&) = delete;
    ~SamplerThread() { stop_and_join(); }

    // False when the thread could not be created (or already runs).
    bool start(SamplerShared& shared);
    // Has the sampler measure now and waits, at most limit_ms, until that sample is published: the
    // bytes since the last sample are counted before the program saves its usage and goes. False
    // while paused (nothing is measured then), without the thread, or when the time is up.
    bool measure_now(DWORD limit_ms);
    // Sets the stop flag, signals the wake event and waits for the thread, at most limit_ms: every wait
    // of the thread, also a router's request, ends within a twentieth of a second of the flag, so the
    // limit only guards against the unforeseen. A thread still running then is left to the process's
    // end rather than holding Exit.
    void stop_and_join(DWORD limit_ms = k_join_limit_ms);
    static constexpr DWORD k_join_limit_ms = 2000;
    bool running() const { return static_cast<bool>(thread_); }
    DWORD id() const { return thread_id_; }

private:
    SamplerShared* shared_ = nullptr;
    UniqueHandle thread_;
    DWORD thread_id_ = 0;
};

} // namespace tide
