// Placement arithmetic of the compact read-out; see placement.h.
#include "compact/placement.h"

#include "compact/dpi.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>

namespace tide {

namespace {

ScreenRect at(int x, int y, int width, int height) {
    return {x, y, x + width, y + height};
}

int clamp_start(int value, int low, int high_end, int length) {
    // min before max: a window larger than the area sticks to its start.
    return std::max(std::min(value, high_end - length), low);
}

int64_t area(const ScreenRect& r) {
    const int64_t w = std::max(0, r.right - r.left);
    const int64_t h = std::max(0, r.bottom - r.top);
    return w * h;
}

ScreenRect intersect(const ScreenRect& a, const ScreenRect& b) {
    ScreenRect r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
                 std::min(a.bottom, b.bottom)};
    if (r.right <= r.left || r.bottom <= r.top) {
        return {};
    }
    return r;
}

} // namespace

TaskbarEdge taskbar_edge(const DisplayInfo& d) {
    if (d.monitor.top < d.work.top) {
        return TaskbarEdge::top;
    }
    if (d.work.bottom < d.monitor.bottom) {
        return TaskbarEdge::bottom;
    }
    if (d.monitor.left < d.work.left) {
        return TaskbarEdge::left;
    }
    if (d.work.right < d.monitor.right) {
        return TaskbarEdge::right;
    }
    return TaskbarEdge::none;
}

ScreenRect taskbar_strip(const DisplayInfo& d) {
    switch (taskbar_edge(d)) {
    case TaskbarEdge::top:
        return {d.monitor.left, d.monitor.top, d.monitor.right, d.work.top};
    case TaskbarEdge::bottom:
        return {d.monitor.left, d.work.bottom, d.monitor.right, d.monitor.bottom};
    case TaskbarEdge::left:
        return {d.monitor.left, d.monitor.top, d.work.left, d.monitor.bottom};
    case TaskbarEdge::right:
        return {d.work.right, d.monitor.top, d.monitor.right, d.monitor.bottom};
    case TaskbarEdge::none:
        break;
    }
    return {};
}

ScreenRect work_area_anchor(const DisplayInfo& d, int w, int h, const PlacementParams& p) {
    const ScreenRect& work = d.work;
    TaskbarEdge side = taskbar_edge(d);
    if (side == TaskbarEdge::none) {
        side = TaskbarEdge::bottom;
    }
    int x = 0;
    int y = 0;
    if (side == TaskbarEdge::top || side == TaskbarEdge::bottom) {
        x = p.align == 0   ? work.left + p.margin
            : p.align == 1 ? (work.left + work.right - w) / 2
                           : work.right - p.margin - w;
        y = side == TaskbarEdge::bottom ? work.bottom - p.margin - h : work.top + p.margin;
    } else {
        y = p.align == 0   ? work.top + p.margin
            : p.align == 1 ? (work.top + work.bottom - h) / 2
                           : work.bottom - p.margin - h;
        x = side == TaskbarEdge::right ? work.right - p.margin - w : work.left + p.margin;
    }
    x = clamp_start(x + p.offset_x, work.left, work.right, w);
    y = clamp_start(y + p.offset_y, work.top, work.bottom, h);
    return at(x, y, w, h);
}

ScreenRect taskbar_anchor(const DisplayInfo& d, int w, int h, const PlacementParams& p, int reserve) {
    const TaskbarEdge edge = taskbar_edge(d);
    int strip_top = 0;
    int strip_bottom = 0;
    if (edge == TaskbarEdge::top) {
        strip_top = d.monitor.top;
        strip_bottom = d.work.top;
    } else if (edge == TaskbarEdge::bottom) {
        strip_top = d.work.bottom;
        strip_bottom = d.monitor.bottom;
    }
    if ((edge != TaskbarEdge::top && edge != TaskbarEdge::bottom) || strip_bottom - strip_top < h ||
        d.monitor.right <= d.monitor.left) {
        return work_area_anchor(d, w, h, p);
    }
    const ScreenRect& m = d.monitor;
    int x = p.align == 0   ? m.left + p.margin
            : p.align == 1 ? (m.left + m.right - w) / 2
                           : m.right - std::max(reserve, 0) - p.margin - w;
    x = clamp_start(x + p.offset_x, m.left, m.right, w);
    int y = strip_top + (strip_bottom - strip_top - h) / 2 + p.offset_y;
    y = clamp_start(y, strip_top, strip_bottom, h);
    return at(x, y, w, h);
}

const DisplayInfo* choose_display(const std::vector<DisplayInfo>& displays, std::string_view monitor_id) {
    if (!monitor_id.empty()) {
        for (const DisplayInfo& d : displays) {
            if (d.id == monitor_id) {
                return &d;
            }
        }
    }
    for (const DisplayInfo& d : displays) {
        if (d.primary) {
            return &d;
        }
    }
    return displays.empty() ? nullptr : &displays.front();
}

namespace {

// The path of the monitor present whose device name `id` is; nothing when there is none.
const DisplayInfo* renamed_display(const std::vector<DisplayInfo>& displays, const std::string& id) {
    for (const DisplayInfo& d : displays) {
        if (!d.device_name.empty() && d.device_name == id && d.id != id) {
            return &d;
        }
    }
    return nullptr;
}

} // namespace

bool adopt_device_paths(Settings& settings, const std::vector<DisplayInfo>& displays) {
    bool changed = false;
    for (std::string* id : {&settings.compact.monitor_id, &settings.desktop.monitor_id}) {
        if (const DisplayInfo* d = renamed_display(displays, *id)) {
            *id = d->id;
            changed = true;
        }
    }
    std::vector<MonitorOffset>& offsets = settings.compact.monitor_offsets;
    for (MonitorOffset& o : offsets) {
        if (const DisplayInfo* d = renamed_display(displays, o.monitor)) {
            o.monitor = d->id;
            changed = true;
        }
    }
    // A place renamed onto one already kept under the path: the later entry is the newer.
    for (size_t i = offsets.size(); i-- > 0;) {
        const auto later =
            std::find_if(offsets.begin() + static_cast<std::ptrdiff_t>(i) + 1, offsets.end(),
                         [&](const MonitorOffset& o) { return o.monitor == offsets[i].monitor; });
        if (later != offsets.end()) {
            offsets.erase(offsets.begin() + static_cast<std::ptrdiff_t>(i));
        }
    }
    return changed;
}

void keep_present_places(std::vector<MonitorOffset>& offsets, const std::vector<DisplayInfo>& displays) {
    std::stable_partition(offsets.begin(), offsets.end(), [&displays](const MonitorOffset& o) {
        return std::none_of(displays.begin(), displays.end(),
                            [&o](const DisplayInfo& d) { return d.id == o.monitor; });
    });
}

const DisplayInfo* display_at_center(const std::vector<DisplayInfo>& displays, const ScreenRect& rect) {
    const int cx = rect.left + (rect.right - rect.left) / 2;
    const int cy = rect.top + (rect.bottom - rect.top) / 2;
    const DisplayInfo* found = nullptr;
    for (const DisplayInfo& d : displays) {
        if (d.monitor.left <= cx && cx < d.monitor.right && d.monitor.top <= cy && cy < d.monitor.bottom) {
            found = &d;
        }
    }
    return found;
}

bool fills_monitor_of(const ScreenRect& window, const ScreenRect& readout,
                      const std::vector<DisplayInfo>& displays) {
    const DisplayInfo* display = display_at_center(displays, readout);
    if (display == nullptr) {
        return false;
    }
    const ScreenRect& m = display->monitor;
    return window.left <= m.left && window.top <= m.top && window.right >= m.right &&
           window.bottom >= m.bottom;
}

ScreenRect keep_on_screen(const ScreenRect& rect, const std::vector<DisplayInfo>& displays) {
    const int w = width_of(rect);
    const int h = height_of(rect);
    const int64_t whole = area(rect);
    for (const DisplayInfo& d : displays) {
        if (whole > 0 && area(intersect(rect, d.work)) * 2 >= whole) {
            return at(clamp_start(rect.left, d.work.left, d.work.right, w),
                      clamp_start(rect.top, d.work.top, d.work.bottom, h), w, h);
        }
    }
    const DisplayInfo* primary = choose_display(displays, {});
    if (primary == nullptr) {
        return rect;
    }
    return work_area_anchor(*primary, w, h, PlacementParams{2, 0, 0, 8});
}

ScreenRect snap_to_work_area(const ScreenRect& rect, const ScreenRect& work, int threshold) {
    const int w = width_of(rect);
    const int h = height_of(rect);
    int x = rect.left;
    int y = rect.top;
    if (std::abs(work.left - rect.left) <= threshold) {
        x = work.left;
    } else if (std::abs(work.right - rect.right) <= threshold) {
        x = work.right - w;
    }
    if (std::abs(work.top - rect.top) <= threshold) {
        y = work.top;
    } else if (std::abs(work.bottom - rect.bottom) <= threshold) {
        y = work.bottom - h;
    }
    return at(x, y, w, h);
}

DipOffset offset_from_anchor(const ScreenRect& rect, const ScreenRect& anchor, int dpi) {
    return {unscale_from_dpi(rect.left - anchor.left, dpi), unscale_from_dpi(rect.top - anchor.top, dpi)};
}

} // namespace tide
