// settings.json as read at start-up and written back, without the disk.
#include "persistence/settings_store.h"

#include <gtest/gtest.h>

namespace tide {
namespace {

Settings without_load(Settings settings) {
    settings.load = {};
    return settings;
}

TEST(SettingsFromFile, NoFileGivesTheDefaultsSilently) {
    const Settings settings = settings_from_file_text(std::nullopt);
    EXPECT_EQ(settings.load.status, SettingsLoadStatus::no_file);
    EXPECT_EQ(settings.load.message, "");
    EXPECT_EQ(without_load(settings), without_load(default_settings()));
    EXPECT_EQ(settings_load_report(settings.load), "");
}

class UnreadableSettings : public testing::TestWithParam<std::string> {};

TEST_P(UnreadableSettings, GiveTheDefaultsAndSaySo) {
    const Settings settings = settings_from_file_text(GetParam());
    EXPECT_EQ(settings.load.status, SettingsLoadStatus::unreadable);
    EXPECT_EQ(settings.load.repairs, 0u);
    EXPECT_EQ(without_load(settings), without_load(default_settings()));
    EXPECT_EQ(settings_load_report(settings.load),
              "settings file unreadable; defaults used, original kept as .corrupt");
}

INSTANTIATE_TEST_SUITE_P(Texts, UnreadableSettings,
                         testing::Values("", "[]", "[{\"schema_version\": 1}]", "\xEF\xBB\xBF{}",
                                         "{\"schema_version\": 1,", "null", "3", "\"text\"",
                                         "{\"schema_version\": 1} {}"));

struct LoadCase {
    const char* text;
    SettingsLoadStatus status;
    uint32_t repairs;
    const char* report;
    int32_t interval_ms;
};

void PrintTo(const LoadCase& c, std::ostream* out) {
    *out << c.text;
}

class SettingsLoad : public testing::TestWithParam<LoadCase> {};

TEST_P(SettingsLoad, ReportsWhatHappened) {
    const LoadCase& c = GetParam();
    const Settings settings = settings_from_file_text(std::string(c.text));
    EXPECT_EQ(settings.load.status, c.status);
    EXPECT_EQ(settings.load.repairs, c.repairs);
    EXPECT_EQ(settings_load_report(settings.load), c.report);
    EXPECT_EQ(settings.monitoring.interval_ms, c.interval_ms);
    EXPECT_EQ(settings.schema_version, 1);
}

constexpr auto k_loaded = SettingsLoadStatus::loaded;
constexpr auto k_repaired = SettingsLoadStatus::repaired;
constexpr auto k_newer = SettingsLoadStatus::newer_version;
constexpr const char* k_newer_text = "settings written by a newer version; not overwritten";

INSTANTIATE_TEST_SUITE_P(
    Files, SettingsLoad,
    testing::Values(
        LoadCase{"{}", k_loaded, 0, "", 1000},
        LoadCase{R"({"schema_version": 1, "monitoring": {"interval_ms": 2000}})", k_loaded, 0, "", 2000},
        LoadCase{R"({"schema_version": 0})", k_repaired, 1, "Some settings were repaired", 1000},
        LoadCase{R"({"schema_version": 1.9, "monitoring": {"interval_ms": 1500}})", k_repaired, 1,
                 "Some settings were repaired", 1000},
        LoadCase{R"({"schema_version": "2"})", k_loaded, 0, "", 1000},
        // Written by a newer version: used (repaired where this version must), reported, not counted.
        LoadCase{R"({"schema_version": 2, "monitoring": {"interval_ms": 2000}})", k_newer, 0, k_newer_text,
                 2000},
        LoadCase{R"({"schema_version": 7, "monitoring": {"interval_ms": 1500}})", k_newer, 0, k_newer_text,
                 1000}));

TEST(SettingsFileText, WritesTheRepairedRecordAndReadsBackUnchanged) {
    Settings settings = default_settings();
    settings.history_mode = 1;
    settings.monitoring.interval_ms = 2000;
    settings.history_retention_days = 0; // repaired to 1 on the way out
    const std::string text = settings_file_text(settings);
    EXPECT_EQ(text.rfind("{\n  \"schema_version\": 1,\n", 0), 0u);
    EXPECT_EQ(text.back(), '\n');

    const Settings read = settings_from_file_text(text);
    EXPECT_EQ(read.load.status, SettingsLoadStatus::loaded);
    settings.history_retention_days = 1;
    EXPECT_EQ(without_load(read), without_load(settings));
    EXPECT_EQ(settings_file_text(read), text);
}

} // namespace
} // namespace tide
