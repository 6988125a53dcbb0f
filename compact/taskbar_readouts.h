// Which taskbars get a read-out: the one of the chosen monitor, or with `every_taskbar` one on each
// monitor's own taskbar, from the monitors and the shell's taskbar windows as they are now.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "compact/placement.h"

namespace tide {

// One top-level taskbar window of the shell.
struct TaskbarWindowInfo {
    uintptr_t handle = 0;
    bool primary = false; // "Shell_TrayWnd"; otherwise "Shell_SecondaryTrayWnd"
    ScreenRect rect;
    bool visible = true;

    friend bool operator==(const TaskbarWindowInfo&, const TaskbarWindowInfo&) = default;
};

// A read-out on the monitor `display` (an index into the monitor list) on the taskbar `taskbar` (0: the
// monitor has no taskbar window; only the one read-out of the plain case goes there).
struct TaskbarSpot {
    size_t display = 0;
    uintptr_t taskbar = 0;

    friend bool operator==(const TaskbarSpot&, const TaskbarSpot&) = default;
};

// The taskbar window of a monitor: for the primary monitor the first shown primary taskbar, for another
// the first shown secondary taskbar whose centre lies on it. A hidden or empty window is no taskbar.
uintptr_t taskbar_of(const DisplayInfo& display, const std::vector<TaskbarWindowInfo>& taskbars);

// Off: one spot, the monitor chosen by `monitor_id` with its taskbar if it has one. On: one spot per
// monitor that has a taskbar, in monitor order; a monitor without one gets none. When no monitor has a
// taskbar at all (the shell is not running) the plain case's one spot stands, so the figures stay in sight.
std::vector<TaskbarSpot> taskbar_spots(const std::vector<DisplayInfo>& displays,
                                       const std::vector<TaskbarWindowInfo>& taskbars, bool every_taskbar,
                                       std::string_view monitor_id);

} // namespace tide
