// The one plausibility rule every source shares: a counter's rise is traffic only when a link of a
// given rate could have carried it in the time between the two readings. Anything faster is a counter
// that was reset or misread, and counting it would put it into the day's usage for good.
//
// The rate differs by what is measured: this PC's interfaces (one adapter or every one) may be as fast
// as 1 Tbit/s (a host's own links, loopback-like virtual switches); a home's internet link is taken as
// at most 10 Gbit/s, whatever the router says about itself.
#pragma once

#include <cstdint>

namespace tide {

inline constexpr uint64_t k_interface_bytes_per_second = 125'000'000'000; // 1 Tbit/s
inline constexpr uint64_t k_home_link_bytes_per_second = 1'250'000'000;   // 10 Gbit/s

// What a link of `bytes_per_second` can carry in `elapsed_ns`, saturating instead of overflowing
// (elapsed times rate overflows 64 bits after about 15 s at 10 Gbit/s). Nothing for no time.
uint64_t link_budget(int64_t elapsed_ns, uint64_t bytes_per_second);

// A rise of `bytes` in `elapsed_ns` is one the link could carry.
bool plausible_rise(uint64_t bytes, int64_t elapsed_ns, uint64_t bytes_per_second);

} // namespace tide
