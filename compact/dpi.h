// Device-independent pixels (1/96 inch) to pixels of a monitor.
#pragma once

#include <cstdint>

namespace tide {

inline constexpr int k_default_dpi = 96;

// v × dpi / 96, rounded to the nearest integer with halves away from zero; a DPI of 0 or less counts
// as 96. Works in 64 bits so that large lengths at high DPI cannot overflow on the way.
constexpr int scale_to_dpi(int value, int dpi) {
    if (dpi <= 0) {
        dpi = k_default_dpi;
    }
    const int64_t twice = int64_t{2} * value * dpi;
    const int64_t half_up = (twice >= 0 ? twice + k_default_dpi : -twice + k_default_dpi) / (2 * k_default_dpi);
    return static_cast<int>(twice >= 0 ? half_up : -half_up);
}

// Pixels back to whole DIP at a DPI, with the same rounding (for offsets read from a moved window).
constexpr int unscale_from_dpi(int pixels, int dpi) {
    if (dpi <= 0) {
        dpi = k_default_dpi;
    }
    const int64_t twice = int64_t{2} * pixels * k_default_dpi;
    const int64_t half_up = (twice >= 0 ? twice + dpi : -twice + dpi) / (int64_t{2} * dpi);
    return static_cast<int>(twice >= 0 ? half_up : -half_up);
}

} // namespace tide
