// Known networks, their names and the plan's choice of them.
#include "persistence/network_usage.h"

#include <algorithm>
#include <functional>
#include <utility>

namespace tide {
namespace {

// Bidirectional marks, embeddings, overrides and isolates, and the Arabic letter mark.
bool is_bidi_control(uint32_t c) {
    return c == 0x061C || c == 0x200E || c == 0x200F || (c >= 0x202A && c <= 0x202E) ||
           (c >= 0x2066 && c <= 0x2069);
}

bool is_control(uint32_t c) {
    return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x2028 || c == 0x2029;
}

// The code point starting at text[i] and its length in bytes; length 0 for invalid UTF-8.
std::pair<uint32_t, size_t> decode(std::string_view text, size_t i) {
    const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = byte(i);
    if (lead < 0x80) {
        return {lead, 1};
    }
    size_t length = 0;
    uint32_t c = 0;
    uint32_t least = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2, c = lead & 0x1F, least = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3, c = lead & 0x0F, least = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4, c = lead & 0x07, least = 0x10000;
    } else {
        return {0, 0};
    }
    if (i + length > text.size()) {
        return {0, 0};
    }
    for (size_t k = 1; k < length; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80) {
            return {0, 0};
        }
        c = (c << 6) | (byte(i + k) & 0x3F);
    }
    if (c < least || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
        return {0, 0};
    }
    return {c, length};
}

} // namespace

std::string clean_network_name(std::string_view name) {
    std::string out;
    for (size_t i = 0; i < name.size();) {
        const auto [c, length] = decode(name, i);
        if (length == 0) {
            ++i;
            continue;
        }
        if (!is_control(c) && !is_bidi_control(c)) {
            if (out.size() + length > k_max_network_name_bytes) {
                break;
            }
            out.append(name.substr(i, length));
        }
        i += length;
    }
    const size_t first = out.find_first_not_of(' ');
    if (first == std::string::npos) {
        return {};
    }
    return out.substr(first, out.find_last_not_of(' ') - first + 1);
}

bool valid_network_id(std::string_view id) {
    return !id.empty() && id.size() <= k_max_network_id_bytes &&
           std::all_of(id.begin(), id.end(), [](char c) { return c > 0x20 && c < 0x7F; });
}

std::optional<std::string> NetworkList::see(std::string_view id, std::string_view name, bool metered,
                                            int64_t day) {
    if (KnownNetwork* known = find(id)) {
        if (std::string cleaned = clean_network_name(name); !cleaned.empty()) {
            known->name = std::move(cleaned);
        }
        known->metered = metered;
        known->last_seen = std::max(known->last_seen, day);
        return std::nullopt;
    }
    KnownNetwork network;
    network.id = std::string(id);
    network.name = clean_network_name(name);
    network.metered = metered;
    network.last_seen = day;
    std::optional<std::string> dropped;
    if (networks_.size() >= k_max_networks) {
        const auto oldest = std::min_element(
            networks_.begin(), networks_.end(),
            [](const KnownNetwork& a, const KnownNetwork& b) { return a.last_seen < b.last_seen; });
        dropped = oldest->id;
        networks_.erase(oldest);
    }
    if (network.name.empty()) {
        network.number = free_number();
    }
    networks_.push_back(std::move(network));
    return dropped;
}

const KnownNetwork* NetworkList::find(std::string_view id) const {
    const auto it =
        std::find_if(networks_.begin(), networks_.end(), [&](const KnownNetwork& n) { return n.id == id; });
    return it == networks_.end() ? nullptr : &*it;
}

KnownNetwork* NetworkList::find(std::string_view id) {
    return const_cast<KnownNetwork*>(std::as_const(*this).find(id));
}

bool NetworkList::rename(std::string_view id, std::string_view user_name) {
    KnownNetwork* network = find(id);
    if (!network) {
        return false;
    }
    network->user_name = clean_network_name(user_name);
    return true;
}

bool NetworkList::set_user_metered(std::string_view id, std::optional<bool> metered) {
    KnownNetwork* network = find(id);
    if (!network) {
        return false;
    }
    network->user_metered = metered;
    return true;
}

bool NetworkList::forget(std::string_view id) {
    return std::erase_if(networks_, [&](const KnownNetwork& n) { return n.id == id; }) > 0;
}

int32_t NetworkList::free_number() const {
    int32_t number = 1;
    while (std::any_of(networks_.begin(), networks_.end(),
                       [&](const KnownNetwork& n) { return n.number == number; })) {
        ++number;
    }
    return number;
}

bool NetworkList::restore(KnownNetwork network) {
    if (find(network.id)) {
        return false;
    }
    // Unnamed networks need a number of their own to be told apart.
    if (network.name.empty() &&
        (network.number == 0 || std::any_of(networks_.begin(), networks_.end(), [&](const KnownNetwork& n) {
             return n.number == network.number;
         }))) {
        network.number = free_number();
    }
    networks_.push_back(std::move(network));
    return true;
}

std::vector<std::string> NetworkList::trim() {
    std::vector<std::string> dropped;
    if (networks_.size() <= k_max_networks) {
        return dropped;
    }
    std::vector<int64_t> days;
    for (const KnownNetwork& n : networks_) {
        days.push_back(n.last_seen);
    }
    // The last seen day of the k_max_networks-th most recent; ties at it are kept in list order.
    std::nth_element(days.begin(), days.begin() + (k_max_networks - 1), days.end(), std::greater<>());
    const int64_t edge = days[k_max_networks - 1];
    size_t at_edge = static_cast<size_t>(
        std::count_if(days.begin(), days.begin() + k_max_networks, [&](int64_t d) { return d == edge; }));
    std::vector<KnownNetwork> kept;
    for (KnownNetwork& n : networks_) {
        if (n.last_seen > edge || (n.last_seen == edge && at_edge > 0)) {
            at_edge -= n.last_seen == edge ? 1 : 0;
            kept.push_back(std::move(n));
        } else {
            dropped.push_back(std::move(n.id));
        }
    }
    networks_ = std::move(kept);
    return dropped;
}

bool NetworkFilter::counts_network(std::string_view id) const {
    switch (counts) {
    case PlanCounts::every:
        return true;
    case PlanCounts::metered: {
        const KnownNetwork* network = networks ? networks->find(id) : nullptr;
        return network && network->is_metered();
    }
    case PlanCounts::chosen:
        return std::find(chosen.begin(), chosen.end(), id) != chosen.end() && networks && networks->find(id);
    }
    return false;
}

} // namespace tide
