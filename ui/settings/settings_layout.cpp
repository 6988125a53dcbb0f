// The settings window's pages, places and list entries.
#include "ui/settings/settings_layout.h"

#include <cmath>

#include "presentation/localization.h"
#include "presentation/theme.h"

namespace tide::ui {
namespace {

using enum ControlKind;

constexpr ControlEntry k_controls[] = {
    {id_language, 0, list, 60, "settings.language"},
    {id_interval, 0, list, 98, "settings.interval"},
    {id_source, 0, list, 136, "settings.source"},
    {id_precision, 1, list, 60, "settings.precision"},
    {id_show_bytes, 1, check, 98, "settings.show_bytes"},
    {id_speed_unit, 1, list, 136, "settings.speed_unit"},
    {id_decimal, 1, list, 174, "settings.decimal"},
    {id_digits, 1, list, 212, "settings.digits"},
    {id_digits_compact, 1, check, 250, "settings.digits_compact"},
    {id_on_taskbar, 2, check, 60, "settings.on_taskbar"},
    {id_every_taskbar, 2, check, 92, "settings.every_taskbar"},
    {id_embed_taskbar, 2, check, 124, "settings.embed_taskbar"},
    {id_match_taskbar, 2, check, 156, "settings.match_taskbar"},
    {id_compact_upload_first, 2, check, 188, "settings.upload_first"},
    {id_compact_font_size, 2, list, 222, "settings.font_size"},
    {id_compact_layout, 2, list, 258, "settings.layout"},
    {id_compact_theme, 2, list, 294, "settings.theme"},
    {id_compact_opacity, 2, slider, 330, "settings.opacity"},
    {id_compact_lock, 2, check, 364, "settings.lock"},
    {id_show_desktop, 3, check, 60, "settings.show_desktop"},
    {id_desktop_layout, 3, list, 98, "settings.layout"},
    {id_desktop_theme, 3, list, 136, "settings.theme"},
    {id_desktop_opacity, 3, slider, 174, "settings.opacity"},
    {id_desktop_font_size, 3, list, 212, "settings.font_size"},
    {id_desktop_upload_first, 3, check, 250, "settings.upload_first"},
    {id_desktop_on_top, 3, check, 284, "settings.always_on_top"},
    {id_desktop_lock, 3, check, 318, "settings.lock"},
    {id_dashboard_theme, 4, list, 60, "settings.theme"},
    {id_dashboard_on_top, 4, check, 98, "settings.dashboard_on_top"},
    {id_close_to_tray, 4, check, 132, "settings.close_to_tray"},
    {id_start_minimized, 4, check, 166, "settings.start_minimized"},
    {id_persist_history, 5, check, 60, "settings.persist_history"},
    {id_retention, 5, list, 94, "settings.retention"},
    {id_monthly_limit, 5, number, 128, "settings.monthly_limit"},
    {id_monthly_unit, 5, unit, 128, ""},
    {id_billing_day, 5, list, 162, "settings.billing_day"},
    {id_daily_limit, 5, number, 196, "settings.daily_limit"},
    {id_daily_unit, 5, unit, 196, ""},
    {id_plan_counts, 5, list, 230, "settings.plan_counts"},
};

constexpr std::array<std::string_view, k_page_count> k_page_keys{
    "group.general", "group.numbers", "group.taskbar", "group.desktop", "group.dashboard", "group.history"};

constexpr std::array<ButtonEntry, 4> k_buttons{{
    {k_reset_button_id, "settings.reset", {16, 444, 180, 30}},
    {k_ok_button_id, "button.ok", {248, 444, 100, 30}},
    {k_apply_button_id, "button.apply", {356, 444, 100, 30}},
    {k_cancel_button_id, "button.cancel", {464, 444, 100, 30}},
}};

// The History page's rows are closer than the other pages' to make room for these. The list on the
// left under the plan's rows, the selected network's controls in a column beside it.
constexpr std::array<NetworkControlPlace, 6> k_network_places{{
    {id_networks, "settings.networks", {28, 270, 340, 20}, {28, 290, 340, 130}},
    {id_networks_none, "settings.networks_none", {}, {32, 296, 332, 40}},
    {id_network_name, "settings.network_name", {380, 270, 172, 20}, {380, 290, 172, 22}},
    {id_network_metered, "settings.network_metered", {380, 318, 172, 20}, {380, 338, 172, 200}},
    {id_network_counted, "settings.network_counted", {}, {380, 364, 172, 28}},
    {id_network_forget, "settings.network_forget", {}, {380, 394, 120, 26}},
}};

std::vector<ListEntry> literal_entries(std::initializer_list<std::string_view> texts) {
    std::vector<ListEntry> entries;
    for (std::string_view text : texts) {
        entries.push_back({std::string(text), false});
    }
    return entries;
}

std::vector<ListEntry> theme_entries() {
    std::vector<ListEntry> entries;
    for (const std::string& name : theme_choices()) {
        if (name == "System") {
            entries.push_back({"theme.system", true});
        } else {
            entries.push_back({name, false});
        }
    }
    return entries;
}

std::vector<ListEntry> font_size_entries() {
    std::vector<ListEntry> entries;
    for (int32_t size : k_font_size_entries) {
        entries.push_back({std::to_string(size) + " pt", false});
    }
    return entries;
}

std::vector<ListEntry> layout_entries() {
    std::vector<ListEntry> entries;
    for (std::string_view key : {"layout.two_lines", "layout.one_line", "layout.two_columns",
                                 "layout.icon_only", "layout.text_only", "layout.numbers_only"}) {
        entries.push_back({std::string(key), true});
    }
    return entries;
}

} // namespace

std::span<const ControlEntry> settings_controls() {
    return k_controls;
}

const ControlEntry* find_control(int id) {
    for (const ControlEntry& row : settings_controls()) {
        if (row.id == id) {
            return &row;
        }
    }
    return nullptr;
}

const std::array<std::string_view, k_page_count>& page_text_keys() {
    return k_page_keys;
}

DipRect scale_rect(DipRect rect, int dpi) {
    return {scale_to_dpi(rect.x, dpi), scale_to_dpi(rect.y, dpi), scale_to_dpi(rect.width, dpi),
            scale_to_dpi(rect.height, dpi)};
}

ControlRects control_rects(const ControlEntry& row) {
    ControlRects rects;
    switch (row.kind) {
    case ControlKind::check:
        rects.control = {28, row.y, 524, 32};
        break;
    case ControlKind::list:
        rects.label = {28, row.y + 4, 250, 32};
        rects.control = {286, row.y, 266, 200};
        break;
    case ControlKind::slider:
        rects.label = {28, row.y + 4, 250, 32};
        rects.control = {286, row.y, 214, 30};
        rects.value_label = {504, row.y + 6, 48, 20};
        break;
    case ControlKind::number:
        rects.label = {28, row.y + 4, 250, 32};
        rects.control = {286, row.y, 170, 22};
        break;
    case ControlKind::unit:
        rects.control = {462, row.y, 90, 200};
        break;
    }
    return rects;
}

const std::array<ButtonEntry, 4>& settings_buttons() {
    return k_buttons;
}

const std::array<NetworkControlPlace, 6>& network_control_places() {
    return k_network_places;
}

std::vector<ListEntry> list_entries(int id) {
    switch (id) {
    case id_language: {
        std::vector<ListEntry> entries{{"settings.language_system", true}};
        for (const LanguageInfo& language : language_list()) {
            entries.push_back({std::string(language.native_name), false});
        }
        return entries;
    }
    case id_interval:
        return literal_entries({"0.25 s", "0.5 s", "1 s", "2 s", "5 s", "10 s"});
    case id_precision:
        return literal_entries({"0", "1", "2"});
    case id_speed_unit: {
        auto entries = literal_entries({"", "KB/s", "MB/s", "GB/s", "Kbit/s", "Mbit/s", "Gbit/s"});
        entries[0] = {"menu.automatic", true};
        return entries;
    }
    case id_decimal: {
        auto entries = literal_entries({"", "1.5", "1,5"});
        entries[0] = {"menu.automatic", true};
        return entries;
    }
    case id_digits:
        return {{"0123456789", false}, {"settings.digits_native", true}};
    case id_compact_font_size:
    case id_desktop_font_size:
        return font_size_entries();
    case id_compact_layout:
    case id_desktop_layout:
        return layout_entries();
    case id_compact_theme:
    case id_desktop_theme:
    case id_dashboard_theme:
        return theme_entries();
    case id_retention:
        return literal_entries({"7", "30", "90", "180", "365"});
    case id_billing_day: {
        std::vector<ListEntry> entries;
        for (int day = 1; day <= k_billing_day_count; ++day) {
            entries.push_back({std::to_string(day), false});
        }
        return entries;
    }
    case id_monthly_unit:
    case id_daily_unit:
        return literal_entries({"MB", "GB"});
    case id_source:
        return {{"source.interface", true}, {"source.adapters", true}, {"source.router", true}};
    case id_plan_counts:
        return {{"plan.counts_every", true}, {"plan.counts_metered", true}, {"plan.counts_chosen", true}};
    case id_network_metered: // in the order of MeteredChoice
        return {{"settings.metered_windows", true},
                {"settings.metered_yes", true},
                {"settings.metered_no", true}};
    default:
        return {};
    }
}

std::string_view source_note_key(int position) {
    switch (position) {
    case 1:
        return "source.adapters_note";
    case 2:
        return "source.router_note";
    default:
        return "source.interface_note";
    }
}

std::string opacity_text(int position) {
    return std::to_string(position * 5) + "%";
}

} // namespace tide::ui
