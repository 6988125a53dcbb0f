#include "ui/usage/usage_access.h"

#include <gtest/gtest.h>

namespace tide {
namespace {

const UsageAccessTexts k_texts{L"History",
                               L"{0}: {1} {2}",
                               L"{0}: {1} {2} over day",
                               L"{0}: {1} {2} over month",
                               L"{0}: {1} {2} over share",
                               L"Days",
                               L"Months",
                               L"Limit"};

UsageAccessInput sample_input(const std::vector<UsageBar>& bars, bool months, uint64_t limit) {
    UsageAccessInput in;
    in.bars = &bars;
    in.months = months;
    in.summary_labels = {L"Today", L"Week", L"Month", L"Average"};
    in.summary_values = {L"1", L"2", L"3", L"4"};
    in.summary_details = {L"", L"", L"2 days left", L""};
    in.limit = limit;
    in.format_bytes = [](uint64_t v) { return std::to_wstring(v) + L" B"; };
    in.date = [](const UsageBar& bar) { return L"day " + std::to_wstring(bar.first_day); };
    return in;
}

TEST(UsageAccess, CellsChartBarsAndLimitLine) {
    std::vector<UsageBar> bars(3);
    for (size_t i = 0; i < bars.size(); ++i) {
        bars[i].first_day = bars[i].last_day = 100 + static_cast<int64_t>(i);
    }
    bars[1].totals = {500, 20};
    bars[1].over = true;
    const UsageGeometry g = usage_geometry(700, 500, false);
    struct Case {
        bool months;
        bool share; // the bar is over its share of the monthly limit only
        uint64_t limit;
        int highlighted;
        bool focused;
        std::wstring chart;
        std::wstring over_bar;
        size_t count; // 4 cells, 1 detail, the chart, 3 bars, the limit line when there is a limit
        int focus;
    };
    for (const Case& c :
         {Case{false, false, 400, -1, false, L"Days", L"day 101: 500 B 20 B over day", 10, -1},
          Case{true, false, 400, 2, true, L"Months", L"day 101: 500 B 20 B over month", 10, 8},
          Case{false, false, 0, -1, true, L"Days", L"day 101: 500 B 20 B over day", 9, 5},
          Case{false, true, 0, -1, false, L"Days", L"day 101: 500 B 20 B over share", 9, -1}}) {
        bars[1].over_share = c.share;
        const AccessTree tree = usage_access(sample_input(bars, c.months, c.limit), g, 96, false,
                                             c.highlighted, c.focused, k_texts);
        EXPECT_EQ(tree.name, L"History");
        ASSERT_EQ(tree.elements.size(), c.count);
        EXPECT_EQ(tree.focused, c.focus);
        EXPECT_EQ(tree.elements[2].name, L"Month");
        EXPECT_EQ(tree.elements[2].value, L"3");
        EXPECT_EQ(tree.elements[3].name, L"2 days left");
        EXPECT_EQ(tree.elements[3].parent, 2);
        const AccessElement& chart = tree.elements[5];
        EXPECT_EQ(chart.name, c.chart);
        EXPECT_EQ(chart.role, AccessRole::list);
        EXPECT_EQ(tree.elements[6].name, L"day 100: 0 B 0 B");
        EXPECT_EQ(tree.elements[7].name, c.over_bar);
        EXPECT_EQ(tree.elements[8].parent, 5);
        EXPECT_EQ(tree.elements[8].role, AccessRole::list_item);
        if (c.limit > 0) {
            EXPECT_EQ(tree.elements[9].name, L"Limit");
            EXPECT_EQ(tree.elements[9].value, L"400 B");
            EXPECT_EQ(tree.elements[9].parent, -1);
        }
    }
    // Right to left: the oldest bar on the right, figures isolated.
    bars[1].over_share = false;
    const AccessTree rtl = usage_access(sample_input(bars, false, 0), usage_geometry(700, 500, true), 96,
                                        true, -1, false, k_texts);
    EXPECT_GT(rtl.elements[6].rect.left, rtl.elements[8].rect.left);
    EXPECT_EQ(rtl.elements[7].name, L"day 101: \u2066500 B\u2069 \u206620 B\u2069 over day");
}

} // namespace
} // namespace tide
