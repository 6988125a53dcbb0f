// Rate computation: turns successive inventories into published samples with rates and session totals.
#include "net/sampler.h"

#include "net/plausible.h"

namespace tide {

RateMeter::Reading RateMeter::update(uint64_t received, uint64_t sent, int64_t time, uint64_t luid) {
    const RateMeter old = *this;
    previous_received = received;
    previous_sent = sent;
    previous_time = time;
    previous_luid = luid;
    has_previous = true;

    Reading reading;
    if (!old.has_previous) {
        return reading;
    }
    if (old.previous_luid != luid) {
        reading.result = RateResult::interface_changed;
        return reading;
    }
    const int64_t elapsed = time - old.previous_time;
    if (elapsed < k_min_interval || elapsed > k_max_interval) {
        reading.result = RateResult::interval_out_of_range;
        return reading;
    }
    if (received < old.previous_received || sent < old.previous_sent) {
        reading.result = RateResult::counter_decreased;
        return reading;
    }
    if (!plausible_rise(received - old.previous_received, elapsed, k_interface_bytes_per_second) ||
        !plausible_rise(sent - old.previous_sent, elapsed, k_interface_bytes_per_second)) {
        reading.result = RateResult::implausible;
        return reading;
    }
    const double seconds = static_cast<double>(elapsed) / 1e9;
    const double download = static_cast<double>(received - old.previous_received) * 8.0 / seconds;
    const double upload = static_cast<double>(sent - old.previous_sent) * 8.0 / seconds;
    reading.result = RateResult::ok;
    reading.download = download;
    reading.upload = upload;
    return reading;
}

void SessionCounter::update(uint64_t received, uint64_t sent, uint64_t luid, bool count) {
    if (count && has_previous && previous_luid == luid && received >= previous_received &&
        sent >= previous_sent) {
        total_received += received - previous_received;
        total_sent += sent - previous_sent;
    }
    previous_received = received;
    previous_sent = sent;
    previous_luid = luid;
    has_previous = true;
}

namespace {

// Totals of different sources have nothing in common: the first cycle of a new one is a baseline.
void enter_source(SamplerState& state, MonitorSource source) {
    if (state.source != source) {
        state.source = source;
        state.meter.has_previous = false;
        state.session.has_previous = false;
    }
}

// Rates and session totals from one source's cumulative totals.
void measure_totals(SamplerState& state, RateSample& sample, uint64_t received, uint64_t sent, int64_t time,
                    uint64_t identity) {
    const RateMeter::Reading reading = state.meter.update(received, sent, time, identity);
    // A jump the meter found implausible (a driver resetting a counter to a huge value) is not
    // traffic: the one plausibility rule (net/plausible.h) decides for the session as for the rate.
    state.session.update(received, sent, identity, reading.result != RateResult::implausible);
    sample.session_received = state.session.total_received;
    sample.session_sent = state.session.total_sent;
    sample.result = reading.result;
    sample.download = reading.download;
    sample.upload = reading.upload;
    sample.status = reading.result == RateResult::ok ? MonitorStatus::connected : MonitorStatus::measuring;
}

} // namespace

RateSample compute_sample(SamplerState& state, const Inventory& inventory,
                          const SamplerSelection& selection) {
    enter_source(state, MonitorSource::interface_);
    RateSample sample;
    sample.session_received = state.session.total_received;
    sample.session_sent = state.session.total_sent;

    if (!inventory.valid) {
        state.meter.has_previous = false;
        state.session.has_previous = false;
        return sample;
    }
    const std::optional<uint64_t> choice = choose_interface(inventory, selection, state.previous_choice);
    state.previous_choice = choice;
    if (!choice) {
        state.meter.has_previous = false;
        state.session.has_previous = false;
        return sample;
    }
    const uint64_t luid = *choice;
    sample.interface_luid = luid;
    for (const InterfaceInfo& info : inventory.interfaces) {
        if (info.luid == luid) {
            sample.interface_name = info.name;
        }
    }

    const auto found = inventory.counters.find(luid);
    if (found == inventory.counters.end()) {
        state.meter.has_previous = false;
        return sample;
    }
    const InterfaceCounters counters = found->second;
    measure_totals(state, sample, counters.received, counters.sent, inventory.timestamp, luid);
    return sample;
}

RateSample compute_source_sample(SamplerState& state, MonitorSource source, const SourceReading& reading) {
    enter_source(state, source);
    RateSample sample;
    sample.source = source;
    sample.source_status = reading.status;
    sample.source_name = reading.name;
    sample.source_model = reading.model;
    sample.source_udn = reading.udn;
    sample.source_serial = reading.serial;
    sample.source_problem = reading.problem;
    sample.session_received = state.session.total_received;
    sample.session_sent = state.session.total_sent;
    if (!reading.valid) {
        // The session keeps its baseline: a source's totals are its own running sums, which decide
        // for themselves what a silence was worth (the router's counters go on while it does not
        // answer). The rate starts again after the silence.
        state.meter.has_previous = false;
        return sample;
    }
    sample.source_status = SourceStatus::ok;
    const int64_t counted_since = state.session_wall_time;
    const uint64_t before_received = state.session.total_received;
    const uint64_t before_sent = state.session.total_sent;
    measure_totals(state, sample, reading.received, reading.sent, reading.timestamp, reading.identity);
    if (state.session.total_received != before_received || state.session.total_sent != before_sent) {
        sample.counted_since = counted_since;
    }
    state.session_wall_time = reading.wall_time;
    return sample;
}

} // namespace tide
