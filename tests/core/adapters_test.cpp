// Every adapter of this PC: which interfaces are summed, and each adapter's own baselines.
#include "net/adapters.h"

#include <gtest/gtest.h>

#include <optional>
#include <ostream>
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

void PrintTo(const AdapterCase& c, std::ostream* os) {
    *os << c.name;
}

// Each row holds a default route: what the row's flags or type say decides alone.
TEST_P(CountedAdapter, FollowsTheFlags) {
    EXPECT_EQ(is_counted_adapter(describe_interface(GetParam().row, false, true)), GetParam().counted);
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
    {"VirtualVpnAdapter", row(k_if_type_prop_virtual, false), false},
    {"VirtualSwitchHoldingTheAddress", row(k_if_type_ethernet, false), true},
    {"DialUp", row(k_if_type_ppp, false), false},
    // What Wine reports for a tun device: the hardware flag set and the type "other".
    {"TunDeviceUnderWine", row(k_if_type_other, true), false},
};
// clang-format on

INSTANTIATE_TEST_SUITE_P(Table, CountedAdapter, testing::ValuesIn(k_adapter_cases),
                         [](const testing::TestParamInfo<AdapterCase>& info) { return info.param.name; });

// One interface of a real machine: its type, hardware flag and whether it holds a default route.
struct Adapter {
    uint64_t luid;
    uint32_t type;
    bool hardware;
    bool gateway;
};

struct MachineCase {
    const char* name;
    std::vector<Adapter> adapters;
    std::vector<uint64_t> counted;
};

void PrintTo(const MachineCase& c, std::ostream* os) {
    *os << c.name;
}

class CountedAdapters : public testing::TestWithParam<MachineCase> {};

TEST_P(CountedAdapters, OnlyThoseThatReachTheInternet) {
    Inventory inventory;
    inventory.valid = true;
    for (const Adapter& a : GetParam().adapters) {
        InterfaceRow r = row(a.type, a.hardware);
        r.luid = a.luid;
        r.name = "adapter " + std::to_string(a.luid);
        inventory.interfaces.push_back(describe_interface(r, false, a.gateway));
        inventory.counters[a.luid] = {};
    }
    EXPECT_EQ(counted_adapters(inventory), GetParam().counted);
}

// Virtual adapters carry the hardware flag here: drivers differ in what they report, and the rule must
// not lean on it. Luid 1 is the adapter that reaches the internet unless the row says otherwise.
// clang-format off
const MachineCase k_machine_cases[] = {
    // Both carry a default route (ipconfig gives each a "Default Gateway").
    {"WiFiAndEthernet", {{1, k_if_type_ethernet, true, true}, {2, k_if_type_ieee80211, true, true}}, {1, 2}},
    // ICS: the private adapter gets a fixed address and no gateway; the default route stays on the shared
    // connection. Microsoft, "Internet connection sharing settings" (Windows 2000 help,
    // microsoft.com/windows/windows2000/en/advanced/help/Share_conn_settings.htm); 192.168.137.1 on
    // Windows 11 (ib.bsb.br/internet-connection-sharing-ics-within-windows-11).
    {"InternetConnectionSharing",
     {{1, k_if_type_ieee80211, true, true}, {2, k_if_type_ethernet, true, false}}, {1}},
    // Bridge: "All components other than the network bridge should be unbound from bridged adapters";
    // TCP/IP binds to the bridge's virtual adapter. Microsoft, "Local Network Bridge"
    // (msdn.microsoft.com/en-US/library/aa939958(v=winembedded.5).aspx).
    {"NetworkBridge",
     {{1, k_if_type_ethernet, true, false}, {2, k_if_type_ieee80211, true, false},
      {3, k_if_type_ethernet, false, true}}, {3}},
    // Mobile Hotspot: Microsoft Wi-Fi Direct Virtual Adapter (type 71) hosts the network beside the
    // connection to the router, 192.168.137.1 without a gateway (ipconfig /all published at
    // tkjzblog.com/2024/03/02, "Microsoft Wi-Fi Direct Virtual Adapter について").
    {"MobileHotspot",
     {{1, k_if_type_ieee80211, true, true}, {2, k_if_type_ieee80211, true, false}}, {1}},
    // Hyper-V internal (Default Switch): the host's vEthernet is the guests' NAT gateway and has none of
    // its own (mytechiethoughts.com/hyper-v-default-switch-easy-lan-internet-access-for-guest-vms).
    {"HyperVInternalSwitch",
     {{1, k_if_type_ieee80211, true, true}, {2, k_if_type_ethernet, true, false}}, {1}},
    // Hyper-V external: creating the switch moves the physical adapter's addresses and configuration to
    // the host's vEthernet (Yale ITS, "Hyper-V Networking", yaleits.atlassian.net/wiki/x/IgErkg).
    {"HyperVExternalSwitch",
     {{1, k_if_type_ethernet, true, false}, {2, k_if_type_ethernet, true, true}}, {2}},
    // WSL 2 (NAT): vEthernet (WSL) is the Linux VM's gateway, the host's own default route stays on the
    // physical adapter (Microsoft Learn, "Accessing network applications with WSL",
    // learn.microsoft.com/windows/wsl/networking).
    {"Wsl", {{1, k_if_type_ethernet, true, true}, {2, k_if_type_ethernet, true, false}}, {1}},
    // VirtualBox Host-Only Network: 192.168.56.1, "Default Gateway" empty (ipconfig published at
    // sqlsolace.blogspot.com/2011/04/virtualbox-network-types.html).
    {"VirtualBoxHostOnly",
     {{1, k_if_type_ieee80211, true, true}, {2, k_if_type_ethernet, true, false}}, {1}},
    // TAP-Windows (OpenVPN): redirect-gateway def1 routes 0.0.0.0/1 and 128.0.0.0/1 through the TAP
    // adapter and leaves the default route alone (openvpn(8), --redirect-gateway).
    {"OpenVpnTap", {{1, k_if_type_ethernet, true, true}, {2, k_if_type_ethernet, true, false}}, {1}},
    // WireGuard: AllowedIPs 0.0.0.0/0 becomes a default route on its adapter, while the physical one
    // keeps its own (wireguard-windows docs/netquirk.md, "Routing"); wireguard-nt registers
    // IF_TYPE_PROP_VIRTUAL (53).
    {"WireGuard", {{1, k_if_type_ieee80211, true, true}, {2, k_if_type_prop_virtual, true, true}}, {1}},
    // A VPN of Windows' own is a PPP interface that takes the default route on top of the adapter's.
    {"WindowsVpnOverWiFi", {{1, k_if_type_ieee80211, true, true}, {2, k_if_type_ppp, false, true}}, {1}},
    // PPPoE: the Ethernet becomes a "modem" (RASPPPOE readme) and the PPP interface holds the default
    // gateway, shown as its own address (Microsoft KB Q138238).
    {"PppoeDialUp", {{1, k_if_type_ethernet, true, false}, {2, k_if_type_ppp, false, true}}, {2}},
};
// clang-format on

INSTANTIATE_TEST_SUITE_P(Table, CountedAdapters, testing::ValuesIn(k_machine_cases),
                         [](const testing::TestParamInfo<MachineCase>& info) { return info.param.name; });

// Ethernet (luid 1), Wi-Fi (2), a VPN tunnel carried by the Ethernet (3), the Ethernet's filter (4),
// a second row of the Ethernet under its name, with its counters (5), and two adapters whose names did
// not convert (6, 7). Each holds a default route.
struct Present {
    uint64_t luid;
    uint64_t received;
    std::optional<uint64_t> sent = std::nullopt; // a tenth of received unless given
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
        r.name = p.luid == 1 || p.luid == 5 ? "Ethernet"
                 : p.luid >= 6              ? ""
                                            : "adapter " + std::to_string(p.luid);
        InterfaceInfo info = describe_interface(r, false, true);
        info.luid = p.luid;
        inventory.interfaces.push_back(info);
        inventory.counters[p.luid] = {p.received, p.sent.value_or(p.received / 10)};
    }
    return inventory;
}

struct SumStep {
    int64_t time_ms;
    std::vector<Present> present; // empty: the table could not be read
    uint64_t received;            // the running sum after the step; ~0: no valid reading
    std::optional<uint64_t> sent = std::nullopt; // a tenth of received unless given
};

constexpr uint64_t k_none = ~uint64_t{0};

struct SumCase {
    const char* name;
    std::vector<SumStep> steps;
};

void PrintTo(const SumCase& c, std::ostream* os) {
    *os << c.name;
}

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
            EXPECT_EQ(reading.sent, step.sent.value_or(step.received / 10)) << "step " << i;
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
    {"AnHourAfterBootA200GBJumpCostsOnlyItsAdapter",
     {{3'600'000, {{1, 1'000}, {2, 1'000}}, 0},
      {3'601'000, {{1, 1'100}, {2, 200'000'001'000}}, 100}}},
    {"TwoAdaptersWithoutNamesBothCount",
     {{0, {{6, 1'000}, {7, 1'000}}, 0}, {1'000, {{6, 1'100}, {7, 1'200}}, 300}}},
    {"ReceivedDownWhileSentRisesAfterAPauseIsABaseline",
     {{0, {{1, 1'000, 500}}, 0, 0},
      {61'000, {{1, 900, 600}}, 0, 0},
      {62'000, {{1, 1'000, 600}}, 100, 0},
      {63'000, {{1, 1'000, 650}}, 100, 50}}},
    // Only a rate within a sample interval is judged: after more than a minute 10 TB is no rate at all.
    {"AfterAPauseOfOverAMinuteNoRiseIsTooFast",
     {{0, {{1, 1'000}}, 0}, {61'000, {{1, 10'000'000'001'000}}, 10'000'000'000'000}}},
    {"AfterExactlyAMinuteARiseIsJudged", {{0, {{1, 1'000}}, 0}, {60'000, {{1, 10'000'000'001'000}}, 0}}},
    {"AfterFiftyMillisecondsARiseIsJudged", {{0, {{1, 1'000}}, 0}, {50, {{1, 7'000'001'000}}, 0}}},
    {"WithinFortyNineMillisecondsNoRiseIsTooFast",
     {{0, {{1, 1'000}}, 0}, {49, {{1, 7'000'001'000}}, 7'000'000'000}}},
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
