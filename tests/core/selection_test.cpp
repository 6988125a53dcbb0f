// Classification of interface rows and the choice of the measured interface.
#include "net/selection.h"

#include <gtest/gtest.h>

#include <limits>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace tide {
namespace {

using K = InterfaceKind;
constexpr uint64_t k_gbit = 1'000'000'000;
constexpr uint64_t k_unknown_speed = std::numeric_limits<uint64_t>::max();

struct Entry {
    uint64_t luid;
    K kind;
    bool routed;
    bool hardware;
    uint64_t speed = 0;
    bool usable = true;
};

Inventory make_inventory(const std::vector<Entry>& entries) {
    Inventory inventory;
    inventory.valid = true;
    for (const Entry& e : entries) {
        InterfaceInfo info;
        info.luid = e.luid;
        info.name = "if" + std::to_string(e.luid);
        info.kind = e.kind;
        info.routed = e.routed;
        info.hardware = e.hardware;
        info.link_speed = e.speed;
        info.usable = e.usable;
        inventory.interfaces.push_back(info);
        inventory.counters[e.luid] = {};
    }
    return inventory;
}

SamplerSelection automatic(bool vpn = false, bool virt = false) {
    SamplerSelection selection;
    selection.include_vpn = vpn;
    selection.include_virtual = virt;
    return selection;
}

SamplerSelection manual(uint64_t luid, bool fallback) {
    SamplerSelection selection;
    selection.manual = true;
    selection.manual_luid = luid;
    selection.fallback_to_auto = fallback;
    return selection;
}

struct ChoiceCase {
    const char* name;
    std::vector<Entry> entries;
    SamplerSelection selection;
    std::optional<uint64_t> previous;
    std::optional<uint64_t> expected;
};

// The case's name alone: its bytes hold heap addresses that change from build to build.
void PrintTo(const ChoiceCase& c, std::ostream* os) {
    *os << c.name;
}

class ChooseInterface : public testing::TestWithParam<ChoiceCase> {};

TEST_P(ChooseInterface, PicksTheExpectedInterface) {
    const ChoiceCase& c = GetParam();
    EXPECT_EQ(choose_interface(make_inventory(c.entries), c.selection, c.previous), c.expected);
}

// clang-format off
const ChoiceCase k_choice_cases[] = {
    {"RouteBeatsHardware",
     {{1, K::ethernet, false, true, 10 * k_gbit}, {2, K::virtual_, true, false}},
     automatic(false, true), std::nullopt, 2},
    {"HardwareBeatsMedium",
     {{1, K::wifi, true, false, 10 * k_gbit}, {2, K::other, true, true}},
     automatic(), std::nullopt, 2},
    {"MediumBeatsSpeed",
     {{1, K::other, true, true, 10 * k_gbit}, {2, K::ethernet, true, true, 0}},
     automatic(), std::nullopt, 2},
    {"FasterWinsAtEqualMedium",
     {{1, K::ethernet, true, true, 1 * k_gbit}, {2, K::wifi, true, true, 2 * k_gbit}},
     automatic(), std::nullopt, 2},
    {"TieKeepsEarlierEntry",
     {{1, K::wifi, true, true, k_gbit}, {2, K::ethernet, true, true, k_gbit}},
     automatic(), std::nullopt, 1},
    {"PreviousStaysAtEqualScore",
     {{1, K::ethernet, true, true, 0}, {2, K::wifi, true, true, 0}},
     automatic(), 2, 2},
    {"PreviousLostAtOneMore",
     {{1, K::ethernet, true, true, 100'000'000}, {2, K::wifi, true, true, 0}},
     automatic(), 2, 1},
    {"PreviousIgnoredWhenNotEligible",
     {{1, K::ethernet, true, true, 0}, {2, K::vpn, true, false}},
     automatic(), 2, 1},
    {"ManualChoiceWins",
     {{1, K::ethernet, true, true, k_gbit}, {2, K::wifi, false, true}},
     manual(2, false), std::nullopt, 2},
    {"ManualVpnMeasuredWithVpnExcluded",
     {{1, K::ethernet, true, true}, {2, K::vpn, true, false}},
     manual(2, false), std::nullopt, 2},
    {"ManualDownWithoutFallbackGivesNothing",
     {{1, K::ethernet, true, true}, {2, K::wifi, true, true, 0, false}},
     manual(2, false), std::nullopt, std::nullopt},
    {"ManualDownWithFallbackGivesAutomatic",
     {{1, K::ethernet, true, true}, {2, K::wifi, true, true, 0, false}},
     manual(2, true), std::nullopt, 1},
    {"ManualMissingWithFallbackGivesAutomatic",
     {{1, K::ethernet, false, true}},
     manual(9, true), std::nullopt, 1},
    {"LoopbackNeverChosen",
     {{1, K::loopback, true, true, 10 * k_gbit}},
     automatic(true, true), std::nullopt, std::nullopt},
    {"LoopbackNotEvenSticky",
     {{1, K::loopback, true, true}, {2, K::virtual_, false, false}},
     automatic(true, true), 1, 2},
    {"VpnExcludedByDefault",
     {{1, K::vpn, true, false}, {2, K::ethernet, false, true}},
     automatic(), std::nullopt, 2},
    {"VpnIncluded",
     {{1, K::vpn, true, false}, {2, K::ethernet, false, true}},
     automatic(true, false), std::nullopt, 1},
    {"VirtualExcludedByDefault",
     {{1, K::virtual_, true, false}},
     automatic(true, false), std::nullopt, std::nullopt},
    {"UnusableNeverChosen",
     {{1, K::ethernet, true, true, 0, false}, {2, K::wifi, false, true}},
     automatic(), std::nullopt, 2},
    {"NothingEligible", {}, automatic(), 5, std::nullopt},
};
// clang-format on

INSTANTIATE_TEST_SUITE_P(Table, ChooseInterface, testing::ValuesIn(k_choice_cases),
                         [](const testing::TestParamInfo<ChoiceCase>& info) { return info.param.name; });

struct ScoreCase {
    const char* name;
    Entry entry;
    int expected;
};

void PrintTo(const ScoreCase& c, std::ostream* os) {
    *os << c.name;
}

class InterfaceScore : public testing::TestWithParam<ScoreCase> {};

TEST_P(InterfaceScore, AddsRouteHardwareMediumAndSpeed) {
    const Entry& e = GetParam().entry;
    InterfaceRow row;
    row.luid = e.luid;
    row.type = e.kind == K::ethernet ? k_if_type_ethernet : k_if_type_ieee80211;
    row.hardware = e.hardware;
    row.oper_up = true;
    row.receive_link_speed = e.speed;
    EXPECT_EQ(interface_score(describe_interface(row, e.routed)), GetParam().expected);
}

// clang-format off
const ScoreCase k_score_cases[] = {
    {"UnknownSpeedAddsNothing", {1, K::ethernet, true, true, k_unknown_speed}, 1150},
    {"TenGigabitAddsTheCap", {1, K::ethernet, true, true, 10 * k_gbit}, 1199},
    {"SpeedInHundredMegabitSteps", {1, K::wifi, false, true, 866'000'000}, 158},
    {"RoutedWithoutHardware", {1, K::wifi, true, false, 0}, 1050},
    {"NeitherRoutedNorHardware", {1, K::ethernet, false, false, 0}, 0},  // classified virtual
};
// clang-format on

INSTANTIATE_TEST_SUITE_P(Table, InterfaceScore, testing::ValuesIn(k_score_cases),
                         [](const testing::TestParamInfo<ScoreCase>& info) { return info.param.name; });

struct KindCase {
    uint32_t type;
    bool hardware;
    K expected;
};

void PrintTo(const KindCase& c, std::ostream* os) {
    *os << c.type << (c.hardware ? " hardware" : " software");
}

class ClassifyInterface : public testing::TestWithParam<KindCase> {};

TEST_P(ClassifyInterface, MapsTypeAndHardwareFlag) {
    EXPECT_EQ(classify_interface(GetParam().type, GetParam().hardware), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Table, ClassifyInterface,
                         testing::Values(KindCase{6, true, K::ethernet}, KindCase{6, false, K::virtual_},
                                         KindCase{71, true, K::wifi}, KindCase{71, false, K::wifi},
                                         KindCase{23, false, K::vpn}, KindCase{53, true, K::vpn},
                                         KindCase{131, false, K::vpn}, KindCase{24, false, K::loopback},
                                         KindCase{24, true, K::loopback}, KindCase{144, true, K::other},
                                         KindCase{144, false, K::virtual_}),
                         [](const testing::TestParamInfo<KindCase>& info) {
                             return "Type" + std::to_string(info.param.type) +
                                    (info.param.hardware ? "Hardware" : "Software");
                         });

TEST(DescribeInterface, UsableNeedsUpAndNoFilter) {
    InterfaceRow row;
    row.type = k_if_type_ethernet;
    row.oper_up = true;
    row.receive_link_speed = k_unknown_speed;
    EXPECT_EQ(describe_interface(row, false).link_speed, 0u);
    row.receive_link_speed = 0;
    EXPECT_TRUE(describe_interface(row, false).usable);
    row.filter = true;
    EXPECT_FALSE(describe_interface(row, false).usable);
    row.filter = false;
    row.oper_up = false;
    EXPECT_FALSE(describe_interface(row, false).usable);
}

TEST(TicksToNanoseconds, AvoidsOverflowForLongUptimes) {
    constexpr int64_t frequency = 10'000'000; // 100 ns ticks
    EXPECT_EQ(ticks_to_nanoseconds(15'000'000, frequency), 1'500'000'000);
    // A year of uptime: ticks * 10^9 alone would overflow 64 bits.
    constexpr int64_t year_ticks = frequency * 3600 * 24 * 365 + 7;
    EXPECT_EQ(ticks_to_nanoseconds(year_ticks, frequency), int64_t{3600} * 24 * 365 * 1'000'000'000 + 700);
    EXPECT_EQ(ticks_to_nanoseconds(1'000, 3), 333'333'333'333);
    EXPECT_EQ(ticks_to_nanoseconds(5, 0), 0);
    EXPECT_EQ(ticks_to_nanoseconds(7, 1), 7'000'000'000);
}

} // namespace
} // namespace tide
