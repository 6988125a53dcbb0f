// A painted part that takes the keyboard like a control (the dashboard's graph, the usage chart): an
// empty child window in the Tab order that hands its focus changes and its keys to its parent.
#pragma once

#include <windows.h>

#include <algorithm>

namespace tide::ui {

// Sent to the parent: wParam 1 when the part got the focus, 0 when it lost it.
inline constexpr UINT k_msg_part_focus = WM_USER + 0x100;
// Sent to the parent: wParam the virtual key (arrows, Home, End, Escape) pressed while it has the focus.
inline constexpr UINT k_msg_part_key = WM_USER + 0x101;

// Sent to the parent when a client asks the part for its automation element (WM_GETOBJECT) and when the
// part goes: lParam points to the request; the parent's answer to the client, 0 for none.
inline constexpr UINT k_msg_part_object = WM_USER + 0x102;
struct PartObjectRequest {
    HWND part;
    WPARAM wparam; // WM_GETOBJECT's
    LPARAM lparam;
    bool gone; // the part is being destroyed: its element is to be let go
};

// The part's messages reach the parent only from the part itself: every window of the program runs the
// same window procedure, and k_msg_part_object's lParam is read as a pointer, so the same number posted or
// sent by another thread or program would crash it. True when `message` with `lparam` is the one the part
// on this thread is sending its parent at this moment; anything else is refused.
//
// Why not InSendMessageEx: it tells whether the message the thread is handling came from another thread,
// and a screen reader's WM_GETOBJECT, inside which the part asks its parent, always comes from another
// program; the part's own send to its parent calls the parent's procedure directly, on that same message.
// A posted message it reports as not sent at all. Only the part knows what it is sending.
bool from_own_part(UINT message, LPARAM lparam);

inline bool is_part_message(UINT message) {
    return message == k_msg_part_focus || message == k_msg_part_key || message == k_msg_part_object;
}

// Created visible and without size, so it covers no pixel of the parent's paint; its place in the
// z-order is its place in the Tab order. It starts a group, so the arrow keys of the controls before it
// never step into it; the control after it must start a group of its own. Null on failure.
HWND create_focus_part(HWND parent, HINSTANCE instance, int id);

// Where a key moves the hover among `count` points or bars (count > 0): Home to the oldest, End to the
// newest, Left and Right a step on the screen (the older ones lie to the left, or to the right in
// right-to-left; from no hover, to the newest). Any other key leaves it where it is.
inline int hover_after_key(WPARAM key, int hovered, int count, bool rtl) {
    if (key == VK_HOME) {
        return 0;
    }
    if (key == VK_END) {
        return count - 1;
    }
    if (key == VK_LEFT || key == VK_RIGHT) {
        const int step = (key == VK_RIGHT) != rtl ? 1 : -1;
        return hovered < 0 ? count - 1 : std::clamp(hovered + step, 0, count - 1);
    }
    return hovered;
}

} // namespace tide::ui
