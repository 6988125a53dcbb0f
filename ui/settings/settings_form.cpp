// The mapping between the settings record and the settings window's controls.
#include "ui/settings/settings_form.h"

#include <algorithm>
#include <cstdlib>

#include "presentation/localization.h"
#include "presentation/theme.h"

namespace tide::ui {
namespace {

int language_position(const std::string& language) {
    const LanguageList& languages = language_list();
    for (size_t i = 0; i < languages.size(); ++i) {
        if (languages[i].code == language) {
            return static_cast<int>(i) + 1;
        }
    }
    return 0; // "system" and any code the list does not carry
}

bool in_range(int position, int count) {
    return position >= 0 && position < count;
}

void load_compact_common(const CompactSettings& block, int layout_id, int theme_id, int opacity_id,
                         int font_id, FormValues& values, int& font_index) {
    values[layout_id] = block.layout;
    values[theme_id] = theme_choice_index(block.theme);
    values[opacity_id] = opacity_position(block.opacity_pct);
    font_index = nearest_entry(k_font_size_entries, block.font_size_pt);
    values[font_id] = font_index;
}

void store_compact_common(const FormValues& values, int layout_id, int theme_id, int opacity_id, int font_id,
                          int font_index, CompactSettings& block) {
    if (in_range(values[layout_id], k_layout_count)) {
        block.layout = values[layout_id];
    }
    if (values[theme_id] != k_no_selection) {
        block.theme = theme_choice_name(values[theme_id]);
    }
    if (values[opacity_id] != k_no_selection) {
        block.opacity_pct = values[opacity_id] * 5;
    }
    const int font = values[font_id];
    if (in_range(font, static_cast<int>(k_font_size_entries.size())) && font != font_index) {
        block.font_size_pt = k_font_size_entries[static_cast<size_t>(font)];
    }
}

} // namespace

int nearest_entry(std::span<const int32_t> entries, int32_t stored) {
    int best = 0;
    int64_t best_distance = -1;
    for (size_t i = 0; i < entries.size(); ++i) {
        const int64_t distance = std::llabs(static_cast<int64_t>(entries[i]) - stored);
        if (best_distance < 0 || distance < best_distance) { // strictly nearer: ties keep the earlier
            best = static_cast<int>(i);
            best_distance = distance;
        }
    }
    return best;
}

int unit_position(int32_t unit) {
    const auto it = std::find(k_unit_entries.begin(), k_unit_entries.end(), unit);
    return it == k_unit_entries.end() ? k_no_selection : static_cast<int>(it - k_unit_entries.begin());
}

int opacity_position(int32_t opacity_pct) {
    // The slider cannot stand anywhere outside its range: what it shows is what it will store.
    return std::clamp(opacity_pct / 5, k_opacity_min_position, k_opacity_max_position);
}

bool taskbar_display_shown(const CompactSettings& compact) {
    return compact.enabled && compact.on_taskbar && compact.mode == 0;
}

LoadedForm load_form(const Settings& s) {
    LoadedForm form;
    FormValues& v = form.values;
    v[id_language] = language_position(s.language);
    v[id_interval] = nearest_entry(k_interval_entries, s.monitoring.interval_ms);

    v[id_precision] = std::clamp(s.main_units.precision, 0, 2);
    v[id_show_bytes] = s.main_units.bytes_when_auto;
    const int unit = unit_position(s.compact_units.unit);
    form.memory.unit_listed = unit != k_no_selection;
    v[id_speed_unit] = form.memory.unit_listed ? unit : 0;
    v[id_decimal] = s.decimal_sep;
    v[id_digits] = s.digit_style;
    v[id_digits_compact] = s.native_digits_compact;

    v[id_on_taskbar] = taskbar_display_shown(s.compact);
    v[id_embed_taskbar] = s.compact.embed_in_taskbar;
    v[id_match_taskbar] = s.compact.native_style;
    v[id_compact_upload_first] = s.compact.upload_first;
    load_compact_common(s.compact, id_compact_layout, id_compact_theme, id_compact_opacity,
                        id_compact_font_size, v, form.memory.compact_font_index);
    v[id_compact_lock] = s.compact.locked;

    v[id_show_desktop] = s.desktop.enabled;
    load_compact_common(s.desktop, id_desktop_layout, id_desktop_theme, id_desktop_opacity,
                        id_desktop_font_size, v, form.memory.desktop_font_index);
    v[id_desktop_upload_first] = s.desktop.upload_first;
    v[id_desktop_on_top] = s.desktop.always_on_top;
    v[id_desktop_lock] = s.desktop.locked;

    v[id_dashboard_theme] = theme_choice_index(s.main_window.theme);
    v[id_dashboard_on_top] = s.main_window.always_on_top;
    v[id_close_to_tray] = s.main_window.close_to_tray;
    v[id_start_minimized] = s.main_window.start_minimized;

    v[id_persist_history] = s.history_mode == 1;
    v[id_retention] = nearest_entry(k_retention_entries, s.history_retention_days);
    return form;
}

void store_form(const FormValues& v, const FormMemory& memory, Settings& s) {
    const int language = v[id_language];
    if (language != k_no_selection) {
        const LanguageList& languages = language_list();
        s.language = language >= 1 && language <= static_cast<int>(languages.size())
                         ? std::string(languages[static_cast<size_t>(language - 1)].code)
                         : std::string("system");
    }
    if (in_range(v[id_interval], static_cast<int>(k_interval_entries.size()))) {
        s.monitoring.interval_ms = k_interval_entries[static_cast<size_t>(v[id_interval])];
    }

    const int precision = std::clamp(v[id_precision] == k_no_selection ? 0 : v[id_precision], 0, 2);
    s.compact_units.precision = precision;
    s.main_units.precision = precision;
    s.compact_units.bytes_when_auto = v.checked(id_show_bytes);
    s.main_units.bytes_when_auto = v.checked(id_show_bytes);
    const int unit = v[id_speed_unit];
    // A stored unit the list cannot show stays as long as the list is left on its first entry.
    if (in_range(unit, static_cast<int>(k_unit_entries.size())) && (memory.unit_listed || unit != 0)) {
        s.compact_units.unit = k_unit_entries[static_cast<size_t>(unit)];
        s.main_units.unit = k_unit_entries[static_cast<size_t>(unit)];
    }
    if (in_range(v[id_decimal], 3)) {
        s.decimal_sep = v[id_decimal];
    }
    if (in_range(v[id_digits], 2)) {
        s.digit_style = v[id_digits];
    }
    s.native_digits_compact = v.checked(id_digits_compact);

    if (v.checked(id_on_taskbar)) {
        s.compact.enabled = true;
        s.compact.on_taskbar = true;
        s.compact.mode = 0;
    } else if (taskbar_display_shown(s.compact)) {
        s.compact.enabled = false; // a read-out the box did not stand for (floating, say) is left alone
    }
    s.compact.embed_in_taskbar = v.checked(id_embed_taskbar);
    s.compact.native_style = v.checked(id_match_taskbar);
    s.compact.upload_first = v.checked(id_compact_upload_first);
    store_compact_common(v, id_compact_layout, id_compact_theme, id_compact_opacity, id_compact_font_size,
                         memory.compact_font_index, s.compact);
    s.compact.locked = v.checked(id_compact_lock);

    s.desktop.enabled = v.checked(id_show_desktop);
    store_compact_common(v, id_desktop_layout, id_desktop_theme, id_desktop_opacity, id_desktop_font_size,
                         memory.desktop_font_index, s.desktop);
    s.desktop.upload_first = v.checked(id_desktop_upload_first);
    s.desktop.always_on_top = v.checked(id_desktop_on_top);
    s.desktop.locked = v.checked(id_desktop_lock);

    if (v[id_dashboard_theme] != k_no_selection) {
        s.main_window.theme = theme_choice_name(v[id_dashboard_theme]);
    }
    s.main_window.always_on_top = v.checked(id_dashboard_on_top);
    s.main_window.close_to_tray = v.checked(id_close_to_tray);
    s.main_window.start_minimized = v.checked(id_start_minimized);

    s.history_mode = v.checked(id_persist_history) ? 1 : 0;
    if (in_range(v[id_retention], static_cast<int>(k_retention_entries.size()))) {
        s.history_retention_days = k_retention_entries[static_cast<size_t>(v[id_retention])];
    }
}

void apply_form(const FormValues& values, FormMemory& memory, Settings& working) {
    store_form(values, memory, working);
    memory.compact_font_index = values[id_compact_font_size];
    memory.desktop_font_index = values[id_desktop_font_size];
    memory.unit_listed = unit_position(working.compact_units.unit) != k_no_selection;
}

} // namespace tide::ui
