// Mouse and keyboard input as a user gives it, through SendInput: it goes to whatever window is under
// the pointer or has the keyboard, as a user's would.
#pragma once

#include <windows.h>

#include <initializer_list>
#include <string_view>

namespace tide::test {

// A left click at a point of a window's client area.
inline void click_at(HWND window, POINT at) {
    ClientToScreen(window, &at);
    const auto send = [&](DWORD flags) {
        INPUT input{};
        input.type = INPUT_MOUSE;
        input.mi.dx = MulDiv(at.x, 65535, GetSystemMetrics(SM_CXSCREEN) - 1);
        input.mi.dy = MulDiv(at.y, 65535, GetSystemMetrics(SM_CYSCREEN) - 1);
        input.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE | flags;
        SendInput(1, &input, sizeof(input));
    };
    send(0);
    send(MOUSEEVENTF_LEFTDOWN);
    send(MOUSEEVENTF_LEFTUP);
}

// A left click in the middle of a window.
inline void click_middle(HWND window) {
    RECT r{};
    GetClientRect(window, &r);
    click_at(window, {r.right / 2, r.bottom / 2});
}

// Each key pressed and let go, in order.
inline void press_keys(std::initializer_list<WORD> virtual_keys) {
    for (const WORD key : virtual_keys) {
        INPUT input[2]{};
        input[0].type = input[1].type = INPUT_KEYBOARD;
        input[0].ki.wVk = input[1].ki.wVk = key;
        input[1].ki.dwFlags = KEYEVENTF_KEYUP;
        SendInput(2, input, sizeof(INPUT));
    }
}

// Text typed character by character.
inline void type_text(std::wstring_view text) {
    for (const wchar_t c : text) {
        INPUT input[2]{};
        input[0].type = input[1].type = INPUT_KEYBOARD;
        input[0].ki.wScan = input[1].ki.wScan = c;
        input[0].ki.dwFlags = KEYEVENTF_UNICODE;
        input[1].ki.dwFlags = KEYEVENTF_UNICODE | KEYEVENTF_KEYUP;
        SendInput(2, input, sizeof(INPUT));
    }
}

} // namespace tide::test
