// Billing periods, the allowance, warning thresholds, re-arming and warnings.json.
#include "persistence/data_plan.h"

#include <gtest/gtest.h>

namespace tide {
namespace {

int64_t day(int64_t year, int32_t month, int32_t d) {
    return day_from_civil(CivilDate{year, month, d});
}

struct PeriodCase {
    int64_t today;
    int32_t billing_day;
    BillingPeriod expected;
};

void PrintTo(const PeriodCase& c, std::ostream* out) {
    *out << date_text(c.today) << " billing day " << c.billing_day << " -> "
         << date_text(c.expected.first_day) << ".." << date_text(c.expected.last_day);
}

class Period : public testing::TestWithParam<PeriodCase> {};

TEST_P(Period, HoldsTheDay) {
    EXPECT_EQ(billing_period(GetParam().today, GetParam().billing_day), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    BillingDays, Period,
    testing::Values(PeriodCase{day(2024, 2, 15), 1, {day(2024, 2, 1), day(2024, 2, 29)}},
                    PeriodCase{day(2023, 2, 28), 1, {day(2023, 2, 1), day(2023, 2, 28)}},
                    PeriodCase{day(2023, 12, 31), 1, {day(2023, 12, 1), day(2023, 12, 31)}},
                    PeriodCase{day(2024, 1, 1), 1, {day(2024, 1, 1), day(2024, 1, 31)}},
                    PeriodCase{day(2024, 3, 14), 15, {day(2024, 2, 15), day(2024, 3, 14)}},
                    PeriodCase{day(2024, 3, 15), 15, {day(2024, 3, 15), day(2024, 4, 14)}},
                    PeriodCase{day(2024, 1, 10), 15, {day(2023, 12, 15), day(2024, 1, 14)}},
                    // 29 in a February without that day starts on the 28th; in a leap year on the 29th.
                    PeriodCase{day(2023, 2, 27), 29, {day(2023, 1, 29), day(2023, 2, 27)}},
                    PeriodCase{day(2023, 2, 28), 29, {day(2023, 2, 28), day(2023, 3, 28)}},
                    PeriodCase{day(2024, 2, 28), 29, {day(2024, 1, 29), day(2024, 2, 28)}},
                    PeriodCase{day(2024, 2, 29), 29, {day(2024, 2, 29), day(2024, 3, 28)}},
                    PeriodCase{day(2024, 2, 29), 30, {day(2024, 2, 29), day(2024, 3, 29)}},
                    // Centuries: 2100 has no 29 February, 2000 has one.
                    PeriodCase{day(2100, 2, 28), 29, {day(2100, 2, 28), day(2100, 3, 28)}},
                    PeriodCase{day(2000, 2, 29), 29, {day(2000, 2, 29), day(2000, 3, 28)}},
                    PeriodCase{day(2023, 3, 1), 30, {day(2023, 2, 28), day(2023, 3, 29)}},
                    PeriodCase{day(2023, 1, 31), 31, {day(2023, 1, 31), day(2023, 2, 27)}},
                    PeriodCase{day(2023, 2, 28), 31, {day(2023, 2, 28), day(2023, 3, 30)}},
                    PeriodCase{day(2023, 4, 30), 31, {day(2023, 4, 30), day(2023, 5, 30)}},
                    PeriodCase{day(2023, 12, 31), 31, {day(2023, 12, 31), day(2024, 1, 30)}},
                    PeriodCase{day(2024, 1, 30), 31, {day(2023, 12, 31), day(2024, 1, 30)}},
                    // Out-of-range billing days are taken as the nearest valid one.
                    PeriodCase{day(2024, 5, 1), 0, {day(2024, 5, 1), day(2024, 5, 31)}},
                    PeriodCase{day(2024, 5, 1), 45, {day(2024, 4, 30), day(2024, 5, 30)}}));

TEST(Period, EveryBillingDayTilesTheCalendarWithoutGapsOrOverlaps) {
    for (int32_t billing_day = 1; billing_day <= 31; ++billing_day) {
        BillingPeriod previous = billing_period(day(2023, 1, 1), billing_day);
        for (int64_t d = day(2023, 1, 2); d <= day(2025, 1, 1); ++d) {
            const BillingPeriod period = billing_period(d, billing_day);
            ASSERT_TRUE(period.first_day <= d && d <= period.last_day) << billing_day << " " << date_text(d);
            if (!(period == previous)) {
                ASSERT_EQ(period.first_day, previous.last_day + 1) << billing_day << " " << date_text(d);
                previous = period;
            }
        }
    }
}

TEST(Allowance, SharesWhatIsLeftOverTheDaysLeft) {
    const BillingPeriod period{day(2024, 3, 15), day(2024, 4, 14)};
    EXPECT_EQ(days_left(period, period.first_day), 31);
    EXPECT_EQ(days_left(period, day(2024, 4, 3)), 12);
    EXPECT_EQ(days_left(period, period.last_day), 1);
    EXPECT_EQ(days_left(period, period.last_day + 1), 0);

    struct Case {
        uint64_t limit, used;
        int32_t days;
        uint64_t expected;
    };
    const Case cases[] = {
        {10'000'000'000, 8'200'000'000, 12, 150'000'000},  // the example in the warning text
        {10'000'000'000, 8'200'000'000, 1, 1'800'000'000}, // last day: all the rest
        {10'000'000'000, 8'200'000'000, 0, 1'800'000'000}, // clock past the period: still not below one day
        {10'000'000'000, 9'999'999'999, 3, 0},
        {10'000'000'000, 10'000'000'000, 3, 0},
        {10'000'000'000, 12'000'000'000, 3, 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(daily_allowance(c.limit, c.used, c.days), c.expected) << c.used << " " << c.days;
    }
}

TEST(PlanUsage, CountsBothDirectionsFromThePeriodStartThroughToday) {
    UsageStore store;
    store.add(day(2024, 3, 14), 1000, 1);      // the previous period
    store.add(day(2024, 3, 15), 200, 30);      // first day
    store.add(day(2024, 3, 20), 4000, 500);    // today
    store.add(day(2024, 3, 21), 70000, 70000); // a later day (the clock was moved back)
    EXPECT_EQ(plan_usage(store, day(2024, 3, 20), 15), (PlanUsage{4730, 4500}));
    EXPECT_EQ(plan_usage(store, day(2024, 3, 20), 14), (PlanUsage{5731, 4500}));
    EXPECT_EQ(limit_bytes(10), 10'000'000u);
    EXPECT_EQ(limit_bytes(-1), 0u);
}

TEST(Thresholds, WarnOnceForTheHighestReached) {
    constexpr uint64_t k_limit = 10'000'000;
    struct Case {
        int32_t warned;
        uint64_t used, limit;
        int32_t expected;
    };
    const Case cases[] = {
        {0, 7'999'999, k_limit, 0},
        {0, 8'000'000, k_limit, 80},
        {80, 8'000'000, k_limit, 0},
        {80, 8'999'999, k_limit, 0},
        {80, 9'000'000, k_limit, 90},
        {90, 9'999'999, k_limit, 0},
        {90, 10'000'000, k_limit, 100},
        {100, 25'000'000, k_limit, 0},
        {0, 9'500'000, k_limit, 90},   // two crossed at once
        {0, 10'000'000, k_limit, 100}, // all three at once
        {80, 12'000'000, k_limit, 100},
        {90, 8'500'000, k_limit, 0}, // warned above what is reached now (history cleared)
        {0, 12'000'000, 0, 0},       // no limit
    };
    for (const Case& c : cases) {
        EXPECT_EQ(threshold_to_warn(c.warned, c.used, c.limit), c.expected) << c.warned << " " << c.used;
    }
    EXPECT_EQ(used_percent(8'200'000'000, 10'000'000'000), 82);
    EXPECT_EQ(used_percent(9'999'999, k_limit), 99);
    EXPECT_FALSE(limit_used_up(9'999'999, k_limit));
    EXPECT_TRUE(limit_used_up(k_limit, k_limit));
    EXPECT_FALSE(limit_used_up(k_limit, 0));
}

TEST(Rearming, KeepsOnlyWhatIsStillReachedUnderTheNewTerms) {
    const BillingPeriod march{day(2024, 3, 1), day(2024, 3, 31)};
    const BillingPeriod april{day(2024, 4, 1), day(2024, 4, 30)};
    const BillingPeriod february{day(2024, 2, 1), day(2024, 2, 29)};
    const LimitWarnings given{march, 10, 90};
    constexpr uint64_t k_used = 9'500'000;
    struct Case {
        const char* name;
        BillingPeriod period;
        int64_t today;
        int32_t limit_mb;
        LimitWarnings expected;
    };
    const Case cases[] = {
        {"same terms", march, day(2024, 3, 31), 10, given},
        {"next period", april, day(2024, 4, 1), 10, LimitWarnings{april, 10, 0}},
        {"clock moved back a period: entered for the first time", february, day(2024, 2, 29), 10,
         LimitWarnings{february, 10, 0}},
        {"raised past every threshold", march, day(2024, 3, 9), 20, LimitWarnings{march, 20, 0}},
        {"raised a little: 86 %", march, day(2024, 3, 9), 11, LimitWarnings{march, 11, 80}},
        {"lowered: 100 % still to warn", march, day(2024, 3, 9), 5, LimitWarnings{march, 5, 90}},
        {"billing day moved", BillingPeriod{day(2024, 3, 15), day(2024, 4, 14)}, day(2024, 3, 31), 10,
         LimitWarnings{{day(2024, 3, 15), day(2024, 4, 14)}, 10, 90}},
        {"billing day moved past the old period's end", BillingPeriod{day(2024, 3, 15), day(2024, 4, 14)},
         day(2024, 4, 1), 10, LimitWarnings{{day(2024, 3, 15), day(2024, 4, 14)}, 10, 0}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(current_warnings({given}, c.period, c.today, c.limit_mb, k_used), c.expected) << c.name;
        EXPECT_EQ(current_warnings({}, c.period, c.today, c.limit_mb, k_used),
                  (LimitWarnings{c.period, c.limit_mb, 0}))
            << c.name;
    }
}

TEST(WarningsFile, RoundTripsAndDropsRecordsThatAreNotOurs) {
    const GivenWarnings given{{{{19783, 19813}, 10240, 90}},
                              {{{19800, 19800}, 500, 100}, {{19799, 19799}, 500, 80}}};
    const std::string text = warnings_file_text(given);
    EXPECT_EQ(warnings_from_file_text(text), given);
    // What an earlier version reads: the most recently current record of each.
    const std::optional<JsonValue> document = parse_json(text);
    ASSERT_TRUE(document.has_value());
    const JsonValue* daily = find_member(*document, "daily");
    ASSERT_NE(daily, nullptr);
    EXPECT_EQ(serialize_json(*daily, 0),
              R"({"first_day":19800,"last_day":19800,"limit_mb":500,"level":100})");
    EXPECT_EQ(warnings_from_file_text(warnings_file_text({})), GivenWarnings{});

    // An earlier version's file: one record each.
    const auto read = warnings_from_file_text(R"({"monthly": {"first_day": 5, "last_day": 9, "limit_mb": 1,
        "level": 85}, "daily": {"first_day": 7, "last_day": 7, "limit_mb": 3, "level": 80}})");
    ASSERT_TRUE(read.has_value());
    EXPECT_EQ(read->monthly, WarningRecords{});
    EXPECT_EQ(read->daily, (WarningRecords{{{7, 7}, 3, 80}}));
    EXPECT_EQ(warnings_from_file_text(R"({"daily": {"first_day": 9, "last_day": 7, "level": 80}})"),
              GivenWarnings{});
    EXPECT_FALSE(warnings_from_file_text("[1]").has_value());
    EXPECT_FALSE(warnings_from_file_text("{").has_value());
}

} // namespace
} // namespace tide
