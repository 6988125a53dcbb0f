#include "ui/settings/settings_edit.h"

#include <gtest/gtest.h>

#include "presentation/localization.h"
#include "presentation/theme.h"
#include "tests/core/odd_settings.h"

namespace tide::ui {
namespace {

// The odd record, with a theme that is not a choice as well.
Settings odd_edit_record() {
    Settings s = odd_record();
    s.desktop.theme = "Nope";
    return s;
}

// What the tray, the dashboard and a drag change while the settings window is open.
void change_elsewhere(Settings& s) {
    s.monitoring.manual_adapter = 7;
    s.compact.locked = true;
    s.desktop.locked = true;
    s.desktop.enabled = true;
    s.history_window_s = 60;
    s.desktop.floating_rect = ScreenRect{10, 20, 210, 80};
}

struct EditCase {
    const char* name;
    int id; // the control the user leaves on `value`; 0 for none
    int value;
    void (*expect)(Settings&);
};

void PrintTo(const EditCase& c, std::ostream* os) {
    *os << c.name;
}

class EditRule : public testing::TestWithParam<EditCase> {};

TEST_P(EditRule, WritesOnlyWhatTheUserChangedIntoTheLiveRecord) {
    const EditCase& c = GetParam();
    const EditTracker edits(odd_edit_record());
    FormValues now = edits.shown();
    if (c.id != 0) {
        now[c.id] = c.value;
    }
    Settings live = odd_edit_record();
    change_elsewhere(live);
    Settings expected = live;
    c.expect(expected);
    EXPECT_EQ(apply_edit(edits.edit(now), live), expected);
}

const auto nothing = [](Settings&) {};

INSTANTIATE_TEST_SUITE_P(
    Table, EditRule,
    testing::Values(
        EditCase{"untouched", 0, 0, nothing},
        EditCase{"retention", id_retention, 2, [](Settings& s) { s.history_retention_days = 90; }},
        EditCase{"text size", id_compact_font_size, 7, [](Settings& s) { s.compact.font_size_pt = 16; }},
        EditCase{"opacity", id_desktop_opacity, 9, [](Settings& s) { s.desktop.opacity_pct = 45; }},
        EditCase{"unit to both blocks", id_speed_unit, 2,
                 [](Settings& s) { s.compact_units.unit = s.main_units.unit = 8; }},
        EditCase{"precision to both blocks", id_precision, 0,
                 [](Settings& s) { s.compact_units.precision = s.main_units.precision = 0; }},
        EditCase{"language", id_language, 1, [](Settings& s) { s.language = language_list()[0].code; }},
        EditCase{"theme", id_desktop_theme, 1, [](Settings& s) { s.desktop.theme = theme_choices()[1]; }},
        EditCase{"history off", id_persist_history, 0, [](Settings& s) { s.history_mode = 0; }}));

TEST(EditRule, ResetChangesWhatItChangesAndNothingChangedElsewhere) {
    EditTracker edits(odd_edit_record());
    edits.reset_to_defaults();
    Settings live = odd_edit_record();
    change_elsewhere(live);

    Settings expected = default_settings();
    change_elsewhere(expected);
    expected.history_window_s = default_settings().history_window_s; // Reset changed it too: the later word
    EXPECT_EQ(apply_edit(edits.edit(edits.shown()), live), expected);

    FormValues now = edits.shown();
    now[id_retention] = 3;
    expected.history_retention_days = 180;
    EXPECT_EQ(apply_edit(edits.edit(now), live), expected);
}

// The ticks go into the live list as it is then, and the list stays within its 64 ids.
TEST(EditRule, PlanNetworksTakeOnlyTheChangedTicks) {
    const EditTracker edits(Settings{});
    SettingsEdit edit = edits.edit(edits.shown());
    Settings live;
    live.plan_networks = {"gw:x", "gw:a"}; // changed elsewhere
    edit.plan_networks = {{"gw:b"}, {"gw:a"}, {"gw:a", "gw:b"}};
    EXPECT_EQ(apply_edit(edit, live).plan_networks, (std::vector<std::string>{"gw:x", "gw:b"}));

    live.plan_networks.clear();
    for (int i = 0; i < 63; ++i) {
        live.plan_networks.push_back("gw:" + std::to_string(i));
    }
    edit.plan_networks = {{"gw:b"}, {}, {"gw:b"}};
    const std::vector<std::string> sixty_four = apply_edit(edit, live).plan_networks;
    ASSERT_EQ(sixty_four.size(), 64u);
    EXPECT_EQ(sixty_four.front(), "gw:0");
    EXPECT_EQ(sixty_four.back(), "gw:b");
    live.plan_networks.push_back("gw:63");
    const std::vector<std::string> still = apply_edit(edit, live).plan_networks;
    ASSERT_EQ(still.size(), 64u);
    EXPECT_EQ(still.front(), "gw:1"); // the oldest id the window did not show made room
    EXPECT_EQ(still.back(), "gw:b");
}

} // namespace
} // namespace tide::ui
