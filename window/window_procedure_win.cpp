// The shared window procedure.
#include "window/window_procedure_win.h"

#include "window/automation_win.h"
#include "window/focus_part_win.h"

namespace tide::ui {

LRESULT CALLBACK WindowProcedure::procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_NCCREATE) {
        auto* self =
            static_cast<WindowProcedure*>(reinterpret_cast<const CREATESTRUCTW*>(lparam)->lpCreateParams);
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        if (self != nullptr) {
            self->window_ = window;
            self->attach(window);
        }
        return DefWindowProcW(window, message, wparam, lparam);
    }
    auto* self = reinterpret_cast<WindowProcedure*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self == nullptr || self->window_ != window) {
        return DefWindowProcW(window, message, wparam, lparam);
    }
    if (is_part_message(message) && !from_own_part(message, lparam)) {
        return 0; // another thread's or program's, or posted: its lParam may be any number
    }
    try {
        if (message == WM_NCDESTROY) {
            if (AutomationHost* host = self->automation(); host != nullptr) {
                host->disconnect(window);
            }
            SetWindowLongPtrW(window, GWLP_USERDATA, 0);
            self->window_ = nullptr;
            self->detach();
            return DefWindowProcW(window, message, wparam, lparam);
        }
        if (message == WM_GETOBJECT) {
            if (AutomationHost* host = self->automation(); host != nullptr) {
                if (const auto answer = host->answer(window, wparam, lparam)) {
                    return *answer;
                }
            }
            return DefWindowProcW(window, message, wparam, lparam);
        }
        if (message == k_msg_part_object) {
            AutomationHost* host = self->automation();
            const auto* request = reinterpret_cast<const PartObjectRequest*>(lparam);
            if (host == nullptr || request == nullptr) {
                return 0;
            }
            if (request->gone) {
                host->forget_part(request->part);
                return 0;
            }
            return host->answer_part(request->part, request->wparam, request->lparam).value_or(0);
        }
        return self->handle_message(message, wparam, lparam);
    } catch (...) {
        return 0; // nothing may escape into the system
    }
}

} // namespace tide::ui
