// The known networks in the settings window: the rows the list shows, what the user changed in them
// (names, metered choices, networks forgotten, the networks a plan of chosen networks counts), and what
// of that OK or Apply hands over. Nothing is done to the networks before then.
#pragma once

#include <cstddef>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tide::ui {

// A network as the window is handed it.
struct NetworkEntry {
    std::string id;
    std::string user_name;    // the user's name for it; empty when not renamed
    std::string unnamed_name; // what it is called without the user's name: the system's, or "Network 3"
    bool windows_metered = false;
    std::optional<bool> user_metered;

    friend bool operator==(const NetworkEntry&, const NetworkEntry&) = default;
};

// What OK or Apply does to the networks.
struct NetworkEdits {
    std::map<std::string, std::string> renames;         // id to the user's name; empty: the name is dropped
    std::map<std::string, std::optional<bool>> metered; // id to the user's word; none: as Windows says
    std::vector<std::string> forgotten;                 // their days go to "Other networks"

    bool empty() const { return renames.empty() && metered.empty() && forgotten.empty(); }
    friend bool operator==(const NetworkEdits&, const NetworkEdits&) = default;
};

// The checks the user changed, as a change to `plan_networks`: only these ids are added or taken out,
// so an id the window never showed (a network no longer known) stays where it is.
struct PlanNetworksChange {
    std::vector<std::string> added;
    std::vector<std::string> removed;
    std::vector<std::string> shown; // the networks the window lists: the ids a user can see ticked

    bool empty() const { return added.empty() && removed.empty(); }
    friend bool operator==(const PlanNetworksChange&, const PlanNetworksChange&) = default;
};

// `plan_networks` with the change made. Added ids go at the end; when the list would hold more than
// `limit` ids, ids the window did not show (networks no longer known) make room, oldest first, so that
// a check the user made is never the one cut.
std::vector<std::string> changed_plan_networks(std::vector<std::string> plan_networks,
                                               const PlanNetworksChange& change, size_t limit);

// The positions of the "Metered" list.
enum MeteredChoice : int { metered_as_windows = 0, metered_yes = 1, metered_no = 2 };

// Whether a control of the networks (settings_layout's NetworkControlId) can be used: all of them
// need the history kept, the selected network's controls a selection, and its "Counted by the plan"
// a plan of chosen networks (`plan_counts` at position 2).
bool network_control_enabled(int id, bool history_kept, bool selected, int plan_counts);

// One line of the list, its texts as language keys where they are words.
struct NetworkRowTexts {
    std::string name;
    std::string_view metered_key; // "settings.metered_yes" or "settings.metered_no"
    std::string_view counted_key;

    friend bool operator==(const NetworkRowTexts&, const NetworkRowTexts&) = default;
};

class NetworkEditor {
public:
    NetworkEditor() = default;
    NetworkEditor(std::vector<NetworkEntry> networks, std::vector<std::string> plan_networks);

    // The networks not forgotten, in the order handed in.
    size_t size() const { return rows_.size(); }
    bool empty() const { return rows_.empty(); }
    const std::string& id(size_t row) const { return rows_.at(row).entry.id; }

    // The name as the program would call the network after OK: the user's, else its own.
    std::string name(size_t row) const;
    int metered_choice(size_t row) const;
    bool metered(size_t row) const; // the user's word, else Windows'
    // Ticked in the window: the id is (or would be) in `plan_networks`.
    bool chosen(size_t row) const;
    // Whether the plan counts the network, with `plan_counts` at this position of its list (0 every,
    // 1 metered, 2 chosen). Chosen with no id at all counts every network, as the plan does.
    bool counted(size_t row, int plan_counts) const;
    NetworkRowTexts texts(size_t row, int plan_counts) const;

    // The name box's text: cleaned as names are; empty or the network's own name drops the user's.
    void rename(size_t row, std::string_view typed);
    void set_metered(size_t row, int choice); // a choice out of range is ignored
    void set_chosen(size_t row, bool chosen);
    // The row leaves the list; a chosen network leaves `plan_networks` with it.
    void forget(size_t row);

    NetworkEdits edits() const;
    PlanNetworksChange plan_change() const;

    // Reset to defaults: the plan's networks start again from `plan_networks` (the defaults'). The
    // names, metered choices and forgotten networks stay as edited.
    void reset_plan(std::vector<std::string> plan_networks);
    // After OK or Apply: what was handed over becomes the starting point.
    void applied();

private:
    struct Row {
        NetworkEntry entry;
        std::optional<std::string> rename;          // the user_name after OK
        std::optional<std::optional<bool>> metered; // the user_metered after OK
        bool chosen = false;
    };

    std::string user_name(const Row& row) const;
    std::optional<bool> user_metered(const Row& row) const;

    std::vector<Row> rows_;
    std::vector<std::string> forgotten_;
    std::vector<std::string> plan_networks_; // as the window started from them
};

} // namespace tide::ui
