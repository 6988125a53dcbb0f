// The outline of the arrow icon: a shaft and a head in a square, pointing down (download) or up.
#pragma once

#include <array>

namespace tide {

struct PointF {
    float x = 0;
    float y = 0;

    friend bool operator==(const PointF&, const PointF&) = default;
};

// The seven corners of the closed outline, in drawing order, for the square of side s at (x, y).
constexpr std::array<PointF, 7> arrow_points(float x, float y, float s, bool downward) {
    const float base = downward ? y : y + s;
    const float tip = downward ? y + s : y;
    const float mid = y + 0.5f * s;
    return {{{x + 0.35f * s, base},
             {x + 0.65f * s, base},
             {x + 0.65f * s, mid},
             {x + 0.95f * s, mid},
             {x + 0.5f * s, tip},
             {x + 0.05f * s, mid},
             {x + 0.35f * s, mid}}};
}

} // namespace tide
