// Start-up, message loop and shutdown of the application.
#include "app/app_win.h"

#include <cstdlib>
#include <ctime>
#include <mutex>

#include "base/messages_win.h"
#include "app/settings_flow.h"
#include "persistence/settings_store.h"
#include "persistence/settings_store_win.h"
#include "persistence/usage_win.h"

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

    load_start_up_state();

    if (!create_controller_window()) {
        return 1;
    }
    taskbar_created_message_ = RegisterWindowMessageW(L"TaskbarCreated");
    sampler_.wake_event.reset(CreateEventW(nullptr, FALSE, FALSE, nullptr));

    icon_ = static_cast<HICON>(LoadImageW(instance_, L"IDI_APP", IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
                                          GetSystemMetrics(SM_CYSMICON), LR_SHARED));
    // Without a shell yet, "TaskbarCreated" adds it later.
    tray_added_ = tray_.add(controller_window_, icon_);

    // The dashboard and the two compact displays are created here once they exist; until then the
    // program runs as it does when the dashboard cannot be created.
    apply_settings();

    SetTimer(controller_window_, k_timer_usage_save, k_usage_save_period_ms, nullptr);
    sampler_.controller_window = controller_window_;
    if (!sampler_thread_.start(sampler_)) {
        std::abort(); // nothing can be measured without the sampler
    }

    const int exit_code = run_message_loop();

    settings_dialog_.close(); // unapplied edits are dropped, as with Cancel
    sampler_thread_.stop_and_join();
    save_settings_now();
    save_usage(usage_, settings_.history_mode, settings_.history_retention_days, recent_errors_);
    tray_.remove();
    tray_added_ = false;
    sampler_.wake_event.reset();
    return exit_code;
}

// Settings, then the language, then the sampler's copy of the monitoring settings, then the usage
// history: each step needs the one before.
void App::load_start_up_state() {
    const std::wstring folder = data_folder();
    settings_path_ = data_file_path(folder, L"settings.json");
    usage_.path = data_file_path(folder, L"usage.json");

    settings_ = load_settings(settings_path_, settings_read_only_);
    if (const std::string report = settings_load_report(settings_.load); !report.empty()) {
        recent_errors_.add(static_cast<int64_t>(std::time(nullptr)), report);
    }
    localizer_.initialise(settings_.language, recent_errors_);
    {
        std::lock_guard hold(sampler_.sample_lock);
        sampler_.sampler_selection = sampler_selection_from(settings_.monitoring);
        sampler_.interval_ms = static_cast<uint32_t>(settings_.monitoring.interval_ms);
    }
    if (settings_.history_mode == 1) {
        load_usage(usage_, settings_.history_retention_days, recent_errors_);
    }
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
        // Tab, Enter and Escape for the settings window; the dashboard takes its keys here once it exists.
        if (settings_dialog_.handle_dialog_message(message)) {
            continue;
        }
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return result == 0 ? static_cast<int>(message.wParam) : 0;
}

} // namespace tide::app
