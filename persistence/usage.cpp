// Day numbering, the per-day usage store, usage.json and the usage CSV.
#include "persistence/usage.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace tide {
namespace {

constexpr uint64_t k_max_total = UsageStore::k_max_bytes;
constexpr double k_max_file_value = static_cast<double>(UsageStore::k_max_bytes);
constexpr double k_max_file_day = 10000000.0;

uint64_t saturating_add(uint64_t a, uint64_t b) {
    a = std::min(a, k_max_total);
    return b > k_max_total - a ? k_max_total : a + b;
}

void add_into(DayTotals& into, const DayTotals& more) {
    into.download = saturating_add(into.download, more.download);
    into.upload = saturating_add(into.upload, more.upload);
}

int64_t floor_div(int64_t a, int64_t b) {
    const int64_t q = a / b;
    return (a % b != 0 && ((a < 0) != (b < 0))) ? q - 1 : q;
}

} // namespace

int64_t utc_offset_seconds(const TimeZoneState& zone) {
    int64_t extra = 0;
    if (zone.phase == TimeZoneState::Phase::daylight) {
        extra = zone.daylight_bias_min;
    } else if (zone.phase == TimeZoneState::Phase::standard) {
        extra = zone.standard_bias_min;
    }
    return -(static_cast<int64_t>(zone.bias_min) + extra) * 60;
}

int64_t local_day_number(int64_t unix_time, const TimeZoneState& zone) {
    return floor_div(unix_time + utc_offset_seconds(zone), 86400);
}

// Days are counted in 400-year eras of 146097 days starting on 0000-03-01, so that the leap day is
// the last day of each counted year.
CivilDate civil_from_day(int64_t day) {
    const int64_t z = day + 719468;
    const int64_t era = floor_div(z, 146097);
    const int64_t doe = z - era * 146097;                                      // 0..146096
    const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365; // 0..399
    const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);               // 0..365
    const int64_t mp = (5 * doy + 2) / 153;                                    // 0..11, March first
    CivilDate date;
    date.day = static_cast<int32_t>(doy - (153 * mp + 2) / 5 + 1);
    date.month = static_cast<int32_t>(mp < 10 ? mp + 3 : mp - 9);
    date.year = yoe + era * 400 + (date.month <= 2 ? 1 : 0);
    return date;
}

int64_t day_from_civil(const CivilDate& date) {
    const int64_t y = date.year - (date.month <= 2 ? 1 : 0);
    const int64_t era = floor_div(y, 400);
    const int64_t yoe = y - era * 400;
    const int64_t mp = date.month > 2 ? date.month - 3 : date.month + 9;
    const int64_t doy = (153 * mp + 2) / 5 + date.day - 1;
    const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

std::string date_text(int64_t day) {
    const CivilDate date = civil_from_day(day);
    char text[48];
    std::snprintf(text, sizeof text, "%04lld-%02d-%02d", static_cast<long long>(date.year), date.month,
                  date.day);
    return text;
}

void UsageStore::add(int64_t day, uint64_t download, uint64_t upload) {
    if (download == 0 && upload == 0) {
        return;
    }
    add_into(days_[day], DayTotals{download, upload});
}

DayTotals UsageStore::get(int64_t day) const {
    const auto it = days_.find(day);
    return it == days_.end() ? DayTotals{} : it->second;
}

DayTotals UsageStore::sum(int64_t first, int64_t last) const {
    DayTotals total;
    if (last < first) {
        return total;
    }
    for (auto it = days_.lower_bound(first); it != days_.end() && it->first <= last; ++it) {
        add_into(total, it->second);
    }
    return total;
}

DayTotals UsageStore::last_7_days(int64_t today) const {
    return sum(today - 6, today);
}

DayTotals UsageStore::this_month(int64_t today) const {
    return sum(today - (civil_from_day(today).day - 1), today);
}

void UsageStore::prune(int64_t today, int32_t retention_days) {
    const int64_t keep = retention_days < 1 ? 1 : retention_days;
    days_.erase(days_.begin(), days_.lower_bound(today - keep + 1));
}

bool UsageCounter::feed(UsageStore& store, int64_t day, uint64_t session_received, uint64_t session_sent) {
    const bool grew = valid_ && session_received >= previous_received_ && session_sent >= previous_sent_ &&
                      (session_received != previous_received_ || session_sent != previous_sent_);
    if (grew) {
        store.add(day, session_received - previous_received_, session_sent - previous_sent_);
    }
    previous_received_ = session_received;
    previous_sent_ = session_sent;
    valid_ = true;
    return grew;
}

JsonValue usage_to_json(const UsageStore& store) {
    std::vector<JsonValue> days;
    days.reserve(store.days().size());
    for (const auto& [day, totals] : store.days()) {
        days.push_back(JsonValue::array({JsonValue(static_cast<double>(day)),
                                         JsonValue(static_cast<double>(totals.download)),
                                         JsonValue(static_cast<double>(totals.upload))}));
    }
    return JsonValue::object(
        {{"schema_version", JsonValue(k_usage_schema_version)}, {"days", JsonValue::array(std::move(days))}});
}

UsageStore usage_from_json(const JsonValue& document) {
    UsageStore store;
    const JsonValue* days = find_member(document, "days");
    if (!days || !days->is_array()) {
        return store;
    }
    // Not below zero and not NaN; anything larger than the store holds is cut to its limit.
    const auto in_range = [](double v) { return v >= 0; };
    const auto bytes = [](double v) { return static_cast<uint64_t>(std::min(v, k_max_file_value)); };
    for (const JsonValue& entry : days->elements()) {
        if (!entry.is_array() || entry.elements().size() != 3) {
            continue;
        }
        const auto& e = entry.elements();
        if (!e[0].is_number() || !e[1].is_number() || !e[2].is_number()) {
            continue;
        }
        const double day = e[0].as_number();
        if (!std::isfinite(day) || std::floor(day) != day || std::fabs(day) > k_max_file_day ||
            !in_range(e[1].as_number()) || !in_range(e[2].as_number())) {
            continue;
        }
        store.add(static_cast<int64_t>(day), bytes(e[1].as_number()), bytes(e[2].as_number()));
    }
    return store;
}

std::string usage_file_text(const UsageStore& store) {
    return serialize_json(usage_to_json(store), 2);
}

std::optional<UsageStore> usage_from_file_text(std::string_view text) {
    const std::optional<JsonValue> document = parse_json(text);
    if (!document || !document->is_object()) {
        return std::nullopt;
    }
    return usage_from_json(*document);
}

std::string usage_csv_text(const UsageStore& store) {
    std::string text = "date,download_bytes,upload_bytes\n";
    for (const auto& [day, totals] : store.days()) {
        text += date_text(day);
        text += ',';
        text += std::to_string(totals.download);
        text += ',';
        text += std::to_string(totals.upload);
        text += '\n';
    }
    return text;
}

} // namespace tide
