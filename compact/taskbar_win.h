// The shell's taskbar windows: finding a monitor's taskbar, what already occupies it, the room of its
// notification area, and narrowing the classic task list beside the read-out.
#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

#include "compact/taskbar_readouts.h"
#include "persistence/settings.h"

namespace tide {

inline constexpr wchar_t k_primary_taskbar_class[] = L"Shell_TrayWnd";
inline constexpr wchar_t k_secondary_taskbar_class[] = L"Shell_SecondaryTrayWnd";
inline constexpr wchar_t k_notification_area_class[] = L"TrayNotifyWnd";
inline constexpr wchar_t k_rebar_class[] = L"ReBarWindow32";
inline constexpr wchar_t k_worker_class[] = L"WorkerW";
inline constexpr wchar_t k_task_switch_class[] = L"MSTaskSwWClass";
inline constexpr wchar_t k_task_list_class[] = L"MSTaskListWClass";
inline constexpr wchar_t k_content_bridge_class[] = L"Windows.UI.Composition.DesktopWindowContentBridge";

ScreenRect to_screen_rect(const RECT& r);
RECT to_rect(const ScreenRect& r);

// The taskbar of monitor `display` (an index into `displays`): the shell's taskbar window docked on one of
// its edges, the main one or a secondary one, also while it is auto-hidden; null when there is none.
HWND taskbar_window(const std::vector<DisplayInfo>& displays, size_t display);

// Every top-level taskbar window of the shell: the primary ones ("Shell_TrayWnd", the one the system
// finds first leading) and each secondary one.
std::vector<TaskbarWindowInfo> shell_taskbars();

// The window is the main taskbar ("Shell_TrayWnd"), the one with the notification area.
bool is_main_taskbar(HWND host);

// The taskbar draws its buttons itself (they are not windows): the automation watcher is needed.
bool has_content_bridge(HWND host);

// The taskbar has its notification area as a child window ("TrayNotifyWnd").
bool has_notification_area(HWND host);

// Room kept at the right end of the strip for the notification area, read from the primary
// taskbar's "TrayNotifyWnd" when it can be.
int32_t notification_reserve(bool primary, int32_t dpi);

// The host's visible children that occupy the strip (in z-order, without the own window, the task
// band containers and anything wider than 60 % of the taskbar), then `automation` appended.
std::vector<ScreenRect> occupied_rectangles(HWND host, HWND own, const std::vector<ScreenRect>& automation);

// Narrows the classic task list so that it leaves the read-out free, and gives it back its own size.
// The list's own size is read from the band that holds it, not from the list, so a list that an
// earlier run left narrowed (it crashed, or was ended) is given its width back too.
class TaskListAdjuster {
public:
    TaskListAdjuster() = default;
    TaskListAdjuster(const TaskListAdjuster&) = delete;
    TaskListAdjuster& operator=(const TaskListAdjuster&) = delete;

    // `readout` in screen pixels; `own` (the read-out's window when it is a child of the taskbar) is
    // no band of the taskbar.
    void adjust_task_list(HWND host, const RECT& readout, int32_t gap, int32_t min_width, HWND own = nullptr);
    void restore_task_list();

    HWND target() const { return target_; }
    bool adjusted() const { return adjusted_; }

private:
    HWND target_ = nullptr;
    ScreenRect natural_{}; // in the target's parent's client coordinates
    bool adjusted_ = false;
};

} // namespace tide
