// Data-plan limits: the billing period around a day, what was used in it and today, the allowance
// that keeps a monthly limit, and which of the 80/90/100 % warnings are due. The warnings already
// given are kept in warnings.json so that a restart neither repeats nor loses one.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "persistence/json.h"
#include "persistence/usage.h"

namespace tide {

inline constexpr uint64_t k_bytes_per_mb = 1000000; // limits are stored in MB of 10^6 bytes

// Inclusive local day numbers (as in usage.h).
struct BillingPeriod {
    int64_t first_day = 0;
    int64_t last_day = 0;

    friend bool operator==(const BillingPeriod&, const BillingPeriod&) = default;
};

// The period that holds the day. It starts on billing_day (1..31; outside is clamped) of a month; in a
// month that has no such day it starts on that month's last day.
BillingPeriod billing_period(int64_t day, int32_t billing_day);

// Days from today to the period's end, today included; 0 when today lies after it.
int32_t days_left(const BillingPeriod& period, int64_t today);

// What may still be used per day to stay within the limit: (limit − used) / days left, never below 0.
// Fewer than one day left counts as one (the rest of the limit belongs to today).
uint64_t daily_allowance(uint64_t limit_bytes, uint64_t used_bytes, int32_t days_left);

// A limit in MB as bytes; 0 (no limit) for 0 or less.
uint64_t limit_bytes(int32_t limit_mb);

// Download and upload together, saturating.
uint64_t total_bytes(const DayTotals& totals);

struct PlanUsage {
    uint64_t period = 0; // from the period's first day through today
    uint64_t today = 0;

    friend bool operator==(const PlanUsage&, const PlanUsage&) = default;
};

PlanUsage plan_usage(const UsageStore& store, int64_t today, int32_t billing_day);

// Whole percent of the limit used, rounded down (so 99.9 % never reads as 100 %); 0 without a limit.
int32_t used_percent(uint64_t used_bytes, uint64_t limit_bytes);

// True when a limit is set and fully used.
bool limit_used_up(uint64_t used_bytes, uint64_t limit_bytes);

// The warning thresholds in percent, lowest first. A level is 0 (none) or one of them.
inline constexpr int32_t k_warning_thresholds[] = {80, 90, 100};

// The highest threshold the total has reached; 0 when none or without a limit.
int32_t reached_threshold(uint64_t used_bytes, uint64_t limit_bytes);

// The threshold to warn about now, or 0: the highest one reached when it is above the level already
// warned. Several crossed at once give one warning, for the highest.
int32_t threshold_to_warn(int32_t warned_level, uint64_t used_bytes, uint64_t limit_bytes);

// The warnings given for one limit: the highest threshold warned in a period (for the daily limit a
// period of one day) and the limit it was warned under.
struct LimitWarnings {
    BillingPeriod period;
    int32_t limit_mb = 0;
    int32_t level = 0;

    friend bool operator==(const LimitWarnings&, const LimitWarnings&) = default;
};

// The record as it counts for the current period and limit:
// - the same period and limit: unchanged;
// - a later period: nothing warned yet;
// - the limit changed, or the period's bounds moved with the billing day: only the thresholds still
//   reached under the new terms stay warned, the others are armed again;
// - an earlier period (the clock was moved back): nothing, and nothing is to be warned there, so
//   going back and forth across a boundary never repeats a warning.
std::optional<LimitWarnings> current_warnings(const LimitWarnings& given, const BillingPeriod& period,
                                              int32_t limit_mb, uint64_t used_bytes);

// Both limits' records: the content of warnings.json.
struct GivenWarnings {
    LimitWarnings monthly;
    LimitWarnings daily;

    friend bool operator==(const GivenWarnings&, const GivenWarnings&) = default;
};

inline constexpr int32_t k_warnings_schema_version = 1;

// {"schema_version": 1, "monthly": {"first_day", "last_day", "limit_mb", "level"}, "daily": {...}}
std::string warnings_file_text(const GivenWarnings& warnings);
// Nothing when the text is not a JSON object; a member of the wrong kind or a level that is not a
// threshold leaves that record at nothing warned.
std::optional<GivenWarnings> warnings_from_file_text(std::string_view text);

} // namespace tide
