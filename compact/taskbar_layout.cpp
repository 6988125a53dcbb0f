// The arithmetic of sharing the taskbar.
#include "compact/taskbar_layout.h"

#include <algorithm>
#include <cstdlib>
#include <utility>

#include "compact/dpi.h"

namespace tide {

std::optional<ScreenRect> find_free_place(const ScreenRect& desired, const ScreenRect& strip,
                                          const std::vector<ScreenRect>& occupied, int32_t gap) {
    const int32_t width = desired.right - desired.left;
    if (width < 1 || strip.right - strip.left < width) {
        return std::nullopt;
    }
    std::vector<std::pair<int32_t, int32_t>> blocked;
    for (const ScreenRect& r : occupied) {
        if (r.right <= r.left || r.bottom <= r.top) {
            continue;
        }
        if (!(strip.top < r.bottom && r.top < strip.bottom)) {
            continue;
        }
        const int32_t s = std::max(strip.left, r.left - gap);
        const int32_t e = std::min(r.right + gap, strip.right);
        if (s < e) {
            blocked.emplace_back(s, e);
        }
    }
    std::sort(blocked.begin(), blocked.end());

    std::optional<int32_t> best_x;
    int64_t best_distance = 0;
    auto consider = [&](int32_t a, int32_t b) {
        const int32_t x = std::clamp(desired.left, a, b - width);
        const int64_t distance = std::llabs(static_cast<int64_t>(x) - desired.left);
        if (!best_x || distance < best_distance) {
            best_x = x;
            best_distance = distance;
        }
    };
    int32_t cursor = strip.left;
    for (const auto& [s, e] : blocked) {
        if (cursor < s && s - cursor >= width) {
            consider(cursor, s);
        }
        cursor = std::max(cursor, e);
    }
    if (strip.right - cursor >= width) {
        consider(cursor, strip.right);
    }
    if (!best_x) {
        return std::nullopt;
    }
    return ScreenRect{*best_x, desired.top, *best_x + width, desired.bottom};
}

int32_t notification_reserve(bool primary, int32_t dpi, const std::optional<ScreenRect>& tray,
                             const std::optional<ScreenRect>& notify) {
    const int32_t fallback = scale_to_dpi(primary ? 260 : 170, dpi);
    if (!primary || !tray || !notify) {
        return fallback;
    }
    const int32_t n = tray->right - notify->left;
    if (n >= scale_to_dpi(60, dpi) && n <= (tray->right - tray->left) / 2) {
        return std::max(scale_to_dpi(200, dpi), n + scale_to_dpi(4, dpi));
    }
    return fallback;
}

ScreenRect task_list_rect(const ScreenRect& natural, const ScreenRect& readout, int32_t gap,
                          int32_t min_width) {
    // A read-out that could not be placed on the strip (it sits above or below the list) takes no room.
    if (!(readout.top < natural.bottom && natural.top < readout.bottom)) {
        return natural;
    }
    const int32_t left = natural.left;
    const int32_t right = natural.right;
    int32_t new_left = left;
    int32_t new_right = right;
    if (readout.right + gap > left) {
        if (readout.left - gap >= right) {
            return natural;
        }
        // Centres compared doubled, so that no halving rounds a tie away.
        if (readout.left + readout.right < left + right) {
            new_left = readout.right + gap;
        } else {
            new_right = readout.left - gap;
        }
    }
    if (new_right - new_left < min_width) {
        return natural;
    }
    return {new_left, natural.top, new_right, natural.bottom};
}

ScreenRect task_list_natural(const ScreenRect& container, const ScreenRect& current,
                             const std::vector<ScreenRect>& siblings) {
    int32_t left = container.left;
    int32_t right = container.right;
    for (const ScreenRect& s : siblings) {
        if (s.right <= s.left || s.bottom <= s.top || !(s.top < current.bottom && current.top < s.bottom)) {
            continue;
        }
        // A band lying across the list is no border of it.
        if (s.right <= current.left) {
            left = std::max(left, s.right);
        } else if (s.left >= current.right) {
            right = std::min(right, s.left);
        }
    }
    return {std::min(left, current.left), current.top, std::max(right, current.right), current.bottom};
}

std::vector<FitAttempt> font_fit_sequence(int32_t start_pt) {
    std::vector<FitAttempt> attempts{FitAttempt{}};
    for (int32_t n = std::max(start_pt, k_min_taskbar_font_pt); n >= k_min_taskbar_font_pt; --n) {
        attempts.push_back({true, n, std::nullopt});
    }
    return attempts;
}

namespace {

FitOutcome run_attempts(const std::vector<FitAttempt>& attempts, const FitTry& try_fit) {
    FitOutcome outcome;
    for (const FitAttempt& attempt : attempts) {
        outcome.attempt = attempt;
        outcome.place = try_fit(attempt);
        if (outcome.place) {
            break;
        }
    }
    return outcome;
}

} // namespace

FitOutcome fit_taskbar_font(int32_t start_pt, const FitTry& try_fit) {
    return run_attempts(font_fit_sequence(start_pt), try_fit);
}

std::vector<int32_t> layout_fallbacks(int32_t chosen) {
    std::vector<int32_t> layouts{chosen};
    for (const CompactLayout narrower : {CompactLayout::one_line, CompactLayout::numbers_only}) {
        const auto layout = static_cast<int32_t>(narrower);
        if (std::find(layouts.begin(), layouts.end(), layout) == layouts.end()) {
            layouts.push_back(layout);
        }
    }
    return layouts;
}

std::vector<FitAttempt> taskbar_fit_sequence(int32_t start_pt, int32_t chosen_layout) {
    std::vector<FitAttempt> attempts;
    for (const int32_t layout : layout_fallbacks(chosen_layout)) {
        for (FitAttempt attempt : font_fit_sequence(start_pt)) {
            if (layout != chosen_layout) {
                attempt.layout = layout;
            }
            attempts.push_back(attempt);
        }
    }
    return attempts;
}

FitOutcome fit_taskbar(int32_t start_pt, int32_t chosen_layout, const FitTry& try_fit) {
    return run_attempts(taskbar_fit_sequence(start_pt, chosen_layout), try_fit);
}

size_t overlap_choice(const std::vector<BoxSize>& sizes, int32_t strip_height) {
    size_t best = 0;
    for (size_t i = 1; i < sizes.size(); ++i) {
        const bool fits = sizes[i].height <= strip_height;
        const bool best_fits = sizes[best].height <= strip_height;
        if (fits != best_fits) {
            best = fits ? i : best;
        } else if (fits ? sizes[i].width < sizes[best].width : sizes[i].height < sizes[best].height) {
            best = i;
        }
    }
    return best;
}

} // namespace tide
