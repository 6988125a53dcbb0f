// Bytes received and sent per local calendar day: the day numbering, the store, its file format and
// its CSV text. The Windows side (usage_win.cpp) reads the clock and does the file work.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "persistence/json.h"

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

struct DayTotals {
    uint64_t download = 0;
    uint64_t upload = 0;
    friend bool operator==(const DayTotals&, const DayTotals&) = default;
};

// Per-day totals in ascending day order. Every addition saturates at k_max_bytes; a day whose totals
// would both be zero is never created.
class UsageStore {
public:
    // 2^53: usage.json holds its numbers as doubles, which are exact up to here, so a saturated day
    // is written and read back unchanged.
    static constexpr uint64_t k_max_bytes = uint64_t{1} << 53;

    void add(int64_t day, uint64_t download, uint64_t upload);
    DayTotals get(int64_t day) const;
    DayTotals sum(int64_t first, int64_t last) const; // inclusive; zeros when last < first
    DayTotals last_7_days(int64_t today) const;
    DayTotals this_month(int64_t today) const;
    // Keeps only the last max(retention, 1) days up to and including today.
    void prune(int64_t today, int32_t retention_days);
    void clear() { days_.clear(); }

    const std::map<int64_t, DayTotals>& days() const { return days_; }
    bool empty() const { return days_.empty(); }
    friend bool operator==(const UsageStore&, const UsageStore&) = default;

private:
    std::map<int64_t, DayTotals> days_;
};

// Turns the sampler's running session totals into additions to the day's entry.
class UsageCounter {
public:
    // Adds the growth since the previous pair when both totals grew or stayed and one of them grew;
    // a drop in either adds nothing and counting starts again from the new values. True when the
    // store changed.
    bool feed(UsageStore& store, int64_t day, uint64_t session_received, uint64_t session_sent);

private:
    uint64_t previous_received_ = 0;
    uint64_t previous_sent_ = 0;
    bool valid_ = false;
};

// The usage.json layout this version writes.
inline constexpr int32_t k_usage_schema_version = 1;

// {"schema_version": 1, "days": [[day, download, upload], ...]}
JsonValue usage_to_json(const UsageStore& store);
// Reads "days" from an object; malformed elements are skipped and totals above k_max_bytes (written
// by an earlier version) are cut to it.
UsageStore usage_from_json(const JsonValue& document);

// The text of usage.json (indent 2, final line feed).
std::string usage_file_text(const UsageStore& store);
// The store held in the text of usage.json, or nothing when it is not JSON or not an object.
std::optional<UsageStore> usage_from_file_text(std::string_view text);

// "date,download_bytes,upload_bytes" and one line per day, line feeds only.
std::string usage_csv_text(const UsageStore& store);

// The application's usage history and the state of its file (loaded and saved by usage_win.cpp).
struct UsageHistory {
    UsageStore store;
    std::wstring path;
    bool dirty = false;     // the store has changes not yet written
    bool file_read = false; // the file's days are in the store (or there was no file) in this run
    bool keep_file = false; // the file could not be read or moved aside: not written until it can be
};

} // namespace tide
