// A painted part that takes the keyboard like a control (the dashboard's graph, the usage chart): an
// empty child window in the Tab order that hands its focus changes and its keys to its parent.
#pragma once

#include <windows.h>

namespace tide::ui {

// Sent to the parent: wParam 1 when the part got the focus, 0 when it lost it.
inline constexpr UINT k_msg_part_focus = WM_USER + 0x100;
// Sent to the parent: wParam the virtual key (arrows, Home, End, Escape) pressed while it has the focus.
inline constexpr UINT k_msg_part_key = WM_USER + 0x101;

// Created visible and without size, so it covers no pixel of the parent's paint; its place in the
// z-order is its place in the Tab order. Null on failure.
HWND create_focus_part(HWND parent, HINSTANCE instance, int id);

} // namespace tide::ui
