// The shell's taskbar windows, looked up by their class names.
#include "compact/taskbar_win.h"

#include <iterator>
#include <optional>

#include "compact/taskbar_layout.h"

namespace tide {
namespace {

bool has_class(HWND window, const wchar_t* name) {
    wchar_t buffer[64] = {};
    const int length = GetClassNameW(window, buffer, static_cast<int>(std::size(buffer)));
    return length > 0 && lstrcmpW(buffer, name) == 0;
}

std::optional<ScreenRect> window_rect(HWND window) {
    RECT r{};
    if (window == nullptr || !GetWindowRect(window, &r)) {
        return std::nullopt;
    }
    return to_screen_rect(r);
}

HWND first_visible_child(HWND parent, const wchar_t* class_name) {
    for (HWND child = FindWindowExW(parent, nullptr, class_name, nullptr); child != nullptr;
         child = FindWindowExW(parent, child, class_name, nullptr)) {
        if (IsWindowVisible(child)) {
            return child;
        }
    }
    return nullptr;
}

// The classic task list: the visible band container and, inside it, the button list if it has one.
HWND task_list_target(HWND host) {
    HWND outer = first_visible_child(host, k_rebar_class);
    if (outer == nullptr) {
        outer = first_visible_child(host, k_worker_class);
    }
    if (outer == nullptr) {
        return nullptr;
    }
    if (HWND inner = FindWindowExW(outer, nullptr, k_task_switch_class, nullptr)) {
        return inner;
    }
    if (HWND inner = FindWindowExW(outer, nullptr, k_task_list_class, nullptr)) {
        return inner;
    }
    return outer;
}

// A rectangle in the client coordinates of `window`'s parent.
std::optional<ScreenRect> rect_in_parent(HWND window, RECT screen) {
    HWND parent = GetAncestor(window, GA_PARENT);
    SetLastError(0);
    if (MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&screen), 2) == 0 && GetLastError() != 0) {
        return std::nullopt;
    }
    return to_screen_rect(screen);
}

void set_rect(HWND window, const ScreenRect& r) {
    SetWindowPos(window, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
                 SWP_ASYNCWINDOWPOS | SWP_NOACTIVATE | SWP_NOZORDER | SWP_NOOWNERZORDER);
}

} // namespace

ScreenRect to_screen_rect(const RECT& r) {
    return {r.left, r.top, r.right, r.bottom};
}

RECT to_rect(const ScreenRect& r) {
    return {r.left, r.top, r.right, r.bottom};
}

HWND taskbar_window(const std::vector<DisplayInfo>& displays, size_t display) {
    return reinterpret_cast<HWND>(taskbar_of(display, displays, shell_taskbars()));
}

std::vector<TaskbarWindowInfo> shell_taskbars() {
    std::vector<TaskbarWindowInfo> taskbars;
    const auto add = [&taskbars](HWND w, bool primary) {
        const std::optional<ScreenRect> r = window_rect(w);
        taskbars.push_back(
            {reinterpret_cast<uintptr_t>(w), primary, r.value_or(ScreenRect{}), IsWindowVisible(w) != FALSE});
    };
    // The one FindWindowW gives is the one placement uses: it leads, so that both agree.
    const HWND main = FindWindowW(k_primary_taskbar_class, nullptr);
    if (main != nullptr) {
        add(main, true);
    }
    for (HWND w = FindWindowExW(nullptr, nullptr, k_primary_taskbar_class, nullptr); w != nullptr;
         w = FindWindowExW(nullptr, w, k_primary_taskbar_class, nullptr)) {
        if (w != main) {
            add(w, true);
        }
    }
    for (HWND w = FindWindowExW(nullptr, nullptr, k_secondary_taskbar_class, nullptr); w != nullptr;
         w = FindWindowExW(nullptr, w, k_secondary_taskbar_class, nullptr)) {
        add(w, false);
    }
    return taskbars;
}

bool is_main_taskbar(HWND host) {
    return host != nullptr && has_class(host, k_primary_taskbar_class);
}

bool has_content_bridge(HWND host) {
    return host != nullptr && FindWindowExW(host, nullptr, k_content_bridge_class, nullptr) != nullptr;
}

bool has_notification_area(HWND host) {
    return host != nullptr && FindWindowExW(host, nullptr, k_notification_area_class, nullptr) != nullptr;
}

int32_t notification_reserve(bool primary, int32_t dpi) {
    std::optional<ScreenRect> tray;
    std::optional<ScreenRect> notify;
    if (primary) {
        if (HWND host = FindWindowW(k_primary_taskbar_class, nullptr)) {
            tray = window_rect(host);
            notify = window_rect(FindWindowExW(host, nullptr, k_notification_area_class, nullptr));
        }
    }
    return notification_reserve(primary, dpi, tray, notify);
}

std::vector<ScreenRect> occupied_rectangles(HWND host, HWND own, const std::vector<ScreenRect>& automation) {
    std::vector<ScreenRect> occupied;
    if (const std::optional<ScreenRect> bar = window_rect(host)) {
        const int64_t bar_width = bar->right - bar->left;
        for (HWND child = GetWindow(host, GW_CHILD); child != nullptr;
             child = GetWindow(child, GW_HWNDNEXT)) {
            if (child == own || !IsWindowVisible(child) || has_class(child, k_rebar_class) ||
                has_class(child, k_worker_class)) {
                continue;
            }
            const std::optional<ScreenRect> r = window_rect(child);
            if (!r || r->right <= r->left || r->bottom <= r->top) {
                continue;
            }
            // Anything wider than 60 % of the taskbar is a background band, not a button.
            if (static_cast<int64_t>(r->right - r->left) * 10 <= bar_width * 6) {
                occupied.push_back(*r);
            }
        }
    }
    occupied.insert(occupied.end(), automation.begin(), automation.end());
    return occupied;
}

void TaskListAdjuster::adjust_task_list(HWND host, const RECT& readout, int32_t gap, int32_t min_width,
                                        HWND own) {
    const HWND target = host != nullptr ? task_list_target(host) : nullptr;
    if (target != target_) {
        restore_task_list();
    }
    if (target == nullptr) {
        return;
    }
    const HWND container = GetAncestor(target, GA_PARENT);
    RECT current_screen{};
    RECT client{};
    if (!GetWindowRect(target, &current_screen) || !GetClientRect(container, &client)) {
        return;
    }
    const std::optional<ScreenRect> current = rect_in_parent(target, current_screen);
    const std::optional<ScreenRect> readout_in_parent = rect_in_parent(target, readout);
    if (!current || !readout_in_parent) {
        return;
    }
    std::vector<ScreenRect> bands;
    for (HWND child = GetWindow(container, GW_CHILD); child != nullptr;
         child = GetWindow(child, GW_HWNDNEXT)) {
        RECT r{};
        if (child == target || child == own || !IsWindowVisible(child) || !GetWindowRect(child, &r)) {
            continue;
        }
        if (const std::optional<ScreenRect> band = rect_in_parent(child, r)) {
            bands.push_back(*band);
        }
    }
    target_ = target;
    natural_ = task_list_natural(to_screen_rect(client), *current, bands);
    const ScreenRect wanted = task_list_rect(natural_, *readout_in_parent, gap, min_width);
    if (wanted != *current) {
        set_rect(target, wanted);
    }
    adjusted_ = wanted != natural_;
}

void TaskListAdjuster::restore_task_list() {
    if (adjusted_ && target_ != nullptr && IsWindow(target_)) {
        set_rect(target_, natural_);
    }
    target_ = nullptr;
    adjusted_ = false;
}

} // namespace tide
