// Where the framed windows (the dashboard and the usage history) open. Pure arithmetic.
#pragma once

#include <optional>
#include <vector>

#include "compact/placement.h"

namespace tide {

// Where the dashboard opens and the DPI its saved size is scaled with. The size is saved in DIP of the
// monitor it was on, so it is scaled with the DPI of the monitor it opens on, never the system's.
struct DashboardOpening {
    std::optional<ScreenRect> rect; // nothing: the system's default position with width x height
    int width = 0;
    int height = 0;
    int dpi = 96;
};

// With a saved position: the first monitor whose work area holds at least half of the window sized
// for that monitor's DPI, the window moved fully into its work area; when none does, the primary
// monitor's bottom-right corner at its DPI. Without one: the primary monitor's DPI. An empty list
// leaves the saved position alone and uses system_dpi.
DashboardOpening dashboard_opening(int width_dip, int height_dip, std::optional<int> x, std::optional<int> y,
                                   const std::vector<DisplayInfo>& displays, int system_dpi);

} // namespace tide
