// What the program's framed top-level windows (the dashboard and the usage history) share: their window
// class, the DPI of a window, and opening at a saved place with a size kept in DIP.
#pragma once

#include <windows.h>

#include <optional>

namespace tide::ui {

// Falls back to 96 when the system has no answer (a window of another thread's desktop, old systems).
// Null: the system's DPI.
int window_dpi(HWND window);

// A class with the program's icon and the arrow cursor; a class already registered counts as success.
bool register_framed_class(HINSTANCE instance, WNDPROC procedure, const wchar_t* class_name);

// Creates the window at its saved place (screen pixels) with its saved size (DIP) scaled for the
// monitor it opens on, never the system's DPI, so it keeps its size beside a differently scaled primary.
// Null when creation failed.
HWND create_framed_window(HINSTANCE instance, const wchar_t* class_name, const wchar_t* title, int width_dip,
                          int height_dip, std::optional<int> x, std::optional<int> y, void* param);

} // namespace tide::ui
