// The application object: owns every piece of state, the controller window and the sampler thread.
#pragma once

#include <windows.h>

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/recent_errors.h"
#include "app/plan_status.h"
#include "app/startup_win.h"
#include "app/status_refresh.h"
#include "app/tray_win.h"
#include "compact/compact_window_win.h"
#include "compact/taskbar_readouts.h"
#include "compact/taskbar_watcher_win.h"
#include "net/inventory.h"
#include "net/network_identity_win.h"
#include "net/sampler.h"
#include "net/sampler_win.h"
#include "persistence/file_writer.h"
#include "persistence/settings.h"
#include "persistence/settings_store_win.h"
#include "persistence/usage.h"
#include "presentation/localization.h"
#include "presentation/number_format.h"
#include "presentation/theme.h"
#include "ui/dashboard/graph_model.h"
#include "ui/dashboard/main_window_win.h"
#include "ui/settings/settings_dialog_win.h"
#include "ui/usage/usage_networks.h"
#include "ui/usage/usage_window_win.h"

namespace tide::app {

// Shows, once and shortly after start-up, that a portable copy cannot save in its folder.
inline constexpr UINT_PTR k_timer_cannot_save_notice = 16;
// With a read-out on every taskbar: looks for taskbars that came or went (the shell announces only its
// own restart).
inline constexpr UINT_PTR k_timer_taskbars = 17;
inline constexpr UINT k_taskbars_check_ms = 1000;

// Where the program keeps what outlives a run. The program passes the user's folder and Run key;
// tests pass a temporary folder and a key of their own.
struct AppOptions {
    std::wstring data_folder;  // settings.json and usage.json; empty: the current directory
    RunValue run_value;        // "Start with Windows"
    WriteFile write_file = {}; // how the writer thread writes a file; empty: write_file_atomically
    DataMode data_mode = DataMode::installed; // portable_read_only: nothing is saved, the user is told once
    std::wstring installed_folder = {};       // a portable copy: the installed copy's files, offered once
};

class App final : public ui::WindowProcedure {
public:
    explicit App(AppOptions options);
    App(const App&) = delete;
    App& operator=(const App&) = delete;
    ~App();

    // Start-up, the message loop until the controller window is destroyed, then shutdown. Returns
    // the process exit code: 1 when the controller window cannot be created, the sampler cannot be
    // started or the message loop fails, otherwise the quit message's code.
    int run(HINSTANCE instance, bool start_minimized);

    // Builds every visible text from the current sample and hands it to the tray and the windows.
    void refresh_ui();
    // Opens the settings window with the live settings.
    void open_settings();
    // What the settings window hands back when the user applies its edits.
    void apply_edited_settings(const ui::SettingsEdit& edit);

private:
    // The controller window's messages (controller_win.cpp).
    void attach(HWND window) override { controller_window_ = window; }
    LRESULT handle_message(UINT message, WPARAM wparam, LPARAM lparam) override {
        return handle_controller_message(controller_window_, message, wparam, lparam);
    }
    void detach() override { controller_window_ = nullptr; }

    // app_win.cpp: start-up and shutdown
    bool create_controller_window();
    int run_message_loop();
    void offer_installed_files();
    void load_start_up_state();
    void shut_down();
    void save_usage_now();
    void start_writer();
    void keep_adding_tray_icon(bool added);
    void retry_settings_file();
    void tell_cannot_save();

    // controller_win.cpp: the message table
    LRESULT handle_controller_message(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
    void end_session();
    void on_tray_event(UINT event);
    void on_appearance_change();
    void on_timer(UINT_PTR id);
    void on_graph_range(WPARAM seconds);
    void on_graph_pause(WPARAM value);
    void on_clear_history(LPARAM token);
    void on_dashboard_button(WPARAM code, LPARAM value);
    void replace_compact_displays();

    // taskbars_win.cpp: one read-out per taskbar
    void follow_taskbars(bool reapply = false);
    void check_taskbars();
    void forget_side_displays();
    CompactSettings side_section(const std::string& monitor) const;
    void take_back_side_places();
    template <typename F> void for_each_taskbar_display(F f) {
        f(taskbar_display_);
        for (const SideReadout& side : side_displays_) {
            f(*side.window);
        }
    }
    void show_dashboard();
    void create_dashboard();
    void refresh_dashboard(const RefreshInputs& inputs);
    void open_usage_window();
    void refresh_usage_window();
    void announce_state(const ReadoutState& now, const TextLookup& text);
    void on_usage_window(WPARAM code, LPARAM lparam);

    // commands_win.cpp: the tray menu, its commands and the settings routines
    void dispatch_command(uint32_t id);
    void show_tray_menu();
    void show_about();
    void export_diagnostics();
    void export_usage();
    void toggle_pause();
    void toggle_start_with_windows();
    void choose_interface_command(uint32_t id);
    void apply_settings();
    void save_settings_now();
    void schedule_settings_save();
    void set_taskbar_display(bool on);
    void apply_appearance();
    void take_back_window_settings();
    void hand_monitoring_to_sampler(bool wake = true);
    TrayMenuState tray_menu_state() const;
    TextLookup text_lookup() const;

    // refresh_win.cpp: the sample handler
    void on_sample();
    void take_in_sample(bool look_up_network);
    void count_last_bytes();

    // network_win.cpp: which network the bytes belong to
    void follow_network(uint64_t now_ms);
    void count_sample_bytes(uint64_t now_ms);
    NetworkNames network_names() const;

    // plan_win.cpp: data-plan limits and their warnings
    void read_given_warnings();
    void save_given_warnings();
    PlanView update_data_plan(const TextLookup& text);

    const AppOptions options_;
    HINSTANCE instance_ = nullptr;
    HWND controller_window_ = nullptr;
    UINT taskbar_created_message_ = 0;

    Settings settings_; // the live settings; main thread only
    std::wstring settings_path_;
    FileAccess settings_access_ = FileAccess::writable;
    Localizer localizer_;
    NumberFormat main_format_;
    NumberFormat compact_format_;

    RateSample current_sample_; // main thread's copy of the last published sample
    MonitorStatus previous_status_ = MonitorStatus::measuring;
    std::optional<ReadoutState> readout_state_; // what the read-outs last announced from; none before the first refresh
    UsageCounter usage_counter_;       // turns session totals into usage increments
    NetworkTracker network_tracker_;   // the networks of the last moments
    NetworkChangeWatch network_watch_; // the system's word that routes or interfaces changed
    std::optional<NetworkKey> network_key_; // the interface and gateway the network was looked up for
    uint64_t network_checked_ms_ = 0;
    uint64_t previous_sample_ms_ = 0;
    std::map<int64_t, DayTotals> held_bytes_; // counted while the network was not known yet
    GraphHistory graph_history_;
    VisibleGraph visible_graph_; // the visible points with the graph's frozen and rebuild flags
    UsageHistory usage_;
    int64_t run_first_day_ = 0; // the day this run started: its days are what it counted itself
    RecentErrors recent_errors_;

    PlanWarner plan_warner_; // which data-plan warnings have been given
    std::wstring warnings_path_;
    bool warnings_read_ = false; // warnings.json read (or none there): only then may a warning go out
    bool warnings_unreadable_reported_ = false;
    bool warnings_save_failed_ = false; // retried with the usage save, not at every refresh

    SystemAppearance appearance_;       // read at start-up and on every system colour or theme change
    ui::CompactWindow taskbar_display_; // section `compact`
    ui::CompactWindow desktop_display_; // section `desktop`
    bool displays_applied_ =
        false; // the displays hold the settings (before that they have nothing to give back)

    TrayIcon tray_;
    // With `compact.every_taskbar`: one read-out per taskbar besides the main one, for as long as that
    // taskbar is there, pinned to the monitor it is docked on; they copy the taskbar display's picture.
    // Declared after it, so they go first.
    struct SideReadout {
        uintptr_t taskbar = 0;
        std::unique_ptr<ui::CompactWindow> window;
    };
    std::vector<SideReadout> side_displays_;
    // Follows the buttons of every taskbar that draws them itself, for all the read-outs.
    std::shared_ptr<TaskbarButtonWatcher> button_watcher_;
    bool readouts_held_back_ = false;              // the session is ending: the read-outs stay hidden
    std::vector<TaskbarWindowInfo> seen_taskbars_; // at the last look, when every taskbar got its read-out
    HICON icon_ = nullptr;                         // shared resource icon: not destroyed
    std::vector<InterfaceInfo> menu_interfaces_;   // as listed in the last tray menu
    bool menu_open_ = false;                       // the tray menu is being tracked
    ui::SettingsDialog settings_dialog_;           // open while the user edits the settings

    // The sample lock, the shared sample, the sampler selection, the interval copy, the stop and
    // pause flags and the wake event.
    SamplerShared sampler_;
    SamplerThread sampler_thread_; // declared after sampler_: stops before the shared state goes

    ui::MainWindow dashboard_;
    LPARAM clear_token_ = 0; // the clearing of the history is taken only with this number

    // Writes settings.json, usage.json and the exports off the UI thread; exists once the controller
    // window does (it reports there).
    std::optional<FileWriter> writer_;
    ui::UsageWindow usage_window_; // open only while the user looks at the history
    // The usage window's network choice, for this run: kept by key, so that it outlives a changed list.
    NetworkChoiceKey usage_network_;
    std::vector<NetworkChoiceKey> usage_network_keys_; // the choices as the window was last given them
};

} // namespace tide::app
