// The usage-history window's elements.
#include "ui/usage/usage_access.h"

namespace tide {
namespace {

AccessRect pixels(const DipRect& r, int dpi) {
    return access_rect(r.left, r.top, r.width, r.height, dpi);
}

} // namespace

std::wstring bar_access_name(const UsageBar& bar, const UsageAccessInput& in, bool rtl,
                             const UsageAccessTexts& texts) {
    const auto bytes = [&in, rtl](uint64_t value) {
        return in.format_bytes ? isolate_wide(in.format_bytes(value), rtl) : std::wstring();
    };
    const std::wstring& pattern = !bar.over        ? texts.bar
                                  : in.months      ? texts.bar_over_monthly
                                  : bar.over_share ? texts.bar_over_share
                                                   : texts.bar_over_daily;
    return fill_placeholders(pattern, {in.date ? in.date(bar) : std::wstring(), bytes(bar.totals.download),
                                       bytes(bar.totals.upload)});
}

AccessTree usage_access(const UsageAccessInput& in, const UsageGeometry& g, int dpi, bool rtl, int highlighted,
                        bool chart_focused, const UsageAccessTexts& texts) {
    AccessTree tree;
    tree.name = texts.title;
    const auto add = [&tree, dpi](std::wstring name, std::wstring value, const DipRect& box, AccessRole role,
                                  int parent = -1) {
        tree.elements.push_back({std::move(name), std::move(value), pixels(box, dpi), role, parent});
    };
    for (size_t i = 0; i < g.summary.size(); ++i) {
        const int cell = static_cast<int>(tree.elements.size());
        add(in.summary_labels[i], in.summary_values[i], g.summary[i], AccessRole::group);
        if (!in.summary_details[i].empty()) {
            add(in.summary_details[i], {}, g.summary[i], AccessRole::text, cell);
        }
    }
    if (!in.note.empty()) {
        add(in.note, {}, g.note, AccessRole::text);
    }
    const std::vector<UsageBar> none;
    const std::vector<UsageBar>& bars = in.bars != nullptr ? *in.bars : none;
    const int chart = static_cast<int>(tree.elements.size());
    add(in.months ? texts.months_chart : texts.days_chart, {}, g.plot, AccessRole::list);
    tree.elements.back().focusable = true;
    if (chart_focused) {
        tree.focused = chart;
    }
    const AxisScale scale = usage_axis(bars, in.limit);
    for (size_t i = 0; i < bars.size(); ++i) {
        const BarShape shape = bar_shape(g.plot, i, bars.size(), bars[i].totals, scale.max, rtl);
        add(bar_access_name(bars[i], in, rtl, texts), {}, shape.slot, AccessRole::list_item, chart);
        tree.elements.back().focusable = true;
        if (chart_focused && static_cast<int>(i) == highlighted) {
            tree.focused = static_cast<int>(tree.elements.size()) - 1;
        }
    }
    if (in.limit > 0) {
        const float y = point_y(g.plot, static_cast<double>(in.limit), scale.max);
        add(texts.limit, in.format_bytes ? isolate_wide(in.format_bytes(in.limit), rtl) : std::wstring(),
            {g.plot.left, y - 8.0f, g.plot.width, 16.0f}, AccessRole::text);
    }
    return tree;
}

} // namespace tide
