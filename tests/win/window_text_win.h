// What a test reads off a window: its text and its class name.
#pragma once

#include <windows.h>

#include <string>

namespace tide::test {

inline std::wstring text_of(HWND window) {
    wchar_t buffer[256] = {};
    GetWindowTextW(window, buffer, 256);
    return buffer;
}

inline std::wstring class_of(HWND window) {
    wchar_t buffer[64] = {};
    GetClassNameW(window, buffer, 64);
    return buffer;
}

} // namespace tide::test
