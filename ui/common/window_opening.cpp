// Where a framed window opens: its saved place kept on a monitor, its size scaled for that monitor.
#include "ui/common/window_opening.h"

#include <algorithm>

#include "compact/dpi.h"

namespace tide {
namespace {

int64_t rect_area(const ScreenRect& r) {
    return r.right > r.left && r.bottom > r.top ? int64_t{r.right - r.left} * (r.bottom - r.top) : 0;
}

bool holds_half(const ScreenRect& work, const ScreenRect& rect) {
    const ScreenRect common{std::max(work.left, rect.left), std::max(work.top, rect.top),
                            std::min(work.right, rect.right), std::min(work.bottom, rect.bottom)};
    const int64_t whole = rect_area(rect);
    return whole > 0 && rect_area(common) * 2 >= whole;
}

} // namespace

DashboardOpening dashboard_opening(int width_dip, int height_dip, std::optional<int> x, std::optional<int> y,
                                   const std::vector<DisplayInfo>& displays, int system_dpi) {
    const auto sized = [&](int dpi) {
        DashboardOpening opening;
        opening.dpi = dpi;
        opening.width = scale_to_dpi(width_dip, dpi);
        opening.height = scale_to_dpi(height_dip, dpi);
        return opening;
    };
    const DisplayInfo* primary = choose_display(displays, {});
    if (primary == nullptr) {
        DashboardOpening opening = sized(system_dpi);
        if (x && y) {
            opening.rect = ScreenRect{*x, *y, *x + opening.width, *y + opening.height};
        }
        return opening;
    }
    if (!x || !y) {
        return sized(primary->dpi);
    }
    for (const DisplayInfo& display : displays) {
        DashboardOpening opening = sized(display.dpi);
        const ScreenRect saved{*x, *y, *x + opening.width, *y + opening.height};
        if (holds_half(display.work, saved)) {
            opening.rect = keep_on_screen(saved, {display});
            return opening;
        }
    }
    DashboardOpening opening = sized(primary->dpi);
    opening.rect = work_area_anchor(*primary, opening.width, opening.height, PlacementParams{2, 0, 0, 8});
    return opening;
}

} // namespace tide
