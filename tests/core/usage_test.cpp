// Day numbering, the usage store, usage.json and the CSV text.
#include "persistence/usage.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <optional>
#include <string>
#include <tuple>

namespace tide {
namespace {

constexpr uint64_t k_max = UsageStore::k_max_bytes;

TimeZoneState zone(int32_t bias, int32_t standard, int32_t daylight, TimeZoneState::Phase phase) {
    return TimeZoneState{bias, standard, daylight, phase};
}

struct DayCase {
    int64_t unix_time;
    TimeZoneState zone;
    int64_t day;
};

void PrintTo(const DayCase& c, std::ostream* out) {
    *out << c.unix_time << " -> day " << c.day;
}

class LocalDay : public testing::TestWithParam<DayCase> {};

TEST_P(LocalDay, FloorsLocalTimeToWholeDays) {
    EXPECT_EQ(local_day_number(GetParam().unix_time, GetParam().zone), GetParam().day);
}

using Phase = TimeZoneState::Phase;
const TimeZoneState k_utc{};
const TimeZoneState k_berlin_winter = zone(-60, 0, -60, Phase::standard);
const TimeZoneState k_berlin_summer = zone(-60, 0, -60, Phase::daylight);
const TimeZoneState k_pacific_summer = zone(480, 0, -60, Phase::daylight);
const TimeZoneState k_no_rules = zone(-330, 0, -60, Phase::unknown); // India: no daylight time

INSTANTIATE_TEST_SUITE_P(
    Boundaries, LocalDay,
    testing::Values(DayCase{0, k_utc, 0}, DayCase{86399, k_utc, 0}, DayCase{86400, k_utc, 1},
                    DayCase{-1, k_utc, -1}, DayCase{-86400, k_utc, -1}, DayCase{-86401, k_utc, -2},
                    // 2024-01-01 23:00 UTC is already the 2nd in Berlin, but 22:59:59 is not.
                    DayCase{1704150000, k_berlin_winter, 19724}, DayCase{1704149999, k_berlin_winter, 19723},
                    // 2024-07-01 22:00 UTC is midnight in Berlin's summer time.
                    DayCase{1719871200, k_berlin_summer, 19906}, DayCase{1719871199, k_berlin_summer, 19905},
                    // 2024-07-02 06:59:59 UTC is still the 1st in California (UTC-7 in summer).
                    DayCase{1719903599, k_pacific_summer, 19905},
                    DayCase{1719903600, k_pacific_summer, 19906},
                    // Unknown phase: the base bias alone, here +5:30.
                    DayCase{-19800, k_no_rules, 0}, DayCase{-19801, k_no_rules, -1},
                    // Before 1970 in a zone west of UTC: 1969-12-31 20:00 local.
                    DayCase{0, zone(240, 0, 0, Phase::standard), -1}));

struct DateCase {
    int64_t day;
    const char* text;
};

void PrintTo(const DateCase& c, std::ostream* out) {
    *out << c.day << " -> " << c.text;
}

class DateText : public testing::TestWithParam<DateCase> {};

TEST_P(DateText, PrintsProlepticGregorianDates) {
    EXPECT_EQ(date_text(GetParam().day), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(Dates, DateText,
                         testing::Values(DateCase{0, "1970-01-01"}, DateCase{19723, "2024-01-01"},
                                         DateCase{59, "1970-03-01"}, DateCase{11016, "2000-02-29"},
                                         DateCase{-1, "1969-12-31"}, DateCase{-25508, "1900-03-01"},
                                         DateCase{-25509, "1900-02-28"}, DateCase{-719162, "0001-01-01"},
                                         DateCase{2932896, "9999-12-31"}));

TEST(CivilDate, RoundTripsAndStepsOneDayAtATimeAcrossCenturies) {
    CivilDate previous = civil_from_day(-800001);
    for (int64_t day = -800000; day <= 800000; ++day) {
        const CivilDate date = civil_from_day(day);
        ASSERT_EQ(day_from_civil(date), day);
        const bool next_day_same_month =
            date.year == previous.year && date.month == previous.month && date.day == previous.day + 1;
        const bool first_of_month = date.day == 1 && (date.month == previous.month % 12 + 1);
        ASSERT_TRUE(next_day_same_month || first_of_month) << date_text(day);
        previous = date;
    }
}

TEST(UsageStore, MidnightStartsANewDayAndKeepsThePreviousOne) {
    UsageStore store;
    store.add(local_day_number(1704149999, k_berlin_winter), 100, 10);
    store.add(local_day_number(1704150000, k_berlin_winter), 7, 3);
    EXPECT_EQ(store.get(19723), (DayTotals{100, 10}));
    EXPECT_EQ(store.get(19724), (DayTotals{7, 3}));
}

TEST(UsageStore, ZeroAdditionCreatesNoDayAndMissingDaysReadAsZero) {
    UsageStore store;
    store.add(20000, 0, 0);
    EXPECT_TRUE(store.empty());
    EXPECT_EQ(store.get(20000), DayTotals{});
    store.add(20000, 0, 1);
    EXPECT_EQ(store.days().size(), 1u);
}

TEST(UsageStore, AdditionsAndSumsSaturate) {
    UsageStore store;
    store.add(20000, k_max - 5, 1);
    store.add(20000, 10, k_max);
    EXPECT_EQ(store.get(20000), (DayTotals{k_max, k_max}));
    store.add(20001, 1, 1);
    EXPECT_EQ(store.sum(20000, 20001), (DayTotals{k_max, k_max}));
    store.add(20002, std::numeric_limits<uint64_t>::max(), 0); // one counter jump cannot pass the limit
    EXPECT_EQ(store.get(20002), (DayTotals{k_max, 0}));
}

// The limit is where usage.json's numbers stop being exact: a saturated day reads back unchanged.
TEST(UsageJson, ASaturatedDayReadsBackUnchanged) {
    UsageStore store;
    store.add(20000, k_max, k_max - 1);
    store.add(20000, 5, 0);
    EXPECT_EQ(usage_from_file_text(usage_file_text(store)), store);
}

TEST(UsageStore, SumsWeekAndMonth) {
    UsageStore store;
    for (int64_t day = 19780; day <= 19800; ++day) { // 2024-02-27 .. 2024-03-18
        store.add(day, static_cast<uint64_t>(day - 19779), 1);
    }
    EXPECT_EQ(store.sum(19790, 19789), DayTotals{});
    EXPECT_EQ(store.sum(19790, 19790), (DayTotals{11, 1}));
    // Last 7 days of day 19800 are 19794..19800: 15 + 16 + ... + 21.
    EXPECT_EQ(store.last_7_days(19800), (DayTotals{126, 7}));
    // 2024-03-01 is day 19783: this month on the 1st is that day alone.
    EXPECT_EQ(store.this_month(19783), store.get(19783));
    // 2024-03-10 (day 19792): the 1st through the 10th, 4 + 5 + ... + 13.
    EXPECT_EQ(store.this_month(19792), (DayTotals{85, 10}));
    // 2024-02-29 (leap day, 19782): the month began on 19754, before the first entry.
    EXPECT_EQ(store.this_month(19782), (DayTotals{1 + 2 + 3, 3}));
}

TEST(UsageCounter, AddsOnlyGrowthAndRestartsAfterADrop) {
    UsageStore store;
    UsageCounter counter;
    EXPECT_FALSE(counter.feed(store, 20000, 1000, 100)); // the first pair is only a baseline
    EXPECT_TRUE(counter.feed(store, 20000, 1500, 100));
    EXPECT_FALSE(counter.feed(store, 20000, 1500, 100)); // nothing new
    EXPECT_FALSE(counter.feed(store, 20000, 2000, 50));  // sent dropped: nothing, new baseline
    EXPECT_TRUE(counter.feed(store, 20001, 2100, 60));   // after midnight into the next day
    EXPECT_EQ(store.get(20000), (DayTotals{500, 0}));
    EXPECT_EQ(store.get(20001), (DayTotals{100, 10}));
    EXPECT_EQ(store.days().size(), 2u);
}

struct PruneCase {
    int32_t retention;
    int64_t first_kept;
};

void PrintTo(const PruneCase& c, std::ostream* out) {
    *out << "retention " << c.retention;
}

class Prune : public testing::TestWithParam<PruneCase> {};

// Day 20000 is 2024-10-04: the last 31 days, from 19970, are kept whatever the retention.
TEST_P(Prune, KeepsTheRetainedDaysAndAtLeastThirtyOne) {
    UsageStore store;
    for (int64_t day = 19900; day <= 20000; ++day) {
        store.add(day, 1, 1);
    }
    store.add(20005, 1, 1); // a day after today (clock set back) is kept
    store.prune(20000, GetParam().retention, 1);
    ASSERT_FALSE(store.empty());
    EXPECT_EQ(store.days().begin()->first, GetParam().first_kept);
    EXPECT_EQ(store.get(GetParam().first_kept - 1), DayTotals{});
    EXPECT_EQ(store.days().rbegin()->first, 20005);
    EXPECT_EQ(store.sum(19800, 20005), (DayTotals{102, 102})) << "pruned days live on in their periods";
}

INSTANTIATE_TEST_SUITE_P(Retention, Prune,
                         testing::Values(PruneCase{30, 19970}, PruneCase{31, 19970}, PruneCase{32, 19969},
                                         PruneCase{1, 19970}, PruneCase{0, 19970}, PruneCase{-7, 19970},
                                         PruneCase{3650, 19900}));

struct BillingDayChange {
    int32_t retention;
    int32_t from; // the billing day the history was pruned under
    int32_t to;
    CivilDate first; // 1 GB a day from here through today
    CivilDate today;
    uint64_t period_gb; // the new billing day's period up to today
};

void PrintTo(const BillingDayChange& c, std::ostream* out) {
    *out << "retention " << c.retention << ", billing day " << c.from << " to " << c.to << " on "
         << date_text(day_from_civil(c.today));
}

class BillingDayChanged : public testing::TestWithParam<BillingDayChange> {};

// The new billing day's current period is whole, and nothing counted is lost, before and after the
// history is pruned under the new billing day.
TEST_P(BillingDayChanged, CountsTheNewPeriodWholeAndLosesNothing) {
    const BillingDayChange& c = GetParam();
    const int64_t today = day_from_civil(c.today);
    const int64_t first = day_from_civil(c.first);
    const uint64_t gb = 1'000'000'000;
    UsageStore store;
    for (int64_t day = first; day <= today; ++day) {
        store.add(day, gb, 0);
    }
    const DayTotals everything{gb * static_cast<uint64_t>(today - first + 1), 0};
    store.prune(today, c.retention, c.from);
    const BillingPeriod period = billing_period(today, c.to);
    EXPECT_EQ(store.sum(period.first_day, today).download, c.period_gb * gb);
    EXPECT_EQ(store.sum(first - 400, today + 400), everything);
    store.prune(today, c.retention, c.to);
    EXPECT_EQ(store.sum(period.first_day, today).download, c.period_gb * gb);
    EXPECT_EQ(store.sum(first - 400, today + 400), everything);
    EXPECT_EQ(usage_from_file_text(usage_file_text(store)), store);
}

// Billing day 31 from 30 September is a period of 31 days: all of them kept.
INSTANTIATE_TEST_SUITE_P(Periods, BillingDayChanged,
                         testing::Values(BillingDayChange{7, 1, 20, {2024, 9, 1}, {2024, 10, 3}, 14},
                                         BillingDayChange{1, 1, 31, {2024, 8, 1}, {2024, 10, 30}, 31},
                                         BillingDayChange{30, 1, 31, {2024, 8, 1}, {2024, 10, 30}, 31},
                                         BillingDayChange{7, 20, 1, {2024, 8, 1}, {2024, 10, 3}, 3}));

// On the last day of a 28-, 30- and 31-day billing period, every day of the period and of the
// calendar month stays a day of its own, whatever the retention; on the first day of the next one,
// the calendar month's days too.
TEST(Prune, KeepsTheWholeBillingPeriodAndMonth) {
    for (const int32_t billing_day : {1, 15, 31}) {
        for (const int64_t length : {28, 30, 31, 0}) {
            int64_t today = day_from_civil({2023, 1, 1});
            while (billing_period(today, billing_day).last_day -
                       billing_period(today, billing_day).first_day + 1 !=
                   std::max<int64_t>(length, 28)) {
                today = billing_period(today, billing_day).last_day + 1;
            }
            today = billing_period(today, billing_day).last_day + (length == 0 ? 1 : 0);
            const CivilDate date = civil_from_day(today);
            const int64_t month_first = day_from_civil({date.year, date.month, 1});
            for (const int32_t retention : {1, 7, 30}) {
                UsageStore store;
                for (int64_t day = today - 400; day <= today; ++day) {
                    store.add(day, 1, 0);
                }
                store.prune(today, retention, billing_day);
                const int64_t first_kept =
                    std::min({billing_period(today, billing_day).first_day, month_first,
                              today - std::max(retention, UsageStore::k_kept_days) + 1});
                SCOPED_TRACE(date_text(today) + " billing day " + std::to_string(billing_day) +
                             " retention " + std::to_string(retention));
                EXPECT_EQ(store.days().begin()->first, first_kept);
                EXPECT_EQ(store.days().size(), static_cast<size_t>(today - first_kept + 1));
                EXPECT_EQ(store.sum(today - 431, today).download, 401u);
            }
        }
    }
}

// Folded periods are kept while they end within the current calendar month and the 25 before it, and
// add up to what their days were, also across a change of billing day and through the file. Billing
// day 2: the period holding 1 September 2022, the first day 25 months back, ends on that very day.
TEST(Prune, FoldedPeriodsAddUpAndLastTwentyFiveMonths) {
    const int64_t today = day_from_civil({2024, 10, 4});
    for (const int32_t billing_day : {15, 2}) {
        SCOPED_TRACE(billing_day);
        UsageStore store;
        UsageStore days;
        for (int64_t day = month_start(today, 27); day <= today; ++day) {
            store.add(day, static_cast<uint64_t>(day % 7 + 1), 1);
            days.add(day, static_cast<uint64_t>(day % 7 + 1), 1);
        }
        store.prune(today, 1, billing_day);
        const int64_t oldest = billing_period(month_start(today, 25), billing_day).first_day;
        EXPECT_EQ(store.folded().begin()->first, oldest);
        EXPECT_EQ(store.sum(oldest - 400, oldest - 1), DayTotals{});
        for (int32_t back = 1; back <= 25; ++back) {
            const BillingPeriod period = billing_period(month_start(today, back) + 20, billing_day);
            EXPECT_EQ(store.sum(period.first_day, period.last_day),
                      days.sum(period.first_day, period.last_day))
                << back;
        }
        // The billing day changed: the days pruned now go to a period of the new billing day; nothing
        // is lost.
        store.prune(today + 20, 1, 1);
        EXPECT_EQ(store.sum(oldest, today + 20), days.sum(oldest, today));
        EXPECT_EQ(usage_from_file_text(usage_file_text(store)), store);
    }
}

// A clock far ahead or before 1970 prunes nothing until it has counted a second day; a gap of up to
// k_clock_jump_days is an ordinary absence. A folded period starting today (folded while the clock
// was later, then set back) counted nothing before today.
TEST(Prune, AClockFarOffPrunesNothing) {
    const int64_t real = day_from_civil({2024, 10, 4});
    const int64_t jump = UsageStore::k_clock_jump_days;
    enum Counted { nothing, day, period };
    // The day the clock shows, what was counted on it, whether the history is pruned.
    const std::tuple<int64_t, Counted, bool> cases[] = {
        {real + 365 * 40, nothing, false}, {real + 365 * 40, day, false}, {-4000, day, false},
        {real + jump + 1, nothing, false}, {real + jump, nothing, true},  {real + jump + 9, period, false}};
    for (const auto& [today, counted, pruned] : cases) {
        UsageStore store;
        for (int64_t d = real - 60; d <= real; ++d) {
            store.add(d, 1, 1);
        }
        store.add(today, counted == day ? 5 : 0, 0);
        store.add_folded(today, today + 29, {counted == period ? 7u : 0u, 0});
        const UsageStore before = store;
        store.prune(today, 30, 1);
        EXPECT_EQ(store != before, pruned) << today;
        if (!pruned) {
            // Back to the real day: its own pruning. What was counted ahead of it is kept; a day before
            // 1970 is folded and, older than 25 months, gone.
            store.prune(real, 30, 1);
            EXPECT_EQ(store.days().begin()->first, real - 30) << today;
            EXPECT_EQ(store.sum(today, today), today > real ? before.sum(today, today) : DayTotals{})
                << today;
        }
    }
}

// "months" holds each folded period's whole total; the days still kept win where the two disagree.
// A reader that knows only "days" finds the kept days as before.
TEST(UsageJson, MonthsHoldWholePeriodsAndKeptDaysWin) {
    UsageStore store; // 19800 is 2024-03-18; March is 19783..19813
    store.add(19800, 10, 1);
    store.add(19801, 20, 2);
    store.prune(19831, 19, 1); // 2024-04-18: 19800 is folded, 19801 stays
    EXPECT_EQ(store.days().size(), 1u);
    const std::string text = usage_file_text(store);
    const std::optional<JsonValue> document = parse_json(text);
    ASSERT_TRUE(document.has_value());
    const JsonValue* days = find_member(*document, "days");
    const JsonValue* months = find_member(*document, "months");
    ASSERT_NE(days, nullptr);
    ASSERT_NE(months, nullptr);
    EXPECT_EQ(serialize_json(*days, 0), "[[19801,20,2]]");
    EXPECT_EQ(serialize_json(*months, 0), "[[19783,19813,30,3]]");
    EXPECT_EQ(usage_from_file_text(text), store);

    // Against a kept day of 5 and 2: part of the whole, the day wins, the day alone, one more each;
    // then malformed periods (reversed, negative, too long, a broken day). Summed over March, over its
    // first day alone (the folded part starts there), and from its second day (the day alone).
    const std::tuple<const char*, int64_t, int64_t, DayTotals> cases[] = {
        {"[[19783, 19813, 100, 10]]", 19783, 19813, {100, 10}},
        {"[[19783, 19813, 100, 10]]", 19783, 19783, {95, 8}},
        {"[[19783, 19813, 100, 10]]", 19784, 19813, {5, 2}},
        {"[[19783, 19813, 4, 1]]", 19783, 19813, {5, 2}},
        {"[[19783, 19813, 5, 1]]", 19783, 19813, {5, 2}},
        {"[[19783, 19813, 6, 3]]", 19783, 19813, {6, 3}},
        {"[[19783, 19782, 6, 3], [19783, 19813, -1, 3], [19783, 19900, 6, 3], [19783.5, 19813, 6, 3]]",
         19783,
         19813,
         {5, 2}}};
    for (const auto& [months, first, last, period] : cases) {
        const auto read =
            usage_from_file_text(std::string(R"({"days": [[19800, 5, 2]], "months": )") + months + "}");
        EXPECT_EQ(read->sum(first, last), period) << months << " " << first;
        EXPECT_EQ(read->get(19800), (DayTotals{5, 2})) << months;
    }
}

// What the reader makes of a file's text, as the days it holds (compact), or "-" for nothing.
TEST(UsageJson, ReadsWellFormedDaysOnly) {
    const std::pair<const char*, const char*> cases[] = {
        {R"({"days": [[20000, 5, 0], [20000, 1, 2], [1, 2, 3]], "schema_version": 99})",
         "[[1,2,3],[20000,6,2]]"},
        // Days: fractional, one past the range either way, exactly at its ends.
        {R"({"days": [[20000.5, 1, 1], [10000001, 1, 1], [-10000001, 1, 1], [10000000, 1, 0],
                      [-10000000, 0, 1]]})",
         "[[-10000000,0,1],[10000000,1,0]]"},
        // Negative or zero bytes, the wrong length or kind; fractional bytes are cut.
        {R"({"days": [[20000, -1, 1], [20000, 1, -1], [20001, 0, 0], [20000, 1], [20000, 1, 1, 1],
                      [20000, "1", 1], [], {"day": 20000}, 20000, [20003, 1.9, 2.5]]})",
         "[[20003,1,2]]"},
        // Above 2^53 (an earlier version counted further): cut to it, not lost; a repeat stays there.
        {R"({"days": [[20002, 9007199254740993, 1], [20004, 1.8446744073709552e19, 7],
                      [20005, 9007199254740992, 0], [20005, 1, 0]]})",
         "[[20002,9007199254740992,1],[20004,9007199254740992,7],[20005,9007199254740992,0]]"},
        {"{}", "[]"},
        {R"({"days": {}, "Days": [[1, 1, 1]]})", "[]"},
        {R"({"days": null})", "[]"},
        {"", "-"},
        {"[]", "-"},
        {"null", "-"},
        {"\xEF\xBB\xBF{}", "-"},
        {R"({"days": [[1, 1, 1]])", "-"}};
    for (const auto& [text, days] : cases) {
        const std::optional<UsageStore> store = usage_from_file_text(text);
        const std::optional<JsonValue> written = store ? std::optional(usage_to_json(*store)) : std::nullopt;
        const JsonValue* kept = written ? find_member(*written, "days") : nullptr;
        EXPECT_EQ(kept ? serialize_json(*kept, 0) : "-", days) << text;
    }
    // Written with one number per line, and read back.
    UsageStore store;
    EXPECT_EQ(usage_file_text(store), "{\n  \"schema_version\": 1,\n  \"days\": []\n}\n");
    store.add(20001, 1536, 512);
    store.add(-3, 7, 0);
    EXPECT_EQ(usage_file_text(store), "{\n  \"schema_version\": 1,\n  \"days\": [\n"
                                      "    [\n      -3,\n      7,\n      0\n    ],\n"
                                      "    [\n      20001,\n      1536,\n      512\n    ]\n  ]\n}\n");
    EXPECT_EQ(usage_from_file_text(usage_file_text(store)), store);
}

TEST(UsageCsv, HeaderThenOneLinePerDayInDayOrder) {
    UsageStore store;
    EXPECT_EQ(usage_csv_text(store), "date,download_bytes,upload_bytes,network\n");
    store.add(19724, 0, 1);
    store.add(19723, 1536, 512);
    store.add(-1, k_max, 0);
    EXPECT_EQ(usage_csv_text(store), "date,download_bytes,upload_bytes,network\n"
                                     "1969-12-31,9007199254740992,0,Other networks\n"
                                     "2024-01-01,1536,512,Other networks\n"
                                     "2024-01-02,0,1,Other networks\n");
}

} // namespace
} // namespace tide
