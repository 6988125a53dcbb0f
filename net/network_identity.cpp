// Network ids, the cost rule and the network of an interval.
#include "net/network_identity.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

namespace tide {
namespace {

constexpr size_t k_max_udn_bytes = 100;

bool is_hex(char c) {
    return std::isxdigit(static_cast<unsigned char>(c)) != 0;
}

} // namespace

std::string list_network_id(std::string_view guid) {
    static constexpr std::string_view k_shape = "{xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx}";
    if (guid.size() != k_shape.size()) {
        return {};
    }
    std::string id = "nlm:";
    for (size_t i = 0; i < guid.size(); ++i) {
        const bool hex_place = k_shape[i] == 'x';
        if (hex_place ? !is_hex(guid[i]) : guid[i] != k_shape[i]) {
            return {};
        }
        id += static_cast<char>(std::toupper(static_cast<unsigned char>(guid[i])));
    }
    return id;
}

std::string gateway_network_id(const uint8_t* mac, size_t length) {
    if (mac == nullptr || length != 6 || (mac[0] & 0x01) != 0 ||
        std::all_of(mac, mac + 6, [](uint8_t b) { return b == 0; })) {
        return {};
    }
    char text[24];
    std::snprintf(text, sizeof text, "gw:%02x-%02x-%02x-%02x-%02x-%02x", mac[0], mac[1], mac[2], mac[3],
                  mac[4], mac[5]);
    return text;
}

std::string router_network_id(std::string_view udn) {
    std::string id = "udn:";
    for (const char c : udn) {
        if (c > 0x20 && c < 0x7F && id.size() < k_max_udn_bytes + 4) {
            id += c;
        }
    }
    return id.size() > 4 ? id : std::string();
}

bool cost_is_metered(uint32_t cost) {
    // NLM_CONNECTION_COST_FIXED 0x2, _VARIABLE 0x4, _OVERDATALIMIT 0x10000, _ROAMING 0x40000,
    // _APPROACHINGDATALIMIT 0x80000 (netlistmgr.h); UNRESTRICTED 0x1 and CONGESTED 0x20000 are not.
    constexpr uint32_t k_metered = 0x2 | 0x4 | 0x10000 | 0x40000 | 0x80000;
    return (cost & k_metered) != 0;
}

void NetworkTracker::change(const std::optional<NetworkIdentity>& network, uint64_t at_ms) {
    if (!changes_.empty() && changes_.back().network == network) {
        return;
    }
    changes_.push_back({at_ms, network});
    if (changes_.size() > k_kept_changes) {
        changes_.erase(changes_.begin());
    }
}

std::optional<NetworkIdentity> NetworkTracker::network_for(uint64_t from_ms, uint64_t to_ms) const {
    if (changes_.empty()) {
        return std::nullopt;
    }
    const Change* best = &changes_.back();
    uint64_t best_span = 0;
    for (size_t i = 0; i < changes_.size(); ++i) {
        const uint64_t start = std::max(changes_[i].at_ms, from_ms);
        const uint64_t end = i + 1 < changes_.size() ? std::min(changes_[i + 1].at_ms, to_ms) : to_ms;
        if (end < start || (end == start && from_ms != to_ms)) {
            continue;
        }
        if (end - start >= best_span) {
            best_span = end - start;
            best = &changes_[i];
        }
    }
    return best->network;
}

const std::optional<NetworkIdentity>& NetworkTracker::current() const {
    static const std::optional<NetworkIdentity> k_none;
    return changes_.empty() ? k_none : changes_.back().network;
}

} // namespace tide
