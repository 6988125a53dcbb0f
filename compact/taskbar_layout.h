// The arithmetic of sharing the taskbar: the free stretch nearest to where the read-out wants to be,
// the room kept for the notification area, how far the classic task list is narrowed, and the order
// in which font sizes are tried when nothing fits.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "compact/compact_layout.h"
#include "persistence/settings.h"

namespace tide {

// The free stretch of the strip nearest to `desired`, keeping `gap` pixels from every occupied
// rectangle; on equal distance the leftmost stretch wins. Empty when none is wide enough.
std::optional<ScreenRect> find_free_place(const ScreenRect& desired, const ScreenRect& strip,
                                          const std::vector<ScreenRect>& occupied, int32_t gap);

// Room kept at the right end of the strip for the notification area when no occupied rectangles
// are known. `tray` and `notify` are the primary taskbar's and its notification area's window
// rectangles when they could be read.
int32_t notification_reserve(bool primary, int32_t dpi, const std::optional<ScreenRect>& tray,
                             const std::optional<ScreenRect>& notify);

// The task list's rectangle beside the read-out: `natural` is its own size, `readout` is the
// read-out's rectangle in the same coordinates. The list gives way on the side away from the read-out
// unless that would leave it narrower than `min_width`; otherwise, and when the read-out does not share
// the list's rows, the natural rectangle comes back.
ScreenRect task_list_rect(const ScreenRect& natural, const ScreenRect& readout, int32_t gap,
                          int32_t min_width);

// The task list's own rectangle, whatever width it has now (an earlier run may have left it narrowed):
// its container's client area between the nearest other bands left and right of it that share its
// rows, its current top and bottom, and never narrower than it is. All in the container's coordinates.
ScreenRect task_list_natural(const ScreenRect& container, const ScreenRect& current,
                             const std::vector<ScreenRect>& siblings);

// Smallest font the taskbar read-out shrinks to before it gives up and overlaps.
inline constexpr int32_t k_min_taskbar_font_pt = 7;

// One try of the font fitting: `tight` insets and, when set, a font size override in points and a
// layout used instead of the user's.
struct FitAttempt {
    bool tight = false;
    std::optional<int32_t> font_pt;
    std::optional<int32_t> layout;

    friend bool operator==(const FitAttempt&, const FitAttempt&) = default;
};

// The tries in order: the measured size with normal insets, then tight insets from `start_pt`
// (at least 7) down to 7 points.
std::vector<FitAttempt> font_fit_sequence(int32_t start_pt);

struct FitOutcome {
    FitAttempt attempt;              // the last attempt made (the one that fitted, or 7 points)
    std::optional<ScreenRect> place; // where it fits, empty when nothing fitted
};

using FitTry = std::function<std::optional<ScreenRect>(const FitAttempt&)>;

// Runs the attempts of font_fit_sequence until `try_fit` finds a place for one of them.
FitOutcome fit_taskbar_font(int32_t start_pt, const FitTry& try_fit);

// The layouts tried in turn when the chosen one does not fit even at 7 points: the chosen one, then
// one_line, then numbers_only, each once.
std::vector<int32_t> layout_fallbacks(int32_t chosen);

// The whole font fitting for each layout of layout_fallbacks in turn; the chosen layout's attempts
// leave `layout` empty, so the first attempt is still the size that was measured.
std::vector<FitAttempt> taskbar_fit_sequence(int32_t start_pt, int32_t chosen_layout);

// Runs the attempts of taskbar_fit_sequence until `try_fit` finds a place for one of them.
FitOutcome fit_taskbar(int32_t start_pt, int32_t chosen_layout, const FitTry& try_fit);

// Nothing fits anywhere, so the read-out overlaps at its anchor: which of the 7-point tries of the layouts
// (their pixel sizes, in the order of layout_fallbacks) covers least. The narrowest one that is no higher
// than the strip; when none is, the lowest. The first one wins a tie.
size_t overlap_choice(const std::vector<BoxSize>& sizes, int32_t strip_height);

} // namespace tide
