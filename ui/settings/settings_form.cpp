// The mapping between the settings record and the settings window's controls.
#include "ui/settings/settings_form.h"

#include <algorithm>
#include <cstdlib>

#include "net/source.h"
#include "presentation/localization.h"
#include "presentation/theme.h"

namespace tide::ui {

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
    // The slider cannot stand anywhere outside its range.
    return std::clamp(opacity_pct / 5, k_opacity_min_position, k_opacity_max_position);
}

bool taskbar_display_shown(const CompactSettings& compact) {
    return compact.enabled && compact.on_taskbar && compact.mode == 0;
}

int limit_unit_for(int32_t limit_mb) {
    return limit_mb >= 1000 && limit_mb % 1000 == 0 ? k_unit_gb : k_unit_mb;
}

int64_t limit_in_unit(int32_t limit_mb, int unit) {
    return unit == k_unit_gb ? limit_mb / 1000 : limit_mb;
}

int limit_from_text(std::string_view text, int unit) {
    while (!text.empty() && text.front() == ' ') {
        text.remove_prefix(1);
    }
    while (!text.empty() && text.back() == ' ') {
        text.remove_suffix(1);
    }
    int64_t number = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') {
            return k_no_selection;
        }
        number = std::min<int64_t>(number * 10 + (c - '0'), k_max_limit_mb);
    }
    return static_cast<int>(std::min<int64_t>(number * (unit == k_unit_gb ? 1000 : 1), k_max_limit_mb));
}

namespace {

bool in_range(int position, size_t count) {
    return position >= 0 && static_cast<size_t>(position) < count;
}

bool checked(int value) {
    return value != 0 && value != k_no_selection;
}

// The member a path of member pointers leads to: at<&Settings::compact, &CompactSettings::locked>(s).
template <auto First, auto... Rest> auto& at(auto& record) {
    if constexpr (sizeof...(Rest) == 0) {
        return record.*First;
    } else {
        return at<Rest...>(record.*First);
    }
}

template <auto... Path> FormField check(int id) {
    return {id, [](const Settings& s) { return at<Path...>(s) ? 1 : 0; },
            [](int value, Settings& s) { at<Path...>(s) = checked(value); }};
}

// A list of numbers: shows the entry nearest to the stored number, stores the chosen entry.
template <const auto& Entries, auto... Path> FormField nearest(int id) {
    return {id, [](const Settings& s) { return nearest_entry(Entries, at<Path...>(s)); },
            [](int value, Settings& s) {
                if (in_range(value, Entries.size())) {
                    at<Path...>(s) = Entries[static_cast<size_t>(value)];
                }
            }};
}

// A list whose position is the stored number.
template <int Count, auto... Path> FormField position(int id) {
    return {id, [](const Settings& s) { return static_cast<int>(at<Path...>(s)); },
            [](int value, Settings& s) {
                if (in_range(value, Count)) {
                    at<Path...>(s) = value;
                }
            }};
}

template <auto... Path> FormField theme(int id) {
    return {id, [](const Settings& s) { return theme_choice_index(at<Path...>(s)); },
            [](int value, Settings& s) {
                if (value != k_no_selection) {
                    at<Path...>(s) = theme_choice_name(value);
                }
            }};
}

template <auto... Path> FormField opacity(int id) {
    return {id, [](const Settings& s) { return opacity_position(at<Path...>(s)); },
            [](int value, Settings& s) {
                if (value >= k_opacity_min_position && value <= k_opacity_max_position) {
                    at<Path...>(s) = value * 5;
                }
            }};
}

int language_position(const Settings& s) {
    const LanguageList& languages = language_list();
    for (size_t i = 0; i < languages.size(); ++i) {
        if (languages[i].code == s.language) {
            return static_cast<int>(i) + 1;
        }
    }
    return 0; // "system" and any code the list does not carry
}

void store_language(int value, Settings& s) {
    if (value == k_no_selection) {
        return;
    }
    const LanguageList& languages = language_list();
    s.language = value >= 1 && value <= static_cast<int>(languages.size())
                     ? std::string(languages[static_cast<size_t>(value - 1)].code)
                     : std::string("system");
}

// Precision, "show bytes" and the unit stand for both unit blocks; the list shows the main block's
// precision and the taskbar block's unit.
int load_precision(const Settings& s) {
    return std::clamp(s.main_units.precision, 0, 2);
}

void store_precision(int value, Settings& s) {
    const int precision = std::clamp(value == k_no_selection ? 0 : value, 0, 2);
    s.compact_units.precision = precision;
    s.main_units.precision = precision;
}

int load_show_bytes(const Settings& s) {
    return s.main_units.bytes_when_auto ? 1 : 0;
}

void store_show_bytes(int value, Settings& s) {
    s.compact_units.bytes_when_auto = checked(value);
    s.main_units.bytes_when_auto = checked(value);
}

int load_unit(const Settings& s) {
    const int position = unit_position(s.compact_units.unit);
    return position == k_no_selection ? 0 : position; // an unlisted unit shows "automatic"
}

void store_unit(int value, Settings& s) {
    if (in_range(value, k_unit_entries.size())) {
        s.compact_units.unit = k_unit_entries[static_cast<size_t>(value)];
        s.main_units.unit = k_unit_entries[static_cast<size_t>(value)];
    }
}

int load_on_taskbar(const Settings& s) {
    return taskbar_display_shown(s.compact) ? 1 : 0;
}

void store_on_taskbar(int value, Settings& s) {
    if (checked(value)) {
        s.compact.enabled = true;
        s.compact.on_taskbar = true;
        s.compact.mode = 0;
    } else if (taskbar_display_shown(s.compact)) {
        s.compact.enabled = false; // a read-out the box did not stand for (floating, say) is left alone
    }
}

int load_persist_history(const Settings& s) {
    return s.history_mode == 1 ? 1 : 0;
}

void store_persist_history(int value, Settings& s) {
    s.history_mode = checked(value) ? 1 : 0;
}

// A data limit's box: its value is the limit in MB.
template <auto Member> FormField limit(int id) {
    return {id, [](const Settings& s) { return static_cast<int>(s.*Member); },
            [](int value, Settings& s) {
                if (value >= 0) {
                    s.*Member = std::min(value, k_max_limit_mb);
                }
            }};
}

// The unit list beside it only changes how the box reads; the box's value carries the limit.
template <auto Member> FormField limit_unit(int id) {
    return {id, [](const Settings& s) { return limit_unit_for(s.*Member); }, [](int, Settings&) {}};
}

int load_billing_day(const Settings& s) {
    return std::clamp(s.billing_day, 1, k_billing_day_count) - 1;
}

void store_billing_day(int value, Settings& s) {
    if (in_range(value, k_billing_day_count)) {
        s.billing_day = value + 1;
    }
}

int load_plan_counts(const Settings& s) {
    return std::clamp(s.plan_counts, 0, k_plan_counts_count - 1);
}

void store_plan_counts(int value, Settings& s) {
    if (in_range(value, k_plan_counts_count)) {
        s.plan_counts = value;
    }
}

using S = Settings;
using C = CompactSettings;
using W = MainWindowSettings;

const std::array k_fields{
    FormField{id_language, language_position, store_language},
    nearest<k_interval_entries, &S::monitoring, &MonitoringSettings::interval_ms>(id_interval),
    position<k_monitor_source_count, &S::monitoring, &MonitoringSettings::source>(id_source),

    FormField{id_precision, load_precision, store_precision},
    FormField{id_show_bytes, load_show_bytes, store_show_bytes},
    FormField{id_speed_unit, load_unit, store_unit},
    position<3, &S::decimal_sep>(id_decimal),
    position<2, &S::digit_style>(id_digits),
    check<&S::native_digits_compact>(id_digits_compact),

    FormField{id_on_taskbar, load_on_taskbar, store_on_taskbar},
    check<&S::compact, &C::every_taskbar>(id_every_taskbar),
    check<&S::compact, &C::embed_in_taskbar>(id_embed_taskbar),
    check<&S::compact, &C::native_style>(id_match_taskbar),
    check<&S::compact, &C::upload_first>(id_compact_upload_first),
    nearest<k_font_size_entries, &S::compact, &C::font_size_pt>(id_compact_font_size),
    position<k_layout_count, &S::compact, &C::layout>(id_compact_layout),
    theme<&S::compact, &C::theme>(id_compact_theme),
    opacity<&S::compact, &C::opacity_pct>(id_compact_opacity),
    check<&S::compact, &C::locked>(id_compact_lock),

    check<&S::desktop, &C::enabled>(id_show_desktop),
    position<k_layout_count, &S::desktop, &C::layout>(id_desktop_layout),
    theme<&S::desktop, &C::theme>(id_desktop_theme),
    opacity<&S::desktop, &C::opacity_pct>(id_desktop_opacity),
    nearest<k_font_size_entries, &S::desktop, &C::font_size_pt>(id_desktop_font_size),
    check<&S::desktop, &C::upload_first>(id_desktop_upload_first),
    check<&S::desktop, &C::always_on_top>(id_desktop_on_top),
    check<&S::desktop, &C::locked>(id_desktop_lock),

    theme<&S::main_window, &W::theme>(id_dashboard_theme),
    check<&S::main_window, &W::always_on_top>(id_dashboard_on_top),
    check<&S::main_window, &W::close_to_tray>(id_close_to_tray),
    check<&S::main_window, &W::start_minimized>(id_start_minimized),

    FormField{id_persist_history, load_persist_history, store_persist_history},
    nearest<k_retention_entries, &S::history_retention_days>(id_retention),
    limit<&S::monthly_warning_mb>(id_monthly_limit),
    limit_unit<&S::monthly_warning_mb>(id_monthly_unit),
    FormField{id_billing_day, load_billing_day, store_billing_day},
    limit<&S::daily_warning_mb>(id_daily_limit),
    limit_unit<&S::daily_warning_mb>(id_daily_unit),
    FormField{id_plan_counts, load_plan_counts, store_plan_counts},
};

} // namespace

std::span<const FormField> form_fields() {
    return k_fields;
}

const FormField* find_field(int id) {
    const auto it =
        std::find_if(k_fields.begin(), k_fields.end(), [id](const FormField& f) { return f.id == id; });
    return it == k_fields.end() ? nullptr : &*it;
}

FormValues load_form(const Settings& settings) {
    FormValues values;
    for (const FormField& field : k_fields) {
        values[field.id] = field.load(settings);
    }
    return values;
}

} // namespace tide::ui
