// The settings window's controls as values: what each control shows for the stored settings and what a
// value of it writes. The window only copies these values into and out of its controls; which of them
// are written at all is settings_edit's rule.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string_view>

#include "persistence/settings.h"
#include "ui/settings/settings_layout.h"

namespace tide::ui {

inline constexpr int k_no_selection = -1;

// One value per page control, indexed by id: a list's position (k_no_selection for none), a check
// box's state (0 or 1) or a slider's position. Value labels carry nothing.
class FormValues {
public:
    FormValues() { values_.fill(k_no_selection); }
    int& operator[](int id) { return values_.at(static_cast<size_t>(id - k_first_control_id)); }
    int operator[](int id) const { return values_.at(static_cast<size_t>(id - k_first_control_id)); }
    bool checked(int id) const { return (*this)[id] != 0 && (*this)[id] != k_no_selection; }

    friend bool operator==(const FormValues&, const FormValues&) = default;

private:
    std::array<int, k_last_control_id - k_first_control_id + 1> values_{};
};

// One control and the settings it stands for: the value it shows for a record, and what a value of it
// writes into a record. A value the control cannot stand for (no selection, out of range) writes nothing.
struct FormField {
    int id;
    int (*load)(const Settings&);
    void (*store)(int value, Settings&);
};

// Every page control's field, page by page in the order of the pages.
std::span<const FormField> form_fields();
const FormField* find_field(int id);

// What each control shows for `settings`.
FormValues load_form(const Settings& settings);

// The entry nearest to `stored` in an ascending list; a tie goes to the earlier (smaller) entry.
int nearest_entry(std::span<const int32_t> entries, int32_t stored);

// The list position of a speed unit code, or nothing when the list cannot show it.
int unit_position(int32_t unit); // k_no_selection when unlisted

// Slider positions 4 … 20 stand for 20 … 100 %.
inline constexpr int k_opacity_min_position = 4;
inline constexpr int k_opacity_max_position = 20;
int opacity_position(int32_t opacity_pct);

// The taskbar read-out counts as "on the taskbar" only when it is on, placed on the taskbar and in mode 0.
bool taskbar_display_shown(const CompactSettings& compact);

// A data limit's box holds the limit in MB as its value and shows it in the unit beside it: GB when
// the limit is a whole number of GB. What the user typed becomes MB again; an empty box is no limit,
// text that is not a whole number stands for nothing (k_no_selection), a number too large is the
// largest limit.
inline constexpr int32_t k_max_limit_mb = 100000000;
int limit_unit_for(int32_t limit_mb);
int64_t limit_in_unit(int32_t limit_mb, int unit);
int limit_from_text(std::string_view text, int unit);

// "Match the Windows taskbar" checked greys out the controls its style replaces.
inline bool match_taskbar_dependents_enabled(const FormValues& values) {
    return !values.checked(id_match_taskbar);
}

inline bool history_dependents_enabled(const FormValues& values) {
    return values.checked(id_persist_history);
}

} // namespace tide::ui
