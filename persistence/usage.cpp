// Day numbering, the per-day usage store, usage.json and the usage CSV.
#include "persistence/usage.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <iterator>
#include <set>
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

DayTotals parts_sum(const NetworkParts& parts) {
    DayTotals total;
    for (const auto& [id, part] : parts) {
        add_into(total, part);
    }
    return total;
}

void add_parts(NetworkParts& into, const NetworkParts& more) {
    for (const auto& [id, part] : more) {
        add_into(into[id], part);
    }
}

// Cuts the parts, in id order, so that none of both directions adds up to more than the total; true
// when anything was cut. Parts left at zero go.
bool fit_parts(NetworkParts& parts, const DayTotals& total) {
    DayTotals left = total;
    bool cut = false;
    for (auto it = parts.begin(); it != parts.end();) {
        DayTotals& part = it->second;
        if (part.download > left.download || part.upload > left.upload) {
            cut = true;
            part.download = std::min(part.download, left.download);
            part.upload = std::min(part.upload, left.upload);
        }
        left.download -= part.download;
        left.upload -= part.upload;
        it = part == DayTotals{} ? parts.erase(it) : std::next(it);
    }
    return cut;
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

void UsageStore::add(int64_t day, std::string_view network, uint64_t download, uint64_t upload) {
    if (download == 0 && upload == 0) {
        return;
    }
    add_into(days_[day], DayTotals{download, upload});
    if (!network.empty()) {
        NetworkParts& parts = network_days_[day];
        const auto part = parts.try_emplace(std::string(network)).first;
        add_into(part->second, DayTotals{download, upload});
    }
}

void UsageStore::see_network(std::string_view id, std::string_view name, bool metered, int64_t day) {
    if (const std::optional<std::string> dropped = networks_.see(id, name, metered, day)) {
        forget_network(*dropped);
    }
}

void UsageStore::assign_to_network(int64_t day, std::string_view network, const DayTotals& totals) {
    const DayTotals other = network_get(day, {});
    restore_part(day, network,
                 DayTotals{std::min(totals.download, other.download), std::min(totals.upload, other.upload)});
}

void UsageStore::forget_network(std::string_view id) {
    networks_.forget(id);
    for (auto* parts : {&network_days_, &network_folded_}) {
        for (auto it = parts->begin(); it != parts->end();) {
            if (const auto part = it->second.find(id); part != it->second.end()) {
                it->second.erase(part);
            }
            it = it->second.empty() ? parts->erase(it) : std::next(it);
        }
    }
}

DayTotals UsageStore::network_get(int64_t day, std::string_view network) const {
    const auto parts = network_days_.find(day);
    if (network.empty()) {
        return minus_floored(get(day), parts == network_days_.end() ? DayTotals{} : parts_sum(parts->second));
    }
    if (parts == network_days_.end()) {
        return {};
    }
    const auto part = parts->second.find(network);
    return part == parts->second.end() ? DayTotals{} : part->second;
}

UsageStore UsageStore::counted(const NetworkFilter& filter) const {
    if (filter.counts == PlanCounts::every) {
        return *this;
    }
    return parts_where([&filter](std::string_view id) { return filter.counts_network(id); });
}

UsageStore UsageStore::parts_where(const std::function<bool(std::string_view id)>& keep) const {
    UsageStore out;
    for (const auto& [day, parts] : network_days_) {
        for (const auto& [id, part] : parts) {
            if (keep(id)) {
                out.add(day, part.download, part.upload);
            }
        }
    }
    for (const auto& [first_day, parts] : network_folded_) {
        const auto period = folded_.find(first_day);
        for (const auto& [id, part] : parts) {
            if (period != folded_.end() && keep(id)) {
                out.add_folded(first_day, period->second.last_day, part);
            }
        }
    }
    return out;
}

void UsageStore::merge(const UsageStore& other) {
    for (const auto& [day, totals] : other.days_) {
        add_into(days_[day], totals);
    }
    for (const auto& [first_day, period] : other.folded_) {
        add_folded(first_day, period.last_day, period.totals);
    }
    for (const auto& [day, parts] : other.network_days_) {
        add_parts(network_days_[day], parts);
    }
    for (const auto& [first_day, parts] : other.network_folded_) {
        add_parts(network_folded_[first_day], parts);
    }
    // This run's word on a network is newer; the user's names and flags are kept from the file.
    for (const KnownNetwork& network : other.networks_.networks()) {
        if (KnownNetwork* known = networks_.find(network.id)) {
            if (known->user_name.empty()) {
                known->user_name = network.user_name;
            }
            if (!known->user_metered) {
                known->user_metered = network.user_metered;
            }
            known->last_seen = std::max(known->last_seen, network.last_seen);
        } else {
            networks_.restore(network);
        }
    }
    for (const std::string& dropped : networks_.trim()) {
        forget_network(dropped);
    }
    repair_networks();
}

bool UsageStore::repair_networks() {
    bool cut = false;
    const auto known = [&](const std::string& id) {
        return id == k_no_network_id || networks_.find(id) != nullptr;
    };
    for (auto* parts : {&network_days_, &network_folded_}) {
        const bool folded = parts == &network_folded_;
        for (auto it = parts->begin(); it != parts->end();) {
            cut = std::erase_if(it->second, [&](const auto& part) { return !known(part.first); }) > 0 || cut;
            DayTotals total;
            if (folded) {
                const auto period = folded_.find(it->first);
                total = period == folded_.end() ? DayTotals{} : period->second.totals;
            } else {
                total = get(it->first);
            }
            cut = fit_parts(it->second, total) || cut;
            it = it->second.empty() ? parts->erase(it) : std::next(it);
        }
    }
    return cut;
}

void UsageStore::restore_part(int64_t day, std::string_view network, const DayTotals& totals) {
    if (totals != DayTotals{} && !network.empty()) {
        add_into(network_days_[day][std::string(network)], totals);
    }
}

void UsageStore::restore_folded_part(int64_t first_day, std::string_view network, const DayTotals& totals) {
    if (totals != DayTotals{} && !network.empty()) {
        add_into(network_folded_[first_day][std::string(network)], totals);
    }
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
        if (const auto parts = network_days_.find(it->first); parts != network_days_.end()) {
            add_parts(network_folded_[period.first_day], parts->second);
            network_days_.erase(parts);
        }
    }
    const int64_t oldest_kept = month_start(today, k_folded_months);
    std::erase_if(folded_, [&](const auto& entry) { return entry.second.last_day < oldest_kept; });
    std::erase_if(network_folded_, [&](const auto& entry) { return !folded_.contains(entry.first); });
}

bool UsageCounter::feed(UsageStore& store, int64_t day, uint64_t session_received, uint64_t session_sent) {
    return feed(store, day, {}, session_received, session_sent);
}

bool UsageCounter::feed(UsageStore& store, int64_t day, std::string_view network, uint64_t session_received,
                        uint64_t session_sent) {
    const bool grew = valid_ && session_received >= previous_received_ && session_sent >= previous_sent_ &&
                      (session_received != previous_received_ || session_sent != previous_sent_);
    if (grew) {
        store.add(day, network, session_received - previous_received_, session_sent - previous_sent_);
    }
    previous_received_ = session_received;
    previous_sent_ = session_sent;
    valid_ = true;
    return grew;
}

namespace {

JsonValue number(int64_t value) {
    return JsonValue(static_cast<double>(value));
}

JsonValue bytes_value(uint64_t value) {
    return JsonValue(static_cast<double>(value));
}

JsonValue network_to_json(const KnownNetwork& n) {
    JsonValue object = JsonValue::object({{"id", n.id},
                                          {"name", n.name},
                                          {"number", n.number},
                                          {"metered", n.metered},
                                          {"last_seen", number(n.last_seen)}});
    if (!n.user_name.empty()) {
        object.append("user_name", n.user_name);
    }
    if (n.user_metered) {
        object.append("user_metered", *n.user_metered);
    }
    return object;
}

void append_networks(JsonValue& document, const UsageStore& store) {
    if (store.networks().empty() && store.network_days().empty() && store.network_folded().empty()) {
        return;
    }
    std::vector<JsonValue> networks;
    for (const KnownNetwork& n : store.networks().networks()) {
        networks.push_back(network_to_json(n));
    }
    std::vector<JsonValue> days;
    for (const auto& [day, parts] : store.network_days()) {
        for (const auto& [id, part] : parts) {
            days.push_back(JsonValue::array(
                {number(day), JsonValue(id), bytes_value(part.download), bytes_value(part.upload)}));
        }
    }
    std::vector<JsonValue> months;
    for (const auto& [first_day, period] : store.folded()) {
        NetworkParts whole;
        if (const auto folded = store.network_folded().find(first_day);
            folded != store.network_folded().end()) {
            whole = folded->second;
        }
        for (auto day = store.network_days().lower_bound(first_day);
             day != store.network_days().end() && day->first <= period.last_day; ++day) {
            add_parts(whole, day->second);
        }
        for (const auto& [id, part] : whole) {
            months.push_back(JsonValue::array({number(first_day), number(period.last_day), JsonValue(id),
                                               bytes_value(part.download), bytes_value(part.upload)}));
        }
    }
    document.append("networks", JsonValue::array(std::move(networks)));
    document.append("network_days", JsonValue::array(std::move(days)));
    document.append("network_months", JsonValue::array(std::move(months)));
}

bool file_day(const JsonValue& v) {
    if (!v.is_number()) {
        return false;
    }
    const double day = v.as_number();
    return std::isfinite(day) && std::floor(day) == day && std::fabs(day) <= k_max_file_day;
}

bool file_bytes(const JsonValue& v) {
    return v.is_number() && v.as_number() >= 0;
}

uint64_t bytes_of(const JsonValue& v) {
    return static_cast<uint64_t>(std::min(v.as_number(), k_max_file_value));
}

std::optional<KnownNetwork> network_from_json(const JsonValue& entry) {
    const JsonValue* id = find_member(entry, "id");
    if (!entry.is_object() || !id || !id->is_string() || !valid_network_id(id->as_string()) ||
        id->as_string() == k_no_network_id) {
        return std::nullopt;
    }
    KnownNetwork n;
    n.id = id->as_string();
    const auto member = [&](std::string_view key) { return find_member(entry, key); };
    if (const JsonValue* name = member("name"); name && name->is_string()) {
        n.name = clean_network_name(name->as_string());
    }
    if (const JsonValue* name = member("user_name"); name && name->is_string()) {
        n.user_name = clean_network_name(name->as_string());
    }
    if (const JsonValue* metered = member("metered"); metered && metered->is_bool()) {
        n.metered = metered->as_bool();
    }
    if (const JsonValue* metered = member("user_metered"); metered && metered->is_bool()) {
        n.user_metered = metered->as_bool();
    }
    if (const JsonValue* seen = member("last_seen"); seen && file_day(*seen)) {
        n.last_seen = static_cast<int64_t>(seen->as_number());
    }
    if (const JsonValue* numbered = member("number");
        numbered && numbered->is_number() && numbered->as_number() >= 1 && numbered->as_number() <= 1000) {
        n.number = static_cast<int32_t>(numbered->as_number());
    }
    return n;
}

// The networks, then their parts; true when anything had to be left out or cut.
bool networks_from_json(const JsonValue& document, UsageStore& store) {
    bool repaired = false;
    const JsonValue* list = find_member(document, "networks");
    const bool has_list = list && list->is_array();
    repaired = (list && !has_list) || repaired;
    if (has_list) {
        // The most recently seen are chosen before any is listed: a file of thousands costs one sort.
        std::vector<KnownNetwork> found;
        std::set<std::string> ids;
        for (const JsonValue& entry : list->elements()) {
            std::optional<KnownNetwork> network = network_from_json(entry);
            if (!network || !ids.insert(network->id).second) {
                repaired = true;
                continue;
            }
            found.push_back(std::move(*network));
        }
        std::vector<size_t> order(found.size());
        for (size_t i = 0; i < order.size(); ++i) {
            order[i] = i;
        }
        std::stable_sort(order.begin(), order.end(),
                         [&](size_t a, size_t b) { return found[a].last_seen > found[b].last_seen; });
        if (order.size() > NetworkList::k_max_networks) {
            order.resize(NetworkList::k_max_networks);
            repaired = true;
        }
        std::sort(order.begin(), order.end());
        for (const size_t i : order) {
            store.networks().restore(std::move(found[i]));
        }
    }
    const auto parts = [&](std::string_view key, size_t size, auto&& take) {
        const JsonValue* entries = find_member(document, key);
        if (!entries) {
            return;
        }
        if (!entries->is_array()) {
            repaired = true;
            return;
        }
        for (const JsonValue& entry : entries->elements()) {
            const std::vector<JsonValue>* e = entry.is_array() ? &entry.elements() : nullptr;
            if (!e || e->size() != size || !file_day((*e)[0]) || !(*e)[size - 3].is_string() ||
                !file_bytes((*e)[size - 2]) || !file_bytes((*e)[size - 1])) {
                repaired = true;
                continue;
            }
            const std::string& id = (*e)[size - 3].as_string();
            if (id != k_no_network_id && !store.networks().find(id)) {
                repaired = true;
                continue;
            }
            take(*e, id, DayTotals{bytes_of((*e)[size - 2]), bytes_of((*e)[size - 1])});
        }
    };
    parts("network_days", 4, [&](const std::vector<JsonValue>& e, const std::string& id, const DayTotals& t) {
        store.restore_part(static_cast<int64_t>(e[0].as_number()), id, t);
    });
    // A period's folded part is its whole less its days still kept, as for the totals.
    std::map<std::pair<int64_t, std::string>, DayTotals> whole;
    parts("network_months", 5,
          [&](const std::vector<JsonValue>& e, const std::string& id, const DayTotals& t) {
              const auto first = static_cast<int64_t>(e[0].as_number());
              const auto period = store.folded().find(first);
              if (!file_day(e[1]) || period == store.folded().end() ||
                  period->second.last_day != static_cast<int64_t>(e[1].as_number())) {
                  repaired = true;
                  return;
              }
              add_into(whole[{first, id}], t);
          });
    for (const auto& [key, total] : whole) {
        const int64_t last = store.folded().at(key.first).last_day;
        DayTotals kept;
        for (auto day = store.network_days().lower_bound(key.first);
             day != store.network_days().end() && day->first <= last; ++day) {
            if (const auto part = day->second.find(key.second); part != day->second.end()) {
                add_into(kept, part->second);
            }
        }
        store.restore_folded_part(key.first, key.second, minus_floored(total, kept));
    }
    return store.repair_networks() || repaired;
}

std::string csv_name(std::string name) {
    if (name.empty()) {
        return name;
    }
    if (std::string_view("=+-@\t\r").find(name.front()) != std::string_view::npos) {
        name.insert(name.begin(), '\'');
    }
    if (name.find_first_of(",\"\n\r") == std::string::npos && name.front() != ' ' && name.back() != ' ') {
        return name;
    }
    std::string quoted = "\"";
    for (const char c : name) {
        quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
    }
    return quoted + "\"";
}

} // namespace

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
    append_networks(document, store);
    return document;
}

UsageStore usage_from_json(const JsonValue& document, UsageReadNotes* notes) {
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
    const bool repaired = networks_from_json(document, store);
    if (notes) {
        notes->networks_repaired = repaired;
    }
    return store;
}

std::string usage_file_text(const UsageStore& store) {
    return serialize_json(usage_to_json(store), 2);
}

std::optional<UsageStore> usage_from_file_text(std::string_view text, UsageReadNotes* notes) {
    const std::optional<JsonValue> document = parse_json(text);
    if (!document || !document->is_object()) {
        return std::nullopt;
    }
    return usage_from_json(*document, notes);
}

std::string network_display_name(const KnownNetwork& network, const NetworkNames& names) {
    if (!network.user_name.empty()) {
        return clean_network_name(network.user_name);
    }
    if (!network.name.empty()) {
        return clean_network_name(network.name);
    }
    std::string text = names.numbered;
    if (const size_t at = text.find("{0}"); at != std::string::npos) {
        text.replace(at, 3, std::to_string(network.number));
    }
    return text;
}

std::string network_display_name(const NetworkList& networks, std::string_view id,
                                 const NetworkNames& names) {
    if (id == k_no_network_id) {
        return names.none;
    }
    const KnownNetwork* network = networks.find(id);
    return network ? network_display_name(*network, names) : names.other;
}

std::string usage_csv_text(const UsageStore& store, const NetworkNames& names) {
    std::string text = "date,download_bytes,upload_bytes,network\n";
    const auto line = [&](int64_t day, const DayTotals& totals, const std::string& name) {
        if (totals == DayTotals{}) {
            return;
        }
        text += date_text(day);
        text += ',';
        text += std::to_string(totals.download);
        text += ',';
        text += std::to_string(totals.upload);
        text += ',';
        text += csv_name(name);
        text += '\n';
    };
    for (const auto& [day, totals] : store.days()) {
        if (const auto parts = store.network_days().find(day); parts != store.network_days().end()) {
            for (const auto& [id, part] : parts->second) {
                line(day, part, network_display_name(store.networks(), id, names));
            }
        }
        line(day, store.network_get(day, {}), names.other);
    }
    return text;
}

} // namespace tide
