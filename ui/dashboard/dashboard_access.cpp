// The dashboard's elements.
#include "ui/dashboard/dashboard_access.h"

#include <algorithm>

#include "ui/dashboard/graph_model.h"

namespace tide {
namespace {

AccessRect pixels(const DipRect& r, int dpi) {
    return access_rect(r.left, r.top, r.width, r.height, dpi);
}

} // namespace

std::wstring graph_summary(const DashboardView& view, int64_t range_s, bool rtl, const DashboardAccessTexts& texts) {
    const std::string duration = format_duration(range_s);
    const std::wstring range = isolate_wide(std::wstring(duration.begin(), duration.end()), rtl);
    const GraphStats stats = compute_graph_stats(view.points);
    if (stats.count == 0 || !view.format_rate) {
        return fill_placeholders(texts.graph_empty, {range});
    }
    const auto rate = [&view, rtl](double value) { return isolate_wide(view.format_rate(value), rtl); };
    return fill_placeholders(texts.graph, {range, rate(stats.download.avg), rate(stats.download.max),
                                           rate(stats.upload.avg), rate(stats.upload.max)});
}

AccessTree dashboard_access(const DashboardView& view, const DashboardGeometry& g, int dpi, bool rtl,
                            int64_t range_s, int hovered, bool graph_focused, const DashboardAccessTexts& texts) {
    AccessTree tree;
    tree.name = L"Tidemeter";
    const auto add = [&tree, dpi](std::wstring name, std::wstring value, const DipRect& box, AccessRole role) {
        tree.elements.push_back({std::move(name), std::move(value), pixels(box, dpi), role});
    };
    add(status_line(view), {}, g.status, AccessRole::text);
    add(view.download_label, isolate_wide(view.download_text, rtl), g.cards[0].box, AccessRole::group);
    add(view.upload_label, isolate_wide(view.upload_text, rtl), g.cards[1].box, AccessRole::group);
    for (const auto& [line, box] : {std::pair{&view.session_line, g.session_line},
                                    std::pair{&view.history_line, g.history_line},
                                    std::pair{&view.stats_line, g.stats_line}}) {
        if (!line->empty()) {
            add(*line, {}, box, AccessRole::text);
        }
    }
    const int graph = static_cast<int>(tree.elements.size());
    add(graph_summary(view, range_s, rtl, texts), {}, g.plot, AccessRole::image);
    tree.elements.back().focusable = true;
    if (graph_focused) {
        tree.focused = graph;
    }
    const std::wstring hover = hovered >= 0 ? hover_text(view, static_cast<size_t>(hovered), rtl) : std::wstring();
    if (!hover.empty()) {
        const float x = point_x(g.plot, static_cast<size_t>(hovered), view.points.size(), rtl);
        // The marker's column, kept inside the graph at its ends.
        const float left = std::max(x - 2.0f, g.plot.left);
        add(hover, {}, {left, g.plot.top, std::min(x + 2.0f, g.plot.right()) - left, g.plot.height}, AccessRole::text);
        tree.elements.back().parent = graph;
        tree.elements.back().focusable = true;
        if (graph_focused) {
            tree.focused = graph + 1;
        }
    }
    return tree;
}

} // namespace tide
