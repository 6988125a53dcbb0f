// The application object: owns every piece of state, the controller window and the sampler thread.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

#include "app/recent_errors.h"
#include "net/sampler.h"
#include "net/sampler_win.h"
#include "persistence/settings.h"
#include "persistence/usage.h"

namespace tide::app {

class App {
public:
    App() = default;
    App(const App&) = delete;
    App& operator=(const App&) = delete;
    ~App();

    // Start-up, the message loop until the controller window is destroyed, then shutdown. Returns
    // the process exit code: 1 when the controller window cannot be created, otherwise the quit
    // message's code.
    int run(HINSTANCE instance, bool start_minimized);

    // Window procedure of the controller window (controller_win.cpp).
    static LRESULT CALLBACK controller_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

private:
    bool create_controller_window();
    int run_message_loop();
    LRESULT handle_controller_message(UINT message, WPARAM wparam, LPARAM lparam);
    void on_sample();
    void on_activate();

    // The program's files (app_files_win.cpp).
    void load_files();
    void hand_monitoring_to_sampler();
    void save_settings_now();
    void save_usage_now();
    void record_error(std::string_view text);

    HINSTANCE instance_ = nullptr;
    bool start_minimized_ = false;
    HWND controller_window_ = nullptr;
    UINT taskbar_created_message_ = 0;
    RateSample current_sample_; // main thread's copy of the last published sample
    // The sample lock, the shared sample, the sampler selection, the interval copy, the stop and
    // pause flags and the wake event.
    SamplerShared sampler_;
    SamplerThread sampler_thread_; // declared after sampler_: stops before the shared state goes
    MonitorStatus previous_status_ = MonitorStatus::measuring;
    RecentErrors recent_errors_;
    Settings settings_; // the live settings; main thread only
    std::wstring settings_path_;
    bool settings_read_only_ = false; // the file on disk must not be overwritten in this run
    UsageHistory usage_;              // the store, usage.json's path and its dirty flag
    UsageCounter usage_counter_;      // the previous session totals
    bool graph_frozen_ = false;
    bool graph_rebuild_ = true;
};

} // namespace tide::app
