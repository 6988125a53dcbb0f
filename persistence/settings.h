// The settings record: every user choice, its defaults, its JSON form in settings.json and the repair
// pass that forces every value into its valid range.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "persistence/json.h"

namespace tide {

// A rectangle in screen pixels (the desktop read-out's saved place).
struct ScreenRect {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;

    friend bool operator==(const ScreenRect&, const ScreenRect&) = default;
};

// How a rate is turned into text (blocks `compact_units` and `main_units`).
struct UnitSettings {
    int32_t unit = 0; // SpeedUnit code 0..10, 0 = automatic
    bool bytes_when_auto = true;
    int32_t base = 0; // 0 = multiples of 1000, 1 = multiples of 1024
    int32_t precision = 1;
    char decimal_sep = '.'; // stored and repaired only; output takes its separator from the number format

    friend bool operator==(const UnitSettings&, const UnitSettings&) = default;
};

// Where the taskbar read-out sits on one monitor's secondary taskbar: the offsets (DIP) from its aligned
// anchor there, by the monitor's id. The main taskbar's place stays in offset_x and offset_y.
struct MonitorOffset {
    std::string monitor;
    int32_t x = 0;
    int32_t y = 0;

    friend bool operator==(const MonitorOffset&, const MonitorOffset&) = default;
};

// How many monitors' places are remembered; the one used longest ago is forgotten first.
inline constexpr size_t k_max_monitor_offsets = 16;

// Stores the monitor's place as the most recently used one (last), dropping the oldest beyond the limit.
void remember_monitor_offset(std::vector<MonitorOffset>& offsets, std::string_view monitor, int32_t x,
                             int32_t y);

// The remembered place of a monitor; null when there is none.
const MonitorOffset* find_monitor_offset(const std::vector<MonitorOffset>& offsets, std::string_view monitor);

// One compact read-out: `compact` (on the taskbar) or `desktop` (floating). The defaults are the
// taskbar's; desktop_defaults() gives the desktop's.
struct CompactSettings {
    bool enabled = true;
    int32_t mode = 0; // 0 on the taskbar, 1 floating at floating_rect, 2 and 3 neither
    bool native_style = true;
    bool upload_first = true;
    bool embed_in_taskbar = true;
    bool on_taskbar = true;
    int32_t layout = 0; // 0..5
    std::string monitor_id;
    int32_t align = 2; // 0 start, 1 centre, 2 end
    int32_t offset_x = 0;
    int32_t offset_y = 0;
    int32_t margin = 8;
    int32_t min_w = 40;
    int32_t min_h = 20;
    int32_t max_w = 600;
    int32_t max_h = 200;
    int32_t opacity_pct = 90;
    int32_t corner_radius = 8;
    int32_t font_size_pt = 11;
    std::string theme = "Midnight";
    bool locked = false;
    bool click_through = false;
    bool always_on_top = true;
    bool snap_to_edges = true;
    int32_t snap_threshold = 12;
    std::optional<ScreenRect> floating_rect;
    // Taskbar section only: a read-out on every taskbar there is, each secondary one placed by its monitor's
    // remembered offsets (oldest first).
    bool every_taskbar = false;
    std::vector<MonitorOffset> monitor_offsets;

    static CompactSettings desktop_defaults();

    friend bool operator==(const CompactSettings&, const CompactSettings&) = default;
};

struct GeneralSettings {
    bool start_with_windows = false;
    bool check_updates = false;
    bool show_welcome = true;
    int64_t last_update_check = 0;

    friend bool operator==(const GeneralSettings&, const GeneralSettings&) = default;
};

struct MonitoringSettings {
    int32_t interval_ms = 1000;
    std::optional<uint64_t> manual_adapter; // interface identity (luid); none = automatic choice
    bool fallback_to_auto = true;
    bool include_vpn = false;
    bool include_virtual = false;
    bool pause_when_hidden = false;
    int32_t source = 0; // what is counted: 0 this PC's interface, 1 every adapter of this PC, 2 the router

    friend bool operator==(const MonitoringSettings&, const MonitoringSettings&) = default;
};

// The dashboard window.
struct MainWindowSettings {
    std::string theme = "Midnight";
    int32_t width = 960;      // device-independent pixels
    int32_t height = 640;     // device-independent pixels
    std::optional<int32_t> x; // screen pixels; none = no stored position
    std::optional<int32_t> y;
    bool always_on_top = false;
    bool close_to_tray = true;
    bool minimize_to_tray = true;
    bool start_minimized = false;
    bool reduced_motion = false;
    bool compact_dashboard = false;

    friend bool operator==(const MainWindowSettings&, const MainWindowSettings&) = default;
};

// The usage-history window's place; it takes its theme from the dashboard.
struct UsageWindowSettings {
    int32_t width = 720;      // device-independent pixels
    int32_t height = 540;     // device-independent pixels
    std::optional<int32_t> x; // screen pixels; none = no stored position
    std::optional<int32_t> y;

    friend bool operator==(const UsageWindowSettings&, const UsageWindowSettings&) = default;
};

// What happened when settings.json was loaded; not part of the file.
enum class SettingsLoadStatus { loaded = 0, no_file = 1, repaired = 2, unreadable = 3, newer_version = 4 };

struct SettingsLoadResult {
    SettingsLoadStatus status = SettingsLoadStatus::loaded;
    uint32_t repairs = 0;
    std::string message;

    friend bool operator==(const SettingsLoadResult&, const SettingsLoadResult&) = default;
};

// The settings.json layout this version reads and writes; a higher number comes from a newer version.
inline constexpr int32_t k_settings_schema_version = 1;

// As many as the usage history remembers networks.
inline constexpr size_t k_max_plan_networks = 64;

// The whole record. A default-constructed value holds every default.
struct Settings {
    int32_t schema_version = k_settings_schema_version;
    int32_t defaults_rev = 3;
    std::string language = "system";
    GeneralSettings general;
    MonitoringSettings monitoring;
    CompactSettings compact;
    CompactSettings desktop = CompactSettings::desktop_defaults();
    MainWindowSettings main_window;
    UsageWindowSettings usage_window;
    UnitSettings compact_units;
    UnitSettings main_units;
    int32_t history_window_s = 300;
    int32_t history_retention_days = 30;
    int32_t history_mode = 0; // 1 = daily usage history kept on disk
    int32_t daily_warning_mb = 0;
    int32_t monthly_warning_mb = 0;
    int32_t billing_day = 1; // day of the month a billing period starts; past a month's end, its last day
    int32_t plan_counts = 0; // which networks the plan counts: 0 every, 1 metered, 2 those in plan_networks
    std::vector<std::string> plan_networks; // network ids, at most k_max_plan_networks
    int32_t digit_style = 0;                // 0 ASCII digits, 1 the language's own digits
    int32_t decimal_sep = 0;                // 0 by language, 1 point, 2 comma
    bool native_digits_compact = false;
    std::string font_family = "Segoe UI";
    std::map<std::string, std::string> custom_colors; // colour key -> colour text, in byte order of keys

    SettingsLoadResult load;

    friend bool operator==(const Settings&, const Settings&) = default;
};

Settings default_settings();

// Reads a parsed settings.json, migrating older revisions. Never fails: wrong kinds and missing keys
// keep their defaults, and a document that is not an object gives the defaults.
Settings settings_from_json(const JsonValue& document);

// Every key, always, in the file's order.
JsonValue settings_to_json(const Settings& settings);

// Forces every field into its valid values; returns how many repairs were made (0 = none).
uint32_t repair_settings(Settings& settings);

} // namespace tide
