// What the dashboard tells a screen reader: its painted figures as elements, from the same view and
// geometry the paint draws.
#pragma once

#include <cstdint>
#include <string>

#include "ui/dashboard/dashboard_layout.h"
#include "ui/dashboard/dashboard_view.h"
#include "window/access_tree.h"

namespace tide {

// The language's patterns: "access.graph" ({0} the range, {1} {2} download average and highest, {3} {4}
// upload) and "access.graph_empty" ({0} the range).
struct DashboardAccessTexts {
    std::wstring graph;
    std::wstring graph_empty;
};

// The graph's name: its range and the average and highest rate each way over the visible points.
std::wstring graph_summary(const DashboardView& view, int64_t range_s, bool rtl, const DashboardAccessTexts& texts);

// The status line, both cards (name the label, value the rate), the lines that are shown, the graph and,
// while a point is hovered, its read-out inside the graph. The graph takes the focus when `graph_focused`,
// the read-out while there is one.
AccessTree dashboard_access(const DashboardView& view, const DashboardGeometry& g, int dpi, bool rtl,
                            int64_t range_s, int hovered, bool graph_focused, const DashboardAccessTexts& texts);

} // namespace tide
