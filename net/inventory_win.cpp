// Reading the interface inventory from the IP Helper tables.
#include "net/inventory_win.h"

// clang-format off
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>
#include <iphlpapi.h>
// clang-format on

#include <cstring>
#include <cwchar>
#include <memory>
#include <new>
#include <set>

#include "base/wide_text_win.h"

namespace tide {
namespace {

struct MibTableFree {
    void operator()(void* table) const { FreeMibTable(table); }
};
template <class Table> using MibTablePtr = std::unique_ptr<Table, MibTableFree>;

int64_t monotonic_nanoseconds() {
    static const int64_t frequency = [] {
        LARGE_INTEGER value{};
        QueryPerformanceFrequency(&value);
        return static_cast<int64_t>(value.QuadPart);
    }();
    LARGE_INTEGER counter{};
    QueryPerformanceCounter(&counter);
    return ticks_to_nanoseconds(counter.QuadPart, frequency);
}

// Well-known public DNS resolvers: the lookups only consult the routing table, nothing is sent.
SOCKADDR_INET ipv4_probe() {
    SOCKADDR_INET address{};
    address.Ipv4.sin_family = AF_INET;
    const unsigned char bytes[4] = {8, 8, 8, 8};
    std::memcpy(&address.Ipv4.sin_addr, bytes, sizeof(bytes));
    return address;
}

SOCKADDR_INET ipv6_probe() {
    SOCKADDR_INET address{};
    address.Ipv6.sin6_family = AF_INET6;
    const unsigned char bytes[16] = {0x20, 0x01, 0x48, 0x60, 0x48, 0x60, 0, 0, 0, 0, 0, 0, 0, 0, 0x88, 0x88};
    std::memcpy(&address.Ipv6.sin6_addr, bytes, sizeof(bytes));
    return address;
}

void add_best_route(const SOCKADDR_INET& destination, std::set<uint64_t>& routed) {
    MIB_IPFORWARD_ROW2 route{};
    SOCKADDR_INET source{};
    if (GetBestRoute2(nullptr, 0, nullptr, &destination, 0, &route, &source) == NO_ERROR) {
        routed.insert(route.InterfaceLuid.Value);
    }
}

struct Routes {
    std::set<uint64_t> routed;   // carry the route to the internet
    std::set<uint64_t> gateways; // hold a default route of their own
};

// Every interface with a default route (IPv4 or IPv6), from the whole routing table.
std::set<uint64_t> default_route_interfaces() {
    std::set<uint64_t> gateways;
    MIB_IPFORWARD_TABLE2* raw = nullptr;
    if (GetIpForwardTable2(AF_UNSPEC, &raw) != NO_ERROR || raw == nullptr) {
        return gateways;
    }
    const MibTablePtr<MIB_IPFORWARD_TABLE2> table(raw);
    for (ULONG i = 0; i < table->NumEntries; ++i) {
        const MIB_IPFORWARD_ROW2& row = table->Table[i];
        if (row.DestinationPrefix.PrefixLength == 0) {
            gateways.insert(row.InterfaceLuid.Value);
        }
    }
    return gateways;
}

// The route to the internet is the best route to the two probes, or, when neither lookup works, every
// default route. Every adapter needs the default routes anyway, so the table is read every time.
Routes read_routes() {
    Routes routes;
    add_best_route(ipv4_probe(), routes.routed);
    add_best_route(ipv6_probe(), routes.routed);
    routes.gateways = default_route_interfaces();
    if (routes.routed.empty()) {
        routes.routed = routes.gateways;
    }
    return routes;
}

InterfaceRow to_row(const MIB_IF_ROW2& row) {
    InterfaceRow out;
    out.luid = row.InterfaceLuid.Value;
    out.name = to_utf8(std::wstring_view(row.Alias, wcsnlen(row.Alias, IF_MAX_STRING_SIZE + 1)));
    out.type = row.Type;
    out.hardware = row.InterfaceAndOperStatusFlags.HardwareInterface != 0;
    out.oper_up = row.OperStatus == IfOperStatusUp;
    out.filter = row.InterfaceAndOperStatusFlags.FilterInterface != 0;
    out.tunnel = row.TunnelType != TUNNEL_TYPE_NONE;
    out.receive_link_speed = row.ReceiveLinkSpeed;
    return out;
}

} // namespace

Inventory take_inventory() {
    MIB_IF_TABLE2* raw = nullptr;
    if (GetIfTable2(&raw) != NO_ERROR || raw == nullptr) {
        return {};
    }
    const MibTablePtr<MIB_IF_TABLE2> table(raw);
    try {
        Inventory inventory;
        inventory.timestamp = monotonic_nanoseconds();
        const Routes routes = read_routes();
        inventory.interfaces.reserve(table->NumEntries);
        for (ULONG i = 0; i < table->NumEntries; ++i) {
            const MIB_IF_ROW2& row = table->Table[i];
            const uint64_t luid = row.InterfaceLuid.Value;
            inventory.counters[luid] = {row.InOctets, row.OutOctets};
            inventory.interfaces.push_back(describe_interface(to_row(row), routes.routed.contains(luid),
                                                              routes.gateways.contains(luid)));
        }
        inventory.valid = true;
        return inventory;
    } catch (const std::bad_alloc&) {
        return {};
    }
}

} // namespace tide
