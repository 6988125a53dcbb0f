// Usage per network: the known networks, their parts of each day, usage.json's network members, the
// CSV's network column, the plan's choice of networks, and the network of an interval.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/plan_status.h"
#include "net/network_identity.h"
#include "persistence/json.h"
#include "persistence/network_usage.h"
#include "persistence/settings.h"
#include "persistence/usage.h"

namespace tide {
namespace {

const int64_t k_day = day_from_civil({2024, 4, 3});

std::string id_of(int i) {
    return "gw:" + std::to_string(i);
}

// ---- names and ids ----

struct NameCase {
    const char* name;
    std::string given;
    std::string shown;
};

const NameCase k_names[] = {
    {"Plain", "Home Wi-Fi", "Home Wi-Fi"},
    {"ControlsOut", "Ho\x01me\n\x7F", "Home"},
    {"C1ControlOut", "Ho\xC2\x85me", "Home"},
    {"RightToLeftOverrideOut", "\xE2\x80\xAEtoh\xE2\x80\xAC", "toh"},
    {"IsolatesAndMarksOut", "\xE2\x81\xA6x\xE2\x81\xA9\xE2\x80\x8F\xD8\x9C", "x"},
    {"ArabicKept", "\xD8\xA8\xD9\x8A\xD8\xAA", "\xD8\xA8\xD9\x8A\xD8\xAA"},
    {"BlanksTrimmed", "  cafe  ", "cafe"},
    {"InvalidUtf8Dropped",
     "a\xFF\xC3"
     "b",
     "ab"},
    {"OverlongDropped",
     "a\xC0\xAF"
     "b",
     "ab"},
    {"SixtyFourKept", std::string(64, 'n'), std::string(64, 'n')},
    {"SixtyFiveCut", std::string(65, 'n'), std::string(64, 'n')},
    {"NoHalfCharacter", std::string(63, 'n') + "\xC3\xA9", std::string(63, 'n')},
    {"OnlyControls", "\x01\x02", ""},
};

class NetworkName : public ::testing::TestWithParam<NameCase> {};

TEST_P(NetworkName, IsCleanedAndBounded) {
    EXPECT_EQ(clean_network_name(GetParam().given), GetParam().shown);
}

INSTANTIATE_TEST_SUITE_P(Cases, NetworkName, ::testing::ValuesIn(k_names),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(NetworkIds, KeepToTheirShape) {
    EXPECT_FALSE(valid_network_id(""));
    EXPECT_TRUE(valid_network_id(std::string(128, 'x')));
    EXPECT_FALSE(valid_network_id(std::string(129, 'x')));
    EXPECT_FALSE(valid_network_id("gw:a b"));
    EXPECT_FALSE(valid_network_id("gw:\xC3\xA9"));

    EXPECT_EQ(list_network_id("{0a1b2c3d-0000-1111-2222-333344445555}"),
              "nlm:{0A1B2C3D-0000-1111-2222-333344445555}");
    EXPECT_EQ(list_network_id("0a1b2c3d-0000-1111-2222-333344445555"), "");
    EXPECT_EQ(list_network_id("{0a1b2c3d-0000-1111-2222-33334444555g}"), "");
    EXPECT_EQ(list_network_id("{0a1b2c3d-0000-1111-2222x333344445555}"), "");

    const uint8_t home[] = {0x02, 0x00, 0x5e, 0x10, 0x00, 0x01};
    const uint8_t zero[6] = {};
    const uint8_t broadcast[] = {0xff, 0xff, 0xff, 0xff, 0xff, 0xff};
    const uint8_t multicast[] = {0x01, 0x00, 0x5e, 0x00, 0x00, 0x01};
    EXPECT_EQ(gateway_network_id(home, 6), "gw:02-00-5e-10-00-01");
    EXPECT_EQ(gateway_network_id(home, 5), "");
    EXPECT_EQ(gateway_network_id(zero, 6), "");
    EXPECT_EQ(gateway_network_id(broadcast, 6), "");
    EXPECT_EQ(gateway_network_id(multicast, 6), "");

    EXPECT_EQ(router_network_id("uuid:1234 \x01"
                                "5"),
              "udn:uuid:12345");
    EXPECT_EQ(router_network_id(" \x01"), "");
    EXPECT_EQ(router_network_id(std::string(300, 'u')).size(), size_t{104});
}

// NLM_CONNECTION_COST values from netlistmgr.h (Windows SDK).
TEST(NetworkCost, MeteredWhenTheUserPaysByTheByteOrAgainstACap) {
    EXPECT_FALSE(cost_is_metered(0x0));     // unknown
    EXPECT_FALSE(cost_is_metered(0x1));     // unrestricted: what Wine always says
    EXPECT_TRUE(cost_is_metered(0x2));      // fixed
    EXPECT_TRUE(cost_is_metered(0x4));      // variable
    EXPECT_TRUE(cost_is_metered(0x10001));  // over the data limit
    EXPECT_FALSE(cost_is_metered(0x20001)); // congested only
    EXPECT_TRUE(cost_is_metered(0x40001));  // roaming
    EXPECT_TRUE(cost_is_metered(0x80002));  // approaching the data limit
}

// ---- the list ----

TEST(NetworkList, NumbersUnnamedNetworksAndUpdatesKnownOnes) {
    NetworkList list;
    EXPECT_FALSE(list.see("gw:a", "", false, 10));
    EXPECT_FALSE(list.see("gw:b", "", false, 10));
    EXPECT_FALSE(list.see("nlm:c", "Cafe", true, 10));
    EXPECT_EQ(list.find("gw:a")->number, 1);
    EXPECT_EQ(list.find("gw:b")->number, 2);
    EXPECT_EQ(list.find("nlm:c")->number, 0);
    list.forget("gw:a");
    list.see("gw:d", "", false, 11);
    EXPECT_EQ(list.find("gw:d")->number, 1); // the number freed is taken again

    list.see("nlm:c", "Cafe\xE2\x80\xAE 2", false, 12);
    EXPECT_EQ(list.find("nlm:c")->name, "Cafe 2");
    EXPECT_FALSE(list.find("nlm:c")->metered);
    EXPECT_EQ(list.find("nlm:c")->last_seen, 12);
    list.see("nlm:c", "", true, 9); // no name now, and a clock set back
    EXPECT_EQ(list.find("nlm:c")->name, "Cafe 2");
    EXPECT_EQ(list.find("nlm:c")->last_seen, 12);

    EXPECT_TRUE(list.set_user_metered("nlm:c", false));
    EXPECT_FALSE(list.find("nlm:c")->is_metered()); // the user's word wins over Windows'
    EXPECT_TRUE(list.set_user_metered("gw:b", true));
    EXPECT_TRUE(list.find("gw:b")->is_metered());
    EXPECT_TRUE(list.rename("gw:b", " Phone\x01 "));
    EXPECT_EQ(network_display_name(*list.find("gw:b")), "Phone");
    EXPECT_EQ(network_display_name(*list.find("gw:d")), "Network 1");
    EXPECT_EQ(network_display_name(*list.find("gw:d"), {"", "", "\xD8\xB4\xD8\xA8\xD9\x83\xD8\xA9 {0}"}),
              "\xD8\xB4\xD8\xA8\xD9\x83\xD8\xA9 1");
    EXPECT_FALSE(list.rename("gw:zz", "x"));
    EXPECT_FALSE(list.set_user_metered("gw:zz", true));
    EXPECT_EQ(network_display_name(list, k_no_network_id), "No network");
    EXPECT_EQ(network_display_name(list, "gw:zz"), "Other networks");
}

TEST(NetworkList, KeepsSixtyFourAndDropsTheOneSeenLongestAgo) {
    UsageStore store;
    for (int i = 0; i < 64; ++i) {
        store.see_network(id_of(i), "", false, 100 + i);
        store.add(k_day, id_of(i), 10, 1);
    }
    store.see_network(id_of(0), "", false, 200); // seen again: now the newest
    EXPECT_EQ(store.networks().networks().size(), size_t{64});
    EXPECT_TRUE(store.networks().find(id_of(1)));

    store.see_network("gw:new", "", false, 201);
    EXPECT_EQ(store.networks().networks().size(), size_t{64});
    EXPECT_FALSE(store.networks().find(id_of(1))); // seen on day 101, the longest ago
    EXPECT_TRUE(store.networks().find(id_of(0)));
    EXPECT_TRUE(store.networks().find(id_of(2)));
    EXPECT_EQ(store.network_get(k_day, id_of(1)), DayTotals{});
    EXPECT_EQ(store.network_get(k_day, {}), (DayTotals{10, 1})); // its bytes are "Other networks" now
    EXPECT_EQ(store.get(k_day), (DayTotals{640, 64}));
    EXPECT_EQ(store.networks().find("gw:new")->number, 2); // network 2 was the one dropped
}

TEST(NetworkList, TrimKeepsTheMostRecentAndTheFirstListedOnATie) {
    NetworkList list;
    for (int i = 0; i < 66; ++i) {
        list.restore(KnownNetwork{id_of(i), "n", "", 0, false, {}, i < 3 ? 5 : 50 + i});
    }
    // Days 5, 5, 5 for the first three, then 53..115: 63 newer ones and one of the three stay.
    EXPECT_EQ(list.trim(), (std::vector<std::string>{id_of(1), id_of(2)}));
    EXPECT_EQ(list.networks().size(), size_t{64});
    EXPECT_TRUE(list.find(id_of(0)));
    EXPECT_TRUE(list.trim().empty());
}

// ---- the store ----

TEST(NetworkUsage, TotalsAreTheSumOfTheNetworksAndOther) {
    UsageStore store;
    store.add(k_day, "gw:home", 100, 10);
    store.add(k_day, "gw:phone", 50, 5);
    store.add(k_day, k_no_network_id, 1, 0);
    store.add(k_day, 7, 3); // an older caller: no network
    store.add(k_day, "gw:home", 0, 0);
    EXPECT_EQ(store.get(k_day), (DayTotals{158, 18}));
    EXPECT_EQ(store.network_get(k_day, "gw:home"), (DayTotals{100, 10}));
    EXPECT_EQ(store.network_get(k_day, k_no_network_id), (DayTotals{1, 0}));
    EXPECT_EQ(store.network_get(k_day, {}), (DayTotals{7, 3}));
    EXPECT_EQ(store.network_get(k_day + 1, "gw:home"), DayTotals{});
    EXPECT_EQ(store.network_days().at(k_day).size(), size_t{3});

    store.forget_network("gw:home");
    EXPECT_EQ(store.network_get(k_day, {}), (DayTotals{107, 13}));
    EXPECT_EQ(store.get(k_day), (DayTotals{158, 18}));

    store.assign_to_network(k_day, "gw:phone", DayTotals{100, 20}); // more than Other holds
    EXPECT_EQ(store.network_get(k_day, "gw:phone"), (DayTotals{150, 18}));
    EXPECT_EQ(store.network_get(k_day, {}), (DayTotals{7, 0}));
}

TEST(NetworkUsage, CounterGivesTheGrowthToTheNetwork) {
    UsageStore store;
    UsageCounter counter;
    EXPECT_FALSE(counter.feed(store, k_day, "gw:a", 100, 10));
    EXPECT_TRUE(counter.feed(store, k_day, "gw:a", 150, 10));
    EXPECT_TRUE(counter.feed(store, k_day, "gw:b", 160, 12));
    EXPECT_FALSE(counter.feed(store, k_day, "gw:b", 160, 12));
    EXPECT_EQ(store.network_get(k_day, "gw:a"), (DayTotals{50, 0}));
    EXPECT_EQ(store.network_get(k_day, "gw:b"), (DayTotals{10, 2}));
    EXPECT_EQ(store.get(k_day), (DayTotals{60, 2}));
}

TEST(NetworkUsage, PruningFoldsEachNetworkIntoItsPeriod) {
    UsageStore store;
    const int64_t today = day_from_civil({2024, 6, 20});
    const int64_t old_day = day_from_civil({2024, 4, 20}); // period 2024-04-15..05-14 under billing day 15
    store.see_network("gw:a", "", false, old_day);
    store.add(old_day, "gw:a", 30, 3);
    store.add(old_day, 5, 0);
    store.add(old_day + 1, "gw:a", 10, 1);
    store.add(today - 1, 2, 0); // a day counted lately: the clock is not taken for one set far ahead
    store.add(today, "gw:a", 1, 1);
    store.prune(today, 30, 15);
    const int64_t first = day_from_civil({2024, 4, 15});
    ASSERT_TRUE(store.folded().contains(first));
    EXPECT_EQ(store.folded().at(first).totals, (DayTotals{45, 4}));
    EXPECT_EQ(store.network_folded().at(first).at("gw:a"), (DayTotals{40, 4}));
    EXPECT_FALSE(store.network_days().contains(old_day));
    EXPECT_EQ(store.network_get(today, "gw:a"), (DayTotals{1, 1}));

    NetworkFilter only_a{PlanCounts::chosen, {"gw:a"}, &store.networks()};
    const UsageStore counted = store.counted(only_a);
    EXPECT_EQ(counted.sum(first, today), (DayTotals{41, 5}));

    // 25 months on, the period goes, and its parts with it.
    const int64_t later = day_from_civil({2026, 7, 20});
    store.add(later - 1, 1, 0);
    store.prune(later - 1, 30, 15); // the clock-jump guard needs a day counted before
    store.prune(later, 30, 15);
    EXPECT_FALSE(store.folded().contains(first));
    EXPECT_FALSE(store.network_folded().contains(first));
}

TEST(NetworkUsage, FilterCountsMeteredOrChosenNetworksOnly) {
    UsageStore store;
    store.see_network("gw:home", "Home", false, k_day);
    store.see_network("gw:phone", "Phone", true, k_day);
    store.see_network("gw:cafe", "Cafe", true, k_day);
    store.networks().set_user_metered("gw:cafe", false);
    store.add(k_day, "gw:home", 1000, 0);
    store.add(k_day, "gw:phone", 200, 0);
    store.add(k_day, "gw:cafe", 30, 0);
    store.add(k_day, k_no_network_id, 4, 0);
    store.add(k_day, 5, 0);
    const auto used = [&](PlanCounts counts, std::vector<std::string> chosen) {
        return store.counted(NetworkFilter{counts, std::move(chosen), &store.networks()}).get(k_day).download;
    };
    EXPECT_EQ(used(PlanCounts::every, {}), uint64_t{1239});
    EXPECT_EQ(used(PlanCounts::metered, {}), uint64_t{200}); // the user said the cafe is not metered
    EXPECT_EQ(used(PlanCounts::chosen, {"gw:home", "gw:cafe"}), uint64_t{1030});
    EXPECT_EQ(used(PlanCounts::chosen, {"gw:gone", std::string(k_no_network_id)}), uint64_t{0});
    EXPECT_EQ(used(PlanCounts::chosen, {}), uint64_t{0});
}

TEST(NetworkUsage, MergeKeepsTheUsersWordsFromTheFile) {
    UsageStore run;
    run.see_network("gw:a", "", true, k_day);
    run.add(k_day, "gw:a", 10, 0);
    UsageStore file;
    file.see_network("gw:a", "", false, k_day - 3);
    file.networks().rename("gw:a", "Phone");
    file.networks().set_user_metered("gw:a", false);
    file.see_network("gw:b", "Home", false, k_day - 2);
    file.add(k_day, "gw:a", 5, 0);
    file.add(k_day, "gw:b", 7, 0);
    run.merge(file);
    EXPECT_EQ(run.get(k_day), (DayTotals{22, 0}));
    EXPECT_EQ(run.network_get(k_day, "gw:a"), (DayTotals{15, 0}));
    EXPECT_EQ(run.network_get(k_day, "gw:b"), (DayTotals{7, 0}));
    EXPECT_EQ(run.networks().find("gw:a")->user_name, "Phone");
    EXPECT_FALSE(run.networks().find("gw:a")->is_metered());
    EXPECT_EQ(run.networks().find("gw:a")->last_seen, k_day);
}

// ---- usage.json ----

TEST(NetworkUsageFile, AnOlderFileIsWrittenBackAsItWas) {
    const std::string older = "{\n  \"schema_version\": 1,\n  \"days\": [\n    [\n      19723,\n      1536,\n"
                              "      512\n    ]\n  ]\n}\n";
    UsageReadNotes notes;
    const std::optional<UsageStore> store = usage_from_file_text(older, &notes);
    ASSERT_TRUE(store);
    EXPECT_FALSE(notes.networks_repaired);
    EXPECT_EQ(usage_file_text(*store), older);
    EXPECT_EQ(store->network_get(19723, {}), (DayTotals{1536, 512}));
}

TEST(NetworkUsageFile, NetworksAndTheirPartsSurviveWritingAndReading) {
    UsageStore store;
    const int64_t today = day_from_civil({2024, 6, 20});
    store.see_network("gw:02-00-00-00-00-01", "", false, today);
    store.see_network("nlm:{X}", "Caf\xC3\xA9", true, today);
    store.networks().rename("gw:02-00-00-00-00-01", "Home");
    store.networks().set_user_metered("nlm:{X}", false);
    store.add(day_from_civil({2024, 4, 20}), "gw:02-00-00-00-00-01", 300, 30);
    store.add(day_from_civil({2024, 5, 10}), "nlm:{X}", 20, 2);
    store.add(day_from_civil({2024, 5, 10}), 1, 1);
    store.add(today - 1, k_no_network_id, 4, 4);
    store.add(today, "nlm:{X}", 4, 4);
    store.prune(today, 30, 15);
    ASSERT_FALSE(store.network_folded().empty());
    UsageReadNotes notes;
    const auto read = usage_from_file_text(usage_file_text(store), &notes);
    EXPECT_EQ(read, store);
    EXPECT_FALSE(notes.networks_repaired);

    const JsonValue document = usage_to_json(store);
    const JsonValue* days = find_member(document, "network_days");
    ASSERT_TRUE(days && days->is_array());
    EXPECT_EQ(days->elements().size(), size_t{2});
    const JsonValue* first = find_member(document, "networks");
    ASSERT_TRUE(first && first->is_array() && !first->elements().empty());
    EXPECT_EQ(serialize_json(first->elements()[0], 0),
              R"({"id":"gw:02-00-00-00-00-01","name":"","number":1,"metered":false,"last_seen":19894,)"
              R"("user_name":"Home"})");
}

struct HostileCase {
    const char* name;
    std::string members; // after "days": [[19723, 1000, 100]]
    DayTotals home;      // gw:h's part of day 19723 after reading
    size_t networks;
    bool repaired;
};

const std::string k_home = R"({"id": "gw:h", "last_seen": 19723})";

const HostileCase k_hostile[] = {
    {"Sound",
     R"("networks": [)" + k_home + R"(], "network_days": [[19723, "gw:h", 600, 60]])",
     {600, 60},
     1,
     false},
    {"PartsAboveTheTotal",
     R"("networks": [)" + k_home + R"(], "network_days": [[19723, "gw:h", 1200, 60]])",
     {1000, 60},
     1,
     true},
    {"TwoPartsAboveTheTotal",
     R"("networks": [)" + k_home +
         R"(, {"id": "gw:p"}], "network_days": [[19723, "gw:h", 600, 60], [19723, "gw:p", 600, 60]])",
     {600, 60},
     2,
     true},
    {"PartOfADayWithoutTotal",
     R"("networks": [)" + k_home + R"(], "network_days": [[19724, "gw:h", 5, 5]])",
     {},
     1,
     true},
    {"UnknownNetworkPart",
     R"("networks": [)" + k_home + R"(], "network_days": [[19723, "gw:x", 5, 5]])",
     {},
     1,
     true},
    {"IdTooLong", R"("networks": [{"id": ")" + std::string(129, 'x') + R"("}])", {}, 0, true},
    {"IdLongestKept", R"("networks": [{"id": ")" + std::string(128, 'x') + R"("}])", {}, 1, false},
    {"IdNotAString", R"("networks": [{"id": 5}, {"id": ["gw:h"]}, {"name": "x"}, 7])", {}, 0, true},
    {"IdOfNoNetwork", R"("networks": [{"id": "none"}])", {}, 0, true},
    {"IdTwice",
     R"("networks": [)" + k_home + "," + k_home + R"(], "network_days": [[19723, "gw:h", 6, 6]])",
     {6, 6},
     1,
     true},
    {"ListNotAnArray", R"("networks": {"id": "gw:h"})", {}, 0, true},
    {"PartsNotAnArray", R"("networks": [)" + k_home + R"(], "network_days": 5)", {}, 1, true},
    {"PartMalformed",
     R"("networks": [)" + k_home +
         R"(], "network_days": [[19723, "gw:h", -1, 6], [19723.5, "gw:h", 1, 1], [19723, "gw:h", 1]])",
     {},
     1,
     true},
    {"NoNetworkPartKept", R"("network_days": [[19723, "none", 6, 6]])", {}, 0, false},
};

class HostileNetworks : public ::testing::TestWithParam<HostileCase> {};

TEST_P(HostileNetworks, AreRepairedAndTheDayTotalStays) {
    const HostileCase& c = GetParam();
    UsageReadNotes notes;
    const auto store = usage_from_file_text(
        R"({"schema_version": 1, "days": [[19723, 1000, 100]], )" + c.members + "}", &notes);
    ASSERT_TRUE(store);
    EXPECT_EQ(store->get(19723), (DayTotals{1000, 100}));
    EXPECT_EQ(store->network_get(19723, "gw:h"), c.home);
    EXPECT_EQ(store->networks().networks().size(), c.networks);
    EXPECT_EQ(notes.networks_repaired, c.repaired);
    // What was read is sound: written and read again, it needs no repair.
    UsageReadNotes again;
    EXPECT_EQ(usage_from_file_text(usage_file_text(*store), &again), store);
    EXPECT_FALSE(again.networks_repaired);
}

INSTANTIATE_TEST_SUITE_P(Cases, HostileNetworks, ::testing::ValuesIn(k_hostile),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(NetworkUsageFile, TenThousandNetworksKeepTheSixtyFourSeenLast) {
    std::string list;
    std::string parts;
    for (int i = 0; i < 10000; ++i) {
        list += (i ? "," : "") + std::string(R"({"id": "gw:)") + std::to_string(i) + R"(", "last_seen": )" +
                std::to_string(i) + "}";
        parts += (i ? "," : "") + std::string(R"([19723, "gw:)") + std::to_string(i) + R"(", 1, 0])";
    }
    UsageReadNotes notes;
    const auto store = usage_from_file_text(R"({"days": [[19723, 20000, 0]], "networks": [)" + list +
                                                R"(], "network_days": [)" + parts + "]}",
                                            &notes);
    ASSERT_TRUE(store);
    EXPECT_TRUE(notes.networks_repaired);
    EXPECT_EQ(store->networks().networks().size(), size_t{64});
    EXPECT_TRUE(store->networks().find("gw:9936"));
    EXPECT_FALSE(store->networks().find("gw:9935"));
    EXPECT_EQ(store->network_get(19723, "gw:9999"), (DayTotals{1, 0}));
    EXPECT_EQ(store->network_get(19723, {}), (DayTotals{20000 - 64, 0}));
}

TEST(NetworkUsageFile, PeriodPartsLessTheirKeptDaysAreFolded) {
    // Period 19700..19730 (as if folded under billing day 5) with gw:h's whole 500, 100 of it kept as a day.
    const auto store = usage_from_file_text(
        R"({"days": [[19723, 1000, 0]], "months": [[19700, 19730, 3000, 0]], "networks": [)" + k_home +
        R"(], "network_days": [[19723, "gw:h", 100, 0]], "network_months": [[19700, 19730, "gw:h", 500, 0],)"
        R"( [19700, 19731, "gw:h", 9, 9], [19699, 19730, "gw:h", 9, 9], [19700, 19730.5, "gw:h", 9, 9]]})");
    ASSERT_TRUE(store);
    EXPECT_EQ(store->network_folded().at(19700).at("gw:h"), (DayTotals{400, 0}));
    EXPECT_EQ(store->folded().at(19700).totals, (DayTotals{2000, 0}));
}

// ---- CSV ----

TEST(NetworkUsageCsv, OneLinePerNetworkAndDayOtherLast) {
    UsageStore store;
    store.see_network("gw:a", "=SUM(A1), \"x\"", false, 19723);
    store.see_network("gw:b", "", false, 19723);
    store.add(19723, "gw:a", 10, 1);
    store.add(19723, "gw:b", 20, 2);
    store.add(19723, k_no_network_id, 0, 3);
    store.add(19723, 5, 0);
    store.add(19724, "gw:b", 1, 0);
    EXPECT_EQ(usage_csv_text(store), "date,download_bytes,upload_bytes,network\n"
                                     "2024-01-01,10,1,\"'=SUM(A1), \"\"x\"\"\"\n"
                                     "2024-01-01,20,2,Network 1\n"
                                     "2024-01-01,0,3,No network\n"
                                     "2024-01-01,5,0,Other networks\n"
                                     "2024-01-02,1,0,Network 1\n");
}

// ---- the plan ----

struct PlanNetworks {
    Settings settings;
    UsageStore store;
    const int64_t today = day_from_civil({2024, 4, 3});

    PlanNetworks() {
        settings.history_mode = 1;
        settings.monthly_warning_mb = 5;
        store.see_network("gw:home", "home", false, today);
        store.see_network("gw:hotspot", "hotspot", true, today);
        store.add(today - 1, "gw:home", 10'000'000, 0);
        store.add(today, "gw:hotspot", 4'100'000, 0); // 82 % of the plan
    }
    PlanView view() const { return plan_view(settings, store, today, true); }
};

TEST(PlanNetworks, CountOnlyTheNetworksChosen) {
    PlanNetworks plan;
    EXPECT_EQ(plan.view().used.period, uint64_t{14'100'000});
    EXPECT_TRUE(plan.view().used_up);
    plan.settings.plan_counts = 1;
    EXPECT_EQ(plan.view().used.period, uint64_t{4'100'000});
    EXPECT_EQ(plan.view().used.today, uint64_t{4'100'000});
    EXPECT_FALSE(plan.view().used_up);
    plan.settings.plan_counts = 2;
    plan.settings.plan_networks = {"gw:home"};
    EXPECT_EQ(plan.view().used.period, uint64_t{10'000'000});
    EXPECT_EQ(plan.view().used.today, uint64_t{0});
    plan.settings.plan_networks = {"gw:unknown"};
    EXPECT_EQ(plan.view().used.period, uint64_t{0});
    plan.settings.plan_networks = {}; // chosen, none picked yet: every network, never nothing
    EXPECT_EQ(plan.view().used.period, uint64_t{14'100'000});
}

TEST(PlanNetworks, AChangeOfChoiceRecountsAndWarnsNothingTwice) {
    PlanNetworks plan;
    plan.settings.plan_counts = 2;
    plan.settings.plan_networks = {"gw:hotspot"};
    PlanWarner warner;
    auto due = warner.check(plan.view(), 5, 0, 0);
    ASSERT_TRUE(due);
    EXPECT_EQ(due->threshold, 80);
    warner.given(*due);
    EXPECT_FALSE(warner.check(plan.view(), 5, 0, 0));

    plan.settings.plan_counts = 0; // every network: 282 % at once, one warning for the highest
    due = warner.check(plan.view(), 5, 0, 0);
    ASSERT_TRUE(due);
    EXPECT_EQ(due->threshold, 100);
    warner.given(*due);

    plan.settings.plan_counts = 2; // back to the hotspot alone: nothing again
    EXPECT_FALSE(warner.check(plan.view(), 5, 0, 0));
    plan.store.add(plan.today, "gw:hotspot", 1'000'000, 0); // the hotspot alone passes 100 %
    EXPECT_FALSE(warner.check(plan.view(), 5, 0, 0));
}

TEST(PlanNetworks, SettingsKeepSoundIdsOnly) {
    const auto read = [](const std::string& members) {
        Settings s = settings_from_json(*parse_json("{" + members + "}"));
        const uint32_t repairs = repair_settings(s);
        return std::pair{s, repairs};
    };
    auto [sound, none] = read(R"("plan_counts": 2, "plan_networks": ["gw:a", "nlm:{B}"])");
    EXPECT_EQ(sound.plan_counts, 2);
    EXPECT_EQ(sound.plan_networks, (std::vector<std::string>{"gw:a", "nlm:{B}"}));
    auto [odd, repairs] =
        read(R"("plan_counts": 3, "plan_networks": ["gw:a", "gw:a", 5, "", "none", "a b"])");
    EXPECT_EQ(odd.plan_counts, 0);
    EXPECT_EQ(odd.plan_networks, (std::vector<std::string>{"gw:a"}));
    EXPECT_EQ(repairs - none, 6u);
    std::string many = R"("plan_networks": [)";
    for (int i = 0; i < 65; ++i) {
        many += (i ? ",\"" : "\"") + id_of(i) + "\"";
    }
    auto [capped, cut] = read(many + "]");
    EXPECT_EQ(capped.plan_networks.size(), size_t{64});
    EXPECT_EQ(capped.plan_networks.back(), id_of(63));
    EXPECT_EQ(cut - none, 1u);
    EXPECT_EQ(read(R"("plan_counts": -1)").first.plan_counts, 0);
}

// ---- the network of an interval ----

const NetworkIdentity k_home_net{"gw:h", "home", false};
const NetworkIdentity k_spot_net{"gw:s", "", true};

TEST(NetworkTracker, GivesTheIntervalToTheNetworkThatCarriedMostOfIt) {
    NetworkTracker tracker;
    EXPECT_FALSE(tracker.network_for(0, 1000));
    tracker.change(k_home_net, 0);
    tracker.change(k_spot_net, 10'400); // a change 400 ms into the interval 10,000..11,000
    EXPECT_EQ(tracker.network_for(9'000, 10'000), k_home_net);
    EXPECT_EQ(tracker.network_for(10'000, 11'000), k_spot_net); // 400 at home, 600 on the hotspot
    EXPECT_EQ(tracker.network_for(9'700, 10'900), k_home_net);  // 700 at home, 500 on the hotspot
    EXPECT_EQ(tracker.network_for(10'000, 10'800), k_spot_net); // 400 and 400: the later one
    EXPECT_EQ(tracker.network_for(10'000, 10'799), k_home_net);
    EXPECT_EQ(tracker.network_for(11'000, 12'000), k_spot_net);

    tracker.change(std::nullopt, 12'000); // on a network not known yet
    EXPECT_FALSE(tracker.network_for(12'000, 13'000));
    tracker.change(NetworkIdentity{std::string(k_no_network_id), "", false}, 13'000);
    EXPECT_EQ(tracker.current()->id, k_no_network_id);
    tracker.change(NetworkIdentity{std::string(k_no_network_id), "", false}, 14'000); // the same again
    EXPECT_EQ(tracker.network_for(13'500, 14'500)->id, k_no_network_id);
    EXPECT_EQ(tracker.network_for(12'100, 13'200), std::nullopt);
}

} // namespace
} // namespace tide

namespace tide {
namespace {

TEST(NetworkUsageFile, NumbersUpToAThousandAreKept) {
    const auto numbered = [](const char* number) {
        const auto store = usage_from_file_text(
            std::string(R"({"days": [], "networks": [{"id": "gw:a", "number": )") + number + "}]}");
        return store ? store->networks().find("gw:a")->number : -1;
    };
    EXPECT_EQ(numbered("1000"), 1000);
    EXPECT_EQ(numbered("1001"), 1); // out of range: the lowest free one
    EXPECT_EQ(numbered("0"), 1);
    EXPECT_EQ(numbered("1"), 1);
}

} // namespace
} // namespace tide
