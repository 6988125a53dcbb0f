// The usage window's rules: which days and months the bars stand for, the plan's marks, the summary
// row, and where bars, labels and controls go in both directions.
#include "ui/usage/usage_chart.h"

#include <gtest/gtest.h>

#include <string>

namespace tide {
namespace {

int64_t day_of(int64_t year, int32_t month, int32_t day) {
    return day_from_civil({year, month, day});
}

// 2024-03-10; the store has gaps, a day far in the past and one after "today" (a clock set back).
const int64_t k_today = day_of(2024, 3, 10);

UsageStore store_with_gaps() {
    UsageStore store;
    store.add(k_today, 500, 100);
    store.add(k_today - 2, 1000, 0);
    store.add(k_today - 29, 7, 3);
    store.add(k_today - 30, 99, 99);          // one before the window
    store.add(day_of(2023, 4, 1), 40, 2);     // the oldest of the 12 months
    store.add(day_of(2023, 3, 31), 1000, 0);  // one month too old
    store.add(day_of(2000, 1, 1), 5, 5);      // far past
    store.add(day_of(2025, 3, 10), 777, 777); // a year ahead of the clock
    return store;
}

TEST(UsageSelection, ThirtyDaysEndingTodayWithGapsEmpty) {
    const std::vector<UsageBar> days = select_days(store_with_gaps(), k_today, {});
    ASSERT_EQ(days.size(), k_usage_days);
    EXPECT_EQ(days.front(), (UsageBar{k_today - 29, k_today - 29, {7, 3}, false}));
    EXPECT_EQ(days.back(), (UsageBar{k_today, k_today, {500, 100}, false}));
    EXPECT_EQ(days[27].totals, (DayTotals{1000, 0}));
    EXPECT_EQ(days[28].totals, DayTotals{});
    uint64_t shown = 0;
    for (const UsageBar& bar : days) {
        EXPECT_EQ(bar.first_day, bar.last_day);
        shown += total_bytes(bar.totals);
    }
    EXPECT_EQ(shown, 10u + 1000 + 600) << "nothing outside the 30 days";

    const UsageStore this_run = days_since(store_with_gaps(), k_today - 2);
    EXPECT_EQ(this_run.days().size(), 3u) << "from the first day on, a day ahead of the clock included";
    EXPECT_EQ(this_run.get(k_today - 2), (DayTotals{1000, 0}));
}

// Twelve whole billing periods without gap or overlap, the newest holding today; where each period
// starts and ends is data_plan_test's table.
TEST(UsageSelection, TwelvePeriodsEndingWithTodays) {
    const std::pair<int64_t, int32_t> cases[] = {{k_today, 1},
                                                 {day_of(2024, 3, 14), 15},
                                                 {day_of(2024, 3, 15), 15},
                                                 {day_of(2023, 3, 31), 31},
                                                 {day_of(2025, 1, 3), 1}};
    for (const auto& [today, billing_day] : cases) {
        const std::vector<UsageBar> months = select_months(UsageStore{}, today, {0, 0, billing_day});
        ASSERT_EQ(months.size(), k_usage_months);
        EXPECT_EQ(billing_period(today, billing_day),
                  (BillingPeriod{months.back().first_day, months.back().last_day}));
        for (size_t i = 0; i < months.size(); ++i) {
            EXPECT_EQ(billing_period(months[i].first_day, billing_day),
                      (BillingPeriod{months[i].first_day, months[i].last_day}))
                << date_text(today) << " " << i;
            EXPECT_TRUE(i == 0 || months[i].first_day == months[i - 1].last_day + 1)
                << "no gap, no overlap at " << i;
        }
    }
}

TEST(UsageSelection, MonthsSumTheirDaysUpToToday) {
    const std::vector<UsageBar> months = select_months(store_with_gaps(), k_today, {});
    EXPECT_EQ(months.front().first_day, day_of(2023, 4, 1));
    EXPECT_EQ(months.front().totals, (DayTotals{40, 2}));
    EXPECT_EQ(months.back().totals, (DayTotals{1500, 100})) << "the day a year ahead is not counted";
    EXPECT_EQ(months[10].totals, (DayTotals{7 + 99, 3 + 99}));
}

// Daily limit 1000: one below is within it, equal uses it up. Monthly limit 3100 over 31 days of
// March allows 100 a day while nothing is used; a day after a heavy one gets less.
TEST(UsageSelection, DaysOverTheirAllowance) {
    UsageStore store;
    store.add(k_today - 3, 999, 0);
    store.add(k_today - 2, 1000, 0);
    const std::vector<UsageBar> daily = select_days(store, k_today, {1000, 0, 1});
    EXPECT_FALSE(daily[26].over);
    EXPECT_TRUE(daily[27].over);

    UsageStore month;
    month.add(day_of(2024, 3, 1), 99, 0);  // one below the allowance of 3100 / 31
    month.add(day_of(2024, 3, 2), 97, 0);  // (3100 - 99) / 30 = 100 left per day
    month.add(day_of(2024, 3, 3), 100, 0); // (3100 - 196) / 29 = 100: equal
    const std::vector<UsageBar> days = select_days(month, k_today, {0, 3100, 1});
    const auto bar = [&](int32_t d) { return days[static_cast<size_t>(day_of(2024, 3, d) - k_today + 29)]; };
    EXPECT_FALSE(bar(1).over);
    EXPECT_FALSE(bar(2).over);
    EXPECT_TRUE(bar(3).over);
    EXPECT_FALSE(bar(4).over) << "an empty day is never over";

    // Over its share but within a daily limit of 1000 is over its share; over both, over the daily limit.
    for (const auto& [limit, share] : {std::pair{uint64_t{1000}, true}, std::pair{uint64_t{101}, true},
                                       std::pair{uint64_t{100}, false}, std::pair{uint64_t{0}, true}}) {
        const std::vector<UsageBar> both = select_days(month, k_today, {limit, 3100, 1});
        EXPECT_TRUE(both[static_cast<size_t>(day_of(2024, 3, 3) - k_today + 29)].over) << limit;
        EXPECT_EQ(both[static_cast<size_t>(day_of(2024, 3, 3) - k_today + 29)].over_share, share) << limit;
    }
    EXPECT_FALSE(daily[27].over_share) << "the daily limit alone";

    const std::vector<UsageBar> months = select_months(month, k_today, {0, 297, 1});
    EXPECT_FALSE(months.back().over) << "one below the limit";
    EXPECT_TRUE(select_months(month, k_today, {0, 296, 1}).back().over) << "equal to the limit";
}

// The smallest monthly limit there is: one byte, used up by a day's one byte.
TEST(UsageSelection, AOneByteMonthlyLimitIsALimit) {
    UsageStore store;
    store.add(k_today, 1, 0);
    UsageLimits limits;
    limits.monthly = 1;
    EXPECT_TRUE(select_days(store, k_today, limits).back().over_share);
}

TEST(UsageSummary, TodayWeekPeriodAndAverage) {
    UsageStore store;
    store.add(k_today, 30, 10);
    store.add(k_today - 6, 100, 0);
    store.add(k_today - 7, 1000, 0); // in the period, not in the week
    const auto text = [](std::string_view key) { return "[" + std::string(key) + "]"; };
    const auto bytes = [](uint64_t v) { return std::to_string(v); };

    const UsageSummary plain = usage_summary(store, k_today, {});
    EXPECT_EQ(total_bytes(plain.week), 140u);
    EXPECT_EQ(total_bytes(plain.period), 1140u);
    EXPECT_EQ(plain.days_left, 22);
    EXPECT_EQ(plain.average, 114u); // 1140 over the 10 days so far
    const std::array<SummaryCell, 4> cells = summary_cells(plain, {}, text, bytes);
    EXPECT_EQ(cells[0], (SummaryCell{"[label.today]", "40", "\xE2\x86\x93 30   \xE2\x86\x91 10"}));
    EXPECT_EQ(cells[2].label, "[label.month]");
    EXPECT_EQ(cells[2].value, "1140");

    const UsageLimits plan{0, 5000, 5}; // billing periods from the 5th: 6 days in, 26 left
    const UsageSummary billed = usage_summary(store, k_today, plan);
    EXPECT_EQ(total_bytes(billed.period), 40u);
    EXPECT_EQ(billed.days_left, 26);
    EXPECT_EQ(billed.allowance, 5000 / 26u);
    const std::array<SummaryCell, 4> limited = summary_cells(billed, plan, text, bytes);
    EXPECT_EQ(limited[2].label, "[usage.this_period]");
    EXPECT_EQ(limited[2].value, "[usage.of_limit]"); // no tokens in the stand-in text
}

// No day, one byte, and a day at the store's 2^53 ceiling: the scale never falls below 1 MB and
// always holds the tallest bar and the limit.
TEST(UsageAxis, NiceStepsOverTheTallestBarOrTheLimit) {
    struct Case {
        uint64_t peak;
        uint64_t limit;
        double max;
        int divisions;
    };
    for (const Case& c : {Case{0, 0, 1e6, 4}, Case{1, 0, 1e6, 4}, Case{1, 3'000'000, 4e6, 4},
                          Case{UsageStore::k_max_bytes * 2, 0, 2e16, 4}}) {
        const std::vector<UsageBar> bars{{0, 0, {c.peak / 2, c.peak - c.peak / 2}, false}};
        const AxisScale scale = usage_axis(bars, c.limit);
        EXPECT_EQ(scale.max, c.max) << c.peak;
        EXPECT_EQ(scale.divisions, c.divisions) << c.peak;
    }
}

// Oldest at the left (right in right-to-left), upload stacked on download, never out of the plot.
TEST(UsageGeometry, BarsAndLabelsInBothDirections) {
    const DipRect plot{100, 50, 300, 200};
    struct Case {
        bool rtl;
        size_t i;
        float slot_left;
    };
    for (const Case& c :
         {Case{false, 0, 100}, Case{false, 29, 390}, Case{true, 0, 390}, Case{true, 29, 100}}) {
        const BarShape shape = bar_shape(plot, c.i, 30, {50, 25}, 100, c.rtl);
        EXPECT_FLOAT_EQ(shape.slot.left, c.slot_left) << c.rtl << " " << c.i;
        EXPECT_FLOAT_EQ(shape.download.height, 100);
        EXPECT_FLOAT_EQ(shape.download.bottom(), 250);
        EXPECT_FLOAT_EQ(shape.upload.bottom(), shape.download.top);
        EXPECT_FLOAT_EQ(shape.upload.height, 50);
        EXPECT_EQ(bar_at(plot, c.slot_left + 5, 30, c.rtl), static_cast<int>(c.i));
        EXPECT_FLOAT_EQ(bar_label(plot, c.i, 30, 1, c.rtl).left + 5, c.slot_left + 5);
    }
    for (const DayTotals totals :
         {DayTotals{UsageStore::k_max_bytes, UsageStore::k_max_bytes}, DayTotals{0, 500}}) {
        const BarShape shape = bar_shape(plot, 3, 30, totals, 200, false);
        EXPECT_GE(shape.download.height, 0);
        EXPECT_GE(shape.upload.height, 0);
        EXPECT_GE(shape.upload.top, plot.top) << "cut at the top";
    }
    EXPECT_EQ(bar_at(plot, 99.9f, 30, false), -1);
    EXPECT_EQ(bar_at(plot, 400, 30, false), -1);

    // 10 DIP a bar: a 20 DIP label goes on every 2nd, a 25 DIP one on every 3rd, counted from today.
    EXPECT_EQ(label_step(plot, 30, 20), 2u);
    EXPECT_EQ(label_step(plot, 30, 25), 3u);
    EXPECT_EQ(label_step(plot, 30, 35), 5u); // no step of 4
    EXPECT_TRUE(has_label(29, 30, 3));
    EXPECT_TRUE(has_label(26, 30, 3));
    EXPECT_FALSE(has_label(27, 30, 3));
}

TEST(UsageGeometry, ControlsAtTheFarEndInBothDirections) {
    const std::vector<ControlPlace> ltr = layout_usage_controls(720, 500, 96, false);
    EXPECT_EQ(ltr, (std::vector<ControlPlace>{{4101, 504, 14, 96, 28},
                                              {4102, 600, 14, 96, 28},
                                              {4103, 438, 456, 140, 28},
                                              {4104, 586, 456, 110, 28}}));
    const std::vector<ControlPlace> rtl = layout_usage_controls(720, 500, 96, true, {0, 0, 0, 150});
    EXPECT_EQ(rtl, (std::vector<ControlPlace>{{4101, 120, 14, 96, 28},
                                              {4102, 24, 14, 96, 28},
                                              {4103, 182, 456, 140, 28},
                                              {4104, 24, 456, 150, 28}}));
    EXPECT_TRUE(layout_usage_controls(1, 500, 96, false).empty());
    const UsageGeometry g = usage_geometry(720, 500, true);
    EXPECT_FLOAT_EQ(g.plot.right(), 720 - 24 - 72) << "value labels on the right in right-to-left";
}

// The network choice across from the buttons: its label, then the list, 220 DIP or what is left before
// Export (16 DIP apart), never under 100 DIP.
TEST(UsageGeometry, NetworkChoiceAtTheReadingStartOfTheBottomRow) {
    struct Row {
        int width;
        int height;
        int dpi;
        bool rtl;
        int label_width;
        std::vector<ControlPlace> expected;
    };
    const Row rows[] = {
        {720, 500, 96, false, 60, {{4106, 24, 462, 60, 20}, {4107, 92, 456, 220, 200}}},
        {720, 500, 96, true, 60, {{4106, 636, 462, 60, 20}, {4107, 408, 456, 220, 200}}},
        {1080, 750, 144, false, 90, {{4106, 36, 693, 90, 30}, {4107, 138, 684, 330, 300}}},
        {1080, 750, 144, true, 90, {{4106, 954, 693, 90, 30}, {4107, 612, 684, 330, 300}}},
        // Export starts at width - 282: 220 DIP of room, then one less.
        {610, 500, 96, false, 60, {{4106, 24, 462, 60, 20}, {4107, 92, 456, 220, 200}}},
        {609, 500, 96, false, 60, {{4106, 24, 462, 60, 20}, {4107, 92, 456, 219, 200}}},
        // 100 DIP of room, then one less: the list keeps its 100.
        {490, 500, 96, false, 60, {{4106, 24, 462, 60, 20}, {4107, 92, 456, 100, 200}}},
        {489, 500, 96, false, 60, {{4106, 24, 462, 60, 20}, {4107, 92, 456, 100, 200}}},
        {720, 500, 96, false, 100, {{4106, 24, 462, 100, 20}, {4107, 132, 456, 220, 200}}},
    };
    for (const Row& row : rows) {
        const std::vector<ControlPlace> controls =
            layout_usage_controls(row.width, row.height, row.dpi, row.rtl);
        EXPECT_EQ(layout_usage_network(controls, row.width, row.dpi, row.rtl, row.label_width), row.expected)
            << row.width << " " << row.dpi << " " << row.rtl;
    }
    EXPECT_TRUE(layout_usage_network({}, 720, 96, false, 60).empty());
}

} // namespace
} // namespace tide
