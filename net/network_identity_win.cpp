// The network of the counted interface: the Network List Manager first, the gateway's MAC address where
// it gives no name (Wine answers E_NOTIMPL there).
#include "net/network_identity_win.h"

#include <winsock2.h>
#include <ws2ipdef.h>
#include <iphlpapi.h>
#include <netioapi.h>
#include <netlistmgr.h>
#include <oleauto.h>

#include <cstring>
#include <utility>

#include "base/wide_text_win.h"
#include "persistence/network_usage.h"

namespace tide {
namespace {

// A well-known public resolver: the lookup only consults the routing table, nothing is sent.
SOCKADDR_INET internet_probe() {
    SOCKADDR_INET address{};
    address.Ipv4.sin_family = AF_INET;
    const unsigned char bytes[4] = {8, 8, 8, 8};
    std::memcpy(&address.Ipv4.sin_addr, bytes, sizeof bytes);
    return address;
}

std::string address_bytes(const SOCKADDR_INET& address) {
    if (address.si_family == AF_INET) {
        return std::string(reinterpret_cast<const char*>(&address.Ipv4.sin_addr), 4);
    }
    if (address.si_family == AF_INET6) {
        return std::string(reinterpret_cast<const char*>(&address.Ipv6.sin6_addr), 16);
    }
    return {};
}

bool unspecified(const SOCKADDR_INET& address) {
    const std::string bytes = address_bytes(address);
    return bytes.find_first_not_of('\0') == std::string::npos;
}

// The IPv4 default route of the interface (of any interface for 0) with the lowest metric: its
// interface and next hop.
std::optional<std::pair<uint64_t, SOCKADDR_INET>> default_route(uint64_t luid) {
    PMIB_IPFORWARD_TABLE2 table = nullptr;
    if (GetIpForwardTable2(AF_INET, &table) != NO_ERROR || table == nullptr) {
        return std::nullopt;
    }
    std::optional<std::pair<uint64_t, SOCKADDR_INET>> best;
    ULONG best_metric = 0;
    for (ULONG i = 0; i < table->NumEntries; ++i) {
        const MIB_IPFORWARD_ROW2& row = table->Table[i];
        if ((luid == 0 || row.InterfaceLuid.Value == luid) && row.DestinationPrefix.PrefixLength == 0 &&
            !unspecified(row.NextHop) && (!best || row.Metric < best_metric)) {
            best = std::pair{row.InterfaceLuid.Value, row.NextHop};
            best_metric = row.Metric;
        }
    }
    FreeMibTable(table);
    return best;
}

std::string guid_text(const GUID& guid) {
    wchar_t text[64] = {};
    if (StringFromGUID2(guid, text, 64) == 0) {
        return {};
    }
    return to_utf8(text);
}

template <typename T> struct ComRelease {
    T* p = nullptr;
    ~ComRelease() {
        if (p) {
            p->Release();
        }
    }
    T** out() { return &p; }
    T* operator->() const { return p; }
    explicit operator bool() const { return p != nullptr; }
};

struct ListAnswer {
    std::string id;
    std::string name;
    std::optional<bool> metered;
};

// The Network List Manager's network connected through the adapter.
ListAnswer ask_network_list(uint64_t luid) {
    ListAnswer answer;
    NET_LUID net_luid{};
    net_luid.Value = luid;
    GUID adapter{};
    if (ConvertInterfaceLuidToGuid(&net_luid, &adapter) != NO_ERROR) {
        return answer;
    }
    ComRelease<INetworkListManager> manager;
    if (FAILED(CoCreateInstance(CLSID_NetworkListManager, nullptr, CLSCTX_ALL, IID_INetworkListManager,
                                reinterpret_cast<void**>(manager.out())))) {
        return answer;
    }
    ComRelease<IEnumNetworkConnections> connections;
    if (FAILED(manager->GetNetworkConnections(connections.out())) || !connections) {
        return answer;
    }
    // A handful at most; the bound keeps a broken enumerator from spinning.
    for (int i = 0; i < 64; ++i) {
        ComRelease<INetworkConnection> connection;
        ULONG fetched = 0;
        if (connections->Next(1, connection.out(), &fetched) != S_OK || fetched == 0) {
            break;
        }
        GUID id{};
        if (FAILED(connection->GetAdapterId(&id)) || !IsEqualGUID(id, adapter)) {
            continue;
        }
        ComRelease<INetworkConnectionCost> cost;
        DWORD cost_flags = 0;
        if (SUCCEEDED(connection->QueryInterface(IID_INetworkConnectionCost,
                                                 reinterpret_cast<void**>(cost.out()))) &&
            SUCCEEDED(cost->GetCost(&cost_flags))) {
            answer.metered = cost_is_metered(cost_flags);
        }
        ComRelease<INetwork> network;
        if (FAILED(connection->GetNetwork(network.out())) || !network) {
            break;
        }
        GUID network_id{};
        if (SUCCEEDED(network->GetNetworkId(&network_id))) {
            answer.id = list_network_id(guid_text(network_id));
        }
        BSTR name = nullptr;
        if (network->GetName(&name) == S_OK && name != nullptr) {
            answer.name = to_utf8(std::wstring(name, SysStringLen(name)));
        }
        SysFreeString(name);
        break;
    }
    return answer;
}

// The gateway's MAC address from the neighbour table, which holds the gateway once any traffic went
// through it; until then the lookup is tried again. Nothing is sent to resolve it: asking the system
// to (ResolveIpNetEntry2) would put packets of ours on the user's network.
std::string gateway_mac_id(uint64_t luid, const SOCKADDR_INET& gateway) {
    PMIB_IPNET_TABLE2 table = nullptr;
    std::string id;
    if (GetIpNetTable2(AF_INET, &table) == NO_ERROR && table != nullptr) {
        for (ULONG i = 0; i < table->NumEntries && id.empty(); ++i) {
            const MIB_IPNET_ROW2& row = table->Table[i];
            if (row.InterfaceLuid.Value == luid && address_bytes(row.Address) == address_bytes(gateway) &&
                row.State != NlnsUnreachable && row.State != NlnsIncomplete) {
                id = gateway_network_id(row.PhysicalAddress, row.PhysicalAddressLength);
            }
        }
        FreeMibTable(table);
    }
    return id;
}

void CALLBACK on_route_change(PVOID context, PMIB_IPFORWARD_ROW2, MIB_NOTIFICATION_TYPE) {
    static_cast<NetworkChangeWatch*>(context)->note_change();
}

void CALLBACK on_interface_change(PVOID context, PMIB_IPINTERFACE_ROW, MIB_NOTIFICATION_TYPE) {
    static_cast<NetworkChangeWatch*>(context)->note_change();
}

} // namespace

NetworkKey current_network_key(std::optional<uint64_t> luid) {
    NetworkKey key;
    if (!luid) {
        // Wine's GetBestRoute2 fails without an interface: then the best default route of any.
        MIB_IPFORWARD_ROW2 route{};
        SOCKADDR_INET source{};
        const SOCKADDR_INET probe = internet_probe();
        if (GetBestRoute2(nullptr, 0, nullptr, &probe, 0, &route, &source) == NO_ERROR) {
            luid = route.InterfaceLuid.Value;
        }
    }
    if (const auto route = default_route(luid.value_or(0))) {
        key.luid = route->first;
        key.gateway = address_bytes(route->second);
    }
    return key;
}

std::optional<NetworkIdentity> look_up_network(const NetworkKey& key) {
    if (key.luid == 0 || key.gateway.size() != 4) {
        return NetworkIdentity{std::string(k_no_network_id), {}, false};
    }
    const ListAnswer listed = ask_network_list(key.luid);
    if (!listed.id.empty() && !listed.name.empty()) {
        return NetworkIdentity{listed.id, listed.name, listed.metered.value_or(false)};
    }
    SOCKADDR_INET gateway{};
    gateway.Ipv4.sin_family = AF_INET;
    std::memcpy(&gateway.Ipv4.sin_addr, key.gateway.data(), 4);
    const std::string id = gateway_mac_id(key.luid, gateway);
    if (id.empty()) {
        return std::nullopt;
    }
    return NetworkIdentity{id, listed.name, listed.metered.value_or(false)};
}

bool NetworkChangeWatch::start() {
    if (route_ == nullptr) {
        NotifyRouteChange2(AF_UNSPEC, &on_route_change, this, FALSE, &route_);
    }
    if (interface_ == nullptr) {
        NotifyIpInterfaceChange(AF_UNSPEC, &on_interface_change, this, FALSE, &interface_);
    }
    return route_ != nullptr || interface_ != nullptr;
}

void NetworkChangeWatch::stop() {
    if (route_ != nullptr) {
        CancelMibChangeNotify2(route_);
        route_ = nullptr;
    }
    if (interface_ != nullptr) {
        CancelMibChangeNotify2(interface_);
        interface_ = nullptr;
    }
}

std::optional<uint64_t> NetworkChangeWatch::take_change() {
    const uint64_t at = changed_at_.exchange(0);
    return at == 0 ? std::nullopt : std::optional<uint64_t>(at);
}

void NetworkChangeWatch::note_change() {
    uint64_t none = 0;
    changed_at_.compare_exchange_strong(none, GetTickCount64());
}

} // namespace tide
