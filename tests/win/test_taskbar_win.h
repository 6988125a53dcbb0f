// A taskbar of the test's own, built from windows with the shell's class names at rectangles the test
// chooses: "Shell_TrayWnd" with "ReBarWindow32" > "MSTaskSwWClass", "TrayNotifyWnd" and a start
// button, or the variant whose buttons are drawn by a "Windows.UI.Composition.DesktopWindowContentBridge",
// or a secondary taskbar ("Shell_SecondaryTrayWnd") with the task band and a clock.
#pragma once

#include <windows.h>

#include "persistence/settings.h"
#include "tests/win/wait_win.h"

namespace tide::test {

class TestTaskbar {
public:
    enum class Kind { classic, bridge, secondary };

    // `bar` in screen pixels; the children are laid out inside it from the left and the right end (in
    // client coordinates, which a `mirrored` taskbar, as on a right-to-left Windows, counts from the right).
    TestTaskbar(Kind kind, RECT bar, bool mirrored = false);
    TestTaskbar(const TestTaskbar&) = delete;
    TestTaskbar& operator=(const TestTaskbar&) = delete;
    ~TestTaskbar();

    HWND host() const { return host_; }
    HWND rebar() const { return rebar_; }
    HWND task_list() const { return task_list_; }
    HWND notify() const { return notify_; } // the clock on a secondary taskbar
    HWND start() const { return start_; }

    // Adds a visible child at a rectangle in the host's client coordinates.
    HWND add_child(const wchar_t* class_name, RECT client, bool visible = true);
    // The window's rectangle in its parent's client coordinates.
    static ScreenRect client_rect_of(HWND child);

private:
    HWND host_ = nullptr;
    HWND rebar_ = nullptr;
    HWND task_list_ = nullptr;
    HWND notify_ = nullptr;
    HWND start_ = nullptr;
};

} // namespace tide::test
