// The controller window: the program's hidden switchboard on the main thread.
#include <mutex>

#include "app/app_win.h"
#include "app/messages_win.h"
#include "persistence/usage_win.h"

namespace tide::app {

LRESULT CALLBACK App::controller_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lparam);
        auto* app = static_cast<App*>(create->lpCreateParams);
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(app));
        if (app != nullptr) {
            app->controller_window_ = window;
        }
        return DefWindowProcW(window, message, wparam, lparam);
    }
    auto* app = reinterpret_cast<App*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (app == nullptr) {
        return DefWindowProcW(window, message, wparam, lparam);
    }
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        app->controller_window_ = nullptr;
        return DefWindowProcW(window, message, wparam, lparam);
    }
    try {
        return app->handle_controller_message(message, wparam, lparam);
    } catch (...) {
        return 0; // nothing may escape into the system; the message is dropped
    }
}

LRESULT App::handle_controller_message(UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    case WM_QUERYENDSESSION:
        return 1; // Windows may log off or shut down
    case WM_ENDSESSION:
        // The process may be ended as soon as this returns: the usage since the last periodic save
        // is written as well.
        if (wparam != FALSE) {
            save_settings_now();
            save_usage_now();
        }
        return 0;
    case WM_TIMER:
        if (wparam == k_timer_settings_save) {
            save_settings_now();
        } else if (wparam == k_timer_usage_save) {
            save_usage_now();
        }
        return 0;
    case WM_POWERBROADCAST:
        if (wparam == PBT_APMRESUMEAUTOMATIC) {
            wake_sampler(sampler_); // measure now rather than after the interval
        }
        return 1;
    case k_msg_sample:
        on_sample();
        return 0;
    case k_msg_activate:
        on_activate();
        return 0;
    case k_msg_dashboard_button:
        if (wparam == k_button_exit) {
            DestroyWindow(controller_window_);
        }
        return 0;
    default:
        return DefWindowProcW(controller_window_, message, wparam, lparam);
    }
}

// The copy happens under the sample lock; everything built from the sample works on the copy.
void App::on_sample() {
    {
        std::lock_guard hold(sampler_.sample_lock);
        current_sample_ = sampler_.shared_sample;
    }
    if (usage_counter_.feed(usage_.store, local_day_number(), current_sample_.session_received,
                            current_sample_.session_sent)) {
        usage_.dirty = true;
    }
}

void App::on_activate() {}

} // namespace tide::app
