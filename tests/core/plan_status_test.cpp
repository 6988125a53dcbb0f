// The data-plan figures, their texts and the warning bookkeeping.
#include "app/plan_status.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "persistence/json.h"
#include "presentation/localization.h"

namespace tide {
namespace {

// The English pack itself, so that the texts checked are the program's own.
const TextLookup k_english = [](std::string_view key) -> std::string {
    static const LanguagePack pack = *parse_language_pack(k_builtin_english);
    const auto it = pack.find(key);
    return it == pack.end() ? std::string(key) : it->second;
};

const int64_t k_today = day_from_civil({2024, 4, 3}); // billing day 15: 12 days left, today included

struct Plan {
    Settings settings;
    UsageStore store;
    NumberFormat format = make_number_format("en", false, 0);

    Plan(int32_t monthly_mb, int32_t daily_mb, uint64_t used_today, uint64_t used_before = 0) {
        settings.history_mode = 1;
        settings.billing_day = 15;
        settings.monthly_warning_mb = monthly_mb;
        settings.daily_warning_mb = daily_mb;
        store.add(k_today, used_today - used_today / 4, used_today / 4);
        store.add(k_today - 5, used_before, 0);
    }
    PlanView view(bool complete = true) const { return plan_view(settings, store, k_today, complete); }
    PlanTextInputs texts(bool rtl = false) const { return PlanTextInputs{k_english, format, 1, rtl}; }
};

TEST(PlanView, IsWatchedOnlyWithTheWholeHistoryAndUsedUpAtTheLimit) {
    EXPECT_TRUE(Plan(10, 0, 10'000'000).view().used_up);
    EXPECT_FALSE(Plan(10, 0, 9'999'999).view().used_up);
    EXPECT_TRUE(Plan(0, 3, 3'000'000).view().used_up);             // the daily limit alone
    EXPECT_TRUE(Plan(10, 9, 4'000'000, 6'000'000).view().used_up); // the month, with today below its own
    EXPECT_FALSE(Plan(10, 0, 10'000'000).view(false).used_up);     // the file was not read: a partial total
    Plan off(10, 0, 10'000'000);
    off.settings.history_mode = 0;
    EXPECT_FALSE(off.view().active);
}

TEST(PlanTexts, ReadLikeTheUserWouldSayThem) {
    const Plan plan(10'000, 500, 8'200'000'000);
    const PlanView view = plan.view();
    EXPECT_EQ(plan_tip_line(view, plan.texts()), "This month: 8.2 GB of 10 GB");
    EXPECT_EQ(plan_tip_line(Plan(0, 500, 1).view(), plan.texts()), "");
    EXPECT_EQ(plan_tip_line(view, plan.texts(true)), "This month: \xE2\x81\xA6"
                                                     "8.2 GB\xE2\x81\xA9 of \xE2\x81\xA6"
                                                     "10 GB\xE2\x81\xA9");

    const PlanTextInputs in = plan.texts();
    const auto text = [&](PlanLimit limit, int32_t threshold, const PlanView& v) {
        return plan_notice({limit, threshold}, v, in).text;
    };
    EXPECT_EQ(plan_notice({PlanLimit::monthly, 80}, view, in).title, "Data limit");
    EXPECT_EQ(text(PlanLimit::monthly, 80, view),
              "You have used 8.2 GB of your 10 GB monthly limit (82 %). 12 days "
              "left: about 150 MB a day keeps you within it.");
    PlanView last_day = view;
    last_day.today = view.period.last_day;
    EXPECT_EQ(text(PlanLimit::monthly, 80, last_day),
              "You have used 8.2 GB of your 10 GB monthly limit (82 %). "
              "Today is the last day of the period: 1.8 GB left.");
    const PlanView over = Plan(10'000, 0, 10'500'000'000).view();
    EXPECT_EQ(
        text(PlanLimit::monthly, 100, over),
        "You have used 10.5 GB of your 10 GB monthly limit (105 %). It is used up until the period ends.");
    const PlanView daily = Plan(0, 500, 450'000'000).view();
    EXPECT_EQ(text(PlanLimit::daily, 90, daily),
              "You have used 450 MB of your 500 MB daily limit (90 %). 50 MB "
              "left today.");
    EXPECT_EQ(text(PlanLimit::daily, 100, Plan(0, 500, 500'000'000).view()),
              "You have used 500 MB of your 500 MB daily limit (100 %). It is used up for today.");
}

TEST(PlanWarner, WarnsOncePerThresholdAndWaitsOutARefusal) {
    PlanWarner warner;
    Plan plan(10, 0, 7'900'000);
    EXPECT_EQ(warner.check(plan.view(), 10, 0, 0), std::nullopt);
    plan.store.add(k_today, 2'200'000, 0); // 101 %: one warning, for the highest
    const DueWarning due{PlanLimit::monthly, 100};
    ASSERT_EQ(warner.check(plan.view(), 10, 0, 1'000), due);

    warner.refused(1'000); // not marked, and not asked for again at every sample
    EXPECT_EQ(warner.check(plan.view(), 10, 0, 2'000), std::nullopt);
    EXPECT_EQ(warner.records().monthly.front().level, 0);
    EXPECT_EQ(warner.check(plan.view(), 10, 0, 1'000 + PlanWarner::k_retry_after_ms), due);

    warner.given(due);
    EXPECT_TRUE(warner.changed());
    EXPECT_EQ(warner.records().monthly.front(), (LimitWarnings{plan.view().period, 10, 100}));
    EXPECT_EQ(warner.check(plan.view(), 10, 0, 90'000), std::nullopt);

    PlanWarner restarted; // what warnings.json gave back
    restarted.load(warner.records());
    EXPECT_EQ(restarted.check(plan.view(), 10, 0, 0), std::nullopt);
    EXPECT_FALSE(restarted.changed());
    EXPECT_EQ(restarted.check(plan.view(false), 10, 0, 0), std::nullopt);
}

TEST(PlanWarner, GivesTheMonthlyWarningFirstThenTheDailyOne) {
    PlanWarner warner;
    const Plan plan(10, 2, 9'000'000);
    const auto first = warner.check(plan.view(), 10, 2, 0);
    ASSERT_EQ(first, (DueWarning{PlanLimit::monthly, 90}));
    warner.given(*first);
    EXPECT_EQ(warner.check(plan.view(), 10, 2, 0), (DueWarning{PlanLimit::daily, 100}));
}

// One check of the warner: the day the clock shows, what the period and today used (MB), the limits,
// and the warning due ("m80", "d90"; "-" none). Every warning due is given.
struct WarnStep {
    int64_t today;
    double period_mb;
    double today_mb;
    int32_t monthly_mb;
    int32_t daily_mb;
    const char* due;
};

TEST(PlanWarner, KeepsEachPeriodsWarningsThroughClockChanges) {
    const int64_t mar10 = day_from_civil({2024, 3, 10});
    const int64_t mar31 = day_from_civil({2024, 3, 31});
    const int64_t year_on = day_from_civil({2025, 3, 10});
    const std::pair<const char*, std::vector<WarnStep>> cases[] = {
        {"clock set ahead a year and back: a period entered first warns, the future does not silence March",
         {{mar10, 8.5, 0, 10, 0, "m80"},
          {year_on, 9.5, 0, 10, 0, "m90"},
          {mar10, 8.6, 0, 10, 0, "-"},
          {mar10 + 1, 9.1, 0, 10, 0, "m90"},
          {year_on, 9.5, 0, 10, 0, "-"}}},
        {"back and forth across a month's end",
         {{mar31, 9.0, 0, 10, 0, "m90"},
          {mar31 + 1, 8.0, 0, 10, 0, "m80"},
          {mar31, 9.0, 0, 10, 0, "-"},
          {mar31 + 1, 8.0, 0, 10, 0, "-"},
          {mar31, 10.0, 0, 10, 0, "m100"}}},
        {"back and forth across midnight",
         {{mar10, 0, 85, 0, 100, "d80"},
          {mar10 + 1, 0, 90, 0, 100, "d90"},
          {mar10, 0, 85, 0, 100, "-"},
          {mar10 + 1, 0, 90, 0, 100, "-"}}},
        {"daily limit raised and lowered within a day (101: 84 %, 95: 89 %)",
         {{mar10, 0, 85, 0, 100, "d80"},
          {mar10, 0, 85, 0, 101, "-"},
          {mar10, 0, 85, 0, 100, "-"},
          {mar10, 0, 85, 0, 94, "d90"},
          {mar10, 0, 85, 0, 95, "-"},
          {mar10, 0, 86, 0, 95, "d90"},
          {mar10, 0, 86, 0, 86, "d100"}}},
    };
    for (const auto& [name, steps] : cases) {
        PlanWarner warner;
        for (const WarnStep& step : steps) {
            const PlanView view{.active = true,
                                .today = step.today,
                                .period = billing_period(step.today, 1),
                                .used = {static_cast<uint64_t>(step.period_mb * 1e6),
                                         static_cast<uint64_t>(step.today_mb * 1e6)}};
            const auto due = warner.check(view, step.monthly_mb, step.daily_mb, 0);
            if (due) {
                warner.given(*due);
            }
            EXPECT_EQ(due ? (due->limit == PlanLimit::monthly ? "m" : "d") + std::to_string(due->threshold)
                          : "-",
                      step.due)
                << name << " at step " << (&step - steps.data());
        }
        PlanWarner restarted; // the file keeps every period's record
        const std::optional<GivenWarnings> saved =
            warnings_from_file_text(warnings_file_text(warner.records()));
        ASSERT_TRUE(saved.has_value()) << name;
        restarted.load(*saved);
        EXPECT_EQ(restarted.records(), warner.records()) << name;
    }
}

TEST(PlanWarner, KeepsTheRecordsOfTheLastPeriodsOnly) {
    PlanWarner warner;
    for (int64_t day = 0; day < 12; ++day) {
        warner.check(PlanView{.active = true, .today = 20000 + day, .period = {}, .used = {}}, 0, 1, 0);
        ASSERT_EQ(warner.records().daily.size(), std::min<size_t>(day + 1, k_kept_warning_records)) << day;
        EXPECT_EQ(warner.records().daily.back().period.first_day, std::max<int64_t>(20000, day + 20001 - 8))
            << day;
    }
}

} // namespace
} // namespace tide
