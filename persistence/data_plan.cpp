// Billing periods, plan usage, the allowance, warning thresholds and warnings.json.
#include "persistence/data_plan.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace tide {
namespace {

bool is_leap_year(int64_t year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int32_t days_in_month(int64_t year, int32_t month) {
    static constexpr int32_t k_days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && is_leap_year(year) ? 29 : k_days[month - 1];
}

// The day a period starts in the given month.
int64_t period_start(int64_t year, int32_t month, int32_t billing_day) {
    return day_from_civil(CivilDate{year, month, std::min(billing_day, days_in_month(year, month))});
}

CivilDate add_months(CivilDate date, int32_t months) {
    const int64_t index = date.year * 12 + (date.month - 1) + months;
    const int64_t year = index >= 0 ? index / 12 : (index - 11) / 12;
    date.year = year;
    date.month = static_cast<int32_t>(index - year * 12 + 1);
    date.day = 1;
    return date;
}

uint64_t saturating_add(uint64_t a, uint64_t b) {
    return b > std::numeric_limits<uint64_t>::max() - a ? std::numeric_limits<uint64_t>::max() : a + b;
}

bool is_level(int32_t level) {
    return level == 0 || std::find(std::begin(k_warning_thresholds), std::end(k_warning_thresholds), level) !=
                             std::end(k_warning_thresholds);
}

JsonValue limit_to_json(const LimitWarnings& w) {
    return JsonValue::object({
        {"first_day", static_cast<double>(w.period.first_day)},
        {"last_day", static_cast<double>(w.period.last_day)},
        {"limit_mb", w.limit_mb},
        {"level", w.level},
    });
}

// Day numbers are kept within what usage.json accepts; anything else means the record is not ours.
std::optional<int64_t> read_day(const JsonValue* object, std::string_view key) {
    const JsonValue* member = find_member(object, key);
    if (!member || !member->is_number()) {
        return std::nullopt;
    }
    const double day = member->as_number();
    if (!std::isfinite(day) || std::floor(day) != day || std::fabs(day) > 10000000.0) {
        return std::nullopt;
    }
    return static_cast<int64_t>(day);
}

LimitWarnings limit_from_json(const JsonValue* object) {
    LimitWarnings w;
    const std::optional<int64_t> first = read_day(object, "first_day");
    const std::optional<int64_t> last = read_day(object, "last_day");
    int32_t limit_mb = 0;
    int32_t level = 0;
    read_int_member(object, "limit_mb", limit_mb);
    read_int_member(object, "level", level);
    if (!first || !last || *last < *first || !is_level(level)) {
        return w;
    }
    w.period = {*first, *last};
    w.limit_mb = limit_mb;
    w.level = level;
    return w;
}

} // namespace

BillingPeriod billing_period(int64_t day, int32_t billing_day) {
    billing_day = std::clamp(billing_day, 1, 31);
    const CivilDate date = civil_from_day(day);
    CivilDate start_month = date;
    if (day < period_start(date.year, date.month, billing_day)) {
        start_month = add_months(date, -1);
    }
    const CivilDate next_month = add_months(start_month, 1);
    return BillingPeriod{period_start(start_month.year, start_month.month, billing_day),
                         period_start(next_month.year, next_month.month, billing_day) - 1};
}

int32_t days_left(const BillingPeriod& period, int64_t today) {
    const int64_t left = period.last_day - today + 1;
    return static_cast<int32_t>(std::clamp<int64_t>(left, 0, 31));
}

uint64_t daily_allowance(uint64_t limit_bytes, uint64_t used_bytes, int32_t days_left) {
    if (used_bytes >= limit_bytes) {
        return 0;
    }
    return (limit_bytes - used_bytes) / static_cast<uint64_t>(std::max(days_left, 1));
}

uint64_t limit_bytes(int32_t limit_mb) {
    return limit_mb > 0 ? static_cast<uint64_t>(limit_mb) * k_bytes_per_mb : 0;
}

uint64_t total_bytes(const DayTotals& totals) {
    return saturating_add(totals.download, totals.upload);
}

PlanUsage plan_usage(const UsageStore& store, int64_t today, int32_t billing_day) {
    const BillingPeriod period = billing_period(today, billing_day);
    return PlanUsage{total_bytes(store.sum(period.first_day, today)), total_bytes(store.get(today))};
}

// Limits reach at most 10^14 bytes and totals 2^54, so used × 100 stays far inside 64 bits.
int32_t used_percent(uint64_t used_bytes, uint64_t limit_bytes) {
    if (limit_bytes == 0) {
        return 0;
    }
    const uint64_t percent = used_bytes / limit_bytes * 100 + used_bytes % limit_bytes * 100 / limit_bytes;
    return static_cast<int32_t>(std::min<uint64_t>(percent, std::numeric_limits<int32_t>::max()));
}

bool limit_used_up(uint64_t used_bytes, uint64_t limit_bytes) {
    return limit_bytes > 0 && used_bytes >= limit_bytes;
}

int32_t reached_threshold(uint64_t used_bytes, uint64_t limit_bytes) {
    const int32_t percent = used_percent(used_bytes, limit_bytes);
    int32_t reached = 0;
    for (const int32_t threshold : k_warning_thresholds) {
        if (percent >= threshold) {
            reached = threshold;
        }
    }
    return reached;
}

int32_t threshold_to_warn(int32_t warned_level, uint64_t used_bytes, uint64_t limit_bytes) {
    const int32_t reached = reached_threshold(used_bytes, limit_bytes);
    return reached > warned_level ? reached : 0;
}

std::optional<LimitWarnings> current_warnings(const LimitWarnings& given, const BillingPeriod& period,
                                              int32_t limit_mb, uint64_t used_bytes) {
    if (given.period == period && given.limit_mb == limit_mb) {
        return given;
    }
    if (period.last_day < given.period.first_day) {
        return std::nullopt;
    }
    LimitWarnings current{period, limit_mb, 0};
    if (period.first_day <= given.period.last_day) {
        current.level = std::min(given.level, reached_threshold(used_bytes, limit_bytes(limit_mb)));
    }
    return current;
}

std::string warnings_file_text(const GivenWarnings& warnings) {
    return serialize_json(JsonValue::object({
                              {"schema_version", k_warnings_schema_version},
                              {"monthly", limit_to_json(warnings.monthly)},
                              {"daily", limit_to_json(warnings.daily)},
                          }),
                          2);
}

std::optional<GivenWarnings> warnings_from_file_text(std::string_view text) {
    const std::optional<JsonValue> document = parse_json(text);
    if (!document || !document->is_object()) {
        return std::nullopt;
    }
    const auto section = [&](std::string_view key) {
        const JsonValue* member = find_member(*document, key);
        return member && member->is_object() ? member : nullptr;
    };
    return GivenWarnings{limit_from_json(section("monthly")), limit_from_json(section("daily"))};
}

} // namespace tide
