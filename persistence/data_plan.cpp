// Billing periods, plan usage, the allowance, warning thresholds and warnings.json.
#include "persistence/data_plan.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace tide {
namespace {

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

std::optional<LimitWarnings> limit_from_json(const JsonValue* object) {
    const std::optional<int64_t> first = read_day(object, "first_day");
    const std::optional<int64_t> last = read_day(object, "last_day");
    int32_t limit_mb = 0;
    int32_t level = 0;
    read_int_member(object, "limit_mb", limit_mb);
    read_int_member(object, "level", level);
    if (!object || !object->is_object() || !first || !last || *last < *first || !is_level(level)) {
        return std::nullopt;
    }
    return LimitWarnings{{*first, *last}, limit_mb, level};
}

// The list, then the single record in case an earlier version wrote the file after this one.
WarningRecords records_from_json(const JsonValue& document, std::string_view list_key, std::string_view key) {
    WarningRecords records;
    const JsonValue* list = find_member(document, list_key);
    if (list && list->is_array()) {
        for (const JsonValue& entry : list->elements()) {
            if (const std::optional<LimitWarnings> record = limit_from_json(&entry)) {
                records.push_back(*record);
            }
        }
    }
    // An empty list is written with a record of nothing at all.
    if (const std::optional<LimitWarnings> single = limit_from_json(find_member(document, key));
        single && !(*single == LimitWarnings{})) {
        const auto own = std::find_if(records.begin(), records.end(),
                                      [&](const LimitWarnings& r) { return r.period == single->period; });
        if (own != records.end()) {
            records.erase(own);
        }
        records.insert(records.begin(), *single);
    }
    if (records.size() > k_kept_warning_records) {
        records.resize(k_kept_warning_records);
    }
    return records;
}

JsonValue records_to_json(const WarningRecords& records) {
    std::vector<JsonValue> list;
    for (const LimitWarnings& record : records) {
        list.push_back(limit_to_json(record));
    }
    return JsonValue::array(std::move(list));
}

} // namespace

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

LimitWarnings current_warnings(const WarningRecords& records, const BillingPeriod& period, int64_t today,
                               int32_t limit_mb, uint64_t used_bytes) {
    const auto own = std::find_if(records.begin(), records.end(),
                                  [&](const LimitWarnings& r) { return r.period == period; });
    if (own != records.end() && own->limit_mb == limit_mb) {
        return *own;
    }
    const auto holder = own != records.end()
                            ? own
                            : std::find_if(records.begin(), records.end(), [&](const LimitWarnings& r) {
                                  return r.period.first_day <= today && today <= r.period.last_day;
                              });
    LimitWarnings current{period, limit_mb, 0};
    if (holder != records.end()) {
        current.level = std::min(holder->level, reached_threshold(used_bytes, limit_bytes(limit_mb)));
    }
    return current;
}

bool keep_warnings(WarningRecords& records, const LimitWarnings& current) {
    if (!records.empty() && records.front() == current) {
        return false;
    }
    const auto own = std::find_if(records.begin(), records.end(),
                                  [&](const LimitWarnings& r) { return r.period == current.period; });
    if (own != records.end()) {
        records.erase(own);
    }
    records.insert(records.begin(), current);
    if (records.size() > k_kept_warning_records) {
        records.resize(k_kept_warning_records);
    }
    return true;
}

std::string warnings_file_text(const GivenWarnings& warnings) {
    const auto latest = [](const WarningRecords& records) {
        return limit_to_json(records.empty() ? LimitWarnings{} : records.front());
    };
    return serialize_json(JsonValue::object({
                              {"schema_version", k_warnings_schema_version},
                              {"monthly", latest(warnings.monthly)},
                              {"daily", latest(warnings.daily)},
                              {"monthly_periods", records_to_json(warnings.monthly)},
                              {"daily_periods", records_to_json(warnings.daily)},
                          }),
                          2);
}

std::optional<GivenWarnings> warnings_from_file_text(std::string_view text) {
    const std::optional<JsonValue> document = parse_json(text);
    if (!document || !document->is_object()) {
        return std::nullopt;
    }
    return GivenWarnings{records_from_json(*document, "monthly_periods", "monthly"),
                         records_from_json(*document, "daily_periods", "daily")};
}

} // namespace tide
