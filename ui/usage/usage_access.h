// What the usage-history window tells a screen reader: the summary cells, the chart as a list of bars
// named with their date and figures, and the limit line, from the same record and geometry the paint uses.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "ui/usage/usage_chart.h"
#include "window/access_tree.h"

namespace tide {

struct UsageAccessInput {
    const std::vector<UsageBar>* bars = nullptr;
    bool months = false;
    std::array<std::wstring, 4> summary_labels;
    std::array<std::wstring, 4> summary_values;
    std::array<std::wstring, 4> summary_details;
    std::wstring note;
    uint64_t limit = 0;                                  // of the view shown; 0: none
    std::function<std::wstring(uint64_t)> format_bytes;  // may be empty: no figures then
    std::function<std::wstring(const UsageBar&)> date;   // "Sun 29 November 2026", "November 2026"
};

// The language's texts: "access.bar", "access.bar_over_daily", "access.bar_over_monthly",
// "access.bar_over_share" ({0} the date, {1} download, {2} upload), "access.days_chart",
// "access.months_chart", the window's title and the limit's caption of the view shown.
struct UsageAccessTexts {
    std::wstring title;
    std::wstring bar;
    std::wstring bar_over_daily;
    std::wstring bar_over_monthly;
    std::wstring bar_over_share; // a day over its share of the monthly limit, not over a daily limit
    std::wstring days_chart;
    std::wstring months_chart;
    std::wstring limit;
};

std::wstring bar_access_name(const UsageBar& bar, const UsageAccessInput& in, bool rtl,
                             const UsageAccessTexts& texts);

// The chart takes the focus when `chart_focused`; the highlighted bar then, while there is one.
AccessTree usage_access(const UsageAccessInput& in, const UsageGeometry& g, int dpi, bool rtl, int highlighted,
                        bool chart_focused, const UsageAccessTexts& texts);

} // namespace tide
