// The box of the compact read-out: its size for each layout from the measured text, and where the arrows,
// values and labels go inside it. Lengths are device-independent pixels.
#pragma once

#include <string>
#include <string_view>

namespace tide {

enum class CompactLayout { two_lines = 0, one_line = 1, two_columns = 2, icon_only = 3, text_only = 4, numbers_only = 5 };

// The gap between an arrow and its text, and between columns in half-steps of it.
inline constexpr int k_item_gap = 6;

struct BoxInsets {
    int inset_x = 8;
    int inset_y = 4;
    int line_gap = 2;
    int min_h = 20;

    friend bool operator==(const BoxInsets&, const BoxInsets&) = default;
};

// Native style hugs the text like the taskbar's own clock; `tight` is the squeezed box of a crowded taskbar.
BoxInsets box_insets(bool native_style, bool tight, int min_h_setting);

struct BoxSize {
    int width = 0;
    int height = 0;

    friend bool operator==(const BoxSize&, const BoxSize&) = default;
};

// Icon side for a font size: 0.9 of it, to the nearest integer.
int icon_size_for(float font_size_dip);

// The box for a layout from the whole-pixel column width W, line height L and icon size I, insets added,
// clamped to the limits (when min is not below max, min wins).
BoxSize compact_box_size(int layout, int column_width, int line_height, int icon_size, const BoxInsets& insets,
                         int min_w, int max_w, int max_h);

struct ItemSpot {
    bool present = false;
    float x = 0;
    float y = 0;

    friend bool operator==(const ItemSpot&, const ItemSpot&) = default;
};

// Where things go: "first" is the download item unless upload comes first; x already mirrored for
// right-to-left (the item's own width taken off, the icon size for an arrow, the column width for a text).
struct CompactItems {
    ItemSpot first_arrow;
    ItemSpot first_text;
    ItemSpot second_arrow;
    ItemSpot second_text;
    ItemSpot first_label;
    ItemSpot second_label;
};

struct ItemMetrics {
    float line_height = 0;
    float icon_size = 0;
    float column_width = 0;
};

CompactItems compact_items(int layout, BoxSize box, const BoxInsets& insets, const ItemMetrics& metrics, bool rtl);

// A value as shown: `text_only` puts an arrow character and a blank before it; in a right-to-left
// interface it is wrapped in a left-to-right isolate so the figures and unit keep their order.
std::wstring decorate_value(std::wstring_view text, bool downward, int layout, bool rtl);

} // namespace tide
