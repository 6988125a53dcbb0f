// The rule that turns a router's counters into the bytes the home sent and received.
#include "net/router_counter.h"

#include "net/plausible.h"

namespace tide {
namespace {

constexpr uint64_t k_wrap = uint64_t{1} << 32;
constexpr uint64_t k_min_stated_rate = 1'000'000; // bits per second; below it a rate is a misreport

// A drop from `before` to `after` in `elapsed_ns` was one wrap of a 32-bit counter.
bool wrapped(uint64_t before, uint64_t after, int64_t elapsed_ns, uint64_t rate_bits) {
    if (before >= k_wrap || after >= before || rate_bits < k_min_stated_rate) {
        return false;
    }
    const uint64_t bytes = k_wrap - before + after;
    const uint64_t budget = link_budget(elapsed_ns, rate_bits / 8);
    // When two wraps fit as well, nobody can say how many there were.
    return bytes <= budget && budget - bytes < k_wrap;
}

} // namespace

uint64_t RouterCounter::Track::advance(uint64_t value, int64_t time, uint64_t rate_bits) {
    if (!base) {
        restart(value, time);
        return 0;
    }
    const auto rise_from = [&](const Point& from) {
        return value >= from.value &&
               plausible_rise(value - from.value, time - from.time, k_home_link_bytes_per_second);
    };
    if (rise_from(*base)) {
        // Also the end of a glitch: the held reading is forgotten, the old line goes on.
        const uint64_t bytes = value - base->value;
        restart(value, time);
        return bytes;
    }
    if (held && value > held->value && rise_from(*held)) {
        uint64_t bytes = value - held->value;
        if (wrapped(base->value, held->value, held->time - base->time, rate_bits)) {
            bytes += k_wrap - base->value + held->value;
        }
        restart(value, time);
        return bytes;
    }
    // A counter that stays where it was held proves nothing yet.
    if (!held || value != held->value) {
        held = Point{value, time};
    }
    return 0;
}

RouterCounter::Result RouterCounter::update(const RouterAnswer& answer) {
    if (!answer.answered) {
        return {false, received_, sent_};
    }
    if (answer.udn != udn_ || answer.links.size() != lines_.size()) {
        udn_ = answer.udn;
        lines_.assign(answer.links.size(), Line{});
    }
    for (size_t i = 0; i < answer.links.size(); ++i) {
        const LinkReading& reading = answer.links[i];
        Line& line = lines_[i];
        if (!reading.answered) {
            continue;
        }
        const auto made_again = [&](const Track& track) {
            return reading.uptime_s && track.base &&
                   *reading.uptime_s < static_cast<uint64_t>(answer.time - track.base->time) / 1'000'000'000;
        };
        if (reading.state == LinkState::down || made_again(line.received) || made_again(line.sent)) {
            line.received.restart(reading.received, answer.time);
            line.sent.restart(reading.sent, answer.time);
            continue;
        }
        received_ += line.received.advance(reading.received, answer.time, reading.downstream_bits);
        sent_ += line.sent.advance(reading.sent, answer.time, reading.upstream_bits);
    }
    return {true, received_, sent_};
}

} // namespace tide
