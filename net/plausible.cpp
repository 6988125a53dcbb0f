// The one plausibility rule: what a link can carry in a given time.
#include "net/plausible.h"

#include <limits>

namespace tide {

uint64_t link_budget(int64_t elapsed_ns, uint64_t bytes_per_second) {
    if (elapsed_ns <= 0) {
        return 0;
    }
    constexpr uint64_t k_ns = 1'000'000'000;
    constexpr uint64_t k_max = std::numeric_limits<uint64_t>::max();
    const auto elapsed = static_cast<uint64_t>(elapsed_ns);
    const uint64_t seconds = elapsed / k_ns;
    if (seconds > 0 && bytes_per_second > k_max / seconds) {
        return k_max;
    }
    const uint64_t whole = seconds * bytes_per_second;
    // The part below a second in microseconds: at most 10^6 times the rate, inside 64 bits for any
    // rate up to 1.8 * 10^13 bytes a second, which no link comes near; nanoseconds are dropped.
    const uint64_t part = elapsed % k_ns / 1000 * bytes_per_second / 1'000'000;
    return whole > k_max - part ? k_max : whole + part;
}

bool plausible_rise(uint64_t bytes, int64_t elapsed_ns, uint64_t bytes_per_second) {
    return bytes <= link_budget(elapsed_ns, bytes_per_second);
}

} // namespace tide
