// Box size and item positions of the compact read-out; see compact_layout.h.
#include "compact/compact_layout.h"

#include <algorithm>
#include <cmath>

namespace tide {

namespace {

int clamp_length(int value, int low, int high) {
    const int upper = low < high ? high : low;
    return std::min(std::max(value, low), upper);
}

} // namespace

BoxInsets box_insets(bool native_style, bool tight, int min_h_setting) {
    if (native_style) {
        return {4, 1, 0, 10};
    }
    return tight ? BoxInsets{8, 2, 0, min_h_setting} : BoxInsets{8, 4, 2, min_h_setting};
}

int icon_size_for(float font_size_dip) {
    return static_cast<int>(std::lround(font_size_dip * 0.9f));
}

BoxSize compact_box_size(int layout, int w, int l, int i, const BoxInsets& insets, int min_w, int max_w, int max_h) {
    const int gap = k_item_gap;
    BoxSize content;
    switch (static_cast<CompactLayout>(layout)) {
    case CompactLayout::two_lines: content = {gap + i + w, insets.line_gap + 2 * l}; break;
    case CompactLayout::one_line: content = {2 * w + 2 * i + 4 * gap, std::max(i, l)}; break;
    case CompactLayout::two_columns: content = {2 * w + 2 * i + 4 * gap, insets.line_gap + 2 * l}; break;
    case CompactLayout::icon_only: content = {gap + 2 * i, i}; break;
    case CompactLayout::text_only: content = {2 * w + 2 * gap, l}; break;
    case CompactLayout::numbers_only: content = {2 * w + gap, l}; break;
    default: break;
    }
    return {clamp_length(content.width + 2 * insets.inset_x, min_w, max_w),
            clamp_length(content.height + 2 * insets.inset_y, insets.min_h, max_h)};
}

CompactItems compact_items(int layout, BoxSize box, const BoxInsets& insets, const ItemMetrics& m, bool rtl) {
    const float p = static_cast<float>(insets.inset_x);
    const float t = static_cast<float>(insets.inset_y);
    const float g = static_cast<float>(insets.line_gap);
    const float l = m.line_height;
    const float i = m.icon_size;
    const float c = m.column_width;
    const float wb = static_cast<float>(box.width);
    const float hb = static_cast<float>(box.height);
    const float d = (l - i) / 2;
    const float y = (hb - l) / 2;
    const float icon_y = (hb - i) / 2;
    const float gap = static_cast<float>(k_item_gap);
    const float x2 = p + i + gap + c + 2 * gap;

    CompactItems items;
    auto put = [](ItemSpot& spot, float x, float top) { spot = {true, x, top}; };
    switch (static_cast<CompactLayout>(layout)) {
    case CompactLayout::two_lines:
        put(items.first_arrow, p, t + d);
        put(items.first_text, p + i + gap, t);
        put(items.second_arrow, p, t + l + g + d);
        put(items.second_text, p + i + gap, t + l + g);
        break;
    case CompactLayout::one_line:
        put(items.first_arrow, p, y + d);
        put(items.first_text, p + i + gap, y);
        put(items.second_arrow, x2, y + d);
        put(items.second_text, x2 + i + gap, y);
        break;
    case CompactLayout::two_columns:
        put(items.first_arrow, p, icon_y);
        put(items.first_text, p + i + gap, t + l + g);
        put(items.second_arrow, x2, icon_y);
        put(items.second_text, x2 + i + gap, t + l + g);
        put(items.first_label, p + i + gap, t);
        put(items.second_label, x2 + i + gap, t);
        break;
    case CompactLayout::icon_only:
        put(items.first_arrow, p, icon_y);
        put(items.second_arrow, p + i + gap, icon_y);
        break;
    case CompactLayout::text_only:
        put(items.first_text, p, y);
        put(items.second_text, p + c + 2 * gap, y);
        break;
    case CompactLayout::numbers_only:
        put(items.first_text, p, y);
        put(items.second_text, p + c + gap, y);
        break;
    default: break;
    }
    if (rtl) {
        for (ItemSpot* arrow : {&items.first_arrow, &items.second_arrow}) {
            arrow->x = wb - arrow->x - i;
        }
        for (ItemSpot* text : {&items.first_text, &items.second_text, &items.first_label, &items.second_label}) {
            text->x = wb - text->x - c;
        }
    }
    return items;
}

std::wstring decorate_value(std::wstring_view text, bool downward, int layout, bool rtl) {
    std::wstring shown;
    if (static_cast<CompactLayout>(layout) == CompactLayout::text_only) {
        shown += downward ? L"\u2193 " : L"\u2191 ";
    }
    shown += text;
    if (rtl) {
        shown = L"\u2066" + shown + L"\u2069";
    }
    return shown;
}

} // namespace tide
