// Start-up, message loop and shutdown of the application.
#include "app/app_win.h"

#include <ctime>
#include <memory>
#include <random>
#include <utility>
#include <string>
#include <vector>

#include "base/messages_win.h"
#include "base/wide_text_win.h"
#include "compact/displays_win.h"
#include "compact/drawing_resources_win.h"
#include "compact/taskbar_host_win.h"
#include "net/router_win.h"
#include "presentation/appearance_win.h"
#include "app/settings_flow.h"
#include "persistence/atomic_file_win.h"
#include "persistence/data_import.h"
#include "persistence/settings_store.h"
#include "persistence/usage_win.h"

namespace tide::app {
namespace {

// A number no other program can guess, never 0.
LPARAM random_token() {
    std::random_device device;
    LARGE_INTEGER counter{};
    QueryPerformanceCounter(&counter);
    const uint64_t value = (uint64_t{device()} << 32) ^ device() ^ static_cast<uint64_t>(counter.QuadPart);
    return value == 0 ? LPARAM{1} : static_cast<LPARAM>(value);
}

} // namespace

App::App(AppOptions options) : options_(std::move(options)) {}

// The sampler thread, declared after the state it shares, is joined when the members go.
App::~App() {
    if (controller_window_ != nullptr) {
        DestroyWindow(controller_window_);
    }
}

int App::run(HINSTANCE instance, bool start_minimized) {
    instance_ = instance;

    appearance_ = read_system_appearance();
    offer_installed_files();
    load_start_up_state();

    if (!create_controller_window()) {
        UnregisterClassW(k_controller_class, instance_);
        return 1;
    }
    start_writer();
    taskbar_created_message_ = RegisterWindowMessageW(L"TaskbarCreated");
    sampler_.wake_event.reset(CreateEventW(nullptr, FALSE, FALSE, nullptr));

    icon_ = static_cast<HICON>(LoadImageW(instance_, L"IDI_APP", IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
                                          GetSystemMetrics(SM_CYSMICON), LR_SHARED));
    keep_adding_tray_icon(tray_.add(controller_window_, icon_));

    // A window whose drawing target cannot be created stays blank until a later paint succeeds.
    drawing_resources().report_failure = [this](std::string_view text) {
        recent_errors_.add(static_cast<int64_t>(std::time(nullptr)), std::string(text));
    };
    create_dashboard();
    taskbar_display_.create(instance_, controller_window_);
    button_watcher_ = std::make_shared<TaskbarButtonWatcher>(controller_window_, k_msg_taskbar_buttons);
    taskbar_display_.set_taskbar_host(std::make_unique<ui::ShellTaskbarHost>(button_watcher_));
    desktop_display_.create(instance_, controller_window_);
    apply_settings();
    refresh_ui();
    const int compact_mode = settings_.compact.mode;
    if ((!start_minimized && !settings_.main_window.start_minimized && compact_mode != 2) ||
        compact_mode == 3) {
        show_dashboard();
    }

    SetTimer(controller_window_, k_timer_usage_save, k_usage_save_period_ms, nullptr);
    if (settings_access_ == FileAccess::blocked) {
        SetTimer(controller_window_, k_timer_file_retry, k_file_retry_period_ms, nullptr);
    }
    if (!saves_files(options_.data_mode)) {
        // Once the loop runs, so that the read-outs and the tray work while the message is up.
        SetTimer(controller_window_, k_timer_cannot_save_notice, 500, nullptr);
    }
    sampler_.controller_window = controller_window_;
    sampler_.make_router_source = &make_router_source;
    // Nothing can be measured without the sampler: the program then ends with code 1, but like any
    // other exit it first saves and takes its icon away.
    const int exit_code = sampler_thread_.start(sampler_) ? run_message_loop() : 1;
    shut_down();
    return exit_code;
}

void App::shut_down() {
    dashboard_.show(false);   // at once: the saves below may wait on a slow disk
    settings_dialog_.close(); // unapplied edits are dropped, as with Cancel
    usage_window_.close();    // keeps its place for the save below
    count_last_bytes();
    sampler_thread_.stop_and_join();
    take_in_sample(false); // a sample published after the wait above still counts
    save_settings_now(); // takes the displays' positions back first
    save_usage_now();
    side_displays_.clear();
    taskbar_display_.destroy();
    desktop_display_.destroy();
    if (button_watcher_) {
        button_watcher_->stop(); // ends after its current pass, never waited for
    }
    tray_.remove();
    // The program looks gone while the last saves finish; a disk that does not answer within the
    // limit does not keep the process alive.
    writer_->finish(k_exit_save_limit);
    if (controller_window_ != nullptr) {
        DestroyWindow(controller_window_);
    }
    // A later App in the same process (the tests run several) registers the class afresh.
    UnregisterClassW(k_controller_class, instance_);
    drawing_resources().report_failure = nullptr;
    sampler_.wake_event.reset();
}

// A portable copy's first start would find nothing of the user's: the installed copy's settings and
// history are offered once, in the language chosen there, before anything is loaded. They are copied,
// never moved, so the installed copy keeps its own. Whatever the answer, the folder holds the settings
// afterwards (copied, or the defaults), and the question is not asked again.
void App::offer_installed_files() {
    const std::wstring& from = options_.installed_folder;
    if (from.empty() || !offers_installed_files({options_.data_mode, has_data_files(options_.data_folder),
                                                 has_data_files(from)})) {
        return;
    }
    const Settings theirs = settings_from_file_text(read_file_bytes(data_file_path(from, L"settings.json")));
    Localizer localizer;
    localizer.initialise(theirs.language, recent_errors_);
    UINT flags = MB_YESNO | MB_ICONQUESTION | MB_SETFOREGROUND;
    if (localizer.rtl) {
        flags |= MB_RIGHT | MB_RTLREADING;
    }
    const int answer =
        MessageBoxW(nullptr, localizer.wide_text("portable.copy_question").c_str(), L"Tidemeter", flags);
    const std::vector<std::string> left_behind =
        answer == IDYES ? copy_data_files(from, options_.data_folder) : std::vector<std::string>{};
    if (!left_behind.empty()) {
        recent_errors_.add(static_cast<int64_t>(std::time(nullptr)),
                           "Some files of the installed copy could not be copied into the portable folder");
        // Said at once: the question does not come back, and the user would take the history as copied.
        const std::string text = format_placeholders(localizer.text("portable.copy_incomplete"),
                                                     {left_behind_list(left_behind, localizer.rtl)});
        MessageBoxW(nullptr, to_wide(text).c_str(), L"Tidemeter",
                    (flags & ~(MB_YESNO | MB_ICONQUESTION)) | MB_OK | MB_ICONWARNING);
    }
    if (!has_data_files(options_.data_folder)) {
        save_settings(default_settings(), data_file_path(options_.data_folder, L"settings.json"));
    }
}

// Settings, then the language, then the sampler's copy of the monitoring settings, then the usage
// history: each step needs the one before.
void App::load_start_up_state() {
    settings_path_ = data_file_path(options_.data_folder, L"settings.json");
    usage_.path = data_file_path(options_.data_folder, L"usage.json");
    warnings_path_ = data_file_path(options_.data_folder, L"warnings.json");
    run_first_day_ = local_day_number();

    // A copy that saves nothing still takes up a file held at start-up once it can be read; only the
    // writing is left out (save_settings_now).
    settings_ = load_settings(settings_path_, settings_access_, saves_files(options_.data_mode));
    adopt_device_paths(settings_, enumerate_displays()); // written with the next save
    if (const std::string report = settings_load_report(settings_.load); !report.empty()) {
        recent_errors_.add(static_cast<int64_t>(std::time(nullptr)), report);
    }
    localizer_.initialise(settings_.language, recent_errors_);
    hand_monitoring_to_sampler();
    if (settings_.history_mode == 1) {
        load_usage(usage_, {settings_.history_retention_days, settings_.billing_day}, recent_errors_);
    }
    read_given_warnings();
}

// A settings file that could not be read at start-up (antivirus, backup or sync holding it) is read
// again; once it reads, the user's own settings replace the defaults the program started with.
void App::retry_settings_file() {
    if (settings_access_ != FileAccess::blocked) {
        return;
    }
    FileAccess access = FileAccess::blocked;
    Settings loaded = load_settings(settings_path_, access, saves_files(options_.data_mode));
    if (access == FileAccess::blocked) {
        return;
    }
    KillTimer(controller_window_, k_timer_file_retry);
    settings_access_ = access;
    if (const std::string report = settings_load_report(loaded.load); !report.empty()) {
        recent_errors_.add(static_cast<int64_t>(std::time(nullptr)), report);
    }
    const SettingsLoadStatus status = loaded.load.status;
    if (status == SettingsLoadStatus::no_file || status == SettingsLoadStatus::unreadable) {
        return; // nothing of the user's to adopt: the settings in use are written as they are
    }
    const bool language_changed = loaded.language != settings_.language;
    settings_ = std::move(loaded);
    adopt_device_paths(settings_, enumerate_displays());
    if (language_changed) {
        localizer_.initialise(settings_.language, recent_errors_);
    }
    hand_monitoring_to_sampler();
    usage_.dirty = true; // history may have been switched on by the file: this run's counts are kept
    apply_settings();
    dashboard_.set_graph_state(settings_.history_window_s, visible_graph_.frozen);
    visible_graph_.rebuild = true;
    refresh_ui();
}

// The data-plan warnings go with the usage: a file that could not be read or written is tried again.
void App::save_usage_now() {
    if (!saves_files(options_.data_mode)) {
        return;
    }
    std::optional<std::string> text =
        usage_save_text(usage_, settings_.history_mode,
                        {settings_.history_retention_days, settings_.billing_day}, recent_errors_);
    if (!text) {
        return;
    }
    writer_->save({usage_.path, std::move(*text), [this](bool written, const std::string& error) {
                       if (!written) {
                           usage_save_failed(usage_, error, recent_errors_);
                       }
                   }});
    if (!warnings_read_) {
        read_given_warnings();
    }
    save_given_warnings();
}

// The writer reports to the controller window only by a posted message: the outcomes are taken up
// on this thread, where the state they change lives.
void App::start_writer() {
    WriteFile write = options_.write_file;
    if (!write) {
        write = [](const std::wstring& path, std::string_view bytes, std::string* error) {
            return write_file_atomically(path, bytes, error);
        };
    }
    writer_.emplace(std::move(write),
                    [window = controller_window_] { PostMessageW(window, k_msg_file_saved, 0, 0); });
}

// The user's language is known by now; the notice is given once per run, as nothing can record it.
void App::tell_cannot_save() {
    KillTimer(controller_window_, k_timer_cannot_save_notice);
    UINT flags = MB_OK | MB_ICONWARNING | MB_SETFOREGROUND;
    if (localizer_.rtl) {
        flags |= MB_RIGHT | MB_RTLREADING;
    }
    MessageBoxW(controller_window_, localizer_.wide_text("portable.cannot_save").c_str(), L"Tidemeter",
                flags);
}

// At logon the shell can refuse the icon without ever sending "TaskbarCreated" afterwards: the icon
// is asked for again on a short timer until the shell takes it.
void App::keep_adding_tray_icon(bool added) {
    if (added) {
        KillTimer(controller_window_, k_timer_tray_retry);
    } else {
        SetTimer(controller_window_, k_timer_tray_retry, k_tray_retry_period_ms, nullptr);
    }
}

// Without a dashboard the program still runs: the tray and the read-outs do not need it.
void App::create_dashboard() {
    dashboard_.set_text_provider([this](const char* key) { return localizer_.wide_text(key); });
    clear_token_ = random_token();
    dashboard_.set_clear_token(clear_token_);
    dashboard_.create(instance_, controller_window_, settings_.main_window);
    dashboard_.set_graph_state(settings_.history_window_s, false);
}

bool App::create_controller_window() {
    WNDCLASSEXW window_class{};
    window_class.cbSize = sizeof(window_class);
    window_class.lpfnWndProc = &WindowProcedure::procedure;
    window_class.hInstance = instance_;
    window_class.lpszClassName = k_controller_class;
    RegisterClassExW(&window_class); // a failure shows as the window not being created
    // A hidden top-level window rather than a message-only one: a second instance finds it by class
    // name, and only top-level windows receive broadcasts like "TaskbarCreated".
    const HWND window = CreateWindowExW(0, k_controller_class, k_controller_title, 0, 0, 0, 0, 0, nullptr,
                                        nullptr, instance_, static_cast<WindowProcedure*>(this));
    controller_window_ = window;
    return window != nullptr;
}

int App::run_message_loop() {
    MSG message{};
    BOOL result = 0;
    while ((result = GetMessageW(&message, nullptr, 0, 0)) > 0) {
        // Tab, Enter and Escape for the settings window; Tab moves between the dashboard's controls.
        if (settings_dialog_.handle_dialog_message(message)) {
            continue;
        }
        if (const HWND dashboard = dashboard_.hwnd();
            dashboard != nullptr && IsDialogMessageW(dashboard, &message)) {
            continue;
        }
        // Tab between its buttons, Escape closes it.
        if (const HWND usage = usage_window_.hwnd(); usage != nullptr && IsDialogMessageW(usage, &message)) {
            continue;
        }
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    // -1 is a failure of the loop itself, not the user's exit.
    return result == 0 ? static_cast<int>(message.wParam) : 1;
}

} // namespace tide::app
