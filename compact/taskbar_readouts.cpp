// Which taskbars get a read-out.
#include "compact/taskbar_readouts.h"

namespace tide {
namespace {

bool usable(const TaskbarWindowInfo& t) {
    return t.handle != 0 && t.visible && t.rect.right > t.rect.left && t.rect.bottom > t.rect.top;
}

bool centre_on(const ScreenRect& r, const ScreenRect& monitor) {
    const int64_t x = (int64_t{r.left} + r.right) / 2;
    const int64_t y = (int64_t{r.top} + r.bottom) / 2;
    return monitor.left <= x && x < monitor.right && monitor.top <= y && y < monitor.bottom;
}

} // namespace

uintptr_t taskbar_of(const DisplayInfo& display, const std::vector<TaskbarWindowInfo>& taskbars) {
    for (const TaskbarWindowInfo& t : taskbars) {
        if (usable(t) && t.primary == display.primary && (t.primary || centre_on(t.rect, display.monitor))) {
            return t.handle;
        }
    }
    return 0;
}

std::vector<TaskbarSpot> taskbar_spots(const std::vector<DisplayInfo>& displays,
                                       const std::vector<TaskbarWindowInfo>& taskbars, bool every_taskbar,
                                       std::string_view monitor_id) {
    std::vector<TaskbarSpot> spots;
    if (every_taskbar) {
        for (size_t i = 0; i < displays.size(); ++i) {
            if (const uintptr_t taskbar = taskbar_of(displays[i], taskbars); taskbar != 0) {
                spots.push_back({i, taskbar});
            }
        }
        if (!spots.empty()) {
            return spots;
        }
    }
    if (const DisplayInfo* chosen = choose_display(displays, monitor_id)) {
        spots.push_back({static_cast<size_t>(chosen - displays.data()), taskbar_of(*chosen, taskbars)});
    }
    return spots;
}

} // namespace tide
