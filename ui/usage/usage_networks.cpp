// The usage window's network choice.
#include "ui/usage/usage_networks.h"

#include <algorithm>
#include <string_view>
#include <utility>

namespace tide {
namespace {

// One id's parts of every day and folded period.
UsageStore parts_of(const UsageStore& store, std::string_view id) {
    return store.parts_where([id](std::string_view part) { return part == id; });
}

// What no part holds, of every day and folded period.
UsageStore others_of(const UsageStore& store) {
    UsageStore out;
    for (const auto& [day, totals] : store.days()) {
        const DayTotals other = store.network_get(day, {});
        out.add(day, other.download, other.upload);
    }
    for (const auto& [first_day, period] : store.folded()) {
        DayTotals held;
        if (const auto parts = store.network_folded().find(first_day);
            parts != store.network_folded().end()) {
            for (const auto& [id, part] : parts->second) {
                held.download += part.download;
                held.upload += part.upload;
            }
        }
        // Parts are cut to fit their total when read; the floor keeps a store built otherwise sane.
        const DayTotals other{period.totals.download - std::min(held.download, period.totals.download),
                              period.totals.upload - std::min(held.upload, period.totals.upload)};
        out.add_folded(first_day, period.last_day, other);
    }
    return out;
}

} // namespace

NetworkChoices network_choices(const UsageStore& store, const NetworkFilter& plan,
                               const NetworkChoiceKey& wanted, const NetworkChoiceTexts& texts) {
    NetworkChoices choices;
    const auto add = [&choices](NetworkChoiceKind kind, std::string id, std::string label) {
        NetworkChoice& choice = choices.entries.emplace_back();
        choice.key.kind = kind;
        choice.key.id = std::move(id);
        choice.label = std::move(label);
    };
    add(NetworkChoiceKind::all, {}, texts.all);
    if (plan.counts != PlanCounts::every) {
        add(NetworkChoiceKind::plan, {}, texts.plan);
    }
    for (const KnownNetwork& network : store.networks().networks()) {
        add(NetworkChoiceKind::network, network.id, network_display_name(network, texts.names));
    }
    if (!parts_of(store, k_no_network_id).empty()) {
        add(NetworkChoiceKind::none, {}, texts.names.none);
    }
    if (!others_of(store).empty()) {
        add(NetworkChoiceKind::other, {}, texts.names.other);
    }
    const auto found = std::find_if(choices.entries.begin(), choices.entries.end(),
                                    [&](const NetworkChoice& choice) { return choice.key == wanted; });
    choices.selected =
        found == choices.entries.end() ? 0 : static_cast<size_t>(found - choices.entries.begin());
    return choices;
}

UsageStore chosen_usage(const UsageStore& store, const NetworkFilter& plan, const NetworkChoiceKey& choice) {
    switch (choice.kind) {
    case NetworkChoiceKind::all:
        return store;
    case NetworkChoiceKind::plan:
        return store.counted(plan);
    case NetworkChoiceKind::network:
        return parts_of(store, choice.id);
    case NetworkChoiceKind::none:
        return parts_of(store, k_no_network_id);
    case NetworkChoiceKind::other:
        return others_of(store);
    }
    return store;
}

bool plan_limits_apply(const UsageStore& store, const NetworkFilter& plan, const NetworkChoiceKey& choice) {
    switch (choice.kind) {
    case NetworkChoiceKind::all:
        return plan.counts == PlanCounts::every;
    case NetworkChoiceKind::plan:
        return true;
    case NetworkChoiceKind::network: {
        // Counting every network takes in "No network" and "Other networks" too: never one network alone.
        if (plan.counts == PlanCounts::every) {
            return false;
        }
        const std::vector<KnownNetwork>& networks = store.networks().networks();
        return plan.counts_network(choice.id) &&
               std::count_if(networks.begin(), networks.end(),
                             [&](const KnownNetwork& n) { return plan.counts_network(n.id); }) == 1;
    }
    case NetworkChoiceKind::none:
    case NetworkChoiceKind::other:
        return false;
    }
    return false;
}

} // namespace tide
