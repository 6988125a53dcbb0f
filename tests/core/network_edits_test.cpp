#include "ui/settings/network_edits.h"

#include <gtest/gtest.h>

#include "ui/settings/settings_layout.h"

namespace tide::ui {
namespace {

using Ids = std::vector<std::string>;

// "gw:a" was never renamed and has no metered word of the user's; "nlm:{B}" is Windows' metered
// "AndroidAP", renamed "Phone" and marked not metered by the user.
std::vector<NetworkEntry> two_networks() {
    return {{"gw:a", "", "Network 1", false, std::nullopt}, {"nlm:{B}", "Phone", "AndroidAP", true, false}};
}

TEST(PlanNetworks, TakeOnlyTheChangedChecks) {
    struct Case {
        const char* name;
        Ids stored;
        PlanNetworksChange change;
        size_t limit;
        Ids written;
    };
    const Case cases[] = {
        {"added goes last", {"gw:x"}, {{"gw:a"}, {}, {"gw:a"}}, 64, {"gw:x", "gw:a"}},
        {"removed keeps the order", {"gw:x", "gw:a", "gw:b"}, {{}, {"gw:a"}, {}}, 64, {"gw:x", "gw:b"}},
        {"added twice is there once", {"gw:a"}, {{"gw:a"}, {}, {"gw:a"}}, 64, {"gw:a"}},
        {"unshown ids stay", {"gw:gone", "gw:a"}, {{}, {"gw:a"}, {"gw:a"}}, 64, {"gw:gone"}},
        {"up to the limit", {"gw:u1"}, {{"gw:a"}, {}, {"gw:a"}}, 2, {"gw:u1", "gw:a"}},
        {"one past cuts the oldest unshown",
         {"gw:u1", "gw:u2"},
         {{"gw:a"}, {}, {"gw:a"}},
         2,
         {"gw:u2", "gw:a"}},
        {"two past cut two, shown ones spared",
         {"gw:k", "gw:u1", "gw:u2"},
         {{"gw:a", "gw:b"}, {}, {"gw:k", "gw:a", "gw:b"}},
         3,
         {"gw:k", "gw:a", "gw:b"}},
        {"shown ones are never cut", {"gw:k"}, {{"gw:a"}, {}, {"gw:k", "gw:a"}}, 1, {"gw:k", "gw:a"}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(changed_plan_networks(c.stored, c.change, c.limit), c.written) << c.name;
    }
}

// The name after typing, and the user_name OK hands over (none: no rename).
TEST(NetworkEditor, NamesAreCleanedAndOnlyChangesHandedOver) {
    struct Case {
        size_t row;
        std::string typed;
        std::string shown;
        std::optional<std::string> handed_over;
    };
    const Case cases[] = {
        {0, "Home", "Home", "Home"},
        {0, " Ho\x07me\t", "Home", "Home"}, // control characters and blanks go
        {0, std::string(64, 'x'), std::string(64, 'x'), std::string(64, 'x')},
        {0, std::string(65, 'x'), std::string(64, 'x'), std::string(64, 'x')},
        {0, "", "Network 1", std::nullopt},          // not named before either
        {0, "Network 1", "Network 1", std::nullopt}, // its own name
        {1, "", "AndroidAP", ""},                    // the user's name dropped
        {1, "AndroidAP", "AndroidAP", ""},           // the system's name: the user's dropped
        {1, "Phone", "Phone", std::nullopt},
    };
    for (const Case& c : cases) {
        NetworkEditor editor(two_networks(), {});
        editor.rename(c.row, c.typed);
        EXPECT_EQ(editor.name(c.row), c.shown) << c.typed;
        const NetworkEdits edits = editor.edits();
        std::map<std::string, std::string> expected;
        if (c.handed_over) {
            expected[editor.id(c.row)] = *c.handed_over;
        }
        EXPECT_EQ(edits.renames, expected) << c.typed;
        EXPECT_TRUE(edits.metered.empty() && edits.forgotten.empty());
    }
}

// The flag after the choice, and the user_metered OK hands over (none: no change).
TEST(NetworkEditor, TheUsersWordWinsAndOnlyChangesAreHandedOver) {
    struct Case {
        size_t row;
        int choice;
        bool metered;
        std::optional<std::optional<bool>> handed_over;
    };
    const Case cases[] = {
        {0, 1, true, std::optional<bool>{true}},
        {0, 2, false, std::optional<bool>{false}},
        {0, 0, false, std::nullopt},
        {1, 0, true, std::optional<bool>{}},
        {1, 2, false, std::nullopt},
        {0, 3, false, std::nullopt},  // past the list: ignored
        {1, -1, false, std::nullopt}, // no choice: ignored
    };
    for (const Case& c : cases) {
        NetworkEditor editor(two_networks(), {});
        editor.set_metered(c.row, c.choice);
        EXPECT_EQ(editor.metered(c.row), c.metered) << c.row << " " << c.choice;
        std::map<std::string, std::optional<bool>> expected;
        if (c.handed_over) {
            expected[editor.id(c.row)] = *c.handed_over;
        }
        EXPECT_EQ(editor.edits().metered, expected) << c.row << " " << c.choice;
    }
}

TEST(NetworkEditor, RowsSayNameMeteredAndWhatEachPlanChoiceCounts) {
    NetworkEditor editor(two_networks(), {"nlm:{B}"});
    ASSERT_EQ(editor.size(), 2u);
    EXPECT_EQ(editor.metered_choice(0), metered_as_windows);
    EXPECT_EQ(editor.metered_choice(1), metered_no);
    EXPECT_FALSE(editor.chosen(0));
    EXPECT_TRUE(editor.chosen(1));
    // Every network, metered networks (neither is), chosen networks (the phone).
    EXPECT_EQ(editor.texts(0, 0),
              (NetworkRowTexts{"Network 1", "settings.metered_no", "settings.metered_yes"}));
    EXPECT_EQ(editor.texts(1, 1), (NetworkRowTexts{"Phone", "settings.metered_no", "settings.metered_no"}));
    EXPECT_EQ(editor.texts(0, 2).counted_key, "settings.metered_no");
    EXPECT_EQ(editor.texts(1, 2).counted_key, "settings.metered_yes");
    editor.set_metered(0, metered_yes);
    EXPECT_EQ(editor.texts(0, 1),
              (NetworkRowTexts{"Network 1", "settings.metered_yes", "settings.metered_yes"}));
    EXPECT_TRUE(editor.counted(1, -1)); // no choice shown: as every network
}

TEST(NetworkEditor, ChosenWithNothingTickedCountsEveryNetworkAsThePlanDoes) {
    NetworkEditor none(two_networks(), {});
    EXPECT_TRUE(none.counted(0, 2));
    EXPECT_TRUE(none.counted(1, 2));
    none.set_chosen(0, true);
    EXPECT_TRUE(none.counted(0, 2));
    EXPECT_FALSE(none.counted(1, 2));

    NetworkEditor gone(two_networks(), {"gw:gone"}); // only a network no longer known: nothing counts
    EXPECT_FALSE(gone.counted(0, 2));
    EXPECT_FALSE(gone.counted(1, 2));

    NetworkEditor last(two_networks(), {"nlm:{B}"});
    last.forget(1); // the only chosen network forgotten: the plan counts every network again
    EXPECT_TRUE(last.counted(0, 2));
}

TEST(NetworkEditor, PlanNetworksChangeOnlyByChecksAndForgettingAChosenOne) {
    NetworkEditor editor(two_networks(), {"gw:gone", "nlm:{B}"});
    EXPECT_TRUE(editor.plan_change().empty());
    editor.set_chosen(0, true);
    editor.set_chosen(0, false); // ticked and cleared again: no change
    editor.set_metered(1, metered_yes);
    EXPECT_TRUE(editor.plan_change().empty());

    editor.set_chosen(0, true);
    EXPECT_EQ(editor.plan_change(), (PlanNetworksChange{{"gw:a"}, {}, {"gw:a", "nlm:{B}"}}));
    editor.set_chosen(1, false);
    EXPECT_EQ(editor.plan_change(), (PlanNetworksChange{{"gw:a"}, {"nlm:{B}"}, {"gw:a", "nlm:{B}"}}));
    editor.set_chosen(1, true);
    editor.forget(1);
    EXPECT_EQ(editor.plan_change(), (PlanNetworksChange{{"gw:a"}, {"nlm:{B}"}, {"gw:a"}}));

    NetworkEditor unchosen(two_networks(), {"nlm:{B}"});
    unchosen.forget(0);
    EXPECT_TRUE(unchosen.plan_change().empty());
    EXPECT_EQ(unchosen.edits().forgotten, Ids{"gw:a"});
}

TEST(NetworkEditor, ForgottenRowsLeaveTheListAndTheirOtherEdits) {
    NetworkEditor editor(two_networks(), {});
    editor.rename(0, "Home");
    editor.set_metered(0, metered_yes);
    editor.rename(1, "Hotspot");
    editor.forget(0);
    ASSERT_EQ(editor.size(), 1u);
    EXPECT_EQ(editor.id(0), "nlm:{B}");
    EXPECT_EQ(editor.name(0), "Hotspot");
    EXPECT_EQ(editor.edits(), (NetworkEdits{{{"nlm:{B}", "Hotspot"}}, {}, {"gw:a"}}));
    editor.forget(0);
    EXPECT_TRUE(editor.empty());
    EXPECT_EQ(editor.edits(), (NetworkEdits{{}, {}, {"gw:a", "nlm:{B}"}}));
}

TEST(NetworkEditor, AppliedEditsBecomeTheStart) {
    NetworkEditor editor(two_networks(), {"gw:gone"});
    editor.rename(0, "Home");
    editor.set_metered(1, metered_as_windows);
    editor.set_chosen(0, true);
    editor.forget(1);
    editor.applied();
    EXPECT_TRUE(editor.edits().empty());
    EXPECT_TRUE(editor.plan_change().empty());
    EXPECT_EQ(editor.name(0), "Home");
    EXPECT_TRUE(editor.chosen(0));
    editor.rename(0, "Home"); // the name it has now: no change
    EXPECT_TRUE(editor.edits().empty());
    editor.set_chosen(0, false);
    EXPECT_EQ(editor.plan_change(), (PlanNetworksChange{{}, {"gw:a"}, {"gw:a"}}));
}

TEST(NetworkEditor, ResetStartsThePlanAgainAndKeepsTheNetworkEdits) {
    NetworkEditor editor(two_networks(), {"nlm:{B}"});
    editor.rename(0, "Home");
    editor.set_chosen(0, true);
    editor.reset_plan({});
    EXPECT_FALSE(editor.chosen(0));
    EXPECT_FALSE(editor.chosen(1));
    EXPECT_TRUE(editor.plan_change().empty());
    EXPECT_EQ(editor.edits().renames.at("gw:a"), "Home");
}

struct EnabledCase {
    int id;
    bool history;
    bool selected;
    int plan_counts;
    bool enabled;
};

TEST(NetworkControls, NeedTheHistoryASelectionAndForTheCheckChosenNetworks) {
    const EnabledCase cases[] = {
        {id_networks, true, false, 0, true},         {id_networks, false, true, 2, false},
        {id_networks_none, true, false, 0, true},    {id_networks_none, false, false, 2, false},
        {id_network_name, true, true, 0, true},      {id_network_name, true, false, 0, false},
        {id_network_forget, false, true, 1, false},  {id_network_counted, true, true, 2, true},
        {id_network_counted, true, true, 1, false},  {id_network_counted, true, false, 2, false},
        {id_network_counted, false, true, 2, false},
    };
    for (const EnabledCase& c : cases) {
        EXPECT_EQ(network_control_enabled(c.id, c.history, c.selected, c.plan_counts), c.enabled)
            << c.id << " " << c.history << c.selected << c.plan_counts;
    }
}

} // namespace
} // namespace tide::ui
