// The sampler thread: the chosen source's totals and the rate computation at the configured interval.
#include "net/sampler_win.h"

#include <process.h>

#include <algorithm>
#include <mutex>
#include <utility>

#include "base/messages_win.h"
#include "net/adapters.h"
#include "net/inventory_win.h"

namespace tide {
namespace {

// What the sampler thread keeps between cycles.
struct SamplerLocal {
    SamplerState state;
    AdapterTotals adapters;
    std::unique_ptr<ReadingSource> router; // only while the router is chosen
};

RateSample measure_router(SamplerShared& shared, SamplerLocal& local) {
    if (!local.router && shared.make_router_source != nullptr) {
        local.router = shared.make_router_source(shared.stop_flag);
    }
    SourceReading reading;
    reading.status = SourceStatus::no_router;
    if (local.router) {
        reading = local.router->read();
    }
    return compute_source_sample(local.state, MonitorSource::router, reading);
}

void measure_once(SamplerShared& shared, SamplerLocal& local) {
    // A request made before the inventory is answered by this sample; one made during it is not.
    uint64_t answering = 0;
    {
        std::lock_guard hold(shared.sample_lock);
        answering = shared.requested;
    }
    try {
        SamplerSelection selection;
        {
            std::lock_guard hold(shared.sample_lock);
            selection = shared.sampler_selection;
        }
        if (selection.source != MonitorSource::router) {
            local.router.reset(); // this PC's sources send nothing at all
        }
        if (selection.source != MonitorSource::adapters) {
            local.adapters = {}; // counters from before another source are no baseline
        }
        RateSample sample;
        switch (selection.source) {
        case MonitorSource::adapters:
            sample = compute_source_sample(local.state, MonitorSource::adapters,
                                           read_adapters(local.adapters, take_inventory()));
            break;
        case MonitorSource::router:
            sample = measure_router(shared, local);
            break;
        default:
            sample = compute_sample(local.state, take_inventory(), selection);
            break;
        }
        {
            std::lock_guard hold(shared.sample_lock);
            shared.shared_sample = std::move(sample);
            shared.answered = answering;
        }
        WakeAllConditionVariable(&shared.answered_changed);
        PostMessageW(shared.controller_window, k_msg_sample, 0, 0);
    } catch (...) {
        // Out of memory while building the inventory or the name: this cycle publishes nothing.
    }
}

void wait_for_next_cycle(SamplerShared& shared, uint32_t interval_ms) {
    if (shared.wake_event) {
        WaitForSingleObject(shared.wake_event.get(), interval_ms);
        return;
    }
    // Without a wake event only the stop flag can end the wait early; look at it often.
    constexpr uint32_t k_slice_ms = 50;
    for (uint32_t waited = 0; waited < interval_ms && !shared.stop_flag.load(); waited += k_slice_ms) {
        Sleep(std::min(k_slice_ms, interval_ms - waited));
    }
}

unsigned __stdcall sampler_main(void* parameter) {
    SamplerShared& shared = *static_cast<SamplerShared*>(parameter);
    SamplerLocal local;
    while (!shared.stop_flag.load()) {
        if (!shared.pause_flag.load()) {
            measure_once(shared, local);
        }
        uint32_t interval_ms = 0;
        {
            std::lock_guard hold(shared.sample_lock);
            interval_ms = shared.interval_ms;
        }
        wait_for_next_cycle(shared, interval_ms);
    }
    return 0;
}

} // namespace

void wake_sampler(SamplerShared& shared) {
    if (shared.wake_event) {
        SetEvent(shared.wake_event.get());
    }
}

bool SamplerThread::start(SamplerShared& shared) {
    if (thread_) {
        return false;
    }
    unsigned id = 0;
    const uintptr_t handle = _beginthreadex(nullptr, 0, &sampler_main, &shared, 0, &id);
    if (handle == 0) {
        return false;
    }
    shared_ = &shared;
    thread_.reset(reinterpret_cast<HANDLE>(handle));
    thread_id_ = id;
    return true;
}

bool SamplerThread::measure_now(DWORD limit_ms) {
    if (!thread_ || shared_->pause_flag.load()) {
        return false;
    }
    SamplerShared& shared = *shared_;
    const ULONGLONG deadline = GetTickCount64() + limit_ms;
    std::lock_guard hold(shared.sample_lock);
    const uint64_t request = ++shared.requested;
    wake_sampler(shared);
    while (shared.answered < request) {
        const ULONGLONG now = GetTickCount64();
        if (now >= deadline ||
            !SleepConditionVariableSRW(&shared.answered_changed, shared.sample_lock.native(),
                                       static_cast<DWORD>(deadline - now), 0)) {
            return shared.answered >= request;
        }
    }
    return true;
}

void SamplerThread::stop_and_join(DWORD limit_ms) {
    if (!thread_) {
        return;
    }
    shared_->stop_flag.exchange(true);
    wake_sampler(*shared_);
    WaitForSingleObject(thread_.get(), limit_ms);
    thread_.reset();
    thread_id_ = 0;
}

} // namespace tide
