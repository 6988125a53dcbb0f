// Times the JSON parser and writer on a ten-year usage.json and a full settings.json, beside RapidJSON on
// the same bytes, and prints the ratios (ours / RapidJSON; below 1 means ours is faster).
#include "persistence/json.h"

#include <rapidjson/document.h>
#include <rapidjson/prettywriter.h>
#include <rapidjson/stringbuffer.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>
#include <utility>

namespace {

using Clock = std::chrono::steady_clock;

// The usage file as the program writes it: 3650 days of [day, download, upload].
std::string make_usage_text() {
    tide::JsonValue days = tide::JsonValue::array();
    uint64_t seed = 88172645463325252ull;
    for (int day = 0; day < 3650; ++day) {
        seed ^= seed << 13;
        seed ^= seed >> 7;
        seed ^= seed << 17;
        const double download = static_cast<double>(seed % 40'000'000'000ull);
        const double upload = static_cast<double>((seed >> 20) % 4'000'000'000ull);
        days.append(tide::JsonValue::array({16073 + day, download, upload}));
    }
    return tide::serialize_json(tide::JsonValue::object({{"schema_version", 1}, {"days", std::move(days)}}),
                                2);
}

const char k_settings_text[] = R"({
  "schema_version": 1,
  "defaults_rev": 3,
  "language": "system",
  "general": {
    "start_with_windows": true,
    "check_updates": false,
    "show_welcome": false,
    "last_update_check": 1733561000
  },
  "monitoring": {
    "interval_ms": 1000,
    "manual_adapter": "1688849860263936",
    "fallback_to_auto": true,
    "include_vpn": false,
    "include_virtual": false,
    "pause_when_hidden": false
  },
  "compact": {
    "enabled": true,
    "mode": 0,
    "on_taskbar": true,
    "embed_in_taskbar": true,
    "native_style": true,
    "upload_first": true,
    "layout": 0,
    "monitor_id": "\\\\.\\DISPLAY1",
    "align": 2,
    "offset_x": 0,
    "offset_y": 0,
    "margin": 8,
    "min_w": 40,
    "min_h": 20,
    "max_w": 600,
    "max_h": 200,
    "opacity_pct": 90,
    "corner_radius": 8,
    "font_size_pt": 11,
    "theme": "Midnight",
    "locked": false,
    "click_through": false,
    "always_on_top": true,
    "snap_to_edges": true,
    "snap_threshold": 12,
    "floating_rect": null
  },
  "desktop": {
    "enabled": true,
    "mode": 1,
    "on_taskbar": false,
    "embed_in_taskbar": false,
    "native_style": false,
    "upload_first": true,
    "layout": 2,
    "monitor_id": "\\\\.\\DISPLAY2",
    "align": 2,
    "offset_x": -12,
    "offset_y": 4,
    "margin": 8,
    "min_w": 40,
    "min_h": 20,
    "max_w": 600,
    "max_h": 200,
    "opacity_pct": 85,
    "corner_radius": 10,
    "font_size_pt": 12,
    "theme": "Custom",
    "locked": true,
    "click_through": false,
    "always_on_top": true,
    "snap_to_edges": true,
    "snap_threshold": 12,
    "floating_rect": {
      "l": 1620,
      "t": 980,
      "r": 1820,
      "b": 1030
    }
  },
  "main_window": {
    "theme": "System",
    "width": 960,
    "height": 640,
    "x": 240,
    "y": -8,
    "always_on_top": false,
    "close_to_tray": true,
    "minimize_to_tray": true,
    "start_minimized": false,
    "reduced_motion": false,
    "compact_dashboard": false
  },
  "compact_units": {
    "unit": 0,
    "bytes_when_auto": true,
    "base": 0,
    "precision": 1,
    "decimal_sep": "."
  },
  "main_units": {
    "unit": 6,
    "bytes_when_auto": true,
    "base": 1,
    "precision": 2,
    "decimal_sep": ","
  },
  "history_window_s": 300,
  "history_retention_days": 365,
  "history_mode": 1,
  "daily_warning_mb": 2048,
  "monthly_warning_mb": 51200,
  "font_family": "Segoe UI Variable",
  "digit_style": 0,
  "decimal_sep": 0,
  "native_digits_compact": false,
  "custom_colors": {
    "bg": "#101820ff",
    "border": "#2a3540",
    "download": "#3ddc97",
    "error": "#ff5a5f",
    "surface": "#18222ccc",
    "text": "#f0f4f8",
    "text_muted": "#8899aa",
    "upload": "#4cc9f0",
    "warning": "#ffb703"
  }
}
)";

// Nanoseconds per call of ours and of theirs: the best of several rounds of about 50 ms each, the two
// taking turns so that both meet the same load on the machine.
template <typename Ours, typename Theirs>
std::pair<double, double> best_ns_per_call(Ours&& ours, Theirs&& theirs) {
    const auto round = [](auto& work) {
        long calls = 0;
        const Clock::time_point start = Clock::now();
        Clock::duration elapsed{};
        do {
            work();
            ++calls;
            elapsed = Clock::now() - start;
        } while (elapsed < std::chrono::milliseconds(50));
        return std::chrono::duration<double, std::nano>(elapsed).count() / static_cast<double>(calls);
    };
    std::pair<double, double> best{1e300, 1e300};
    for (int i = 0; i < 20; ++i) {
        best.first = std::min(best.first, round(ours));
        best.second = std::min(best.second, round(theirs));
    }
    return best;
}

size_t g_sink = 0;  // keeps the optimiser from dropping the work

bool compare(const char* name, const std::string& text) {
    const std::optional<tide::JsonValue> ours = tide::parse_json(text);
    rapidjson::Document theirs;
    theirs.Parse(text.data(), text.size());
    if (!ours || theirs.HasParseError()) {
        std::printf("%s: does not parse\n", name);
        return false;
    }

    const auto [parse_ours, parse_theirs] =
        best_ns_per_call([&] { g_sink += tide::parse_json(text)->members().size(); },
                         [&] {
                             rapidjson::Document doc;
                             doc.Parse(text.data(), text.size());
                             g_sink += doc.MemberCount();
                         });
    const auto [write_ours, write_theirs] =
        best_ns_per_call([&] { g_sink += tide::serialize_json(*ours, 2).size(); },
                         [&] {
                             rapidjson::StringBuffer buffer;
                             rapidjson::PrettyWriter<rapidjson::StringBuffer> writer(buffer);
                             writer.SetIndent(' ', 2);
                             theirs.Accept(writer);
                             g_sink += buffer.GetSize();
                         });

    std::printf("%s (%zu bytes)\n", name, text.size());
    std::printf("  parse: ours %9.1f us, RapidJSON %9.1f us, ratio %.2f\n", parse_ours / 1000,
                parse_theirs / 1000, parse_ours / parse_theirs);
    std::printf("  write: ours %9.1f us, RapidJSON %9.1f us, ratio %.2f\n", write_ours / 1000,
                write_theirs / 1000, write_ours / write_theirs);
    return true;
}

}  // namespace

int main() {
    const bool usage = compare("usage.json, 3650 days", make_usage_text());
    const bool settings = compare("settings.json, every key", k_settings_text);
    std::printf("(checksum %zu)\n", g_sink);
    return usage && settings ? 0 : 1;
}
