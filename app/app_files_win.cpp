// The application's files: settings and usage history loaded at start-up and saved by the timers,
// at the end of the session and at exit.
#include <chrono>
#include <mutex>

#include "app/app_win.h"
#include "app/messages_win.h"
#include "persistence/settings_store.h"
#include "persistence/settings_store_win.h"
#include "persistence/usage_win.h"

namespace tide::app {

// Runs before any window exists and before the sampler starts.
void App::load_files() {
    const std::wstring folder = data_folder();
    settings_path_ = data_file_path(folder, L"settings.json");
    settings_ = load_settings(settings_path_, settings_read_only_);
    if (const std::string report = settings_load_report(settings_.load); !report.empty()) {
        record_error(report);
    }
    hand_monitoring_to_sampler();

    usage_.path = data_file_path(folder, L"usage.json");
    if (settings_.history_mode == 1) {
        load_usage(usage_, settings_.history_retention_days, recent_errors_);
    }
}

void App::hand_monitoring_to_sampler() {
    const MonitoringSettings& monitoring = settings_.monitoring;
    SamplerSelection selection;
    selection.manual = monitoring.manual_adapter.has_value();
    selection.manual_luid = monitoring.manual_adapter.value_or(0);
    selection.fallback_to_auto = monitoring.fallback_to_auto;
    selection.include_vpn = monitoring.include_vpn;
    selection.include_virtual = monitoring.include_virtual;
    selection.pause_when_hidden = monitoring.pause_when_hidden;
    std::lock_guard hold(sampler_.sample_lock);
    sampler_.sampler_selection = selection;
    sampler_.interval_ms = static_cast<uint32_t>(monitoring.interval_ms);
}

void App::save_settings_now() {
    if (controller_window_ != nullptr) {
        KillTimer(controller_window_, k_timer_settings_save);
    }
    if (!settings_read_only_) {
        save_settings(settings_, settings_path_); // a failure keeps the old file; the next change retries
    }
}

void App::save_usage_now() {
    save_usage(usage_, settings_.history_mode, settings_.history_retention_days, recent_errors_);
}

void App::record_error(std::string_view text) {
    const auto now = std::chrono::system_clock::now().time_since_epoch();
    recent_errors_.add(std::chrono::duration_cast<std::chrono::seconds>(now).count(), text);
}

} // namespace tide::app
