// Where a compact read-out goes on a monitor: the monitor list, the taskbar side and strip, the anchors
// that align and offsets describe, the on-screen rule for a saved rectangle, edge snapping and the
// offsets stored after a move. All rectangles are screen pixels (left, top, right, bottom).
#pragma once

#include "persistence/settings.h"

#include <string>
#include <string_view>
#include <vector>

namespace tide {

// One monitor. `id` is its device interface path in UTF-8 (\\?\DISPLAY#...), which stays with the
// monitor through a dock, a driver reinstall or a hot plug; its device name (\\.\DISPLAYn) where the
// system gives no path. `device_name` is what earlier versions stored as its id.
struct DisplayInfo {
    std::string id;
    ScreenRect monitor;
    ScreenRect work;
    int dpi = 96;
    bool primary = false;
    std::string device_name = {};

    friend bool operator==(const DisplayInfo&, const DisplayInfo&) = default;
};

enum class TaskbarEdge { none, top, bottom, left, right };

// The side the taskbar takes from the monitor, judged by where the work area is smaller: none when the
// work area is the whole monitor (an auto-hidden taskbar).
TaskbarEdge taskbar_edge(const DisplayInfo& display);

// The band of the monitor outside the work area on the taskbar side; all zero for none.
ScreenRect taskbar_strip(const DisplayInfo& display);

// align 0 start, 1 centre, 2 end; all lengths already in pixels.
struct PlacementParams {
    int align = 2;
    int offset_x = 0;
    int offset_y = 0;
    int margin = 0;
};

// Aligned inside the work area along the taskbar side (bottom when there is none), offsets added, then
// kept inside the work area.
ScreenRect work_area_anchor(const DisplayInfo& display, int width, int height, const PlacementParams& params);

// Aligned along a horizontal taskbar strip, `reserve` pixels kept free at its right end for align 2;
// the work-area anchor on any other taskbar side, a strip lower than the window or a monitor of no width.
ScreenRect taskbar_anchor(const DisplayInfo& display, int width, int height, const PlacementParams& params,
                          int reserve);

// The monitor named by id, else the first primary one, else the first; null for an empty list.
const DisplayInfo* choose_display(const std::vector<DisplayInfo>& displays, std::string_view monitor_id);

// Read once at start: each monitor id of the read-outs (monitor_id, the taskbar's monitor places) that
// is the device name of a monitor present becomes that monitor's path. An id that matches no monitor
// stays (the monitor may come back under its old name); of two places of one monitor the later one
// stays. True when anything changed.
bool adopt_device_paths(Settings& settings, const std::vector<DisplayInfo>& displays);

// The places of the monitors present count as used now: they move behind the others, keeping their own
// order, so that a 17th monitor forgets one that is not there.
void keep_present_places(std::vector<MonitorOffset>& offsets, const std::vector<DisplayInfo>& displays);

// The last monitor whose rectangle holds the centre of `rect`; null when none does.
const DisplayInfo* display_at_center(const std::vector<DisplayInfo>& displays, const ScreenRect& rect);

// True when `window` covers the whole monitor that holds the centre of `readout` (a full-screen program
// there: a maximised window leaves the taskbar free and does not count).
bool fills_monitor_of(const ScreenRect& window, const ScreenRect& readout,
                      const std::vector<DisplayInfo>& displays);

// A saved floating rectangle brought on screen: clamped into the first work area that holds at least half
// of it, else to the bottom-right corner of the primary work area, 8 pixels from both edges.
ScreenRect keep_on_screen(const ScreenRect& rect, const std::vector<DisplayInfo>& displays);

// Edges within `threshold` pixels of the work area's edges are moved onto them; the size is kept.
ScreenRect snap_to_work_area(const ScreenRect& rect, const ScreenRect& work, int threshold);

struct DipOffset {
    int x = 0;
    int y = 0;

    friend bool operator==(const DipOffset&, const DipOffset&) = default;
};

// The offset of a dropped window from its aligned anchor, in DIP of the monitor's DPI.
DipOffset offset_from_anchor(const ScreenRect& rect, const ScreenRect& anchor, int dpi);

inline int width_of(const ScreenRect& r) {
    return r.right - r.left;
}
inline int height_of(const ScreenRect& r) {
    return r.bottom - r.top;
}

} // namespace tide
