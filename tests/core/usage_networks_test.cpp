// The usage window's network choice: the choices offered, the bytes each shows, where the plan's limits go.
#include "ui/usage/usage_networks.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tide {
namespace {

const int64_t k_today = day_from_civil({2024, 10, 4});
const int64_t k_may = day_from_civil({2024, 5, 1}); // a folded billing period, May 2024
const int64_t k_may_end = day_from_civil({2024, 5, 31});

// Home (not metered) and an unnamed metered hotspot, called "Network 1", both seen today.
UsageStore home_and_hotspot() {
    UsageStore store;
    store.see_network("gw:home", "Home", false, k_today);
    store.see_network("gw:hotspot", "", true, k_today);
    store.add(k_today, "gw:home", 600, 60);
    store.add(k_today, "gw:hotspot", 200, 20);
    return store;
}

NetworkFilter filter(const UsageStore& store, PlanCounts counts, std::vector<std::string> chosen = {}) {
    return NetworkFilter{counts, std::move(chosen), &store.networks()};
}

NetworkChoiceKey network(std::string id) {
    return {NetworkChoiceKind::network, std::move(id)};
}

std::vector<std::string> labels(const NetworkChoices& choices) {
    std::vector<std::string> out;
    for (const NetworkChoice& choice : choices.entries) {
        out.push_back(choice.label);
    }
    return out;
}

TEST(NetworkChoices, ListAllThePlanEachNetworkAndWhatNoNetworkHolds) {
    const UsageStore two = home_and_hotspot();
    UsageStore three = home_and_hotspot();
    three.see_network("nlm:campus", "Campus", true, k_today);
    UsageStore with_other = home_and_hotspot();
    with_other.add(k_today - 1, 50, 5); // a day's bytes no network holds
    UsageStore with_none = with_other;
    with_none.add(k_today, std::string(k_no_network_id), 7, 0);
    UsageStore folded_other = home_and_hotspot();
    folded_other.add_folded(k_may, k_may_end, {900, 90});
    folded_other.restore_folded_part(k_may, "gw:home", {900, 89});
    struct Row {
        const char* what;
        const UsageStore& store;
        PlanCounts counts;
        std::vector<std::string> expected;
    };
    const Row rows[] = {
        {"every network: no plan entry", two, PlanCounts::every, {"All networks", "Home", "Network 1"}},
        {"metered",
         two,
         PlanCounts::metered,
         {"All networks", "Networks the plan counts", "Home", "Network 1"}},
        {"chosen",
         two,
         PlanCounts::chosen,
         {"All networks", "Networks the plan counts", "Home", "Network 1"}},
        {"the list's order", three, PlanCounts::every, {"All networks", "Home", "Network 1", "Campus"}},
        {"a day of no network's",
         with_other,
         PlanCounts::every,
         {"All networks", "Home", "Network 1", "Other networks"}},
        {"no network before the others",
         with_none,
         PlanCounts::every,
         {"All networks", "Home", "Network 1", "No network", "Other networks"}},
        {"a byte of a folded period",
         folded_other,
         PlanCounts::every,
         {"All networks", "Home", "Network 1", "Other networks"}},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(labels(network_choices(row.store, filter(row.store, row.counts, {"gw:home"}), {})),
                  row.expected)
            << row.what;
    }
}

TEST(NetworkChoices, TheWantedChoiceKeepsItsKeyAndFallsBackToAll) {
    UsageStore store = home_and_hotspot();
    store.add(k_today - 1, 50, 5);
    UsageStore forgotten = store;
    forgotten.forget_network("gw:hotspot");
    const UsageStore no_other = home_and_hotspot();
    struct Row {
        const char* what;
        const UsageStore& store;
        PlanCounts counts;
        NetworkChoiceKey wanted;
        size_t selected;
    };
    const Row rows[] = {
        {"all", store, PlanCounts::metered, {}, 0},
        {"the plan", store, PlanCounts::metered, {NetworkChoiceKind::plan, {}}, 1},
        {"hotspot", store, PlanCounts::every, network("gw:hotspot"), 2},
        {"hotspot, after the plan's entry", store, PlanCounts::metered, network("gw:hotspot"), 3},
        {"other", store, PlanCounts::every, {NetworkChoiceKind::other, {}}, 3},
        {"a forgotten network", forgotten, PlanCounts::every, network("gw:hotspot"), 0},
        {"an id never known", store, PlanCounts::every, network("gw:elsewhere"), 0},
        {"the plan, counting every network", store, PlanCounts::every, {NetworkChoiceKind::plan, {}}, 0},
        {"other, with nothing of it", no_other, PlanCounts::every, {NetworkChoiceKind::other, {}}, 0},
        {"no network, with nothing of it", store, PlanCounts::every, {NetworkChoiceKind::none, {}}, 0},
    };
    for (const Row& row : rows) {
        const NetworkChoices choices = network_choices(row.store, filter(row.store, row.counts), row.wanted);
        EXPECT_EQ(choices.selected, row.selected) << row.what;
        EXPECT_EQ(choices.selected_key(), row.selected == 0 ? NetworkChoiceKey{} : row.wanted) << row.what;
    }
}

// Today: home 600/60, hotspot 200/20, no network 7/0, and 193/20 of the day's total that no part holds.
// May: home 3000/300, hotspot 1000/100, and 1000/100 that no part holds.
TEST(ChosenUsage, ShowsOnlyTheChoicesBytes) {
    UsageStore store = home_and_hotspot();
    store.add(k_today, std::string(k_no_network_id), 7, 0);
    store.add(k_today, 193, 20);
    store.add_folded(k_may, k_may_end, {5000, 500});
    store.restore_folded_part(k_may, "gw:home", {3000, 300});
    store.restore_folded_part(k_may, "gw:hotspot", {1000, 100});
    struct Row {
        const char* what;
        NetworkChoiceKey choice;
        DayTotals today;
        DayTotals may;
    };
    const Row rows[] = {
        {"all", {}, {1000, 100}, {5000, 500}},
        {"the plan (metered: the hotspot)", {NetworkChoiceKind::plan, {}}, {200, 20}, {1000, 100}},
        {"home", network("gw:home"), {600, 60}, {3000, 300}},
        {"hotspot", network("gw:hotspot"), {200, 20}, {1000, 100}},
        {"no network", {NetworkChoiceKind::none, {}}, {7, 0}, {0, 0}},
        {"other", {NetworkChoiceKind::other, {}}, {193, 20}, {1000, 100}},
        {"a network not known", network("gw:gone"), {0, 0}, {0, 0}},
    };
    const NetworkFilter metered = filter(store, PlanCounts::metered);
    for (const Row& row : rows) {
        const UsageStore shown = chosen_usage(store, metered, row.choice);
        EXPECT_EQ(shown.get(k_today), row.today) << row.what;
        EXPECT_EQ(shown.sum(k_may, k_may_end), row.may) << row.what;
    }
}

// Parts not yet cut to their total (as read, before repair): above it, they leave nothing to the others and
// never a figure wrapped around below zero; of a period without a total, they show nothing. A period only
// home carried shows nothing of the hotspot.
TEST(ChosenUsage, FoldedPartsShowOnlyWithinTheirPeriodsTotal) {
    const int64_t april = day_from_civil({2024, 4, 1});
    const int64_t june = day_from_civil({2024, 6, 1});
    UsageStore store = home_and_hotspot();
    store.add_folded(k_may, k_may_end, {1000, 100});
    store.restore_folded_part(k_may, "gw:home", {1001, 99});
    store.restore_folded_part(april, "gw:home", {5, 5});
    store.add_folded(june, june + 29, {300, 30});
    store.restore_folded_part(june, "gw:home", {300, 30});
    const NetworkFilter every = filter(store, PlanCounts::every);
    const UsageStore other = chosen_usage(store, every, {NetworkChoiceKind::other, {}});
    EXPECT_EQ(other.sum(k_may, k_may_end), (DayTotals{0, 1}));
    EXPECT_EQ(chosen_usage(store, every, network("gw:home")).folded().count(april), 0u);
    EXPECT_TRUE(chosen_usage(store, every, network("gw:hotspot")).folded().empty());
}

TEST(PlanLimits, ApplyOnlyWhereTheBarsAreWhatThePlanCounts) {
    const UsageStore two = home_and_hotspot(); // the hotspot is the one metered network
    UsageStore three = home_and_hotspot();
    three.see_network("nlm:campus", "Campus", true, k_today);
    UsageStore none_metered = home_and_hotspot();
    none_metered.networks().set_user_metered("gw:hotspot", false);
    struct Row {
        const char* what;
        const UsageStore& store;
        PlanCounts counts;
        std::vector<std::string> chosen;
        NetworkChoiceKey choice;
        bool apply;
    };
    const NetworkChoiceKey all{};
    const NetworkChoiceKey plan{NetworkChoiceKind::plan, {}};
    const Row rows[] = {
        {"every: all", two, PlanCounts::every, {}, all, true},
        {"every: one network (the plan counts no network's bytes too)",
         two,
         PlanCounts::every,
         {},
         network("gw:home"),
         false},
        {"every: other", two, PlanCounts::every, {}, {NetworkChoiceKind::other, {}}, false},
        {"metered: all", two, PlanCounts::metered, {}, all, false},
        {"metered: the plan", two, PlanCounts::metered, {}, plan, true},
        {"metered: the only metered network", two, PlanCounts::metered, {}, network("gw:hotspot"), true},
        {"metered: a network not metered", two, PlanCounts::metered, {}, network("gw:home"), false},
        {"metered: one of two metered", three, PlanCounts::metered, {}, network("gw:hotspot"), false},
        {"metered: no network metered, the plan", none_metered, PlanCounts::metered, {}, plan, true},
        {"metered: no network", two, PlanCounts::metered, {}, {NetworkChoiceKind::none, {}}, false},
        {"chosen: the one chosen", two, PlanCounts::chosen, {"gw:home"}, network("gw:home"), true},
        {"chosen: one of two chosen",
         two,
         PlanCounts::chosen,
         {"gw:home", "gw:hotspot"},
         network("gw:home"),
         false},
        {"chosen: beside a forgotten one",
         two,
         PlanCounts::chosen,
         {"gw:home", "gw:gone"},
         network("gw:home"),
         true},
        {"chosen: a forgotten one alone", two, PlanCounts::chosen, {"gw:gone"}, network("gw:gone"), false},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(plan_limits_apply(row.store, filter(row.store, row.counts, row.chosen), row.choice),
                  row.apply)
            << row.what;
    }
}

} // namespace
} // namespace tide
