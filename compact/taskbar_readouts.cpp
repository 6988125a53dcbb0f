// Which taskbars get a read-out.
#include "compact/taskbar_readouts.h"

#include <algorithm>
#include <limits>

namespace tide {
namespace {

bool usable(const TaskbarWindowInfo& t) {
    return t.handle != 0 && t.visible;
}

// Rounded down, also left of or above the primary monitor, where coordinates are negative.
int64_t middle(int32_t a, int32_t b) {
    return (int64_t{a} + b) >> 1;
}

bool within(int64_t x, int32_t low, int32_t high) {
    return low <= x && x < high;
}

// How far the bar reaches into the monitor across its thickness when it lies across the monitor and
// reaches one of its edges; 0 otherwise, and for a bar of no width or height.
int64_t docked_depth(const ScreenRect& bar, const ScreenRect& m) {
    if (bar.right - bar.left >= bar.bottom - bar.top) { // along the top or the bottom
        const bool docked = within(middle(bar.left, bar.right), m.left, m.right) &&
                            (bar.bottom >= m.bottom || bar.top <= m.top);
        return docked ? std::min(bar.bottom, m.bottom) - std::max(bar.top, m.top) : 0;
    }
    const bool docked =
        within(middle(bar.top, bar.bottom), m.top, m.bottom) && (bar.right >= m.right || bar.left <= m.left);
    return docked ? std::min(bar.right, m.right) - std::max(bar.left, m.left) : 0;
}

} // namespace

std::optional<size_t> docked_monitor(const ScreenRect& bar, const std::vector<DisplayInfo>& displays) {
    std::optional<size_t> found;
    int64_t least = std::numeric_limits<int64_t>::max();
    for (size_t i = 0; i < displays.size(); ++i) {
        const int64_t depth = docked_depth(bar, displays[i].monitor);
        if (depth > 0 && depth < least) {
            found = i;
            least = depth;
        }
    }
    return found;
}

uintptr_t taskbar_of(size_t display, const std::vector<DisplayInfo>& displays,
                     const std::vector<TaskbarWindowInfo>& taskbars) {
    for (const TaskbarWindowInfo& t : taskbars) {
        if (usable(t) && docked_monitor(t.rect, displays) == display) {
            return t.handle;
        }
    }
    return 0;
}

namespace {

// The first shown main taskbar that is docked on some monitor.
const TaskbarWindowInfo* main_taskbar(const std::vector<DisplayInfo>& displays,
                                      const std::vector<TaskbarWindowInfo>& taskbars) {
    for (const TaskbarWindowInfo& t : taskbars) {
        if (t.primary && usable(t) && docked_monitor(t.rect, displays)) {
            return &t;
        }
    }
    return nullptr;
}

} // namespace

const DisplayInfo* main_taskbar_display(const std::vector<DisplayInfo>& displays,
                                        const std::vector<TaskbarWindowInfo>& taskbars) {
    if (const TaskbarWindowInfo* bar = main_taskbar(displays, taskbars)) {
        return &displays[*docked_monitor(bar->rect, displays)];
    }
    return choose_display(displays, {});
}

std::vector<TaskbarSpot> taskbar_spots(const std::vector<DisplayInfo>& displays,
                                       const std::vector<TaskbarWindowInfo>& taskbars, bool every_taskbar,
                                       std::string_view monitor_id) {
    std::vector<TaskbarSpot> spots;
    if (every_taskbar) {
        const TaskbarWindowInfo* main = main_taskbar(displays, taskbars);
        for (size_t i = 0; i < displays.size(); ++i) {
            if (const uintptr_t taskbar = taskbar_of(i, displays, taskbars); taskbar != 0) {
                spots.push_back({i, taskbar, main != nullptr && taskbar == main->handle});
            }
        }
        if (!spots.empty()) {
            return spots;
        }
    }
    const auto named = std::find_if(displays.begin(), displays.end(), [monitor_id](const DisplayInfo& d) {
        return !monitor_id.empty() && d.id == monitor_id;
    });
    const DisplayInfo* chosen = named != displays.end() ? &*named : main_taskbar_display(displays, taskbars);
    if (chosen != nullptr) {
        const auto index = static_cast<size_t>(chosen - displays.data());
        spots.push_back({index, taskbar_of(index, displays, taskbars), true});
    }
    return spots;
}

} // namespace tide
