// Which network the counted interface is on: the ids a network is known by, whether Windows calls its
// cost metered, and which network the bytes of an interval go to when the network changed during it.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tide {

struct NetworkIdentity {
    std::string id;   // see the *_network_id functions; k_no_network_id for none
    std::string name; // the system's name, raw (the usage history cleans it); empty when unknown
    bool metered = false;

    friend bool operator==(const NetworkIdentity&, const NetworkIdentity&) = default;
};

// "nlm:" and the network's GUID as Windows writes it ("{8-4-4-4-12}", upper-cased); empty for text
// that is not such a GUID.
std::string list_network_id(std::string_view guid_text);
// "gw:" and the gateway's MAC address ("gw:02-00-00-00-00-01"); empty for an address that names no
// single device (all zero, broadcast or multicast) or is not six bytes long.
std::string gateway_network_id(const uint8_t* mac, size_t length);
// "udn:" and the router's unique device name, printable ASCII only and bounded; empty without one.
std::string router_network_id(std::string_view udn);

// The connection cost Windows reports (NLM_CONNECTION_COST flags) means the user pays by the byte or
// against a cap: fixed, variable, roaming, over or approaching the data limit.
bool cost_is_metered(uint32_t cost);

// The networks of the last moments, to give an interval's bytes to the one that carried most of it.
class NetworkTracker {
public:
    // The counted interface is on this network from at_ms on (a monotonic clock); nothing when it
    // is on a network whose identity is not known yet. The same network again changes nothing.
    void change(const std::optional<NetworkIdentity>& network, uint64_t at_ms);
    // The network that was current for the longest part of from_ms..to_ms (on a tie the later one);
    // nothing when that is a network not known yet, or before any change was told.
    std::optional<NetworkIdentity> network_for(uint64_t from_ms, uint64_t to_ms) const;
    const std::optional<NetworkIdentity>& current() const;
    bool started() const { return !changes_.empty(); }

    static constexpr size_t k_kept_changes = 16;

private:
    struct Change {
        uint64_t at_ms = 0;
        std::optional<NetworkIdentity> network;
    };
    std::vector<Change> changes_; // oldest first
};

} // namespace tide
