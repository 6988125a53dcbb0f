// The networks the usage history knows: their ids, names and metered flags, the limit on how many are
// remembered, the cleaning of their names, and which of them a data plan counts.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tide {

// The bytes of a sample without any network (cable out, no default route). Real networks have ids
// with a prefix of their own kind ("nlm:", "gw:", "udn:"), so none of them can take this one.
inline constexpr std::string_view k_no_network_id = "none";

// A network's id is at most this long; a longer one is not ours.
inline constexpr size_t k_max_network_id_bytes = 128;
// Names from the system (a Wi-Fi's SSID is at most 32 bytes, a profile name can be longer) and from
// the user are cut here, on a character boundary.
inline constexpr size_t k_max_network_name_bytes = 64;

// The name with control characters and bidirectional controls taken out (they could make a name
// read as something else, or reorder the text around it), blanks at both ends trimmed, invalid UTF-8
// dropped, and cut to k_max_network_name_bytes.
std::string clean_network_name(std::string_view name);

// True for what an id may be: 1 to k_max_network_id_bytes printable ASCII bytes.
bool valid_network_id(std::string_view id);

struct KnownNetwork {
    std::string id;
    std::string name;                 // the system's name (profile name, SSID, router's name); may be empty
    std::string user_name;            // the user's, when renamed
    int32_t number = 0;               // for a network without a name: it is called "Network <number>"
    bool metered = false;             // as Windows last said
    std::optional<bool> user_metered; // the user's word, which wins
    int64_t last_seen = 0;            // local day number

    bool is_metered() const { return user_metered.value_or(metered); }
    friend bool operator==(const KnownNetwork&, const KnownNetwork&) = default;
};

// The networks, in the order they were first seen. At most k_max_networks; when one more is seen,
// the one seen longest ago (never the one being seen) is dropped, and its days belong to "Other
// networks" from then on.
class NetworkList {
public:
    static constexpr size_t k_max_networks = 64;

    // Adds the network or brings its name, metered flag and last day up to date. An unnamed network
    // gets the lowest number no other network holds. Returns the id of a network dropped for it.
    std::optional<std::string> see(std::string_view id, std::string_view name, bool metered, int64_t day);
    const KnownNetwork* find(std::string_view id) const;
    KnownNetwork* find(std::string_view id);
    // False when the id is unknown.
    bool rename(std::string_view id, std::string_view user_name);
    bool set_user_metered(std::string_view id, std::optional<bool> metered);
    bool forget(std::string_view id);
    // A network read from the file, as it is (already checked): kept unless its id is there already.
    bool restore(KnownNetwork network);
    // Keeps the k_max_networks seen most recently; returns the ids dropped.
    std::vector<std::string> trim();

    const std::vector<KnownNetwork>& networks() const { return networks_; }
    bool empty() const { return networks_.empty(); }
    friend bool operator==(const NetworkList&, const NetworkList&) = default;

private:
    int32_t free_number() const; // the lowest number no network holds
    std::vector<KnownNetwork> networks_;
};

// What a data plan counts (`plan_counts`).
enum class PlanCounts : int32_t {
    every = 0,   // every network, and the bytes of no known network: today's behaviour
    metered = 1, // the networks that are metered, by Windows or by the user
    chosen = 2,  // the networks named in `plan_networks`
};

// Which networks' bytes a plan counts.
struct NetworkFilter {
    PlanCounts counts = PlanCounts::every;
    std::vector<std::string> chosen;
    const NetworkList* networks = nullptr; // for the metered flags

    // Only meaningful when not every network counts; "No network" and networks no longer known
    // never count then.
    bool counts_network(std::string_view id) const;
};

} // namespace tide
