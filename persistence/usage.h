// Bytes received and sent per local calendar day: the day numbering, the store, its file format and
// its CSV text. The Windows side (usage_win.cpp) reads the clock and does the file work.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "persistence/json.h"
#include "persistence/network_usage.h"

namespace tide {

// The local time-zone state at one moment, as the system reports it: the offsets in minutes with
// Windows' sign (UTC = local time + bias) and which of the two is in force.
struct TimeZoneState {
    enum class Phase { unknown, standard, daylight };
    int32_t bias_min = 0;
    int32_t standard_bias_min = 0;
    int32_t daylight_bias_min = 0;
    Phase phase = Phase::unknown;
};

// Local UTC offset in seconds (east of UTC positive).
int64_t utc_offset_seconds(const TimeZoneState& zone);

// Whole local days since 1970-01-01 for a Unix time; floor division, so times before 1970 give
// negative days.
int64_t local_day_number(int64_t unix_time, const TimeZoneState& zone);

struct CivilDate {
    int64_t year = 1970;
    int32_t month = 1; // 1..12
    int32_t day = 1;   // 1..31
};

// Proleptic Gregorian calendar, day 0 = 1970-01-01.
CivilDate civil_from_day(int64_t day);
int64_t day_from_civil(const CivilDate& date);

// "%04d-%02d-%02d", for example "2024-01-01" for day 19723.
std::string date_text(int64_t day);

// Inclusive local day numbers.
struct BillingPeriod {
    int64_t first_day = 0;
    int64_t last_day = 0;

    friend bool operator==(const BillingPeriod&, const BillingPeriod&) = default;
};

// The period that holds the day. It starts on billing_day (1..31; outside is clamped) of a month; in a
// month that has no such day it starts on that month's last day.
BillingPeriod billing_period(int64_t day, int32_t billing_day);

// The first day of the calendar month `months` before (negative: after) the one holding the day.
int64_t month_start(int64_t day, int32_t months_back = 0);

struct DayTotals {
    uint64_t download = 0;
    uint64_t upload = 0;
    friend bool operator==(const DayTotals&, const DayTotals&) = default;
};

// What the days of one billing period that are no longer kept one by one came to.
struct FoldedPeriod {
    int64_t last_day = 0; // the period's; its first day is the key it is kept under
    DayTotals totals;
    friend bool operator==(const FoldedPeriod&, const FoldedPeriod&) = default;
};

// The part of one day (or one folded period) each network carried, by network id.
using NetworkParts = std::map<std::string, DayTotals, std::less<>>;

// Per-day totals in ascending day order, and for the days pruned from them the totals of their billing
// periods. Every addition saturates at k_max_bytes; a day whose totals would both be zero is never
// created. Beside each total, the part each known network carried (and "No network"): the parts never
// add up to more than the total, and what they leave is "Other networks" (days from before networks
// were kept, networks forgotten or dropped from the list).
class UsageStore {
public:
    // 2^53: usage.json holds its numbers as doubles, which are exact up to here, so a saturated day
    // is written and read back unchanged.
    static constexpr uint64_t k_max_bytes = uint64_t{1} << 53;

    void add(int64_t day, uint64_t download, uint64_t upload);
    // Adds to the day's total and to the network's part of it (k_no_network_id for none).
    void add(int64_t day, std::string_view network, uint64_t download, uint64_t upload);
    // Adds to the folded part of the period starting on first_day.
    void add_folded(int64_t first_day, int64_t last_day, const DayTotals& totals);
    DayTotals get(int64_t day) const;
    // Inclusive; zeros when last < first. The days in the range, and every folded period that starts
    // in it (a past period's figure, whatever of it is still kept as days).
    DayTotals sum(int64_t first, int64_t last) const;
    DayTotals last_7_days(int64_t today) const;
    DayTotals this_month(int64_t today) const;
    // Keeps the last max(retention, k_kept_days) days up to and including today; each older day is
    // folded into the totals of its billing period under the billing day of the moment (a period
    // folded under an earlier billing day keeps its bounds; one starting on the same day takes the
    // longer end). Folded periods are kept while they end within the last k_folded_months calendar
    // months. Nothing is pruned while today lies more than k_clock_jump_days past every day counted
    // before it: a clock set far ahead is taken for a wrong clock until it has counted a second day.
    void prune(int64_t today, int32_t retention_days, int32_t billing_day);
    // Empties the history; the known networks with their names stay.
    void clear() {
        days_.clear();
        folded_.clear();
        network_days_.clear();
        network_folded_.clear();
    }

    // The network seen on the day (NetworkList::see); the days of a network dropped for it go to
    // "Other networks".
    void see_network(std::string_view id, std::string_view name, bool metered, int64_t day);
    // Gives bytes already in the day's total, held by no network so far, to the network: at most what
    // "Other networks" holds of the day, so nothing is counted twice.
    void assign_to_network(int64_t day, std::string_view network, const DayTotals& totals);
    // The network leaves the list; its days go to "Other networks" and the totals stay.
    void forget_network(std::string_view id);
    NetworkList& networks() { return networks_; }
    const NetworkList& networks() const { return networks_; }
    const std::map<int64_t, NetworkParts>& network_days() const { return network_days_; }
    const std::map<int64_t, NetworkParts>& network_folded() const { return network_folded_; }
    // The network's part of the day; for an empty id, "Other networks": what no part holds.
    DayTotals network_get(int64_t day, std::string_view network) const;
    // A store of the same days holding only what the filter counts (a copy when it counts every
    // network), for the plan's figures and for one network's bars.
    UsageStore counted(const NetworkFilter& filter) const;
    // A store of the same days holding only the parts of the networks `keep` takes ("No network"
    // included when it takes k_no_network_id).
    UsageStore parts_where(const std::function<bool(std::string_view id)>& keep) const;
    // Adds another store's days, periods and networks (the file's, read after this run began).
    void merge(const UsageStore& other);
    // Parts of networks that are not known, of days or periods without a total, or that add up to more
    // than their total are cut until they fit; true when anything had to be cut.
    bool repair_networks();
    // Parts read from a file, before repair_networks.
    void restore_part(int64_t day, std::string_view network, const DayTotals& totals);
    void restore_folded_part(int64_t first_day, std::string_view network, const DayTotals& totals);

    const std::map<int64_t, DayTotals>& days() const { return days_; }
    const std::map<int64_t, FoldedPeriod>& folded() const { return folded_; }
    bool empty() const { return days_.empty() && folded_.empty(); }
    friend bool operator==(const UsageStore&, const UsageStore&) = default;

    // The longest billing period or calendar month. Whatever the retention, these days stay days, so
    // that the current period under any billing day (and the calendar month) sums them exactly: a
    // billing day changed later finds its period whole, not partly folded under the old one.
    static constexpr int32_t k_kept_days = 31;
    static constexpr int32_t k_folded_months = 25;
    static constexpr int64_t k_clock_jump_days = 31;

private:
    std::map<int64_t, DayTotals> days_;
    std::map<int64_t, FoldedPeriod> folded_; // by the period's first day
    std::map<int64_t, NetworkParts> network_days_;
    std::map<int64_t, NetworkParts> network_folded_; // by the period's first day, as folded_
    NetworkList networks_;
};

// Turns the sampler's running session totals into additions to the day's entry.
class UsageCounter {
public:
    // Adds the growth since the previous pair when both totals grew or stayed and one of them grew;
    // a drop in either adds nothing and counting starts again from the new values. True when the
    // store changed.
    bool feed(UsageStore& store, int64_t day, uint64_t session_received, uint64_t session_sent);
    // The same, the growth going to the network's part of the day too.
    bool feed(UsageStore& store, int64_t day, std::string_view network, uint64_t session_received,
              uint64_t session_sent);

private:
    uint64_t previous_received_ = 0;
    uint64_t previous_sent_ = 0;
    bool valid_ = false;
};

// The usage.json layout this version writes.
inline constexpr int32_t k_usage_schema_version = 1;

// {"schema_version": 1, "days": [[day, download, upload], ...],
//  "months": [[first_day, last_day, download, upload], ...],
//  "networks": [{"id", "name", "number", "metered", "last_seen", "user_name"?, "user_metered"?}, ...],
//  "network_days": [[day, id, download, upload], ...],
//  "network_months": [[first_day, last_day, id, download, upload], ...]}
// A "months" element is a billing period's whole total: its folded part and its days still kept; a
// "network_months" element likewise for one network. A reader that knows only "days" gets the days,
// and the network members are written only once there is a network.
JsonValue usage_to_json(const UsageStore& store);

// What reading found wrong beyond single malformed elements: said once in the recent errors.
struct UsageReadNotes {
    bool networks_repaired = false; // networks or their parts were left out or cut to fit the totals
};

// Reads "days" and "months" from an object; malformed elements are skipped and totals above
// k_max_bytes (written by an earlier version) are cut to it. A period's total below what its kept days
// sum to counts those days only: the days win. The networks and their parts are read under the same
// rules, kept to NetworkList::k_max_networks and cut to fit the totals, which never change for them.
UsageStore usage_from_json(const JsonValue& document, UsageReadNotes* notes = nullptr);

// The text of usage.json (indent 2, final line feed).
std::string usage_file_text(const UsageStore& store);
// The store held in the text of usage.json, or nothing when it is not JSON or not an object.
std::optional<UsageStore> usage_from_file_text(std::string_view text, UsageReadNotes* notes = nullptr);

// How networks are called where no name is known; the program's texts in the user's language.
struct NetworkNames {
    std::string other = "Other networks";
    std::string none = "No network";
    std::string numbered = "Network {0}";
};

// The user's name, the system's, or "Network <number>"; cleaned.
std::string network_display_name(const KnownNetwork& network, const NetworkNames& names = {});
// The same for an id: "No network", a known network, or "Other networks" for any other.
std::string network_display_name(const NetworkList& networks, std::string_view id,
                                 const NetworkNames& names = {});

// "date,download_bytes,upload_bytes,network" and one line per day and network that carried bytes on
// it, "Other networks" last; line feeds only. The network's name is quoted when it holds a comma, a
// quote or a blank at either end, and starts with an apostrophe when a spreadsheet would take it for
// a formula.
std::string usage_csv_text(const UsageStore& store, const NetworkNames& names = {});

// What pruning keeps: history_retention_days and billing_day from the settings.
struct UsageKeeping {
    int32_t retention_days = 30;
    int32_t billing_day = 1;
};

// The application's usage history and the state of its file (loaded and saved by usage_win.cpp).
struct UsageHistory {
    UsageStore store;
    std::wstring path;
    bool dirty = false;     // the store has changes not yet written
    bool file_read = false; // the file's days are in the store (or there was no file) in this run
    bool keep_file = false; // the file could not be read or moved aside: not written until it can be
};

} // namespace tide
