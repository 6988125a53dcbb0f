// Which taskbars get a read-out: the one of the chosen monitor, or with `every_taskbar` one on each
// monitor's own taskbar, from the monitors and the shell's taskbar windows as they are now.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "compact/placement.h"

namespace tide {

// One top-level taskbar window of the shell.
struct TaskbarWindowInfo {
    uintptr_t handle = 0;
    bool primary = false; // "Shell_TrayWnd", the main taskbar; otherwise "Shell_SecondaryTrayWnd"
    ScreenRect rect;
    bool visible = true;

    friend bool operator==(const TaskbarWindowInfo&, const TaskbarWindowInfo&) = default;
};

// A read-out on the monitor `display` (an index into the monitor list) on the taskbar `taskbar` (0: the
// monitor has no taskbar window; only the one read-out of the plain case goes there). `main`: the read-out
// of the main taskbar, or the one read-out of the plain case.
struct TaskbarSpot {
    size_t display = 0;
    uintptr_t taskbar = 0;
    bool main = false;

    friend bool operator==(const TaskbarSpot&, const TaskbarSpot&) = default;
};

// The monitor (an index) whose edge a taskbar window is docked on: the bar lies across the monitor (its
// middle within the monitor's width for a bar along the top or bottom, within its height for one along a
// side) and reaches that edge from inside. An auto-hidden taskbar keeps its window and slides off its
// edge until a strip of a pixel or two is left, so most of it may lie beyond the monitor or on the
// neighbouring one: where two monitors share the edge, it belongs to the one it shows least of (the first
// of them on a tie). A bar on no edge, or of no width or height, belongs to none.
std::optional<size_t> docked_monitor(const ScreenRect& bar, const std::vector<DisplayInfo>& displays);

// The taskbar window of a monitor: the first shown one docked on it. A hidden or empty window is no
// taskbar.
uintptr_t taskbar_of(size_t display, const std::vector<DisplayInfo>& displays,
                     const std::vector<TaskbarWindowInfo>& taskbars);

// The monitor of the main taskbar, which the user may have dragged to any monitor; the primary monitor
// while there is none.
const DisplayInfo* main_taskbar_display(const std::vector<DisplayInfo>& displays,
                                        const std::vector<TaskbarWindowInfo>& taskbars);

// Off: one spot, the monitor chosen by `monitor_id` (else the main taskbar's) with its taskbar if it has
// one. On: one spot per monitor that has a taskbar, in monitor order; a monitor without one gets none.
// When no monitor has a taskbar at all (the shell is not running) the plain case's one spot stands, so the
// figures stay in sight.
std::vector<TaskbarSpot> taskbar_spots(const std::vector<DisplayInfo>& displays,
                                       const std::vector<TaskbarWindowInfo>& taskbars, bool every_taskbar,
                                       std::string_view monitor_id);

} // namespace tide
