#include "ui/settings/settings_form.h"
#include "ui/settings/settings_edit.h"

#include <gtest/gtest.h>

#include <functional>
#include <set>

#include "presentation/localization.h"
#include "presentation/theme.h"

namespace tide::ui {
namespace {

// OK pressed without touching anything.
Settings round_trip(const Settings& stored) {
    const EditTracker edits(stored);
    return apply_edit(edits.edit(edits.shown()), stored);
}

// A user changes one control, then presses OK.
Settings with_change(const Settings& stored, int id, int value) {
    const EditTracker edits(stored);
    FormValues now = edits.shown();
    now[id] = value;
    return apply_edit(edits.edit(now), stored);
}

// Apply pressed with the controls showing `now`.
void press_apply(EditTracker& edits, Settings& live, const FormValues& now) {
    const SettingsEdit edit = edits.edit(now);
    live = apply_edit(edit, live);
    edits.applied(edit);
}

TEST(SettingsForm, OkWithoutChangesKeepsEveryDefault) {
    EXPECT_EQ(round_trip(Settings{}), Settings{});
}

TEST(SettingsForm, OkWithoutChangesKeepsAnotherValidRecord) {
    Settings s;
    s.language = "ar";
    s.monitoring.interval_ms = 250;
    s.compact_units.unit = 3;
    s.main_units.unit = 3;
    s.compact_units.precision = 2;
    s.main_units.precision = 2;
    s.decimal_sep = 2;
    s.digit_style = 1;
    s.compact.mode = 1;
    s.compact.font_size_pt = 18;
    s.compact.theme = "System";
    s.desktop.theme = "Custom";
    s.main_window.theme = theme_choices()[3];
    s.desktop.opacity_pct = 35;
    s.history_mode = 1;
    s.history_retention_days = 365;
    EXPECT_EQ(round_trip(s), s);
}

struct NumberListCase {
    const char* name;
    int id;
    std::function<void(Settings&, int32_t)> set;
    std::function<int32_t(const Settings&)> get;
    int32_t stored;
    int shown;
    int32_t after_ok;
};

void PrintTo(const NumberListCase& c, std::ostream* os) {
    *os << c.name << " " << c.stored;
}

class NumberLists : public testing::TestWithParam<NumberListCase> {};

TEST_P(NumberLists, ShowNearestEntryAndStoreAsTheRuleSays) {
    const NumberListCase& c = GetParam();
    Settings s;
    c.set(s, c.stored);
    EXPECT_EQ(load_form(s)[c.id], c.shown);
    EXPECT_EQ(c.get(round_trip(s)), c.after_ok);
}

const auto set_retention = [](Settings& s, int32_t v) { s.history_retention_days = v; };
const auto get_retention = [](const Settings& s) { return s.history_retention_days; };
const auto set_interval = [](Settings& s, int32_t v) { s.monitoring.interval_ms = v; };
const auto get_interval = [](const Settings& s) { return s.monitoring.interval_ms; };
const auto set_compact_size = [](Settings& s, int32_t v) { s.compact.font_size_pt = v; };
const auto get_compact_size = [](const Settings& s) { return s.compact.font_size_pt; };
const auto set_desktop_size = [](Settings& s, int32_t v) { s.desktop.font_size_pt = v; };
const auto get_desktop_size = [](const Settings& s) { return s.desktop.font_size_pt; };
const auto set_opacity = [](Settings& s, int32_t v) { s.compact.opacity_pct = v; };
const auto get_opacity = [](const Settings& s) { return s.compact.opacity_pct; };
const auto set_desktop_opacity = [](Settings& s, int32_t v) { s.desktop.opacity_pct = v; };
const auto get_desktop_opacity = [](const Settings& s) { return s.desktop.opacity_pct; };
const auto set_unit = [](Settings& s, int32_t v) {
    s.compact_units.unit = v;
    s.main_units.unit = v;
};
const auto get_unit = [](const Settings& s) { return s.main_units.unit * 100 + s.compact_units.unit; };

INSTANTIATE_TEST_SUITE_P(
    Table, NumberLists,
    testing::Values(
        // The tie 60 between 30 and 90 shows 30; left alone, every list keeps what it cannot show.
        NumberListCase{"retention", id_retention, set_retention, get_retention, 60, 1, 60},
        NumberListCase{"retention", id_retention, set_retention, get_retention, 61, 2, 61},
        NumberListCase{"retention", id_retention, set_retention, get_retention, 1, 0, 1},
        NumberListCase{"retention", id_retention, set_retention, get_retention, 3650, 4, 3650},
        NumberListCase{"retention", id_retention, set_retention, get_retention, 180, 3, 180},
        NumberListCase{"interval", id_interval, set_interval, get_interval, 250, 0, 250},
        NumberListCase{"interval", id_interval, set_interval, get_interval, 750, 1, 750},
        NumberListCase{"interval", id_interval, set_interval, get_interval, 3500, 3, 3500},
        NumberListCase{"interval", id_interval, set_interval, get_interval, 60000, 5, 60000},
        // Text sizes keep an unlisted size while the list is left alone; the tie goes to the smaller.
        NumberListCase{"compact size", id_compact_font_size, set_compact_size, get_compact_size, 15, 6, 15},
        NumberListCase{"compact size", id_compact_font_size, set_compact_size, get_compact_size, 17, 7, 17},
        NumberListCase{"compact size", id_compact_font_size, set_compact_size, get_compact_size, 48, 8, 48},
        NumberListCase{"compact size", id_compact_font_size, set_compact_size, get_compact_size, 8, 0, 8},
        NumberListCase{"desktop size", id_desktop_font_size, set_desktop_size, get_desktop_size, 15, 6, 15},
        NumberListCase{"desktop size", id_desktop_font_size, set_desktop_size, get_desktop_size, 30, 8, 30},
        // Opacity shows the 5 % step below.
        NumberListCase{"opacity", id_compact_opacity, set_opacity, get_opacity, 42, 8, 42},
        NumberListCase{"opacity", id_compact_opacity, set_opacity, get_opacity, 20, 4, 20},
        NumberListCase{"opacity", id_compact_opacity, set_opacity, get_opacity, 100, 20, 100},
        NumberListCase{"opacity", id_compact_opacity, set_opacity, get_opacity, 99, 19, 99},
        NumberListCase{"desktop opacity", id_desktop_opacity, set_desktop_opacity, get_desktop_opacity, 42, 8,
                       42},
        // A unit the list cannot show (bytes, bits, terabits) shows "automatic" and stays.
        NumberListCase{"unit", id_speed_unit, set_unit, get_unit, 6, 0, 606},
        NumberListCase{"unit", id_speed_unit, set_unit, get_unit, 1, 0, 101},
        NumberListCase{"unit", id_speed_unit, set_unit, get_unit, 10, 0, 1010},
        NumberListCase{"unit", id_speed_unit, set_unit, get_unit, 0, 0, 0},
        NumberListCase{"unit", id_speed_unit, set_unit, get_unit, 9, 3, 909},
        NumberListCase{"unit", id_speed_unit, set_unit, get_unit, 2, 4, 202}));

TEST(SettingsForm, ChangedTextSizeListStoresItsEntry) {
    Settings s;
    s.compact.font_size_pt = 15;
    EXPECT_EQ(with_change(s, id_compact_font_size, 7).compact.font_size_pt, 16);
    EXPECT_EQ(with_change(s, id_compact_font_size, 0).compact.font_size_pt, 8);
    // Back on the position it showed: nothing was chosen, the stored size stays.
    EXPECT_EQ(with_change(s, id_compact_font_size, 6).compact.font_size_pt, 15);
}

TEST(SettingsForm, TextSizeAppliedOnceIsRememberedForTheNextApply) {
    Settings s;
    s.desktop.font_size_pt = 15;
    EditTracker edits(s);
    FormValues now = edits.shown();
    now[id_desktop_font_size] = 5; // 13 pt, applied
    press_apply(edits, s, now);
    EXPECT_EQ(s.desktop.font_size_pt, 13);
    now[id_desktop_font_size] = 6; // then 14 pt: a change from what was applied
    press_apply(edits, s, now);
    EXPECT_EQ(s.desktop.font_size_pt, 14);
}

TEST(SettingsForm, UnlistedUnitIsReplacedOnlyByAnotherEntry) {
    Settings s;
    set_unit(s, 6);
    const Settings kbs = with_change(s, id_speed_unit, 1);
    EXPECT_EQ(kbs.compact_units.unit, 7);
    EXPECT_EQ(kbs.main_units.unit, 7);

    // Once a listed unit was applied, going back to the first entry means automatic.
    EditTracker edits(s);
    FormValues now = edits.shown();
    now[id_speed_unit] = 5;
    press_apply(edits, s, now);
    EXPECT_EQ(s.compact_units.unit, 3);
    now[id_speed_unit] = 0;
    press_apply(edits, s, now);
    EXPECT_EQ(s.compact_units.unit, 0);
    EXPECT_EQ(s.main_units.unit, 0);
}

TEST(SettingsForm, ListedUnitGoesToBothBlocksAndFirstEntryIsAutomatic) {
    Settings s;
    set_unit(s, 3);
    const Settings automatic = with_change(s, id_speed_unit, 0);
    EXPECT_EQ(automatic.compact_units.unit, 0);
    EXPECT_EQ(automatic.main_units.unit, 0);
}

TEST(SettingsForm, UnitIsShownFromTheCompactBlockAndPrecisionFromTheMainBlock) {
    Settings s;
    s.compact_units.unit = 8;
    s.main_units.unit = 3;
    s.main_units.precision = 2;
    s.compact_units.precision = 0;
    s.main_units.bytes_when_auto = false;
    const FormValues form = load_form(s);
    EXPECT_EQ(form[id_speed_unit], 2);
    EXPECT_EQ(form[id_precision], 2);
    EXPECT_EQ(form[id_show_bytes], 0);
    // Untouched, each block keeps its own unit, precision and "show bytes".
    const Settings after = round_trip(s);
    EXPECT_EQ(after.compact_units.unit, 8);
    EXPECT_EQ(after.main_units.unit, 3);
    EXPECT_EQ(after.compact_units.precision, 0);
    EXPECT_TRUE(after.compact_units.bytes_when_auto);
}

TEST(SettingsForm, PrecisionWithoutSelectionCountsZero) {
    Settings s;
    const Settings after = with_change(s, id_precision, k_no_selection);
    EXPECT_EQ(after.compact_units.precision, 0);
    EXPECT_EQ(after.main_units.precision, 0);
}

struct LanguageCase {
    std::string stored;
    int shown;
    std::string after_ok;
};

class LanguageSetting : public testing::TestWithParam<LanguageCase> {};

TEST_P(LanguageSetting, ShowsExactCodeOrSystem) {
    Settings s;
    s.language = GetParam().stored;
    EXPECT_EQ(load_form(s)[id_language], GetParam().shown);
    EXPECT_EQ(round_trip(s).language, GetParam().after_ok);
}

INSTANTIATE_TEST_SUITE_P(Table, LanguageSetting,
                         testing::Values(LanguageCase{"system", 0, "system"}, LanguageCase{"xx", 0, "xx"},
                                         LanguageCase{"AR", 0, "AR"}, LanguageCase{"", 0, ""}));

TEST(SettingsForm, EveryLanguageOfTheListRoundTrips) {
    const auto& languages = language_list();
    for (size_t i = 0; i < languages.size(); ++i) {
        Settings s;
        s.language = std::string(languages[i].code);
        EXPECT_EQ(load_form(s)[id_language], static_cast<int>(i) + 1);
        EXPECT_EQ(round_trip(s).language, languages[i].code);
    }
    EXPECT_EQ(with_change(Settings{}, id_language, static_cast<int>(languages.size()) + 1).language,
              "system");
    EXPECT_EQ(with_change(Settings{}, id_language, 1).language, languages[0].code);
}

TEST(SettingsForm, ThemeNotAChoiceShowsTheFirstAndStaysUntouched) {
    Settings s;
    s.compact.theme = "midnight";
    s.main_window.theme = "Nope";
    EXPECT_EQ(load_form(s)[id_compact_theme], 0);
    EXPECT_EQ(round_trip(s).compact.theme, "midnight");
    EXPECT_EQ(round_trip(s).main_window.theme, "Nope");
    const int system = theme_choice_index("System");
    EXPECT_EQ(with_change(s, id_desktop_theme, system).desktop.theme, "System");
}

struct TaskbarCase {
    bool enabled;
    bool on_taskbar;
    int mode;
    bool shown;
    bool after_uncheck_enabled;
};

class TaskbarDisplay : public testing::TestWithParam<TaskbarCase> {};

TEST_P(TaskbarDisplay, CheckedOnlyForTheTaskbarModeAndUncheckTouchesOnlyThat) {
    const TaskbarCase& c = GetParam();
    Settings s;
    s.compact.enabled = c.enabled;
    s.compact.on_taskbar = c.on_taskbar;
    s.compact.mode = c.mode;
    EXPECT_EQ(load_form(s)[id_on_taskbar], c.shown ? 1 : 0);

    const Settings unchecked = with_change(s, id_on_taskbar, 0);
    EXPECT_EQ(unchecked.compact.enabled, c.after_uncheck_enabled);
    EXPECT_EQ(unchecked.compact.on_taskbar, c.on_taskbar);
    EXPECT_EQ(unchecked.compact.mode, c.mode);

    const Settings checked = with_change(s, id_on_taskbar, 1);
    EXPECT_TRUE(checked.compact.enabled);
    EXPECT_TRUE(checked.compact.on_taskbar);
    EXPECT_EQ(checked.compact.mode, 0);
}

INSTANTIATE_TEST_SUITE_P(Table, TaskbarDisplay,
                         testing::Values(TaskbarCase{true, true, 0, true, false},
                                         TaskbarCase{true, true, 1, false, true}, // desktop mode: unchanged
                                         TaskbarCase{true, false, 0, false, true},
                                         TaskbarCase{false, true, 0, false, false},
                                         TaskbarCase{true, true, 2, false, true}));

TEST(SettingsForm, MatchTaskbarGreysOutItsDependents) {
    Settings s;
    s.compact.native_style = true;
    EXPECT_FALSE(match_taskbar_dependents_enabled(load_form(s)));
    s.compact.native_style = false;
    EXPECT_TRUE(match_taskbar_dependents_enabled(load_form(s)));
}

TEST(SettingsForm, EveryCheckBoxReachesItsSetting) {
    const Settings defaults;
    const FormValues form = load_form(defaults);
    for (const ControlEntry& row : settings_controls()) {
        if (row.kind != ControlKind::check || row.id == id_on_taskbar) {
            continue;
        }
        const int toggled = form.checked(row.id) ? 0 : 1;
        const Settings flipped = with_change(defaults, row.id, toggled);
        EXPECT_NE(flipped, defaults) << row.id;
        EXPECT_EQ(load_form(flipped)[row.id], toggled) << row.id;
    }
    EXPECT_EQ(with_change(defaults, id_persist_history, 1).history_mode, 1);
    EXPECT_EQ(with_change(defaults, id_show_bytes, 0).compact_units.bytes_when_auto, false);
}

TEST(SettingsForm, ListsWithoutAValidSelectionLeaveTheirSetting) {
    Settings s;
    s.decimal_sep = 2;
    s.digit_style = 1;
    s.compact.layout = 3;
    s.desktop.layout = 4;
    s.history_retention_days = 90;
    s.monitoring.interval_ms = 5000;
    const EditTracker edits(s);
    FormValues now = edits.shown();
    for (int id : {id_decimal, id_digits, id_compact_layout, id_desktop_layout, id_retention, id_interval,
                   id_compact_theme, id_language, id_speed_unit, id_compact_font_size}) {
        now[id] = k_no_selection;
    }
    now[id_decimal] = 3;
    now[id_digits] = 2;
    now[id_compact_layout] = 6;
    EXPECT_EQ(apply_edit(edits.edit(now), s), s);
}

TEST(SettingsForm, DataLimitsReadInTheirUnitAndStoreWhatWasTyped) {
    Settings s;
    s.history_mode = 1;
    s.monthly_warning_mb = 10000;
    s.daily_warning_mb = 1500;
    s.billing_day = 31;
    const FormValues shown = load_form(s);
    EXPECT_EQ(shown[id_monthly_unit], k_unit_gb);
    EXPECT_EQ(limit_in_unit(shown[id_monthly_limit], shown[id_monthly_unit]), 10);
    EXPECT_EQ(shown[id_daily_unit], k_unit_mb);
    EXPECT_EQ(shown[id_billing_day], 30);
    EXPECT_TRUE(history_dependents_enabled(shown));
    EXPECT_EQ(round_trip(s), s);

    struct Case {
        std::string_view text;
        int unit;
        int value;
    };
    const Case cases[] = {{"12", k_unit_gb, 12000},
                          {" 250 ", k_unit_mb, 250},
                          {"", k_unit_gb, 0},
                          {"0", k_unit_mb, 0},
                          {"1.5", k_unit_gb, k_no_selection},
                          {"-3", k_unit_mb, k_no_selection},
                          {"100000", k_unit_gb, k_max_limit_mb},
                          {"99999999999999999999", k_unit_mb, k_max_limit_mb}};
    for (const Case& c : cases) {
        EXPECT_EQ(limit_from_text(c.text, c.unit), c.value) << c.text;
    }
    EXPECT_EQ(with_change(s, id_monthly_limit, 12000).monthly_warning_mb, 12000);
    EXPECT_EQ(with_change(s, id_monthly_limit, k_no_selection).monthly_warning_mb, 10000);
    EXPECT_EQ(with_change(s, id_daily_unit, k_unit_gb), s); // the box's value carries the limit
    EXPECT_EQ(with_change(s, id_billing_day, 0).billing_day, 1);
    s.history_mode = 0;
    EXPECT_FALSE(history_dependents_enabled(load_form(s)));
}

// Each position of the source list stands for its source and names its note; another leaves the setting.
TEST(SettingsForm, SourceListStandsForTheSourceWithItsNote) {
    const std::string_view notes[] = {"source.interface_note", "source.adapters_note", "source.router_note"};
    const std::vector<ListEntry> entries = list_entries(id_source);
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[2], (ListEntry{"source.router", true}));
    Settings router;
    router.monitoring.source = 2;
    for (int position = 0; position < 3; ++position) {
        const Settings chosen = with_change(router, id_source, position);
        EXPECT_EQ(chosen.monitoring.source, position);
        EXPECT_EQ(load_form(chosen)[id_source], position);
        EXPECT_EQ(source_note_key(position), notes[position]);
    }
    EXPECT_EQ(with_change(router, id_source, 3), router);
    EXPECT_EQ(with_change(router, id_source, k_no_selection), router);
    EXPECT_EQ(source_note_key(k_no_selection), notes[0]);
}

TEST(SettingsForm, NearestEntryTiesGoToTheEarlier) {
    const std::array<int32_t, 3> entries{10, 20, 40};
    EXPECT_EQ(nearest_entry(entries, 15), 0);
    EXPECT_EQ(nearest_entry(entries, 16), 1);
    EXPECT_EQ(nearest_entry(entries, 30), 1);
    EXPECT_EQ(nearest_entry(entries, -2'000'000'000), 0);
    EXPECT_EQ(nearest_entry(entries, 2'000'000'000), 2);
}

TEST(SettingsLayout, TableHoldsEveryIdOnceOnItsPage) {
    std::set<int> ids;
    std::array<int, k_page_count> per_page{};
    for (const ControlEntry& row : settings_controls()) {
        EXPECT_TRUE(ids.insert(row.id).second) << row.id;
        EXPECT_NE(find_field(row.id), nullptr) << row.id;
        ++per_page[static_cast<size_t>(row.page)];
        if (row.kind == ControlKind::list) {
            EXPECT_FALSE(list_entries(row.id).empty()) << row.id;
        }
    }
    EXPECT_EQ(ids.size(), 39u); // with the two value labels, every id from 1001 to 1033, 1036 to 1041, 1043 and 1060
    EXPECT_EQ(per_page, (std::array<int, k_page_count>{3, 6, 10, 8, 4, 8}));
    EXPECT_EQ(list_entries(id_plan_counts).size(), 3u); // every, metered and chosen networks
    EXPECT_EQ(find_control(id_compact_opacity_value), nullptr);
    EXPECT_EQ(form_fields().size(), settings_controls().size());
}

TEST(SettingsLayout, ListEntriesMatchTheValuesTheyStandFor) {
    EXPECT_EQ(list_entries(id_language).size(), language_list().size() + 1);
    EXPECT_EQ(list_entries(id_language)[0], (ListEntry{"settings.language_system", true}));
    EXPECT_EQ(list_entries(id_interval).size(), k_interval_entries.size());
    EXPECT_EQ(list_entries(id_interval)[0].text, "0.25 s");
    EXPECT_EQ(list_entries(id_interval)[5].text, "10 s");
    EXPECT_EQ(list_entries(id_desktop_font_size)[7].text, "16 pt");
    EXPECT_EQ(list_entries(id_speed_unit).size(), k_unit_entries.size());
    EXPECT_EQ(list_entries(id_speed_unit)[0], (ListEntry{"menu.automatic", true}));
    EXPECT_EQ(list_entries(id_speed_unit)[4].text, "Kbit/s");
    EXPECT_EQ(list_entries(id_retention).size(), k_retention_entries.size());
    EXPECT_EQ(list_entries(id_compact_layout).size(), static_cast<size_t>(k_layout_count));
    const auto themes = list_entries(id_dashboard_theme);
    ASSERT_EQ(themes.size(), theme_choices().size());
    EXPECT_EQ(themes[static_cast<size_t>(theme_choice_index("System"))], (ListEntry{"theme.system", true}));
    EXPECT_EQ(themes.back(), (ListEntry{"Custom", false}));
    EXPECT_TRUE(list_entries(id_show_bytes).empty());
}

TEST(SettingsLayout, PlacesScaleHalfAwayFromZero) {
    EXPECT_EQ(scale_to_dpi(580, 144), 870);
    EXPECT_EQ(scale_to_dpi(3, 144), 5); // 4.5 rounds up
    EXPECT_EQ(scale_to_dpi(-3, 144), -5);
    EXPECT_EQ(scale_to_dpi(28, 0), 28);
    EXPECT_EQ(scale_rect({16, 16, 548, 394}, 120), (DipRect{20, 20, 685, 493}));
    ASSERT_NE(find_control(id_desktop_opacity), nullptr);
    ASSERT_NE(find_control(id_compact_lock), nullptr);
    const ControlRects slider = control_rects(*find_control(id_desktop_opacity));
    EXPECT_EQ(slider.label, (DipRect{28, 178, 250, 32}));
    EXPECT_EQ(slider.control, (DipRect{286, 174, 214, 30}));
    EXPECT_EQ(slider.value_label, (DipRect{504, 180, 48, 20}));
    EXPECT_EQ(control_rects(*find_control(id_compact_lock)).label, DipRect{});
    EXPECT_EQ(opacity_text(8), "40%");
}

// The buttons make one row under the pages: Reset under the tab's left edge, Cancel ending under its
// right edge, OK, Apply and Cancel the same width apart, all of one height.
TEST(SettingsLayout, ButtonsLineUpWithThePages) {
    const auto& b = settings_buttons();
    for (const ButtonEntry& button : b) {
        EXPECT_EQ(button.rect.y, b[0].rect.y) << button.text_key;
        EXPECT_EQ(button.rect.height, 30) << button.text_key;
        EXPECT_GE(button.rect.y, k_tab_rect.y + k_tab_rect.height) << button.text_key;
        EXPECT_LE(button.rect.y + button.rect.height, k_client_size.height) << button.text_key;
    }
    EXPECT_EQ(b[0].rect.x, k_tab_rect.x);
    EXPECT_EQ(b[3].rect.x + b[3].rect.width, k_tab_rect.x + k_tab_rect.width);
    EXPECT_EQ(b[2].rect.x - (b[1].rect.x + b[1].rect.width), 8);
    EXPECT_EQ(b[3].rect.x - (b[2].rect.x + b[2].rect.width), 8);
}

// The known networks: the list under the page's labels, its note centred inside it, the selected
// network's controls in one column ending where the page's lists end, each label right above its
// control, and the column's last button ending level with the list.
TEST(SettingsLayout, NetworkControlsLineUpWithThePage) {
    const auto& p = network_control_places();
    const auto right = [](const DipRect& r) { return r.x + r.width; };
    const auto bottom = [](const DipRect& r) { return r.y + r.height; };
    const ControlRects page_list = control_rects(*find_control(id_plan_counts));
    ASSERT_EQ(p[0].id, id_networks);
    ASSERT_EQ(p[1].id, id_networks_none);
    EXPECT_EQ(p[0].control.x, page_list.label.x);
    EXPECT_EQ(p[1].control.x - p[0].control.x, right(p[0].control) - right(p[1].control));
    EXPECT_GT(p[1].control.y, p[0].control.y);
    EXPECT_LT(right(p[0].control), p[2].control.x);
    for (const NetworkControlPlace& place : p) {
        if (place.label.width > 0) {
            EXPECT_EQ(place.label.x, place.control.x) << place.text_key;
            EXPECT_EQ(bottom(place.label), place.control.y) << place.text_key;
            EXPECT_EQ(place.label.height, 20) << place.text_key;
            EXPECT_EQ(place.label.width, place.control.width) << place.text_key;
        }
        if (place.id != id_networks && place.id != id_networks_none) {
            EXPECT_EQ(place.control.x, p[2].control.x) << place.text_key;
            EXPECT_LE(right(place.control), right(page_list.control)) << place.text_key;
        }
    }
    EXPECT_EQ(right(p[2].control), right(page_list.control));
    EXPECT_EQ(right(p[3].control), right(page_list.control));
    EXPECT_EQ(right(p[4].control), right(page_list.control));
    EXPECT_EQ(bottom(p[5].control), bottom(p[0].control));
    EXPECT_LE(bottom(p[0].control), k_tab_rect.y + k_tab_rect.height);
}

// The History page's rows come closer than the other pages' (34 DIP apart, not 38) to make room for
// the networks, from the same first row.
TEST(SettingsLayout, HistoryRowsAreThirtyFourApart) {
    std::vector<int> rows;
    for (const ControlEntry& row : settings_controls()) {
        if (row.page == k_networks_page && (rows.empty() || rows.back() != row.y)) {
            rows.push_back(row.y);
        }
    }
    EXPECT_EQ(rows, (std::vector<int>{60, 94, 128, 162, 196, 230}));
}

} // namespace
} // namespace tide::ui
