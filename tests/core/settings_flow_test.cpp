#include "app/settings_flow.h"

#include <gtest/gtest.h>

#include "base/recent_errors.h"

namespace tide {
namespace {

// The settings window's edit when its controls were loaded from `edited` (as Reset loads the defaults)
// and left alone.
ui::SettingsEdit edit_to(const Settings& opened, const Settings& edited) {
    const ui::FormValues shown = ui::load_form(edited);
    return {opened, edited, shown, shown, {}, {}};
}

TEST(SamplerSelectionFrom, CopiesTheMonitoringSettings) {
    MonitoringSettings m;
    EXPECT_FALSE(sampler_selection_from(m).manual);
    m.manual_adapter = 0; // a luid of 0 is still a manual choice
    m.fallback_to_auto = false;
    m.include_vpn = true;
    m.include_virtual = true;
    m.pause_when_hidden = true;
    const SamplerSelection s = sampler_selection_from(m);
    EXPECT_TRUE(s.manual);
    EXPECT_EQ(s.manual_luid, 0u);
    EXPECT_FALSE(s.fallback_to_auto);
    EXPECT_TRUE(s.include_vpn);
    EXPECT_TRUE(s.include_virtual);
    EXPECT_TRUE(s.pause_when_hidden);
    EXPECT_EQ(s.source, MonitorSource::interface_);
    for (const auto& [stored, source] : {std::pair{1, MonitorSource::adapters},
                                         {2, MonitorSource::router},
                                         {3, MonitorSource::interface_},
                                         {-1, MonitorSource::interface_}}) {
        m.source = stored;
        EXPECT_EQ(sampler_selection_from(m).source, source) << stored;
    }
}

TEST(MergeEditedSettings, KeepsTheWindowsPlacesFromTheLiveSettings) {
    Settings live;
    live.compact.offset_x = 11;
    live.compact.monitor_id = "\\\\.\\DISPLAY2";
    live.desktop.floating_rect = ScreenRect{10, 20, 210, 80};
    live.main_window.width = 1000;
    live.main_window.x = 40;

    Settings edited; // Reset, with one more change
    edited.main_window.theme = "Emerald";
    merge_edited_settings(live, edit_to(live, edited));
    EXPECT_EQ(live.main_window.theme, "Emerald");
    EXPECT_EQ(live.compact.offset_x, 11);
    EXPECT_EQ(live.compact.monitor_id, "\\\\.\\DISPLAY2");
    EXPECT_EQ(live.desktop.floating_rect, (ScreenRect{10, 20, 210, 80}));
    EXPECT_EQ(live.main_window.width, 1000);
    EXPECT_EQ(live.main_window.x, std::optional<int32_t>(40));
}

TEST(MergeEditedSettings, RepairsTheEdit) {
    Settings live;
    Settings edited;
    edited.monitoring.interval_ms = 5; // below the shortest interval
    merge_edited_settings(live, edit_to(live, edited));
    EXPECT_EQ(live.monitoring.interval_ms, default_settings().monitoring.interval_ms);
}

struct OutcomeCase {
    const char* name;
    void (*edit)(Settings&);
    bool language, interval, history_on;
    bool source = false;
};

class MergeOutcome : public testing::TestWithParam<OutcomeCase> {};

TEST_P(MergeOutcome, SaysWhatChanged) {
    Settings live;
    Settings edited = live;
    GetParam().edit(edited);
    const EditOutcome out = merge_edited_settings(live, edit_to(live, edited));
    EXPECT_EQ(out.language_changed, GetParam().language);
    EXPECT_EQ(out.interval_changed, GetParam().interval);
    EXPECT_EQ(out.history_switched_on, GetParam().history_on);
    EXPECT_EQ(out.source_changed, GetParam().source);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MergeOutcome,
    testing::Values(
        OutcomeCase{"ThemeOnly", [](Settings& s) { s.compact.theme = "Emerald"; }, false, false, false},
        OutcomeCase{"Interval", [](Settings& s) { s.monitoring.interval_ms = 500; }, false, true, false},
        OutcomeCase{"Language", [](Settings& s) { s.language = "de"; }, true, false, false},
        OutcomeCase{"HistoryOn", [](Settings& s) { s.history_mode = 1; }, false, false, true},
        OutcomeCase{"Source", [](Settings& s) { s.monitoring.source = 2; }, false, false, false, true}),
    [](const testing::TestParamInfo<OutcomeCase>& info) { return std::string(info.param.name); });

TEST(NetworkEntries, CarryTheUsersNameAndTheNameWithoutIt) {
    NetworkList networks;
    networks.see("gw:a", "", false, 100);
    networks.see("nlm:{B}", "AndroidAP", true, 100);
    networks.rename("gw:a", "Home");
    networks.set_user_metered("nlm:{B}", false);
    const std::vector<ui::NetworkEntry> entries = network_entries(networks, {"", "", "Netz {0}"});
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0], (ui::NetworkEntry{"gw:a", "Home", "Netz 1", false, std::nullopt}));
    EXPECT_EQ(entries[1], (ui::NetworkEntry{"nlm:{B}", "", "AndroidAP", true, false}));
}

TEST(ApplyNetworkEdits, RenamesMarksAndForgetsWithTheTotalsUnchanged) {
    UsageStore store;
    store.see_network("gw:a", "", false, 100);
    store.see_network("nlm:{B}", "AndroidAP", true, 100);
    store.add(100, "gw:a", 1000, 10);
    store.add(100, "nlm:{B}", 500, 5);
    EXPECT_FALSE(apply_network_edits(store, {}));
    EXPECT_FALSE(apply_network_edits(store, {{{"gw:gone", "X"}}, {{"gw:gone", true}}, {"gw:gone"}}));

    EXPECT_TRUE(apply_network_edits(store, {{{"gw:a", "Home"}}, {}, {}}));
    EXPECT_EQ(store.networks().find("gw:a")->user_name, "Home");
    EXPECT_TRUE(apply_network_edits(store, {{}, {{"nlm:{B}", false}}, {}}));
    EXPECT_EQ(store.networks().find("nlm:{B}")->user_metered, std::optional<bool>{false});
    EXPECT_TRUE(apply_network_edits(store, {{}, {}, {"nlm:{B}"}}));
    EXPECT_EQ(store.networks().find("nlm:{B}"), nullptr);
    EXPECT_EQ(store.get(100), (DayTotals{1500, 15}));
    EXPECT_EQ(store.network_get(100, ""), (DayTotals{500, 5})); // "Other networks"
    EXPECT_EQ(store.network_get(100, "gw:a"), (DayTotals{1000, 10}));
}

TEST(SetTaskbarDisplay, OnPutsItOnTheTaskbarOffOnlyDisables) {
    Settings s;
    s.compact.mode = 2;
    s.compact.on_taskbar = false;
    s.compact.enabled = false;
    set_taskbar_display_setting(s, true);
    EXPECT_TRUE(s.compact.enabled);
    EXPECT_TRUE(s.compact.on_taskbar);
    EXPECT_EQ(s.compact.mode, 0);
    set_taskbar_display_setting(s, false);
    EXPECT_FALSE(s.compact.enabled);
    EXPECT_TRUE(s.compact.on_taskbar);
    EXPECT_EQ(s.compact.mode, 0);
}

TEST(RecentErrorsList, KeepsTheNewestFifty) {
    RecentErrors errors;
    for (int i = 0; i < 51; ++i) {
        errors.add(i, "error " + std::to_string(i));
    }
    ASSERT_EQ(errors.entries().size(), 50u);
    EXPECT_EQ(errors.entries().front().text, "error 1");
    EXPECT_EQ(errors.entries().back().time, 50);
}

} // namespace
} // namespace tide
