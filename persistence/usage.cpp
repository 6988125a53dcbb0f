// Day numbering, the per-day usage store, usage.json and the usage CSV.
#include "persistence/usage.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <iterator>
#include <vector>

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

CivilDate add_months(CivilDate date, int64_t months) {
    const int64_t index = date.year * 12 + (date.month - 1) + months;
    date.year = floor_div(index, 12);
    date.month = static_cast<int32_t>(index - date.year * 12 + 1);
    date.day = 1;
    return date;
}

DayTotals minus_floored(const DayTotals& a, const DayTotals& b) {
    return {a.download > b.download ? a.download - b.download : 0,
            a.upload > b.upload ? a.upload - b.upload : 0};
}

DayTotals day_sum(const std::map<int64_t, DayTotals>& days, int64_t first, int64_t last) {
    DayTotals total;
    for (auto it = days.lower_bound(first); it != days.end() && it->first <= last; ++it) {
        add_into(total, it->second);
    }
    return total;
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

int64_t month_start(int64_t day, int32_t months_back) {
    return day_from_civil(add_months(civil_from_day(day), -int64_t{months_back}));
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

void UsageStore::add_folded(int64_t first_day, int64_t last_day, const DayTotals& totals) {
    if (totals == DayTotals{}) {
        return;
    }
    const auto [period, created] = folded_.try_emplace(first_day, FoldedPeriod{last_day, {}});
    period->second.last_day = std::max(period->second.last_day, last_day);
    add_into(period->second.totals, totals);
}

DayTotals UsageStore::get(int64_t day) const {
    const auto it = days_.find(day);
    return it == days_.end() ? DayTotals{} : it->second;
}

DayTotals UsageStore::sum(int64_t first, int64_t last) const {
    if (last < first) {
        return {};
    }
    DayTotals total = day_sum(days_, first, last);
    for (auto it = folded_.lower_bound(first); it != folded_.end() && it->first <= last; ++it) {
        add_into(total, it->second.totals);
    }
    return total;
}

DayTotals UsageStore::last_7_days(int64_t today) const {
    return sum(today - 6, today);
}

DayTotals UsageStore::this_month(int64_t today) const {
    return sum(today - (civil_from_day(today).day - 1), today);
}

void UsageStore::prune(int64_t today, int32_t retention_days, int32_t billing_day) {
    std::optional<int64_t> counted_before; // the last day before today with anything in it
    if (const auto day = days_.lower_bound(today); day != days_.begin()) {
        counted_before = std::prev(day)->first;
    }
    for (const auto& [first_day, period] : folded_) {
        if (first_day < today) {
            counted_before =
                std::max(counted_before.value_or(first_day), std::min(period.last_day, today - 1));
        }
    }
    if (counted_before && today - *counted_before > k_clock_jump_days) {
        return;
    }
    const int64_t cut = today - std::max(retention_days, k_kept_days) + 1;
    for (auto it = days_.begin(); it != days_.end() && it->first < cut; it = days_.erase(it)) {
        const BillingPeriod period = billing_period(it->first, billing_day);
        add_folded(period.first_day, period.last_day, it->second);
    }
    const int64_t oldest_kept = month_start(today, k_folded_months);
    std::erase_if(folded_, [&](const auto& entry) { return entry.second.last_day < oldest_kept; });
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
    std::vector<JsonValue> months;
    months.reserve(store.folded().size());
    for (const auto& [first_day, period] : store.folded()) {
        DayTotals whole = period.totals;
        add_into(whole, day_sum(store.days(), first_day, period.last_day));
        months.push_back(JsonValue::array(
            {JsonValue(static_cast<double>(first_day)), JsonValue(static_cast<double>(period.last_day)),
             JsonValue(static_cast<double>(whole.download)), JsonValue(static_cast<double>(whole.upload))}));
    }
    JsonValue document = JsonValue::object(
        {{"schema_version", JsonValue(k_usage_schema_version)}, {"days", JsonValue::array(std::move(days))}});
    if (!months.empty()) {
        document.append("months", JsonValue::array(std::move(months)));
    }
    return document;
}

UsageStore usage_from_json(const JsonValue& document) {
    UsageStore store;
    // Not below zero and not NaN; anything larger than the store holds is cut to its limit.
    const auto in_range = [](double v) { return v >= 0; };
    const auto bytes = [](double v) { return static_cast<uint64_t>(std::min(v, k_max_file_value)); };
    const auto is_day = [](const JsonValue& v) {
        const double day = v.as_number();
        return std::isfinite(day) && std::floor(day) == day && std::fabs(day) <= k_max_file_day;
    };
    // Arrays of `size` numbers, a day first, the last two byte counts.
    const auto entries = [&](std::string_view key, size_t size) {
        std::vector<const std::vector<JsonValue>*> found;
        const JsonValue* list = find_member(document, key);
        if (!list || !list->is_array()) {
            return found;
        }
        for (const JsonValue& entry : list->elements()) {
            if (!entry.is_array() || entry.elements().size() != size) {
                continue;
            }
            const auto& e = entry.elements();
            if (std::all_of(e.begin(), e.end(), [](const JsonValue& v) { return v.is_number(); }) &&
                is_day(e[0]) && in_range(e[size - 2].as_number()) && in_range(e[size - 1].as_number())) {
                found.push_back(&e);
            }
        }
        return found;
    };
    for (const auto* e : entries("days", 3)) {
        store.add(static_cast<int64_t>((*e)[0].as_number()), bytes((*e)[1].as_number()),
                  bytes((*e)[2].as_number()));
    }
    // A period's folded part is its total less its days still kept.
    for (const auto* e : entries("months", 4)) {
        const auto first = static_cast<int64_t>((*e)[0].as_number());
        const double last = (*e)[1].as_number();
        if (!is_day((*e)[1]) || last < (*e)[0].as_number() || last - (*e)[0].as_number() > 62) {
            continue;
        }
        const DayTotals whole{bytes((*e)[2].as_number()), bytes((*e)[3].as_number())};
        const DayTotals kept = day_sum(store.days(), first, static_cast<int64_t>(last));
        store.add_folded(first, static_cast<int64_t>(last), minus_floored(whole, kept));
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
