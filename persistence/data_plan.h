// Data-plan limits: the billing period around a day, what was used in it and today, the allowance
// that keeps a monthly limit, and which of the 80/90/100 % warnings are due. The warnings already
// given are kept in warnings.json so that a restart neither repeats nor loses one.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "persistence/json.h"
#include "persistence/usage.h"

namespace tide {

inline constexpr uint64_t k_bytes_per_mb = 1000000; // limits are stored in MB of 10^6 bytes

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

// The warnings given for one limit in one period (for the daily limit a period of one day): the
// highest threshold warned and the limit it was warned under.
struct LimitWarnings {
    BillingPeriod period;
    int32_t limit_mb = 0;
    int32_t level = 0;

    friend bool operator==(const LimitWarnings&, const LimitWarnings&) = default;
};

// One limit's records, one per period, the most recently current first. A record stays with its
// period, so a clock set ahead or back finds each period's own record again, and a record from a
// period still to come never speaks for the present one.
using WarningRecords = std::vector<LimitWarnings>;

// How many periods' records are kept per limit (the least recently current go first).
inline constexpr size_t k_kept_warning_records = 8;

// The record that counts for the period holding today, under the current limit:
// - the period's own record under the same limit: as it is;
// - under another limit, or the record of another period holding today (the billing day moved): only
//   the thresholds still reached under the new terms stay warned, the others are armed again;
// - no record holds today (a period entered for the first time): nothing warned yet.
LimitWarnings current_warnings(const WarningRecords& records, const BillingPeriod& period, int64_t today,
                               int32_t limit_mb, uint64_t used_bytes);

// Puts the record first, in place of its period's own record, and drops the least recently current
// beyond k_kept_warning_records. True when the records changed.
bool keep_warnings(WarningRecords& records, const LimitWarnings& current);

// Both limits' records: the content of warnings.json.
struct GivenWarnings {
    WarningRecords monthly;
    WarningRecords daily;

    friend bool operator==(const GivenWarnings&, const GivenWarnings&) = default;
};

inline constexpr int32_t k_warnings_schema_version = 1;

// {"schema_version": 1, "monthly": {"first_day", "last_day", "limit_mb", "level"}, "daily": {...},
//  "monthly_periods": [{...}, ...], "daily_periods": [{...}, ...]}
// "monthly" and "daily" hold the most recently current record (all an earlier version reads), the
// lists every record kept.
std::string warnings_file_text(const GivenWarnings& warnings);
// Nothing when the text is not a JSON object. A record of the wrong kind, or with a level that is not
// a threshold, is left out; a file with no lists (an earlier version's) gives its two records.
std::optional<GivenWarnings> warnings_from_file_text(std::string_view text);

} // namespace tide
