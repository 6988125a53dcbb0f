// The known networks' rows and the edits the settings window keeps for them until OK or Apply.
#include "ui/settings/network_edits.h"

#include <algorithm>
#include <cstdint>
#include <utility>

#include "persistence/network_usage.h"
#include "ui/settings/settings_layout.h"

namespace tide::ui {
namespace {

bool holds(const std::vector<std::string>& ids, std::string_view id) {
    return std::find(ids.begin(), ids.end(), id) != ids.end();
}

} // namespace

std::vector<std::string> changed_plan_networks(std::vector<std::string> plan_networks,
                                               const PlanNetworksChange& change, size_t limit) {
    std::erase_if(plan_networks, [&](const std::string& id) { return holds(change.removed, id); });
    for (const std::string& id : change.added) {
        if (!holds(plan_networks, id)) {
            plan_networks.push_back(id);
        }
    }
    for (auto it = plan_networks.begin(); plan_networks.size() > limit && it != plan_networks.end();) {
        it = holds(change.shown, *it) ? it + 1 : plan_networks.erase(it);
    }
    return plan_networks;
}

bool network_control_enabled(int id, bool history_kept, bool selected, int plan_counts) {
    switch (id) {
    case id_networks:
    case id_networks_none:
        return history_kept;
    case id_network_counted:
        return history_kept && selected && plan_counts == 2;
    default:
        return history_kept && selected;
    }
}

NetworkEditor::NetworkEditor(std::vector<NetworkEntry> networks, std::vector<std::string> plan_networks)
    : plan_networks_(std::move(plan_networks)) {
    for (NetworkEntry& network : networks) {
        const bool chosen = holds(plan_networks_, network.id);
        rows_.push_back({std::move(network), std::nullopt, std::nullopt, chosen});
    }
}

std::string NetworkEditor::user_name(const Row& row) const {
    return row.rename.value_or(row.entry.user_name);
}

std::optional<bool> NetworkEditor::user_metered(const Row& row) const {
    return row.metered.value_or(row.entry.user_metered);
}

std::string NetworkEditor::name(size_t row) const {
    const std::string user = clean_network_name(user_name(rows_.at(row)));
    return user.empty() ? rows_.at(row).entry.unnamed_name : user;
}

int NetworkEditor::metered_choice(size_t row) const {
    const std::optional<bool> user = user_metered(rows_.at(row));
    if (!user) {
        return metered_as_windows;
    }
    return *user ? metered_yes : metered_no;
}

bool NetworkEditor::metered(size_t row) const {
    return user_metered(rows_.at(row)).value_or(rows_.at(row).entry.windows_metered);
}

bool NetworkEditor::chosen(size_t row) const {
    return rows_.at(row).chosen;
}

bool NetworkEditor::counted(size_t row, int plan_counts) const {
    switch (plan_counts) {
    case 1:
        return metered(row);
    case 2: {
        // An id the window does not show (a network no longer known) still makes the choice one of
        // chosen networks: then only the ticked ones count.
        const bool any_chosen =
            std::any_of(rows_.begin(), rows_.end(), [](const Row& r) { return r.chosen; }) ||
            std::any_of(plan_networks_.begin(), plan_networks_.end(), [&](const std::string& id) {
                return !holds(forgotten_, id) && std::none_of(rows_.begin(), rows_.end(),
                                                              [&](const Row& r) { return r.entry.id == id; });
            });
        return !any_chosen || chosen(row);
    }
    default:
        return true;
    }
}

NetworkRowTexts NetworkEditor::texts(size_t row, int plan_counts) const {
    const auto yes_no = [](bool yes) { return yes ? "settings.metered_yes" : "settings.metered_no"; };
    return {name(row), yes_no(metered(row)), yes_no(counted(row, plan_counts))};
}

void NetworkEditor::rename(size_t row, std::string_view typed) {
    Row& r = rows_.at(row);
    std::string cleaned = clean_network_name(typed);
    if (cleaned == r.entry.unnamed_name) {
        cleaned.clear(); // its own name: it follows the system's again
    }
    if (cleaned == clean_network_name(r.entry.user_name)) {
        r.rename.reset();
    } else {
        r.rename = std::move(cleaned);
    }
}

void NetworkEditor::set_metered(size_t row, int choice) {
    Row& r = rows_.at(row);
    std::optional<bool> user;
    switch (choice) {
    case metered_as_windows:
        break;
    case metered_yes:
        user = true;
        break;
    case metered_no:
        user = false;
        break;
    default:
        return;
    }
    if (user == r.entry.user_metered) {
        r.metered.reset();
    } else {
        r.metered = user;
    }
}

void NetworkEditor::set_chosen(size_t row, bool chosen) {
    rows_.at(row).chosen = chosen;
}

void NetworkEditor::forget(size_t row) {
    forgotten_.push_back(rows_.at(row).entry.id);
    rows_.erase(rows_.begin() + static_cast<std::ptrdiff_t>(row));
}

NetworkEdits NetworkEditor::edits() const {
    NetworkEdits edits;
    for (const Row& row : rows_) {
        if (row.rename) {
            edits.renames[row.entry.id] = *row.rename;
        }
        if (row.metered) {
            edits.metered[row.entry.id] = *row.metered;
        }
    }
    edits.forgotten = forgotten_;
    return edits;
}

PlanNetworksChange NetworkEditor::plan_change() const {
    PlanNetworksChange change;
    for (const Row& row : rows_) {
        change.shown.push_back(row.entry.id);
        const bool was = holds(plan_networks_, row.entry.id);
        if (row.chosen && !was) {
            change.added.push_back(row.entry.id);
        } else if (!row.chosen && was) {
            change.removed.push_back(row.entry.id);
        }
    }
    for (const std::string& id : forgotten_) {
        if (holds(plan_networks_, id)) {
            change.removed.push_back(id);
        }
    }
    return change;
}

void NetworkEditor::reset_plan(std::vector<std::string> plan_networks) {
    plan_networks_ = std::move(plan_networks);
    for (Row& row : rows_) {
        row.chosen = holds(plan_networks_, row.entry.id);
    }
}

void NetworkEditor::applied() {
    const PlanNetworksChange change = plan_change();
    plan_networks_ = changed_plan_networks(std::move(plan_networks_), change, SIZE_MAX);
    for (Row& row : rows_) {
        row.entry.user_name = user_name(row);
        row.entry.user_metered = user_metered(row);
        row.rename.reset();
        row.metered.reset();
    }
    forgotten_.clear();
}

} // namespace tide::ui
