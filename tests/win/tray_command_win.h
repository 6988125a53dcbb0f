// Reaching the running application as a user does: its visible windows and its tray menu's commands.
#pragma once

#include <windows.h>

#include <chrono>

#include "base/messages_win.h"
#include "tests/win/program_win.h"
#include "tests/win/wait_win.h"

namespace tide::test {

// This process's visible top-level window of the class, once it shows; null when it never does.
inline HWND visible_own_window(const wchar_t* window_class) {
    HWND window = nullptr;
    wait_for(
        [&] {
            window = window_of(GetCurrentProcessId(), window_class);
            return window != nullptr && IsWindowVisible(window);
        },
        std::chrono::seconds(30));
    return window != nullptr && IsWindowVisible(window) ? window : nullptr;
}

// The tray menu as a right click on the icon opens it, with the command chosen by the keyboard (which
// skips separators); false when the menu did not open or close.
inline bool choose_tray_command(HWND controller, UINT id) {
    PostMessageW(controller, k_msg_tray, 0, WM_CONTEXTMENU);
    const HWND menu_window = visible_own_window(L"#32768");
    if (menu_window == nullptr) {
        return false;
    }
    const auto menu = reinterpret_cast<HMENU>(SendMessageW(menu_window, MN_GETHMENU, 0, 0));
    int downs = 1; // the first one selects the first item
    for (int i = 0; i < GetMenuItemCount(menu) && GetMenuItemID(menu, i) != id; ++i) {
        downs += (GetMenuState(menu, static_cast<UINT>(i), MF_BYPOSITION) & MF_SEPARATOR) != 0 ? 0 : 1;
    }
    for (int i = 0; i < downs; ++i) {
        PostMessageW(menu_window, WM_KEYDOWN, VK_DOWN, 0);
    }
    PostMessageW(menu_window, WM_KEYDOWN, VK_RETURN, 0);
    return wait_for([&] { return !IsWindowVisible(menu_window); }, std::chrono::seconds(30));
}

} // namespace tide::test
