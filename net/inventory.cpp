// Classification of interface-table rows.
#include "net/inventory.h"

#include <limits>

namespace tide {

InterfaceKind classify_interface(uint32_t type, bool hardware) {
    switch (type) {
    case k_if_type_software_loopback:
        return InterfaceKind::loopback;
    case k_if_type_ieee80211:
        return InterfaceKind::wifi;
    case k_if_type_ppp:
    case k_if_type_prop_virtual:
    case k_if_type_tunnel:
        return InterfaceKind::vpn;
    case k_if_type_ethernet:
        return hardware ? InterfaceKind::ethernet : InterfaceKind::virtual_;
    default:
        return hardware ? InterfaceKind::other : InterfaceKind::virtual_;
    }
}

InterfaceInfo describe_interface(const InterfaceRow& row, bool routed, bool gateway) {
    InterfaceInfo info;
    info.luid = row.luid;
    info.name = row.name;
    info.kind = classify_interface(row.type, row.hardware);
    info.usable = row.oper_up && !row.filter;
    info.routed = routed;
    info.gateway = gateway;
    info.hardware = row.hardware;
    info.type = row.type;
    info.tunnel = row.tunnel || row.type == k_if_type_tunnel;
    // The table reports an unknown speed with all bits set.
    info.link_speed =
        row.receive_link_speed == std::numeric_limits<uint64_t>::max() ? 0 : row.receive_link_speed;
    return info;
}

int64_t ticks_to_nanoseconds(int64_t ticks, int64_t frequency) {
    if (frequency <= 0) {
        return 0;
    }
    constexpr int64_t k_ns_per_second = 1'000'000'000;
    return (ticks / frequency) * k_ns_per_second + (ticks % frequency) * k_ns_per_second / frequency;
}

} // namespace tide
