// The settings window's controls as values: what each control shows for the stored settings and what
// it stores back. The window only copies these values into and out of its controls.
#pragma once

#include <array>
#include <cstdint>
#include <span>

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

// What the window remembers between loading and storing, so that a stored value no list can show
// survives as long as the user leaves its list alone.
struct FormMemory {
    bool unit_listed = true;    // the stored speed unit is one of the list's entries
    int compact_font_index = 0; // the text-size positions last loaded or applied
    int desktop_font_index = 0;

    friend bool operator==(const FormMemory&, const FormMemory&) = default;
};

struct LoadedForm {
    FormValues values;
    FormMemory memory;
};

// The control values for `working` and the memory that goes with them.
LoadedForm load_form(const Settings& working);

// Writes the control values into `working`; values no list entry stands for leave their setting alone.
void store_form(const FormValues& values, const FormMemory& memory, Settings& working);

// OK and Apply: stores, then remembers the text-size positions and whether the unit is listed.
void apply_form(const FormValues& values, FormMemory& memory, Settings& working);

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

// "Match the Windows taskbar" checked greys out the controls its style replaces.
inline bool match_taskbar_dependents_enabled(const FormValues& values) {
    return !values.checked(id_match_taskbar);
}

} // namespace tide::ui
