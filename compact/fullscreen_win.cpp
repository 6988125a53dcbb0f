// Telling a full-screen program from the desktop: the shell's notification state, and the window's size.
#include "compact/fullscreen_win.h"

#include <shellapi.h>

#include <utility>

namespace tide {
namespace {

std::function<bool()>& state_source() {
    static std::function<bool()> source;
    return source;
}

} // namespace

bool shell_reports_fullscreen() {
    if (state_source()) {
        return state_source()();
    }
    QUERY_USER_NOTIFICATION_STATE state{};
    return SUCCEEDED(SHQueryUserNotificationState(&state)) && is_fullscreen_state(state);
}

bool is_fullscreen_state(QUERY_USER_NOTIFICATION_STATE state) {
    return state == QUNS_BUSY || state == QUNS_RUNNING_D3D_FULL_SCREEN || state == QUNS_PRESENTATION_MODE ||
           state == QUNS_APP;
}

void set_fullscreen_state_source(std::function<bool()> source) {
    state_source() = std::move(source);
}

HWND fullscreen_window_over(const ScreenRect& readout, const std::vector<DisplayInfo>& displays) {
    const HWND foreground = GetForegroundWindow();
    RECT r{};
    // The desktop fills its monitor too, and is no program.
    if (foreground == nullptr || foreground == GetDesktopWindow() || foreground == GetShellWindow() ||
        !GetWindowRect(foreground, &r)) {
        return nullptr;
    }
    // The size alone would take the desktop itself for a full-screen program; the shell's state alone
    // would not say which monitor.
    if (!fills_monitor_of({r.left, r.top, r.right, r.bottom}, readout, displays) ||
        !shell_reports_fullscreen()) {
        return nullptr;
    }
    return foreground;
}

bool is_below(HWND window, HWND other) {
    for (HWND above = GetWindow(window, GW_HWNDPREV); above != nullptr;
         above = GetWindow(above, GW_HWNDPREV)) {
        if (above == other) {
            return true;
        }
    }
    return false;
}

} // namespace tide
