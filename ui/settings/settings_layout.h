// What the settings window shows: its six pages, every control with its id, place and text, the entries
// of its lists, all in device-independent pixels and without a window.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "compact/dpi.h"

namespace tide::ui {

inline constexpr int k_page_count = 6;

// Control ids outside the pages.
inline constexpr int k_tab_control_id = 1000;
inline constexpr int k_reset_button_id = 1034;
inline constexpr int k_ok_button_id = 1; // IDOK
inline constexpr int k_apply_button_id = 1035;
inline constexpr int k_cancel_button_id = 2; // IDCANCEL

// The ids of the page controls (a slider's value label is its id + 1).
enum ControlId : int {
    id_language = 1001,
    id_interval = 1002,
    id_precision = 1003,
    id_show_bytes = 1004,
    id_speed_unit = 1005,
    id_decimal = 1006,
    id_digits = 1007,
    id_digits_compact = 1008,
    id_on_taskbar = 1009,
    id_embed_taskbar = 1010,
    id_match_taskbar = 1011,
    id_compact_upload_first = 1012,
    id_compact_font_size = 1013,
    id_compact_layout = 1014,
    id_compact_theme = 1015,
    id_compact_opacity = 1016,
    id_compact_opacity_value = 1017,
    id_compact_lock = 1018,
    id_show_desktop = 1019,
    id_desktop_layout = 1020,
    id_desktop_theme = 1021,
    id_desktop_opacity = 1022,
    id_desktop_opacity_value = 1023,
    id_desktop_font_size = 1024,
    id_desktop_upload_first = 1025,
    id_desktop_on_top = 1026,
    id_desktop_lock = 1027,
    id_dashboard_theme = 1028,
    id_dashboard_on_top = 1029,
    id_close_to_tray = 1030,
    id_start_minimized = 1031,
    id_persist_history = 1032,
    id_retention = 1033,
    // 1034 and 1035 are the Reset and Apply buttons.
    id_monthly_limit = 1036,
    id_monthly_unit = 1037,
    id_billing_day = 1038,
    id_daily_limit = 1039,
    id_daily_unit = 1040,
    id_source = 1041, // its note below is id + 1
    id_every_taskbar = 1043,
    id_plan_counts = 1060, // apart from the ids before it, which other pages may still take
};

inline constexpr int k_first_control_id = id_language;
inline constexpr int k_last_control_id = id_plan_counts;

// `number` is a box for a whole number with its label; `unit` is the small list beside the number box
// before it (its id is the box's + 1), without a label of its own.
enum class ControlKind { list, check, slider, number, unit };

// One row of a page: the control (and for lists and sliders its label to the left).
struct ControlEntry {
    int id;
    int page;
    ControlKind kind;
    int y;                      // DIP at 96 DPI
    std::string_view label_key; // the label's text, or the check box's own text
};

// Every page control in creation order (page by page, top to bottom).
std::span<const ControlEntry> settings_controls();
const ControlEntry* find_control(int id);

// The tab texts in tab order.
const std::array<std::string_view, k_page_count>& page_text_keys();

struct DipRect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;

    friend bool operator==(const DipRect&, const DipRect&) = default;
};

// A rectangle in DIP scaled to pixels at a DPI (each value by scale_to_dpi).

DipRect scale_rect(DipRect rect, int dpi);

// Where a row's pieces go. `label` is empty for check boxes, `value_label` for everything but sliders.
struct ControlRects {
    DipRect label;
    DipRect control;
    DipRect value_label;
};
ControlRects control_rects(const ControlEntry& row);

inline constexpr DipRect k_client_size{0, 0, 580, 490};
inline constexpr DipRect k_tab_rect{16, 16, 548, 416};

struct ButtonEntry {
    int id;
    std::string_view text_key;
    DipRect rect;
};
// The line under the source list saying what the chosen source counts; its id is the list's + 1.
inline constexpr int k_source_note_id = id_source + 1;
inline constexpr DipRect k_source_note_rect{28, 172, 524, 60};
// The note's text for a position of the source list; the first note for no or another position.
std::string_view source_note_key(int position);

// Reset, OK, Apply, Cancel: always visible, below the pages.
const std::array<ButtonEntry, 4>& settings_buttons();

// The values the number lists stand for, in list order.
inline constexpr std::array<int32_t, 6> k_interval_entries{250, 500, 1000, 2000, 5000, 10000};
inline constexpr std::array<int32_t, 9> k_font_size_entries{8, 9, 10, 11, 12, 13, 14, 16, 18};
inline constexpr std::array<int32_t, 7> k_unit_entries{0, 7, 8, 9, 2, 3, 4}; // speed unit codes
inline constexpr std::array<int32_t, 5> k_retention_entries{7, 30, 90, 180, 365};
inline constexpr int k_billing_day_count = 31;
inline constexpr int k_plan_counts_count = 3; // every network, metered networks, chosen networks
// The units a data limit is entered in: MB and GB (of 10^6 and 10^9 bytes).
inline constexpr int k_unit_mb = 0;
inline constexpr int k_unit_gb = 1;
inline constexpr int k_layout_count = 6;

// One entry of a list: either a text of the language (`key`) or the same text in every language.
struct ListEntry {
    std::string text;
    bool is_key = false;

    friend bool operator==(const ListEntry&, const ListEntry&) = default;
};

// The entries of list control `id` in order; empty for ids that are not lists.
std::vector<ListEntry> list_entries(int id);

// The slider's value label: position × 5 and "%".
std::string opacity_text(int position);

// The known networks, under the plan's rows on the History page. They are not settings: their ids lie
// past the form's, and what they change goes to the usage history.
enum NetworkControlId : int {
    id_networks = 1070,      // the list, with its heading right before it
    id_networks_none = 1071, // "No network has been seen yet.", in the list's place while it is empty
    id_network_name = 1072,  // the selected network's name box, with its label right before it
    id_network_metered = 1073,
    id_network_counted = 1074,
    id_network_forget = 1075,
};
inline constexpr int k_networks_page = 5;

// Each piece's place, and for the name box and the "Metered" list their labels' places.
struct NetworkControlPlace {
    int id;
    std::string_view text_key; // the control's own text, or its label's
    DipRect label;             // empty for controls without a label of their own
    DipRect control;
};
// In creation (and Tab) order; the list's heading is its label.
const std::array<NetworkControlPlace, 6>& network_control_places();
// The list's columns: name, metered, counted; the widths in DIP of the first two (the last one takes
// what is left).
inline constexpr std::array<int, 2> k_network_column_widths{128, 80};

// Controls that "Match the Windows taskbar" greys out while it is checked.
inline constexpr std::array<int, 4> k_match_taskbar_dependents{id_compact_font_size, id_compact_theme,
                                                               id_compact_opacity, id_compact_opacity_value};

// Data limits need the history on disk: they are greyed out while it is not kept.
inline constexpr std::array<int, 6> k_history_dependents{id_monthly_limit, id_monthly_unit, id_billing_day,
                                                         id_daily_limit,   id_daily_unit,   id_plan_counts};

} // namespace tide::ui
