// The interface inventory: one snapshot of the system's interface table with byte counters.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace tide {

enum class InterfaceKind : int32_t {
    ethernet = 0,
    wifi = 1,
    vpn = 2,
    loopback = 3,
    virtual_ = 4, // "virtual" is a keyword
    other = 5,
};

struct InterfaceInfo {
    uint64_t luid = 0;
    std::string name; // UTF-8 alias; empty when it did not convert
    InterfaceKind kind = InterfaceKind::other;
    bool usable = false; // operationally up and not a filter interface
    bool routed = false; // carries the route to the internet
    bool gateway = false; // holds a default route (IPv4 or IPv6) of its own
    bool hardware = false;
    uint64_t link_speed = 0; // bits per second; 0 when unknown
    uint32_t type = 0;       // IANA interface type
    bool tunnel = false;     // a tunnel interface (a tunnel type is set, or the tunnel interface type)
};

struct InterfaceCounters {
    uint64_t received = 0;
    uint64_t sent = 0;
};

struct Inventory {
    std::vector<InterfaceInfo> interfaces;          // table order, nothing filtered out
    std::map<uint64_t, InterfaceCounters> counters; // by luid; a later row with the same luid wins
    int64_t timestamp = 0;                          // monotonic nanoseconds, taken after the table read
    bool valid = false;
};

// One row of the operating system's interface table, reduced to what the inventory needs.
struct InterfaceRow {
    uint64_t luid = 0;
    std::string name;
    uint32_t type = 0; // IANA interface type
    bool hardware = false;
    bool oper_up = false; // operational status is "up"
    bool filter = false;  // a filter (lightweight filter driver) interface
    bool tunnel = false;  // a tunnel type is set
    uint64_t receive_link_speed = 0;
};

// IANA interface types the classification knows.
inline constexpr uint32_t k_if_type_other = 1;
inline constexpr uint32_t k_if_type_ethernet = 6;
inline constexpr uint32_t k_if_type_ppp = 23;
inline constexpr uint32_t k_if_type_software_loopback = 24;
inline constexpr uint32_t k_if_type_prop_virtual = 53;
inline constexpr uint32_t k_if_type_ieee80211 = 71;
inline constexpr uint32_t k_if_type_tunnel = 131;

InterfaceKind classify_interface(uint32_t type, bool hardware);
InterfaceInfo describe_interface(const InterfaceRow& row, bool routed, bool gateway = false);

// Performance-counter ticks to nanoseconds without overflowing for long uptimes; 0 for a bad frequency.
int64_t ticks_to_nanoseconds(int64_t ticks, int64_t frequency);

} // namespace tide
