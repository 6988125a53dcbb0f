// Every adapter of this PC: which interfaces are summed, and each adapter's own baselines.
#include "net/adapters.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tide {
namespace {

InterfaceRow row(uint32_t type, bool hardware, bool up = true, bool filter = false, bool tunnel = false) {
    InterfaceRow r;
    r.type = type;
    r.hardware = hardware;
    r.oper_up = up;
    r.filter = filter;
    r.tunnel = tunnel;
    return r;
}

struct AdapterCase {
    const char* name;
    InterfaceRow row;
    bool counted;
};

class CountedAdapter : public testing::TestWithParam<AdapterCase> {};

TEST_P(CountedAdapter, FollowsTheFlags) {
    EXPECT_EQ(is_counted_adapter(describe_interface(GetParam().row, false)), GetParam().counted);
}

// clang-format off
const AdapterCase k_adapter_cases[] = {
    {"Ethernet", row(k_if_type_ethernet, true), true},
    {"WiFi", row(k_if_type_ieee80211, true), true},
    {"MobileBroadband", row(243, true), true},
    {"Down", row(k_if_type_ethernet, true, false), false},
    {"Loopback", row(k_if_type_software_loopback, true), false},
    {"FilterOfAnAdapter", row(k_if_type_ethernet, true, true, true), false},
    {"TunnelTypeSet", row(k_if_type_ethernet, true, true, false, true), false},
    {"TunnelInterfaceType", row(k_if_type_tunnel, true), false},
    {"DialUpVpn", row(k_if_type_ppp, true), false},
    {"VirtualVpnAdapter", row(k_if_type_prop_virtual, false), false},
    {"VirtualSwitch", row(k_if_type_ethernet, false), false},
    // What Wine reports for a tun device: the hardware flag set and the type "other".
    {"TunDeviceUnderWine", row(k_if_type_other, true), false},
};
// clang-format on

INSTANTIATE_TEST_SUITE_P(Table, CountedAdapter, testing::ValuesIn(k_adapter_cases),
                         [](const testing::TestParamInfo<AdapterCase>& info) { return info.param.name; });

// Ethernet (luid 1), Wi-Fi (2), a VPN tunnel carried by the Ethernet (3), the Ethernet's filter (4)
// and a second row of the Ethernet under its name, with its counters (5).
struct Present {
    uint64_t luid;
    uint64_t received; // sent is a tenth of it
};

Inventory make_inventory(int64_t time_ms, const std::vector<Present>& present) {
    Inventory inventory;
    inventory.valid = true;
    inventory.timestamp = time_ms * 1'000'000;
    for (const Present& p : present) {
        InterfaceRow r = p.luid == 2   ? row(k_if_type_ieee80211, true)
                         : p.luid == 3 ? row(k_if_type_prop_virtual, false)
                         : p.luid == 4 ? row(k_if_type_ethernet, true, true, true)
                                       : row(k_if_type_ethernet, true);
        r.name = p.luid == 1 || p.luid == 5 ? "Ethernet" : "adapter " + std::to_string(p.luid);
        InterfaceInfo info = describe_interface(r, false);
        info.luid = p.luid;
        inventory.interfaces.push_back(info);
        inventory.counters[p.luid] = {p.received, p.received / 10};
    }
    return inventory;
}

struct SumStep {
    int64_t time_ms;
    std::vector<Present> present; // empty: the table could not be read
    uint64_t received;            // the running sum after the step; ~0: no valid reading
};

constexpr uint64_t k_none = ~uint64_t{0};

struct SumCase {
    const char* name;
    std::vector<SumStep> steps;
};

class AdapterSum : public testing::TestWithParam<SumCase> {};

TEST_P(AdapterSum, CountsEachAdaptersOwnGoodDeltas) {
    AdapterTotals totals;
    for (size_t i = 0; i < GetParam().steps.size(); ++i) {
        const SumStep& step = GetParam().steps[i];
        const SourceReading reading = read_adapters(
            totals, step.present.empty() ? Inventory{} : make_inventory(step.time_ms, step.present));
        EXPECT_EQ(reading.valid, step.received != k_none) << "step " << i;
        if (reading.valid) {
            EXPECT_EQ(reading.received, step.received) << "step " << i;
            EXPECT_EQ(reading.sent, step.received / 10) << "step " << i;
            EXPECT_EQ(reading.identity, k_adapters_identity) << "step " << i;
            EXPECT_EQ(reading.timestamp, step.time_ms * 1'000'000) << "step " << i;
        }
    }
}

// clang-format off
const SumCase k_sum_cases[] = {
    {"WiFiAndEthernetBothCount",
     {{0, {{1, 1'000}, {2, 5'000}}, 0}, {1'000, {{1, 3'000}, {2, 6'000}}, 3'000}}},
    {"TheVpnAndTheFilterCountOnce",
     {{0, {{1, 1'000}, {3, 100}, {4, 1'000}}, 0},
      {1'000, {{1, 2'100}, {3, 1'100}, {4, 2'100}}, 1'100}}},
    {"AnAdapterAppearingStartsFromItsBaseline",
     {{0, {{1, 1'000}}, 0},
      {1'000, {{1, 2'000}, {2, 70'000}}, 1'000},
      {2'000, {{1, 2'000}, {2, 70'500}}, 1'500}}},
    {"AnAdapterResettingCountsNothingForItsCycle",
     {{0, {{1, 1'000}, {2, 9'000}}, 0},
      {1'000, {{1, 1'500}, {2, 20}}, 500},
      {2'000, {{1, 1'600}, {2, 120}}, 700}}},
    {"AnAdapterComingBackStartsFromItsBaseline",
     {{0, {{1, 1'000}, {2, 1'000}}, 0},
      {1'000, {{1, 1'100}}, 100},
      {2'000, {{1, 1'200}, {2, 50'000}}, 200},
      {3'000, {{1, 1'300}, {2, 50'010}}, 310}}},
    {"ASecondRowOfAnAdapterCountsOnce",
     {{0, {{1, 1'000}, {5, 1'000}}, 0},
      {1'000, {{1, 2'000}, {5, 2'000}}, 1'000},
      {2'000, {{5, 2'500}}, 1'000},
      {3'000, {{5, 2'600}}, 1'100}}},
    {"AnImplausibleJumpCostsOnlyItsAdapter",
     {{0, {{1, 1'000}, {2, 1'000}}, 0},
      {1'000, {{1, 1'100}, {2, 200'000'000'000}}, 100}}},
    {"NoAdapterOrNoTableGivesNoReading",
     {{0, {{1, 1'000}}, 0},
      {1'000, {{3, 5'000}}, k_none},
      {2'000, {{1, 2'000}}, 0},
      {3'000, {}, k_none},
      {4'000, {{1, 3'000}}, 0},
      {5'000, {{1, 3'010}}, 10}}},
};
// clang-format on

INSTANTIATE_TEST_SUITE_P(Table, AdapterSum, testing::ValuesIn(k_sum_cases),
                         [](const testing::TestParamInfo<SumCase>& info) { return info.param.name; });

} // namespace
} // namespace tide
