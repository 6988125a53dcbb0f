// A full-screen program (a game, a video, a presentation) on a monitor: the read-outs there step back
// behind it rather than cover it.
#pragma once

#include <windows.h>

#include <shellapi.h>

#include <functional>
#include <vector>

#include "compact/placement.h"

namespace tide {

// The shell says a full-screen program has the user: busy, Direct3D full screen, presentation mode or
// a full-screen Store app (a video player).
bool shell_reports_fullscreen();
bool is_fullscreen_state(QUERY_USER_NOTIFICATION_STATE state);

// Replaces the shell's answer, for tests of a system that cannot be made to give it; an empty function
// restores the shell's. Main thread only.
void set_fullscreen_state_source(std::function<bool()> source);

// The foreground window when it fills the whole monitor that holds the centre of `readout` and the shell
// reports a full-screen program; null otherwise.
HWND fullscreen_window_over(const ScreenRect& readout, const std::vector<DisplayInfo>& displays);

// True when `window` stands anywhere below `other` in the z-order.
bool is_below(HWND window, HWND other);

} // namespace tide
