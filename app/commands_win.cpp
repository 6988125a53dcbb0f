// The tray menu, the commands it dispatches and the routines every settings change goes through.
#include <windows.h>

#include <shellapi.h>

#include <mutex>
#include <string>
#include <string_view>

#include "app/app_win.h"
#include "base/messages_win.h"
#include "base/version.h"
#include "app/settings_flow.h"
#include "app/startup_win.h"
#include "base/wide_text_win.h"
#include "compact/drawing_resources_win.h"
#include "diagnostics/diagnostics_win.h"
#include "net/inventory_win.h"
#include "persistence/settings_store.h"
#include "persistence/settings_store_win.h"
#include "persistence/usage_win.h"

namespace tide::app {
namespace {

// Follows "Tidemeter " and the version in the About box, before the web page when the build names one.
constexpr char k_about_notice[] =
    "\n"
    "Copyright \xC2\xA9 2026 the Tidemeter developers. Provided as is, without warranty.";

void open_with_shell(std::string_view address) {
    if (address.empty()) {
        return; // the build names no page, and the menu offers none
    }
    // A failure of the shell is not reported: there is nothing the user could do about it here.
    ShellExecuteW(nullptr, L"open", to_wide(address).c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

// Marks the tray menu as open for as long as it is tracked.
class MenuOpenGuard {
public:
    explicit MenuOpenGuard(bool& open) : open_(open) { open_ = true; }
    ~MenuOpenGuard() { open_ = false; }
    MenuOpenGuard(const MenuOpenGuard&) = delete;
    MenuOpenGuard& operator=(const MenuOpenGuard&) = delete;

private:
    bool& open_;
};

} // namespace

TextLookup App::text_lookup() const {
    return [this](std::string_view key) { return localizer_.text(key); };
}

TrayMenuState App::tray_menu_state() const {
    TrayMenuState state = tray_menu_state_from(settings_, sampler_.pause_flag.load(),
                                               is_start_with_windows(options_.run_value));
    state.website = !k_homepage.empty();
    state.updates_page = !k_updates_page.empty();
    return state;
}

void App::show_tray_menu() {
    // The menu's modal loop keeps dispatching messages: a second request (another click on the icon or
    // a compact display) must not open a menu inside it or replace the list this one resolves with.
    if (menu_open_) {
        return;
    }
    const Inventory inventory = take_inventory();
    const TrayMenu menu = build_tray_menu(tray_menu_state(), inventory.valid ? &inventory.interfaces : nullptr,
                                          text_lookup());
    menu_interfaces_ = menu.interfaces;
    uint32_t chosen = 0;
    {
        // Cleared however the tracking ends: an exception left behind a set flag would keep the
        // menu from ever opening again.
        const MenuOpenGuard open(menu_open_);
        chosen = track_tray_menu(controller_window_, menu, localizer_.rtl);
    }
    if (chosen != 0) {
        dispatch_command(chosen);
    }
}

void App::dispatch_command(uint32_t id) {
    switch (id) {
    case cmd_open: show_dashboard(); return;
    case cmd_toggle_taskbar: set_taskbar_display(!taskbar_display_on(tray_menu_state())); return;
    case cmd_pause: toggle_pause(); return;
    case cmd_start_with_windows: toggle_start_with_windows(); return;
    case cmd_website: open_with_shell(k_homepage); return;
    case cmd_about: show_about(); return;
    case cmd_exit: DestroyWindow(controller_window_); return;
    case cmd_export_diagnostics: export_diagnostics(); return;
    case cmd_export_usage: export_usage(); return;
    case cmd_usage_history: open_usage_window(); return;
    case cmd_settings: open_settings(); return;
    case cmd_check_updates: open_with_shell(k_updates_page); return;
    case cmd_toggle_desktop: {
        const bool was_enabled = settings_.desktop.enabled; // as the menu showed it
        take_back_window_settings();
        settings_.desktop.enabled = !was_enabled;
        apply_settings();
        schedule_settings_save();
        return;
    }
    case cmd_toggle_lock: {
        const bool was_locked = displays_locked(tray_menu_state()); // as the menu showed it
        take_back_window_settings();
        settings_.compact.locked = !was_locked;
        settings_.desktop.locked = !was_locked;
        apply_settings();
        schedule_settings_save();
        return;
    }
    default:
        if (id >= cmd_automatic && id <= cmd_last_interface) {
            choose_interface_command(id);
        }
        return;
    }
}

void App::choose_interface_command(uint32_t id) {
    if (id == cmd_automatic) {
        settings_.monitoring.manual_adapter.reset();
    } else if (const auto luid = interface_for_command(menu_interfaces_, id)) {
        settings_.monitoring.manual_adapter = *luid;
    }
    hand_monitoring_to_sampler();
    schedule_settings_save();
}

void App::toggle_pause() {
    const bool paused = !sampler_.pause_flag.load();
    sampler_.pause_flag.exchange(paused);
    wake_sampler(sampler_);
    refresh_ui();
}

void App::toggle_start_with_windows() {
    const bool on = !is_start_with_windows(options_.run_value);
    if (!set_start_with_windows(on, program_path(), options_.run_value)) {
        return; // the setting stays as it was
    }
    settings_.general.start_with_windows = on;
    schedule_settings_save();
}

void App::show_about() {
    UINT flags = MB_OK | MB_ICONINFORMATION;
    if (localizer_.rtl) {
        flags |= MB_RIGHT | MB_RTLREADING;
    }
    std::string about = "Tidemeter " + std::string(k_app_version) + k_about_notice;
    if (!k_homepage.empty()) {
        about += '\n';
        about += k_homepage;
    }
    MessageBoxW(controller_window_, to_wide(about).c_str(), localizer_.wide_text("menu.about").c_str(),
                flags);
}

void App::export_diagnostics() {
    DiagnosticsAppFacts facts;
    facts.ui_language = localizer_.language_code;
    facts.interface_name = current_sample_.interface_name;
    facts.source = static_cast<int>(current_sample_.source);
    facts.router_name = current_sample_.source_name;
    facts.router_model = current_sample_.source_model;
    facts.router_udn = current_sample_.source_udn;
    facts.router_serial = current_sample_.source_serial;
    facts.paused = sampler_.pause_flag.load();
    facts.status = static_cast<int>(current_sample_.status);
    facts.interval_ms = settings_.monitoring.interval_ms;
    facts.data_mode = options_.data_mode;
    // A portable copy keeps its report beside its other files; one that cannot write there, and an
    // installed copy, use the temporary folder.
    const std::wstring path =
        diagnostics_report_path(options_.data_mode == DataMode::portable ? options_.data_folder : std::wstring());
    if (path.empty()) {
        diagnostics_report_failed(recent_errors_);
        return;
    }
    writer_->save({path, diagnostics_report_content(gather_diagnostics_input(facts, recent_errors_)),
                   [this, path](bool written, const std::string&) {
                       if (written) {
                           open_diagnostics_report(path);
                       } else {
                           diagnostics_report_failed(recent_errors_);
                       }
                   },
                   false});
}

void App::export_usage() {
    const std::optional<std::wstring> path = ask_csv_path(controller_window_);
    if (!path) {
        return;
    }
    writer_->save({*path, usage_csv_text(usage_.store, network_names()),
                   [this](bool written, const std::string&) {
                       if (!written) {
                           usage_csv_failed(recent_errors_);
                       }
                   },
                   false});
}

void App::open_settings() {
    take_back_window_settings();
    // Already open: only brought forward, with the user's unapplied edits.
    settings_dialog_.open(
        instance_, controller_window_, settings_,
        [this](const char* key) { return localizer_.wide_text(key); }, localizer_.rtl,
        [this](const ui::SettingsEdit& edit) { apply_edited_settings(edit); },
        network_entries(usage_.store.networks(), network_names()));
}

void App::apply_edited_settings(const ui::SettingsEdit& edit) {
    take_back_window_settings(); // the places the user gave the windows while the settings window was open
    const EditOutcome outcome = merge_edited_settings(settings_, edit);
    if (outcome.language_changed) {
        localizer_.initialise(settings_.language, recent_errors_);
    }
    // Only a new interval needs the current wait cut short; anything else waits for the next sample.
    hand_monitoring_to_sampler(outcome.interval_changed || outcome.source_changed);
    if (outcome.history_switched_on) {
        usage_.dirty = true;
    }
    // A forgotten network's days are merged at once: the file should not keep them past the change.
    if (apply_network_edits(usage_.store, edit.networks)) {
        usage_.dirty = true;
        save_usage_now();
    }
    apply_settings();
    dashboard_.set_graph_state(settings_.history_window_s, visible_graph_.frozen);
    visible_graph_.rebuild = true;
    refresh_ui();
    schedule_settings_save();
}

void App::apply_settings() {
    main_format_ = main_number_format(settings_, localizer_.language_code);
    compact_format_ = compact_number_format(settings_, localizer_.language_code);
    apply_appearance();
}

// The drawing font, then each window's theme with its settings and the direction, then which displays
// are on.
void App::apply_appearance() {
    set_default_family(to_wide(settings_.font_family));
    dashboard_.apply(settings_.main_window, resolve_theme(settings_.main_window.theme, settings_.custom_colors, appearance_),
                     localizer_.rtl);
    dashboard_.set_taskbar_on(taskbar_display_on(tray_menu_state()));
    taskbar_display_.apply(settings_.compact, resolve_theme(settings_.compact.theme, settings_.custom_colors, appearance_),
                           localizer_.rtl);
    if (usage_window_.is_open()) {
        usage_window_.apply(resolve_theme(settings_.main_window.theme, settings_.custom_colors, appearance_),
                            localizer_.rtl, to_wide(localizer_.language_code));
    }
    desktop_display_.apply(settings_.desktop, resolve_theme(settings_.desktop.theme, settings_.custom_colors, appearance_),
                           localizer_.rtl);
    displays_applied_ = true;
    taskbar_display_.show(settings_.compact.enabled && settings_.compact.mode == 0);
    desktop_display_.show(settings_.desktop.enabled);
    follow_taskbars(true);
}

void App::save_settings_now() {
    KillTimer(controller_window_, k_timer_settings_save);
    take_back_window_settings();
    retry_settings_file(); // a file not read so far is read before anything is written over it
    // A read-only portable copy never writes anywhere else instead.
    if (settings_access_ == FileAccess::writable && saves_files(options_.data_mode)) {
        writer_->save({settings_path_, settings_file_text(settings_), {}}); // a failure is not reported
    }
}

void App::schedule_settings_save() {
    // Restarting the timer makes several changes within a second one write.
    SetTimer(controller_window_, k_timer_settings_save, k_settings_save_delay_ms, nullptr);
}

void App::set_taskbar_display(bool on) {
    take_back_window_settings();
    set_taskbar_display_setting(settings_, on);
    apply_settings();
    schedule_settings_save();
}

void App::take_back_window_settings() {
    // Only what a window changes itself: everything else in its copy may be older than the live record.
    const MainWindowSettings& placed = dashboard_.placement();
    settings_.main_window.width = placed.width;
    settings_.main_window.height = placed.height;
    settings_.main_window.x = placed.x;
    settings_.main_window.y = placed.y;
    if (usage_window_.has_placement()) {
        settings_.usage_window = usage_window_.placement();
    }
    if (!displays_applied_) {
        return;
    }
    const auto take_place = [](CompactSettings& live, const CompactSettings& window) {
        live.monitor_id = window.monitor_id;
        live.offset_x = window.offset_x;
        live.offset_y = window.offset_y;
        live.floating_rect = window.floating_rect;
    };
    take_place(settings_.compact, taskbar_display_.settings());
    take_place(settings_.desktop, desktop_display_.settings());
    take_back_side_places();
}

void App::hand_monitoring_to_sampler(bool wake) {
    {
        std::lock_guard hold(sampler_.sample_lock);
        sampler_.sampler_selection = sampler_selection_from(settings_.monitoring);
        sampler_.interval_ms = static_cast<uint32_t>(settings_.monitoring.interval_ms);
    }
    if (wake) {
        wake_sampler(sampler_); // a new choice or interval takes effect at once
    }
}

} // namespace tide::app
