// The usage window's network choice: the choices a store and a plan offer, the days each one shows,
// and whether the plan's limits belong beside its bars.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "persistence/network_usage.h"
#include "persistence/usage.h"

namespace tide {

enum class NetworkChoiceKind : int32_t {
    all,     // every byte of the days
    plan,    // what the plan counts, while it does not count every network
    network, // one known network
    none,    // the bytes carried without any network
    other,   // the bytes no network's part holds (forgotten networks, days from before networks were kept)
};

// What names a choice across refreshes: the list around it may change, its place with it.
struct NetworkChoiceKey {
    NetworkChoiceKind kind = NetworkChoiceKind::all;
    std::string id; // the network's, for NetworkChoiceKind::network only

    friend bool operator==(const NetworkChoiceKey&, const NetworkChoiceKey&) = default;
};

struct NetworkChoice {
    NetworkChoiceKey key;
    std::string label;

    friend bool operator==(const NetworkChoice&, const NetworkChoice&) = default;
};

// The program's texts in the user's language: "usage.network_all", "usage.network_plan" and the names of
// networks without one of their own.
struct NetworkChoiceTexts {
    std::string all = "All networks";
    std::string plan = "Networks the plan counts";
    NetworkNames names;
};

struct NetworkChoices {
    std::vector<NetworkChoice> entries;
    size_t selected = 0; // the wanted choice's entry; "All networks" (the first) when it is not offered

    const NetworkChoiceKey& selected_key() const { return entries[selected].key; }
};

// "All networks"; "Networks the plan counts" while the plan does not count every network; each known
// network in the list's order; "No network" and "Other networks" while the store holds bytes of theirs.
NetworkChoices network_choices(const UsageStore& store, const NetworkFilter& plan,
                               const NetworkChoiceKey& wanted, const NetworkChoiceTexts& texts = {});

// The days and folded periods of the choice: a store whose totals are only its bytes.
UsageStore chosen_usage(const UsageStore& store, const NetworkFilter& plan, const NetworkChoiceKey& choice);

// The plan's limits (their lines, the bars over them, the summary's share of the limit) belong to the
// bars only when these are exactly what the plan counts: all networks while it counts every one, the
// plan's networks, or the one known network it counts.
bool plan_limits_apply(const UsageStore& store, const NetworkFilter& plan, const NetworkChoiceKey& choice);

} // namespace tide
