#include "persistence/settings.h"

#include <gtest/gtest.h>

#include <functional>
#include <limits>
#include <string>
#include <tuple>
#include <vector>

namespace tide {
namespace {

Settings read_text(std::string_view text) {
    const std::optional<JsonValue> document = parse_json(text);
    EXPECT_TRUE(document.has_value()) << text;
    return document ? settings_from_json(*document) : Settings{};
}

Settings round_trip(const Settings& settings) {
    return read_text(serialize_json(settings_to_json(settings), 2));
}

// One settings file: what reading and repairing it must give, as changes to the defaults.
struct FileCase {
    const char* name;
    std::string_view json;
    std::function<void(Settings&)> expected;
    uint32_t repairs;
};

void PrintTo(const FileCase& c, std::ostream* os) {
    *os << c.name;
}

class SettingsFile : public ::testing::TestWithParam<FileCase> {};

TEST_P(SettingsFile, ReadsAndRepairs) {
    const FileCase& c = GetParam();
    Settings settings = read_text(c.json);
    EXPECT_EQ(repair_settings(settings), c.repairs);
    Settings expected = default_settings();
    c.expected(expected);
    EXPECT_EQ(settings, expected);
}

TEST_P(SettingsFile, RepairedSettingsNeedNoSecondRepairAndSurviveWriting) {
    Settings settings = read_text(GetParam().json);
    repair_settings(settings);
    Settings again = settings;
    EXPECT_EQ(repair_settings(again), 0u);
    EXPECT_EQ(round_trip(settings), settings);
}

std::string bytes(size_t n) {
    return std::string(n, 'a');
}

// Keeps the file at the current revision so that only the case's own keys matter.
#define REV3 "\"defaults_rev\": 3, "

const FileCase k_file_cases[] = {
    {"EmptyObject", "{}", [](Settings&) {}, 0},
    {"NotAnObject", "[1, 2]", [](Settings&) {}, 0},
    {"OldRevisionTurnsOnBytesWhenAuto",
     R"({"compact_units": {"bytes_when_auto": false}, "main_units": {"bytes_when_auto": false}})",
     [](Settings&) {}, 0},
    {"Revision1TurnsOnBytesWhenAuto", R"({"defaults_rev": 1, "compact_units": {"bytes_when_auto": false}})",
     [](Settings&) {}, 0},
    {"Revision2KeepsBytesWhenAuto", R"({"defaults_rev": 2, "main_units": {"bytes_when_auto": false}})",
     [](Settings& s) { s.main_units.bytes_when_auto = false; }, 0},
    {"IntervalNotAChoice", "{" REV3 R"("monitoring": {"interval_ms": 1500}})", [](Settings&) {}, 1},
    {"IntervalAsString", "{" REV3 R"("monitoring": {"interval_ms": "500"}})", [](Settings&) {}, 0},
    {"IntervalTruncated", "{" REV3 R"("monitoring": {"interval_ms": 999.9}})", [](Settings&) {}, 1},
    {"IntervalChoice", "{" REV3 R"("monitoring": {"interval_ms": 250}})",
     [](Settings& s) { s.monitoring.interval_ms = 250; }, 0},
    {"FirstDuplicateWins", "{" REV3 R"("monitoring": {"interval_ms": 500, "interval_ms": 2000}})",
     [](Settings& s) { s.monitoring.interval_ms = 500; }, 0},
    {"SourceOnePastTheLast", "{" REV3 R"("monitoring": {"source": 3}})", [](Settings&) {}, 1},
    {"SourceNegative", "{" REV3 R"("monitoring": {"source": -1}})", [](Settings&) {}, 1},
    {"SourceRouter", "{" REV3 R"("monitoring": {"source": 2}})", [](Settings& s) { s.monitoring.source = 2; },
     0},
    {"SectionOfWrongKind", "{" REV3 R"("monitoring": [1], "general": "x", "main_window": null})",
     [](Settings&) {}, 0},
    {"RetentionZero", "{" REV3 R"("history_retention_days": 0})",
     [](Settings& s) { s.history_retention_days = 1; }, 1},
    {"RetentionTooLong", "{" REV3 R"("history_retention_days": 5000})",
     [](Settings& s) { s.history_retention_days = 3650; }, 1},
    {"HistoryWindow", "{" REV3 R"("history_window_s": 120})", [](Settings&) {}, 1},
    {"MaxWidthBelowMinWidth", "{" REV3 R"("compact": {"max_w": 10, "min_w": 50}})",
     [](Settings& s) { s.compact.min_w = s.compact.max_w = 50; }, 2},
    {"WidthsAtTheirLeast", "{" REV3 R"("compact": {"max_w": 20, "min_w": 20}})",
     [](Settings& s) { s.compact.min_w = s.compact.max_w = 20; }, 0},
    {"MaxHeightBelowMinHeight", "{" REV3 R"("compact": {"max_h": 5000, "min_h": 0}})",
     [](Settings& s) {
         s.compact.max_h = 2000;
         s.compact.min_h = 10;
     },
     2},
    {"CompactClamps", "{" REV3 R"("compact": {"opacity_pct": 0, "corner_radius": 33, "font_size_pt": 7,
        "margin": -1, "offset_x": -4001, "offset_y": 4001, "snap_threshold": 65, "layout": 6, "align": -1,
        "mode": 7}})",
     [](Settings& s) {
         s.compact.opacity_pct = 20;
         s.compact.corner_radius = 32;
         s.compact.font_size_pt = 8;
         s.compact.margin = 0;
         s.compact.offset_x = -4000;
         s.compact.offset_y = 4000;
         s.compact.snap_threshold = 64;
     },
     10},
    {"CompactMayNotFloat", "{" REV3 R"("compact": {"mode": 1}})", [](Settings&) {}, 1},
    {"CompactOtherModes", "{" REV3 R"("compact": {"mode": 3, "layout": 5, "align": 0}})",
     [](Settings& s) {
         s.compact.mode = 3;
         s.compact.layout = 5;
         s.compact.align = 0;
     },
     0},
    {"DesktopOnTaskbar", "{" REV3 R"("desktop": {"mode": 0, "on_taskbar": true}})", [](Settings&) {}, 2},
    {"DesktopModeOutOfRange",
     "{" REV3 R"("desktop": {"mode": 5, "native_style": true, "embed_in_taskbar": true}})", [](Settings&) {},
     3},
    {"FloatingRectEmpty", "{" REV3 R"("desktop": {"floating_rect": {"l": 10, "t": 10, "r": 10, "b": 50}}})",
     [](Settings&) {}, 1},
    {"FloatingRectMissingMembersCountZero", "{" REV3 R"("desktop": {"floating_rect": {"r": 5, "b": 6}}})",
     [](Settings& s) {
         s.desktop.floating_rect = ScreenRect{0, 0, 5, 6};
     },
     0},
    {"FloatingRectWholeRange",
     "{" REV3 R"("desktop": {"floating_rect": {"l": -2147483648, "t": -1, "r": 2147483647, "b": 0}}})",
     [](Settings& s) {
         s.desktop.floating_rect =
             ScreenRect{std::numeric_limits<int32_t>::min(), -1, std::numeric_limits<int32_t>::max(), 0};
     },
     0},
    {"FloatingRectReversed",
     "{" REV3 R"("desktop": {"floating_rect": {"l": 100, "t": 0, "r": -2147483648, "b": 9}}})",
     [](Settings&) {}, 1},
    {"FloatingRectNotAnObject", "{" REV3 R"("compact": {"floating_rect": [1, 2, 3, 4]}})", [](Settings&) {},
     0},
    {"MonitorPlacesAndEveryTaskbarRead",
     "{" REV3 R"("compact": {"every_taskbar": true, "monitor_offsets": [{"monitor": "\\\\.\\DISPLAY2",
        "x": -120, "y": 3}, {"monitor": "\\\\.\\DISPLAY9", "x": 4000, "y": -4000}]}})",
     [](Settings& s) {
         s.compact.every_taskbar = true;
         s.compact.monitor_offsets = {{"\\\\.\\DISPLAY2", -120, 3}, {"\\\\.\\DISPLAY9", 4000, -4000}};
     },
     0},
    // Not an object, a monitor that is no string or empty, an offset that is no number: each entry goes
    // alone; offsets out of range are clamped.
    {"MalformedMonitorPlacesGoAlone",
     "{" REV3 R"("compact": {"monitor_offsets": [{"monitor": "A", "x": 1, "y": 2}, 5, {"monitor": 7, "x": 1,
        "y": 1}, {"monitor": "B", "x": "3", "y": 4}, {"monitor": "", "x": 1, "y": 1}, {"monitor": "C", "y": 1},
        {"monitor": "D", "x": -4001, "y": 4001}]}})",
     [](Settings& s) {
         s.compact.monitor_offsets = {{"A", 1, 2}, {"D", -4000, 4000}};
     },
     7},
    {"MonitorPlaceRepeatedKeepsTheLater",
     "{" REV3 R"("compact": {"monitor_offsets": [{"monitor": "A", "x": 1, "y": 1}, {"monitor": "B", "x": 2,
        "y": 2}, {"monitor": "A", "x": 3, "y": 3}]}})",
     [](Settings& s) {
         s.compact.monitor_offsets = {{"B", 2, 2}, {"A", 3, 3}};
     },
     1},
    {"MonitorPlacesNotAList", "{" REV3 R"("compact": {"monitor_offsets": {"monitor": "A", "x": 1, "y": 1}}})",
     [](Settings&) {}, 0},
    {"DesktopHasNoMonitorPlaces",
     "{" REV3 R"("desktop": {"every_taskbar": true, "monitor_offsets": [{"monitor": "A", "x": 1, "y": 1}]}})",
     [](Settings&) {}, 0},
    // A floating compact section of revision 2 becomes the desktop's, which keeps no monitor places.
    {"OldFloatingCompactLosesItsMonitorPlaces",
     R"({"defaults_rev": 2, "compact": {"mode": 1, "monitor_offsets": [{"monitor": "A", "x": 1, "y": 2}]}})",
     [](Settings& s) {
         s.desktop = s.compact;
         s.desktop.mode = 1;
         s.desktop.native_style = s.desktop.embed_in_taskbar = s.desktop.on_taskbar = false;
         s.compact.enabled = false;
         s.compact.monitor_offsets = {{"A", 1, 2}};
     },
     1},
    {"OldFloatingCompactBecomesDesktop",
     R"({"defaults_rev": 2, "compact": {"mode": 1, "layout": 3, "theme": "Arctic", "opacity_pct": 50,
        "native_style": true, "floating_rect": {"l": 1, "t": 2, "r": 300, "b": 400}}})",
     [](Settings& s) {
         s.desktop = s.compact;
         s.desktop.mode = 1;
         s.desktop.layout = 3;
         s.desktop.theme = "Arctic";
         s.desktop.opacity_pct = 50;
         s.desktop.native_style = s.desktop.embed_in_taskbar = s.desktop.on_taskbar = false;
         s.desktop.floating_rect = ScreenRect{1, 2, 300, 400};
         s.compact.enabled = false;
         s.compact.layout = 3;
         s.compact.theme = "Arctic";
         s.compact.opacity_pct = 50;
         s.compact.floating_rect = ScreenRect{1, 2, 300, 400};
     },
     0},
    {"FloatingCompactWithDesktopMemberStays",
     R"({"defaults_rev": 2, "desktop": null, "compact": {"mode": 1}})", [](Settings&) {}, 1},
    {"FloatingCompactAtRevision3Stays", "{" REV3 R"("compact": {"mode": 1, "enabled": true}})",
     [](Settings&) {}, 1},
    {"ManualAdapterDigits", "{" REV3 R"("monitoring": {"manual_adapter": "123"}})",
     [](Settings& s) { s.monitoring.manual_adapter = 123; }, 0},
    {"ManualAdapterLargest", "{" REV3 R"("monitoring": {"manual_adapter": "18446744073709551615"}})",
     [](Settings& s) { s.monitoring.manual_adapter = std::numeric_limits<uint64_t>::max(); }, 0},
    {"ManualAdapterEmpty", "{" REV3 R"("monitoring": {"manual_adapter": ""}})", [](Settings&) {}, 0},
    {"ManualAdapterNonDigit", "{" REV3 R"("monitoring": {"manual_adapter": "12ab"}})", [](Settings&) {}, 0},
    {"ManualAdapterNegative", "{" REV3 R"("monitoring": {"manual_adapter": "-1"}})", [](Settings&) {}, 0},
    {"ManualAdapterBlank", "{" REV3 R"("monitoring": {"manual_adapter": " 7"}})", [](Settings&) {}, 0},
    {"ManualAdapterOverflow", "{" REV3 R"("monitoring": {"manual_adapter": "18446744073709551616"}})",
     [](Settings&) {}, 0},
    {"ManualAdapterNumber", "{" REV3 R"("monitoring": {"manual_adapter": 123}})", [](Settings&) {}, 0},
    {"UnitsSeparatorTwoBytes", "{" REV3 R"("main_units": {"decimal_sep": ",,"}})", [](Settings&) {}, 0},
    {"UnitsSeparatorOtherByte", "{" REV3 R"("main_units": {"decimal_sep": "x"}})", [](Settings&) {}, 1},
    {"UnitsSeparatorComma", "{" REV3 R"("compact_units": {"decimal_sep": ","}})",
     [](Settings& s) { s.compact_units.decimal_sep = ','; }, 0},
    {"UnitsRead", "{" REV3 R"("main_units": {"unit": 11, "base": 2, "precision": 3},
        "compact_units": {"unit": 10, "base": 1, "precision": -1}})",
     [](Settings& s) {
         s.compact_units.unit = 10;
         s.compact_units.base = 1;
         s.compact_units.precision = 0;
         s.main_units.precision = 2;
     },
     2},
    {"CustomColors",
     "{" REV3 R"("custom_colors": {"upload": "#FF000080", "foo": "#123456", "text": "red", "bg": "#000000",
        "error": 5, "bg": "#111111"}})",
     [](Settings& s) {
         s.custom_colors = {{"bg", "#111111"}, {"upload", "#FF000080"}};
     },
     2},
    {"WindowPositionClamped", "{" REV3 R"("main_window": {"x": 50000, "y": -50000.5}})",
     [](Settings& s) {
         s.main_window.x = 32000;
         s.main_window.y = -32000;
     },
     2},
    {"WindowPositionNotANumber", "{" REV3 R"("main_window": {"x": "5", "y": null}})", [](Settings&) {}, 0},
    {"WindowPositionKept", "{" REV3 R"("main_window": {"x": -1920, "y": 0}})",
     [](Settings& s) {
         s.main_window.x = -1920;
         s.main_window.y = 0;
     },
     0},
    {"WindowSize", "{" REV3 R"("main_window": {"width": 1e10, "height": 100000}})",
     [](Settings& s) {
         s.main_window.width = 7680;
         s.main_window.height = 4320;
     },
     2},
    {"UsageWindowPlace", "{" REV3 R"("usage_window": {"width": 559, "height": 4321, "x": -32001, "y": 7}})",
     [](Settings& s) {
         s.usage_window = {560, 4320, -32000, 7};
     },
     3},
    {"ThemesByExactName", "{" REV3 R"("main_window": {"theme": "midnight"}, "compact": {"theme": "Custom"},
        "desktop": {"theme": "Sunset "}})",
     [](Settings& s) { s.compact.theme = "Custom"; }, 2},
    {"SchemaVersionZero", "{" REV3 R"("schema_version": 0})", [](Settings&) {}, 1},
    {"LanguageEmpty", "{" REV3 R"("language": ""})", [](Settings&) {}, 1},
    {"LanguageSixteenBytes", "{" REV3 R"("language": "aaaaaaaaaaaaaaaa"})",
     [](Settings& s) { s.language = bytes(16); }, 0},
    {"LanguageSeventeenBytes", "{" REV3 R"("language": "aaaaaaaaaaaaaaaaa"})", [](Settings&) {}, 1},
    {"FontFamilyControlByte", "{" REV3 R"("font_family": "Segoe\tUI Light"})", [](Settings&) {}, 1},
    {"FontFamilyEmpty", "{" REV3 R"("font_family": ""})", [](Settings&) {}, 1},
    {"FontFamilyUtf8", "{" REV3 R"("font_family": "Caf\u00e9 Sans"})",
     [](Settings& s) { s.font_family = "Caf\xc3\xa9 Sans"; }, 0},
    {"TopLevelCodes", "{" REV3 R"("history_mode": 2, "digit_style": -1, "decimal_sep": 3,
        "general": {"last_update_check": -5}})",
     [](Settings&) {}, 4},
    {"TopLevelCodesKept", "{" REV3 R"("history_mode": 1, "digit_style": 1, "decimal_sep": 2,
        "native_digits_compact": true, "general": {"last_update_check": 1700000000123, "show_welcome": false}})",
     [](Settings& s) {
         s.history_mode = 1;
         s.digit_style = 1;
         s.decimal_sep = 2;
         s.native_digits_compact = true;
         s.general.last_update_check = 1700000000123;
         s.general.show_welcome = false;
     },
     0},
    {"LastUpdateCheckHuge", "{" REV3 R"("general": {"last_update_check": 1e300}})", [](Settings&) {}, 1},
    {"WarningLimits", "{" REV3 R"("daily_warning_mb": -1, "monthly_warning_mb": 2e8})",
     [](Settings& s) { s.monthly_warning_mb = 100000000; }, 2},
    {"BillingDayZero", "{" REV3 R"("billing_day": 0})", [](Settings&) {}, 1},
    {"BillingDayPastAnyMonth", "{" REV3 R"("billing_day": 45})", [](Settings& s) { s.billing_day = 31; }, 1},
    {"BillingDayNotANumber", "{" REV3 R"("billing_day": "x"})", [](Settings&) {}, 0},
    {"BillingDayRangeKept", "{" REV3 R"("billing_day": 31, "monthly_warning_mb": 10})",
     [](Settings& s) {
         s.billing_day = 31;
         s.monthly_warning_mb = 10;
     },
     0},
};

INSTANTIATE_TEST_SUITE_P(Cases, SettingsFile, ::testing::ValuesIn(k_file_cases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(SettingsFile, MonitorIdLongerThan256BytesIsEmptied) {
    for (const auto& [length, repairs] : {std::pair{256u, 0u}, std::pair{257u, 1u}}) {
        Settings settings = read_text(R"({"desktop": {"monitor_id": ")" + bytes(length) + "\"}}");
        EXPECT_EQ(repair_settings(settings), repairs);
        EXPECT_EQ(settings.desktop.monitor_id, repairs ? "" : bytes(length));
    }
}

TEST(SettingsFile, MonitorPlaceIdOf256BytesStays) {
    for (const auto& [length, repairs] : {std::pair{256u, 0u}, std::pair{257u, 1u}}) {
        Settings settings = read_text(R"({"defaults_rev": 3, "compact": {"monitor_offsets": [{"monitor": ")" +
                                      bytes(length) + R"(", "x": 1, "y": 2}]}})");
        EXPECT_EQ(repair_settings(settings), repairs);
        EXPECT_EQ(settings.compact.monitor_offsets.size(), repairs ? 0u : 1u) << length;
    }
}

TEST(SettingsFile, FontFamilyOf64BytesStays) {
    for (const auto& [length, repairs] : {std::pair{64u, 0u}, std::pair{65u, 1u}}) {
        Settings settings = read_text(R"({"font_family": ")" + bytes(length) + "\"}");
        EXPECT_EQ(repair_settings(settings), repairs);
    }
}

// Every numeric key set far past either end of the 32-bit range reads as that end, then is repaired:
// what the written file holds afterwards. "b." stands for both read-out blocks.
TEST(SettingsFile, OutOfRangeNumbersSaturateBeforeTheirRepair) {
    const std::tuple<std::string, double, double> keys[] = {{"schema_version", 1, 1},
                                                            {"history_window_s", 300, 300},
                                                            {"history_retention_days", 3650, 1},
                                                            {"history_mode", 0, 0},
                                                            {"daily_warning_mb", 1e8, 0},
                                                            {"monthly_warning_mb", 1e8, 0},
                                                            {"billing_day", 31, 1},
                                                            {"digit_style", 0, 0},
                                                            {"decimal_sep", 0, 0},
                                                            {"monitoring.interval_ms", 1000, 1000},
                                                            {"monitoring.source", 0, 0},
                                                            {"main_window.width", 7680, 480},
                                                            {"main_window.height", 4320, 360},
                                                            {"main_window.x", 32000, -32000},
                                                            {"main_window.y", 32000, -32000},
                                                            {"usage_window.width", 7680, 560},
                                                            {"usage_window.height", 4320, 440},
                                                            {"usage_window.x", 32000, -32000},
                                                            {"usage_window.y", 32000, -32000},
                                                            {"main_units.unit", 0, 0},
                                                            {"main_units.base", 0, 0},
                                                            {"main_units.precision", 2, 0},
                                                            {"compact_units.precision", 2, 0},
                                                            {"compact.mode", 0, 0},
                                                            {"desktop.mode", 1, 1},
                                                            {"b.layout", 0, 0},
                                                            {"b.align", 2, 2},
                                                            {"b.offset_x", 4000, -4000},
                                                            {"b.offset_y", 4000, -4000},
                                                            {"b.margin", 64, 0},
                                                            {"b.min_w", 2000, 20},
                                                            {"b.min_h", 1000, 10},
                                                            {"b.max_w", 4000, 40},
                                                            {"b.max_h", 2000, 20},
                                                            {"b.opacity_pct", 100, 20},
                                                            {"b.corner_radius", 32, 0},
                                                            {"b.font_size_pt", 48, 8},
                                                            {"b.snap_threshold", 64, 0}};
    for (const auto& [key, high, low] : keys) {
        for (const auto& [number, expected] : {std::pair{"1e10", high}, std::pair{"-1e12", low}}) {
            for (const std::string& block : key.starts_with("b.")
                                                ? std::vector<std::string>{"compact.", "desktop."}
                                                : std::vector<std::string>{""}) {
                const std::string path = block + key.substr(block.empty() ? 0 : 2);
                const size_t dot = path.find('.');
                const std::string member = "\"" + path.substr(dot + 1) + "\": " + number;
                Settings settings = read_text("{" REV3 +
                                              (dot == std::string::npos
                                                   ? member
                                                   : "\"" + path.substr(0, dot) + "\": {" + member + "}") +
                                              "}");
                repair_settings(settings);
                const JsonValue written = settings_to_json(settings);
                const JsonValue* value =
                    dot == std::string::npos
                        ? find_member(written, path)
                        : find_member(find_member(written, path.substr(0, dot)), path.substr(dot + 1));
                ASSERT_TRUE(value && value->is_number()) << path;
                EXPECT_EQ(value->as_number(), expected) << path << " " << number;
            }
        }
    }
}

TEST(SettingsRecord, DefaultsNeedNoRepair) {
    Settings settings = default_settings();
    EXPECT_EQ(repair_settings(settings), 0u);
    EXPECT_EQ(settings, Settings{});
    EXPECT_FALSE(settings.desktop.enabled);
    EXPECT_EQ(settings.desktop.mode, 1);
}

TEST(SettingsRecord, EveryFieldSurvivesWriting) {
    Settings s = default_settings();
    s.language = "de";
    s.general = {true, true, false, 1712345678};
    s.monitoring = {2000, 987654321012345678u, false, true, true, true};
    s.compact.monitor_id = "\\\\.\\DISPLAY2";
    s.compact.floating_rect = ScreenRect{-1920, 0, -1800, 40};
    s.compact.offset_x = -12;
    s.compact.locked = true;
    s.compact.upload_first = false;
    s.desktop.theme = "Custom";
    s.desktop.click_through = true;
    s.desktop.snap_to_edges = false;
    s.main_window = {"System", 1200, 800, -7, 12, true, false, false, true, true, true};
    s.compact_units = {4, false, 1, 2, ','};
    s.main_units = {0, true, 0, 0, '.'};
    s.history_window_s = 3600;
    s.history_retention_days = 365;
    s.history_mode = 1;
    s.daily_warning_mb = 500;
    s.monthly_warning_mb = 100000000;
    s.billing_day = 29;
    s.digit_style = 1;
    s.decimal_sep = 2;
    s.native_digits_compact = true;
    s.font_family = "Consolas";
    s.custom_colors = {{"upload", "#FF000080"}, {"bg", "#000000"}};
    Settings copy = s;
    ASSERT_EQ(repair_settings(copy), 0u);
    EXPECT_EQ(round_trip(s), s);
}

// The whole default file, as save writes it.
constexpr std::string_view k_default_file = R"({
  "schema_version": 1,
  "defaults_rev": 3,
  "language": "system",
  "general": {
    "start_with_windows": false,
    "check_updates": false,
    "show_welcome": true,
    "last_update_check": 0
  },
  "monitoring": {
    "interval_ms": 1000,
    "manual_adapter": null,
    "fallback_to_auto": true,
    "include_vpn": false,
    "include_virtual": false,
    "pause_when_hidden": false,
    "source": 0
  },
  "compact": {
    "enabled": true,
    "mode": 0,
    "on_taskbar": true,
    "embed_in_taskbar": true,
    "native_style": true,
    "upload_first": true,
    "layout": 0,
    "monitor_id": "",
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
    "floating_rect": null,
    "every_taskbar": false,
    "monitor_offsets": []
  },
  "desktop": {
    "enabled": false,
    "mode": 1,
    "on_taskbar": false,
    "embed_in_taskbar": false,
    "native_style": false,
    "upload_first": true,
    "layout": 0,
    "monitor_id": "",
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
  "main_window": {
    "theme": "Midnight",
    "width": 960,
    "height": 640,
    "x": null,
    "y": null,
    "always_on_top": false,
    "close_to_tray": true,
    "minimize_to_tray": true,
    "start_minimized": false,
    "reduced_motion": false,
    "compact_dashboard": false
  },
  "usage_window": {
    "width": 720,
    "height": 540,
    "x": null,
    "y": null
  },
  "compact_units": {
    "unit": 0,
    "bytes_when_auto": true,
    "base": 0,
    "precision": 1,
    "decimal_sep": "."
  },
  "main_units": {
    "unit": 0,
    "bytes_when_auto": true,
    "base": 0,
    "precision": 1,
    "decimal_sep": "."
  },
  "history_window_s": 300,
  "history_retention_days": 30,
  "history_mode": 0,
  "daily_warning_mb": 0,
  "monthly_warning_mb": 0,
  "billing_day": 1,
  "plan_counts": 0,
  "plan_networks": [],
  "font_family": "Segoe UI",
  "digit_style": 0,
  "decimal_sep": 0,
  "native_digits_compact": false,
  "custom_colors": {}
}
)";

TEST(SettingsText, DefaultsAreWrittenInFileOrder) {
    EXPECT_EQ(serialize_json(settings_to_json(default_settings()), 2), k_default_file);
    EXPECT_EQ(read_text(k_default_file), default_settings());
}

TEST(SettingsText, OptionalValuesAndColoursAreWrittenInTheirForms) {
    Settings s = default_settings();
    s.monitoring.manual_adapter = 18446744073709551615u;
    s.main_window.x = -5;
    s.desktop.floating_rect = ScreenRect{1, 2, 3, 4};
    s.custom_colors = {{"upload", "#60A5FA"}, {"bg", "#000000"}, {"border", "#FFFFFF80"}};
    const JsonValue json = settings_to_json(s);
    auto text_of = [&](std::string_view section, std::string_view key) {
        const JsonValue* member = find_member(section.empty() ? &json : find_member(json, section), key);
        return member ? serialize_json(*member, 0) : std::string("(missing)");
    };
    EXPECT_EQ(text_of("monitoring", "manual_adapter"), R"("18446744073709551615")");
    EXPECT_EQ(text_of("main_window", "x"), "-5");
    EXPECT_EQ(text_of("main_window", "y"), "null");
    EXPECT_EQ(text_of("desktop", "floating_rect"), R"({"l":1,"t":2,"r":3,"b":4})");
    EXPECT_EQ(text_of("compact", "floating_rect"), "null");
    EXPECT_EQ(text_of("", "custom_colors"), R"({"bg":"#000000","border":"#FFFFFF80","upload":"#60A5FA"})");
}

std::vector<MonitorOffset> places(int first, int last) {
    std::vector<MonitorOffset> list;
    for (int i = first; i <= last; ++i) {
        list.push_back({"M" + std::to_string(i), i, -i});
    }
    return list;
}

// One monitor id per place, the newest last; the 17th forgets the oldest.
TEST(MonitorPlaces, RememberedNewestLastAndOldestForgotten) {
    struct Row {
        std::vector<MonitorOffset> before;
        std::string monitor;
        std::vector<MonitorOffset> after;
    };
    std::vector<MonitorOffset> moved = places(0, 15);
    moved.erase(moved.begin() + 3);
    moved.push_back({"M3", 7, 8});
    std::vector<MonitorOffset> sixteen = places(0, 14);
    sixteen.push_back({"M99", 7, 8});
    std::vector<MonitorOffset> seventeen = places(1, 15);
    seventeen.push_back({"M99", 7, 8});
    const Row rows[] = {
        {{}, "M99", {{"M99", 7, 8}}},
        {places(0, 15), "M3", moved},
        {places(0, 14), "M99", sixteen},
        {places(0, 15), "M99", seventeen},
    };
    for (const Row& row : rows) {
        std::vector<MonitorOffset> list = row.before;
        remember_monitor_offset(list, row.monitor, 7, 8);
        EXPECT_EQ(list, row.after) << row.before.size() << " places, " << row.monitor;
    }
    const std::vector<MonitorOffset> list = places(0, 2);
    ASSERT_NE(find_monitor_offset(list, "M1"), nullptr);
    EXPECT_EQ(*find_monitor_offset(list, "M1"), (MonitorOffset{"M1", 1, -1}));
    EXPECT_EQ(find_monitor_offset(list, "M"), nullptr);
}

// A file of 18 places (written by hand, or by a version without the limit) keeps the newest 16.
TEST(MonitorPlaces, FileBeyondTheLimitKeepsTheNewest) {
    std::string text = "{" REV3 R"("compact": {"monitor_offsets": [)";
    for (const MonitorOffset& o : places(0, 17)) {
        text +=
            (o.x == 0 ? "" : ", ") + ("{\"monitor\": \"" + o.monitor + "\", \"x\": " + std::to_string(o.x) +
                                      ", \"y\": " + std::to_string(o.y) + "}");
    }
    text += "]}}";
    Settings settings = read_text(text);
    EXPECT_EQ(repair_settings(settings), 2u);
    EXPECT_EQ(settings.compact.monitor_offsets, places(2, 17));
    EXPECT_EQ(round_trip(settings), settings);
}

TEST(SettingsText, UnknownKeysAreDropped) {
    const Settings s = read_text(R"({"extra": 1, "general": {"extra": true}, "defaults_rev": 3})");
    const std::string text = serialize_json(settings_to_json(s), 0);
    EXPECT_EQ(text.find("extra"), std::string::npos);
    EXPECT_EQ(s, default_settings());
}

} // namespace
} // namespace tide
