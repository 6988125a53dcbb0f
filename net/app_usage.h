// Which programs used the data: Windows' own per-app figures, turned into one bounded, cleaned and sorted
// list, and the programs that hold connections now. Everything here is what Windows handed over (or what
// the socket tables said), so it is treated as untrusted: bounded in count and length, cleaned of control
// and direction characters, summed with saturation.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tide {

inline constexpr size_t k_max_apps = 2000;          // rows kept from one answer, and after summing
inline constexpr size_t k_max_app_name_bytes = 160; // a name as shown
inline constexpr size_t k_max_app_id_bytes = 1024;  // an id (a device path) as kept
inline constexpr size_t k_max_connection_rows = 2000;

// Control characters become blanks, direction marks, embeddings, overrides and isolates are dropped,
// malformed UTF-8 becomes U+FFFD, blanks at either end go, and a longer text is cut on a character
// boundary with "…" at the end (then at most max_bytes + 3 bytes).
std::string clean_app_text(std::string_view text, size_t max_bytes);

// The last part of a path ("\Device\HarddiskVolume3\Apps\app.exe" gives "app.exe").
std::string file_name_of(std::string_view path);

// One drive letter's device ("C:", "\Device\HarddiskVolume3"), as QueryDosDevice gives it.
struct DriveDevice {
    std::string drive;
    std::string device;
};

// The path with its device replaced by the drive letter ("C:\Apps\app.exe"), or "" when no drive holds it.
// The device must be followed by a backslash: HarddiskVolume1 is not the start of HarddiskVolume10.
std::string drive_path(std::string_view device_path, const std::vector<DriveDevice>& drives);

// One entry of Windows' answer for one connection profile, converted to UTF-8 but otherwise as given.
struct AppUsageRecord {
    std::string id;   // AttributionId: a package name or a device path; empty for the system
    std::string name; // AttributionName: empty for a program that is not a package
    uint64_t received = 0;
    uint64_t sent = 0;
};

// One row of the Apps view.
struct AppUsage {
    std::string id;      // cleaned and bounded
    std::string name;    // what is shown; empty with `system`
    bool system = false; // "Windows and system services"
    uint64_t received = 0;
    uint64_t sent = 0;

    friend bool operator==(const AppUsage&, const AppUsage&) = default;
};

// The name of a record: its AttributionName, else the file name of its id, else (no id) the system.
AppUsage app_from_record(const AppUsageRecord& record);

// "Firefox (firefox.exe)": a program's own description with its file name, or the one that is there.
std::string app_with_description(std::string_view file_name, std::string_view description);

// Sums the profiles' answers per app (the same cleaned id and name), saturating. At most k_max_apps
// records are read from each answer and at most k_max_apps apps are kept: an app first seen after that
// is dropped, its bytes with it.
class AppUsageTable {
public:
    void add_profile(const std::vector<AppUsageRecord>& records);
    // Largest total first; a tie by name, then by id.
    std::vector<AppUsage> sorted() const;
    size_t size() const { return apps_.size(); }

private:
    std::vector<AppUsage> apps_;
};

uint64_t app_total(const AppUsage& app);

// Bar length in 0..1 against the largest row; 0 when the largest is 0.
double app_bar_fraction(uint64_t total, uint64_t largest);

// The CSV of the Apps view: "app,id,download_bytes,upload_bytes" and a line per row. A field holding a
// comma, a quote or a line break is quoted, and one that a spreadsheet would run as a formula (=, +, -, @
// first) gets an apostrophe in front. `system_name` stands for the system's row.
std::string apps_csv_text(const std::vector<AppUsage>& apps, std::string_view system_name);

// The spans the view offers.
enum class AppPeriod { today = 0, billing = 1, last_30_days = 2 };

// The asked span as Unix seconds [start, end): from local midnight of its first day to now. `offset` is
// the local UTC offset in seconds; the billing period starts on billing_day (1 is the calendar month).
std::pair<int64_t, int64_t> app_period_span(AppPeriod period, int64_t now, int64_t offset,
                                            int32_t billing_day);

// Unix seconds as a Windows Runtime DateTime: 100 ns units since 1601-01-01 UTC.
int64_t windows_time(int64_t unix_seconds);

// One socket of the TCP or UDP table with its owner.
struct SocketOwner {
    uint32_t pid = 0;
    bool tcp = true;
};

// A program with its open connections: TCP connections and UDP endpoints, summed over its processes.
struct ProgramConnections {
    std::string name;    // cleaned image name; empty with `system`
    bool system = false; // no owner known (process 0) or the system (process 4)
    uint32_t tcp = 0;
    uint32_t udp = 0;

    friend bool operator==(const ProgramConnections&, const ProgramConnections&) = default;
};

// Groups the sockets by program name (several processes of one program are one row), most sockets
// first, a tie by name. `images` gives processes' image paths; a process not there (ended, or not ours to
// open) is named "#" and its id. At most k_max_connection_rows rows.
std::vector<ProgramConnections>
group_connections(const std::vector<SocketOwner>& sockets,
                  const std::vector<std::pair<uint32_t, std::string>>& images);

} // namespace tide
