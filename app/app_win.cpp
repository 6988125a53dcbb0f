// Start-up, message loop and shutdown of the application.
#include "app/app_win.h"

#include <cstdlib>

#include "app/messages_win.h"

namespace tide::app {

// The sampler thread, declared after the state it shares, is joined when the members go.
App::~App() {
    if (controller_window_ != nullptr) {
        DestroyWindow(controller_window_);
    }
}

int App::run(HINSTANCE instance, bool start_minimized) {
    instance_ = instance;
    start_minimized_ = start_minimized;
    load_files();

    if (!create_controller_window()) {
        return 1;
    }
    taskbar_created_message_ = RegisterWindowMessageW(L"TaskbarCreated");
    sampler_.wake_event.reset(CreateEventW(nullptr, FALSE, FALSE, nullptr));

    SetTimer(controller_window_, k_timer_usage_save, k_usage_save_period_ms, nullptr);
    sampler_.controller_window = controller_window_;
    if (!sampler_thread_.start(sampler_)) {
        std::abort(); // nothing can be measured without the sampler
    }

    const int exit_code = run_message_loop();

    sampler_thread_.stop_and_join();
    save_settings_now();
    save_usage_now();
    sampler_.wake_event.reset();
    return exit_code;
}

bool App::create_controller_window() {
    WNDCLASSEXW window_class{};
    window_class.cbSize = sizeof(window_class);
    window_class.lpfnWndProc = &App::controller_proc;
    window_class.hInstance = instance_;
    window_class.lpszClassName = k_controller_class;
    RegisterClassExW(&window_class); // a failure shows as the window not being created
    // A hidden top-level window rather than a message-only one: a second instance finds it by class
    // name, and only top-level windows receive broadcasts like "TaskbarCreated".
    const HWND window = CreateWindowExW(0, k_controller_class, k_controller_title, 0, 0, 0, 0, 0, nullptr,
                                        nullptr, instance_, this);
    controller_window_ = window;
    return window != nullptr;
}

int App::run_message_loop() {
    MSG message{};
    BOOL result = 0;
    while ((result = GetMessageW(&message, nullptr, 0, 0)) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return result == 0 ? static_cast<int>(message.wParam) : 0;
}

} // namespace tide::app
