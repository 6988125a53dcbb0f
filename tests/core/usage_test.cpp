// Day numbering, the usage store, usage.json and the CSV text.
#include "persistence/usage.h"

#include <gtest/gtest.h>

#include <limits>

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

TEST_P(Prune, KeepsExactlyTheRetainedDaysUpToToday) {
    UsageStore store;
    for (int64_t day = 19900; day <= 20000; ++day) {
        store.add(day, 1, 1);
    }
    store.add(20005, 1, 1); // a day after today (clock set back) is kept
    store.prune(20000, GetParam().retention);
    ASSERT_FALSE(store.empty());
    EXPECT_EQ(store.days().begin()->first, GetParam().first_kept);
    EXPECT_EQ(store.get(GetParam().first_kept - 1), DayTotals{});
    EXPECT_EQ(store.days().rbegin()->first, 20005);
}

INSTANTIATE_TEST_SUITE_P(Retention, Prune,
                         testing::Values(PruneCase{30, 19971}, PruneCase{1, 20000}, PruneCase{0, 20000},
                                         PruneCase{-7, 20000}, PruneCase{3650, 19900}));

TEST(UsageJson, SkipsMalformedDaysAndSumsRepeatedOnes) {
    const auto store = usage_from_file_text(R"({"days": [
        [20000, 5, 0], [20000, 1, 2],
        [20001, 0, 0], [20000.5, 1, 1], [20000, -1, 1], [20000, 1], [20000, "1", 1],
        [20000, 1, 1, 1], {"day": 20000}, 20000, [10000001, 1, 1], [-10000001, 1, 1],
        [20002, 9007199254740994, 1], [20003, 1.9, 2.5], [20004, 1.8446744073709552e19, 7],
        [-10000000, 9007199254740992, 0]
    ], "schema_version": 99})");
    ASSERT_TRUE(store);
    UsageStore expected;
    expected.add(20000, 6, 2);
    expected.add(20002, k_max, 1); // written by an earlier version that counted further: cut, not lost
    expected.add(20003, 1, 2);
    expected.add(20004, k_max, 7);
    expected.add(-10000000, 9007199254740992u, 0);
    EXPECT_EQ(*store, expected);
}

TEST(UsageJson, DaysMissingOrOfAnotherKindGiveAnEmptyStore) {
    for (const char* text : {"{}", R"({"days": {}})", R"({"days": null})", R"({"Days": [[1, 1, 1]]})"}) {
        const auto store = usage_from_file_text(text);
        ASSERT_TRUE(store) << text;
        EXPECT_TRUE(store->empty()) << text;
    }
}

TEST(UsageJson, UnreadableTextGivesNothing) {
    for (const char* text : {"", "[]", "\xEF\xBB\xBF{}", R"({"days": [[1, 1, 1]])", "null"}) {
        EXPECT_FALSE(usage_from_file_text(text)) << text;
    }
}

TEST(UsageJson, WritesOneNumberPerLineAndReadsBack) {
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
    EXPECT_EQ(usage_csv_text(store), "date,download_bytes,upload_bytes\n");
    store.add(19724, 0, 1);
    store.add(19723, 1536, 512);
    store.add(-1, k_max, 0);
    EXPECT_EQ(usage_csv_text(store), "date,download_bytes,upload_bytes\n"
                                     "1969-12-31,9007199254740992,0\n"
                                     "2024-01-01,1536,512\n"
                                     "2024-01-02,0,1\n");
}

} // namespace
} // namespace tide
