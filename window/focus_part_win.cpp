// The focus part's window class.
#include "window/focus_part_win.h"

namespace tide::ui {
namespace {

constexpr wchar_t k_part_class[] = L"Tidemeter.FocusPart";

// What the part on this thread is sending its parent now (message 0: nothing).
struct Sending {
    UINT message = 0;
    LPARAM lparam = 0;
};
thread_local Sending t_sending;

LRESULT send_to_parent(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    const Sending before = t_sending; // a send may run inside another one
    t_sending = {message, lparam};
    const LRESULT answer = SendMessageW(GetParent(window), message, wparam, lparam);
    t_sending = before;
    return answer;
}

bool is_part_key(WPARAM key) {
    return key == VK_LEFT || key == VK_RIGHT || key == VK_HOME || key == VK_END || key == VK_ESCAPE;
}

LRESULT CALLBACK part_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
    case WM_GETDLGCODE:
        // The arrows and Escape are the part's own, not the dialog navigation's; Tab still moves on.
        if (lparam != 0 && is_part_key(reinterpret_cast<const MSG*>(lparam)->wParam) &&
            reinterpret_cast<const MSG*>(lparam)->message == WM_KEYDOWN) {
            return DLGC_WANTARROWS | DLGC_WANTMESSAGE;
        }
        return DLGC_WANTARROWS;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
        send_to_parent(window, k_msg_part_focus, message == WM_SETFOCUS ? 1 : 0, GetDlgCtrlID(window));
        return 0;
    case WM_GETOBJECT:
    case WM_NCDESTROY: {
        // The part has the keyboard while its painted twin is in use: a screen reader asking for the
        // focused element gets that element, named as the parent draws it.
        PartObjectRequest request{window, wparam, lparam, message == WM_NCDESTROY};
        if (const LRESULT answer =
                send_to_parent(window, k_msg_part_object, 0, reinterpret_cast<LPARAM>(&request));
            answer != 0) {
            return answer;
        }
        break;
    }
    case WM_KEYDOWN:
        if (is_part_key(wparam)) {
            send_to_parent(window, k_msg_part_key, wparam, GetDlgCtrlID(window));
            return 0;
        }
        break;
    default:
        break;
    }
    return DefWindowProcW(window, message, wparam, lparam);
}

} // namespace

bool from_own_part(UINT message, LPARAM lparam) {
    return t_sending.message == message && t_sending.lparam == lparam;
}

HWND create_focus_part(HWND parent, HINSTANCE instance, int id) {
    WNDCLASSEXW window_class{};
    window_class.cbSize = sizeof(window_class);
    window_class.lpfnWndProc = &part_proc;
    window_class.hInstance = instance;
    window_class.lpszClassName = k_part_class;
    if (RegisterClassExW(&window_class) == 0 && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
        return nullptr;
    }
    return CreateWindowExW(0, k_part_class, L"", WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_GROUP, 0, 0, 0, 0,
                           parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
}

} // namespace tide::ui
