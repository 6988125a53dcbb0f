// Rate computation: turns successive inventories into published samples with rates and session totals.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "net/inventory.h"
#include "net/selection.h"
#include "net/source.h"

namespace tide {

enum class MonitorStatus : int32_t {
    unavailable = 0, // nothing chosen, or the interface table could not be read
    connected = 1,   // rates valid
    measuring = 2,   // an interface is chosen but this sample has no valid rate
};

enum class RateResult : int32_t {
    ok = 0,
    first_sample = 1,
    interface_changed = 2,
    counter_decreased = 3,
    interval_out_of_range = 4,
    implausible = 5,
};

// One published measurement.
struct RateSample {
    MonitorStatus status = MonitorStatus::unavailable;
    std::optional<uint64_t> interface_luid;
    std::string interface_name;
    RateResult result = RateResult::first_sample;
    double download = 0.0;         // bits per second
    double upload = 0.0;           // bits per second
    uint64_t session_received = 0; // bytes since the sampler started
    uint64_t session_sent = 0;
    MonitorSource source = MonitorSource::interface_;
    SourceStatus source_status = SourceStatus::ok;
    std::string source_name;  // the router's friendly name (router source only)
    std::string source_model; // the router's model
    std::string source_udn;   // identifiers of the router, for scrubbing reports; never shown
    std::string source_serial;
    std::string source_problem; // for the recent errors; said once by the source
    // Unix seconds of the reading the session totals grew from, when this sample counted bytes and
    // the source gave wall-clock times; 0 otherwise. The growth covers the time from there to now, so
    // the bytes of a long silence (a night asleep) go on the days they crossed, not on the morning.
    int64_t counted_since = 0;
};

// Rates from the change of one interface's counters between two inventories. A rise faster than
// k_interface_bytes_per_second (net/plausible.h) is implausible.
struct RateMeter {
    static constexpr int64_t k_min_interval = 50'000'000;     // ns
    static constexpr int64_t k_max_interval = 60'000'000'000; // ns

    struct Reading {
        RateResult result = RateResult::first_sample;
        double download = 0.0;
        double upload = 0.0;
    };

    uint64_t previous_received = 0;
    uint64_t previous_sent = 0;
    int64_t previous_time = 0;
    uint64_t previous_luid = 0;
    bool has_previous = false;

    // The new values always become the baseline, whatever the outcome.
    Reading update(uint64_t received, uint64_t sent, int64_t time, uint64_t luid);
};

// Running byte totals since the sampler started; a counter going down, a change of interface or an
// increase the caller does not count adds nothing for that cycle.
struct SessionCounter {
    uint64_t previous_received = 0;
    uint64_t previous_sent = 0;
    uint64_t previous_luid = 0;
    bool has_previous = false;
    uint64_t total_received = 0;
    uint64_t total_sent = 0;

    void update(uint64_t received, uint64_t sent, uint64_t luid, bool count = true);
};

// Everything the sampler carries from one cycle to the next.
struct SamplerState {
    std::optional<uint64_t> previous_choice;
    RateMeter meter;
    SessionCounter session;
    MonitorSource source = MonitorSource::interface_; // the source of the last cycle
    int64_t session_wall_time = 0; // unix seconds of the source reading the session baseline is from
};

// The chosen interface's counters (this PC's interface).
RateSample compute_sample(SamplerState& state, const Inventory& inventory, const SamplerSelection& selection);

// A source's cumulative totals (every adapter, the router) under the same rules: the first reading and
// a new identity are baselines; a decrease or an implausible jump counts nothing. A reading without an
// answer restarts the rate but keeps the session's baseline: the source's running totals say what the
// silence was worth. A change of source is a new baseline too, so the session totals never jump.
RateSample compute_source_sample(SamplerState& state, MonitorSource source, const SourceReading& reading);

} // namespace tide
