// The window procedure every window class of the program registers: WM_NCCREATE hands the window to its
// object, later messages go to the object found in GWLP_USERDATA, WM_NCDESTROY lets go of it, nothing
// thrown escapes into the system, and a screen reader's WM_GETOBJECT is answered by the object's provider,
// for the window and for its focus parts.
#pragma once

#include <windows.h>

namespace tide::ui {

class AutomationHost;

class WindowProcedure {
public:
    WindowProcedure() = default;
    WindowProcedure(const WindowProcedure&) = delete;
    WindowProcedure& operator=(const WindowProcedure&) = delete;

    // The class's lpfnWndProc; CreateWindowExW's last argument must be the WindowProcedure*.
    static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

protected:
    ~WindowProcedure() = default;

    // WM_NCCREATE: the window now belongs to this object.
    virtual void attach(HWND window) = 0;
    virtual LRESULT handle_message(UINT message, WPARAM wparam, LPARAM lparam) = 0;
    // WM_NCDESTROY, after the provider was disconnected: forget the handle and what was drawn with it.
    virtual void detach() = 0;
    // The window's automation element; null leaves WM_GETOBJECT to the system.
    virtual AutomationHost* automation() { return nullptr; }

private:
    HWND window_ = nullptr;
};

} // namespace tide::ui
