// A sample's bytes on the days its span covers, in proportion to time.
#include "net/day_share.h"

#include <gtest/gtest.h>

namespace tide {
namespace {

using Days = std::vector<std::pair<int64_t, DayTotals>>;

constexpr int64_t k_day = 86'400;
constexpr int64_t k_day_100 = 100 * k_day; // midnight starting day 100, UTC

TEST(SpreadOverDays, ANightsSilenceGoesOnItsDays) {
    const TimeZoneState utc;
    // 22:00 to 06:00: a quarter before midnight, three quarters after.
    EXPECT_EQ(spread_over_days({8'000, 800}, k_day_100 - 7'200, k_day_100 + 21'600, utc),
              (Days{{99, {2'000, 200}}, {100, {6'000, 600}}}));
    // Three days: 12:00 day 99 to 12:00 day 101; the last day takes what rounding left.
    EXPECT_EQ(spread_over_days({1'001, 0}, k_day_100 - 43'200, k_day_100 + k_day + 43'200, utc),
              (Days{{99, {250, 0}}, {100, {500, 0}}, {101, {251, 0}}}));
    // Within one day, empty, backwards or unknown: all on the last day.
    EXPECT_EQ(spread_over_days({5, 6}, k_day_100 + 1, k_day_100 + 2, utc), (Days{{100, {5, 6}}}));
    EXPECT_EQ(spread_over_days({5, 6}, k_day_100 + 2, k_day_100 + 2, utc), (Days{{100, {5, 6}}}));
    EXPECT_EQ(spread_over_days({5, 6}, k_day_100 + 3, k_day_100 - 3, utc), (Days{{99, {5, 6}}}));
    EXPECT_EQ(spread_over_days({5, 6}, 0, k_day_100 + 2, utc), (Days{{100, {5, 6}}}));
}

// A span of more than a year puts the bytes on its last 366 days.
TEST(SpreadOverDays, ASpanOfMoreThanAYearKeepsItsLastYear) {
    const TimeZoneState utc;
    const Days days = spread_over_days({366'000, 0}, 600 * k_day, 1'000 * k_day, utc);
    ASSERT_EQ(days.size(), 367u); // the 366 days before day 1000, and day 1000 with nothing
    EXPECT_EQ(days.front(), (std::pair<int64_t, DayTotals>{634, {1'000, 0}}));
    EXPECT_EQ(days.back(), (std::pair<int64_t, DayTotals>{1'000, {0, 0}}));
}

TEST(SpreadOverDays, FollowsTheLocalMidnight) {
    TimeZoneState berlin; // UTC + 1 h: local midnight is 23:00 UTC
    berlin.bias_min = -60;
    EXPECT_EQ(spread_over_days({4'000, 0}, k_day_100 - 7'200, k_day_100 + 7'200, berlin),
              (Days{{99, {1'000, 0}}, {100, {3'000, 0}}}));
}

TEST(SpreadOverDays, LargeCountsDoNotOverflow) {
    const TimeZoneState utc;
    const uint64_t big = uint64_t{1} << 53;
    EXPECT_EQ(spread_over_days({big, 0}, k_day_100 - 43'200, k_day_100 + 43'200, utc),
              (Days{{99, {big / 2, 0}}, {100, {big / 2, 0}}}));
}

} // namespace
} // namespace tide
