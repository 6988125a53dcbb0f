// Per-app figures: names from Windows' answer, cleaning and bounds, summing profiles, order, the CSV,
// the asked spans, and the programs holding connections.
#include "net/app_usage.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tide {
namespace {

constexpr uint64_t k_max = 18'446'744'073'709'551'615ULL;

struct CleanCase {
    const char* what;
    std::string text;
    size_t max_bytes;
    std::string cleaned;
};

void PrintTo(const CleanCase& c, std::ostream* out) {
    *out << c.what;
}

class CleanAppText : public testing::TestWithParam<CleanCase> {};

TEST_P(CleanAppText, DropsWhatCouldMisleadAndBoundsTheLength) {
    EXPECT_EQ(clean_app_text(GetParam().text, GetParam().max_bytes), GetParam().cleaned) << GetParam().what;
}

INSTANTIATE_TEST_SUITE_P(
    Table, CleanAppText,
    testing::Values(CleanCase{"plain", "Firefox", 20, "Firefox"},
                    CleanCase{"a tab and a line feed become blanks", "a\tb\nc", 20, "a b c"},
                    // The first character of each length is as valid as any other.
                    CleanCase{"U+0800 and U+10000 kept", "\xE0\xA0\x80\xF0\x90\x80\x80", 20,
                              "\xE0\xA0\x80\xF0\x90\x80\x80"},
                    CleanCase{"the last surrogate replaced", "a\xED\xBF\xBF", 20,
                              "a\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},
                    CleanCase{"DEL becomes a blank",
                              "a\x7F"
                              "b",
                              20, "a b"},
                    CleanCase{"C1 control becomes a blank",
                              "a\xC2\x85"
                              "b",
                              20, "a b"},
                    CleanCase{"line separator becomes a blank",
                              "a\xE2\x80\xA8"
                              "b",
                              20, "a b"},
                    CleanCase{"right-to-left override dropped",
                              "gpj\xE2\x80\xAE"
                              "exe",
                              20, "gpjexe"},
                    CleanCase{"left-to-right embedding dropped",
                              "a\xE2\x80\xAA"
                              "b",
                              20, "ab"},
                    CleanCase{"pop directional formatting dropped",
                              "a\xE2\x80\xAC"
                              "b",
                              20, "ab"},
                    CleanCase{"right-to-left mark dropped",
                              "a\xE2\x80\x8F"
                              "b",
                              20, "ab"},
                    CleanCase{"left-to-right mark dropped",
                              "a\xE2\x80\x8E"
                              "b",
                              20, "ab"},
                    CleanCase{"first isolate dropped",
                              "a\xE2\x81\xA6"
                              "b",
                              20, "ab"},
                    CleanCase{"pop isolate dropped",
                              "a\xE2\x81\xA9"
                              "b",
                              20, "ab"},
                    CleanCase{"Arabic letter mark dropped",
                              "a\xD8\x9C"
                              "b",
                              20, "ab"},
                    CleanCase{"zero-width joiner kept",
                              "a\xE2\x80\x8D"
                              "b",
                              20,
                              "a\xE2\x80\x8D"
                              "b"},
                    CleanCase{"Arabic letters kept", "\xD9\x85\xD8\xB1", 20, "\xD9\x85\xD8\xB1"},
                    CleanCase{"stray continuation byte",
                              "a\x80"
                              "b",
                              20,
                              "a\xEF\xBF\xBD"
                              "b"},
                    CleanCase{"truncated sequence at the end", "a\xE2\x82", 20, "a\xEF\xBF\xBD\xEF\xBF\xBD"},
                    CleanCase{"overlong encoding", "\xC0\xAF", 20, "\xEF\xBF\xBD\xEF\xBF\xBD"},
                    CleanCase{"surrogate encoded", "\xED\xA0\x80", 20,
                              "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},
                    CleanCase{"four-byte emoji kept", "\xF0\x9F\x98\x80", 20, "\xF0\x9F\x98\x80"},
                    CleanCase{"four-byte ideograph kept", "\xF0\xA0\x80\x80", 20, "\xF0\xA0\x80\x80"},
                    CleanCase{"least four-byte letter kept", "\xF0\x90\x80\x80", 20, "\xF0\x90\x80\x80"},
                    CleanCase{"cut inside the first letter",
                              "\xD9\x85"
                              "ab",
                              1, "\xE2\x80\xA6"},
                    CleanCase{"least three-byte letter kept", "\xE0\xA0\x80", 20, "\xE0\xA0\x80"},
                    CleanCase{"blanks at both ends trimmed", "  a b  ", 20, "a b"},
                    CleanCase{"only controls", "\r\n\t", 20, ""},
                    CleanCase{"exactly the limit", "abcde", 5, "abcde"},
                    CleanCase{"one past the limit", "abcdef", 5, "abcde\xE2\x80\xA6"},
                    CleanCase{"cut inside a two-byte letter", "abcd\xD9\x85", 5, "abcd\xE2\x80\xA6"},
                    CleanCase{"two-byte letter ends at the limit",
                              "abc\xD9\x85"
                              "x",
                              5, "abc\xD9\x85\xE2\x80\xA6"}));

struct FileNameCase {
    std::string path;
    std::string name;
};

void PrintTo(const FileNameCase& c, std::ostream* out) {
    *out << c.path;
}

class FileNameOf : public testing::TestWithParam<FileNameCase> {};

TEST_P(FileNameOf, TakesThePartAfterTheLastSeparator) {
    EXPECT_EQ(file_name_of(GetParam().path), GetParam().name);
}

INSTANTIATE_TEST_SUITE_P(Table, FileNameOf,
                         testing::Values(FileNameCase{"\\Device\\HarddiskVolume3\\Apps\\app.exe", "app.exe"},
                                         FileNameCase{"C:/Tools/curl.exe", "curl.exe"},
                                         FileNameCase{"app.exe", "app.exe"},
                                         FileNameCase{"\\Device\\HarddiskVolume3\\", ""},
                                         FileNameCase{"", ""}));

struct DriveCase {
    const char* what;
    std::string device_path;
    std::string path;
};

void PrintTo(const DriveCase& c, std::ostream* out) {
    *out << c.what;
}

class DrivePath : public testing::TestWithParam<DriveCase> {};

// Two volumes whose names share a start, as a machine with ten volumes has; a drive without a device
// (first, so that it would take every path were it not skipped) and one at the alphabet's end.
const std::vector<DriveDevice> k_drives{{"E:", ""},
                                        {"C:", "\\Device\\HarddiskVolume1"},
                                        {"D:", "\\Device\\HarddiskVolume10"},
                                        {"Z:", "\\Device\\ZZ"}};

TEST_P(DrivePath, MapsTheDeviceToItsDriveLetter) {
    EXPECT_EQ(drive_path(GetParam().device_path, k_drives), GetParam().path) << GetParam().what;
}

INSTANTIATE_TEST_SUITE_P(
    Table, DrivePath,
    testing::Values(DriveCase{"first volume", "\\Device\\HarddiskVolume1\\Apps\\app.exe",
                              "C:\\Apps\\app.exe"},
                    DriveCase{"tenth, not the first", "\\Device\\HarddiskVolume10\\x.exe", "D:\\x.exe"},
                    DriveCase{"other case", "\\device\\harddiskvolume1\\a.exe", "C:\\a.exe"},
                    DriveCase{"no volume holds it", "\\Device\\HarddiskVolume2\\a.exe", ""},
                    DriveCase{"the device alone", "\\Device\\HarddiskVolume1", ""},
                    DriveCase{"another first letter", "/Device/HarddiskVolume1\\a.exe", ""},
                    DriveCase{"a package name", "Microsoft.WindowsStore_8wekyb3d8bbwe", ""},
                    // Letters at both ends of the alphabet compare without case.
                    DriveCase{"upper case", "\\DEVICE\\HARDDISKVOLUME1\\a.exe", "C:\\a.exe"},
                    DriveCase{"z in lower case", "\\device\\zz\\a.exe", "Z:\\a.exe"},
                    DriveCase{"no device is no prefix", "\\a.exe", ""}));

struct NameCase {
    const char* what;
    AppUsageRecord record;
    std::string name;
    bool system;
};

void PrintTo(const NameCase& c, std::ostream* out) {
    *out << c.what;
}

class AppFromRecord : public testing::TestWithParam<NameCase> {};

TEST_P(AppFromRecord, NamesTheApp) {
    const AppUsage app = app_from_record(GetParam().record);
    EXPECT_EQ(app.name, GetParam().name) << GetParam().what;
    EXPECT_EQ(app.system, GetParam().system) << GetParam().what;
}

INSTANTIATE_TEST_SUITE_P(
    Table, AppFromRecord,
    testing::Values(
        NameCase{"a package by its name",
                 {"Microsoft.WindowsStore_8wekyb3d8bbwe", "Microsoft Store", 1, 1},
                 "Microsoft Store",
                 false},
        NameCase{"a program by its file",
                 {"\\Device\\HarddiskVolume3\\Apps\\app.exe", "", 1, 1},
                 "app.exe",
                 false},
        NameCase{
            "a blank name counts as none", {"\\Device\\HarddiskVolume3\\a.exe", " \t", 1, 1}, "a.exe", false},
        NameCase{"an empty id is the system", {"", "", 1, 1}, "", true},
        NameCase{"a blank id is the system", {"\x01", "", 1, 1}, "", true},
        NameCase{"a name without an id", {"", "Edge", 1, 1}, "Edge", false},
        NameCase{"a name with an override", {"x", "evil\xE2\x80\xAEtxt.exe", 1, 1}, "eviltxt.exe", false}));

TEST(AppFromRecord, BoundsNameAndId) {
    const AppUsage at_limit = app_from_record({std::string(1024, 'i'), std::string(160, 'n'), 0, 0});
    EXPECT_EQ(at_limit.id, std::string(1024, 'i'));
    EXPECT_EQ(at_limit.name, std::string(160, 'n'));
    const AppUsage past = app_from_record({std::string(1025, 'i'), std::string(161, 'n'), 0, 0});
    EXPECT_EQ(past.id, std::string(1024, 'i') + "\xE2\x80\xA6");
    EXPECT_EQ(past.name, std::string(160, 'n') + "\xE2\x80\xA6");
    // A long path without a name is named by its file, cut to the name's length.
    const AppUsage long_file = app_from_record({"\\Device\\V\\" + std::string(200, 'f'), "", 0, 0});
    EXPECT_EQ(long_file.name, std::string(160, 'f') + "\xE2\x80\xA6");
}

struct DescriptionCase {
    std::string file;
    std::string description;
    std::string shown;
};

void PrintTo(const DescriptionCase& c, std::ostream* out) {
    *out << c.description;
}

class AppWithDescription : public testing::TestWithParam<DescriptionCase> {};

TEST_P(AppWithDescription, JoinsDescriptionAndFile) {
    EXPECT_EQ(app_with_description(GetParam().file, GetParam().description), GetParam().shown);
}

INSTANTIATE_TEST_SUITE_P(Table, AppWithDescription,
                         testing::Values(DescriptionCase{"firefox.exe", "Firefox", "Firefox (firefox.exe)"},
                                         DescriptionCase{"firefox.exe", "", "firefox.exe"},
                                         DescriptionCase{"firefox.exe", " \r\n", "firefox.exe"},
                                         DescriptionCase{"app.exe", "app.exe", "app.exe"},
                                         DescriptionCase{"", "Tool", "Tool"},
                                         DescriptionCase{"a.exe",
                                                         "Bad\xE2\x80\xAE"
                                                         "X",
                                                         "BadX (a.exe)"}));

AppUsageRecord rec(std::string id, std::string name, uint64_t received, uint64_t sent) {
    return {std::move(id), std::move(name), received, sent};
}

TEST(AppUsageTable, SumsTheSameAppAcrossProfiles) {
    AppUsageTable table;
    table.add_profile({rec("\\D\\a.exe", "", 100, 10), rec("", "", 5, 5)});
    table.add_profile({rec("\\D\\a.exe", "", 1, 2), rec("\\D\\b.exe", "", 50, 0)});
    const std::vector<AppUsage> rows = table.sorted();
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0], (AppUsage{"\\D\\a.exe", "a.exe", false, 101, 12}));
    EXPECT_EQ(rows[1], (AppUsage{"\\D\\b.exe", "b.exe", false, 50, 0}));
    EXPECT_EQ(rows[2], (AppUsage{"", "", true, 5, 5}));
}

TEST(AppUsageTable, SameIdWithAnotherNameIsAnotherApp) {
    AppUsageTable table;
    table.add_profile({rec("pkg", "One", 1, 0), rec("pkg", "Two", 1, 0), rec("pkg2", "One", 1, 0)});
    EXPECT_EQ(table.size(), 3u);
}

struct SaturationCase {
    uint64_t first_received;
    uint64_t second_received;
    uint64_t received;
};

void PrintTo(const SaturationCase& c, std::ostream* out) {
    *out << c.first_received;
}

class AppUsageSaturation : public testing::TestWithParam<SaturationCase> {};

TEST_P(AppUsageSaturation, StopsAtTheTopAndNeverWraps) {
    AppUsageTable table;
    table.add_profile({rec("a", "", GetParam().first_received, GetParam().first_received)});
    table.add_profile({rec("a", "", GetParam().second_received, GetParam().second_received)});
    ASSERT_EQ(table.size(), 1u);
    EXPECT_EQ(table.sorted()[0].received, GetParam().received);
    EXPECT_EQ(table.sorted()[0].sent, GetParam().received);
}

INSTANTIATE_TEST_SUITE_P(Table, AppUsageSaturation,
                         testing::Values(SaturationCase{k_max - 1, 1, k_max},
                                         SaturationCase{k_max - 1, 2, k_max},
                                         SaturationCase{k_max, k_max, k_max}, SaturationCase{3, 4, 7}));

TEST(AppUsageTable, TotalSaturatesForTheOrder) {
    EXPECT_EQ(app_total({"a", "a", false, k_max, 1}), k_max);
    EXPECT_EQ(app_total({"a", "a", false, k_max - 1, 1}), k_max);
    EXPECT_EQ(app_total({"a", "a", false, 2, 3}), 5u);
}

// Largest total first, a tie by name whatever the order given, a tie of name by id.
TEST(AppUsageTable, LargestTotalFirstThenByNameThenById) {
    struct Row {
        const char* what;
        std::vector<AppUsageRecord> records;
        std::vector<std::string> order; // name/id
    };
    const Row rows[] = {
        {"totals",
         {rec("", "Small", 1, 0), rec("", "Sent", 0, 30), rec("", "Bravo", 10, 10), rec("", "Alpha", 15, 5),
          rec("", "Alpha", 0, 0)},
         {"Sent/", "Alpha/", "Bravo/", "Small/"}},
        {"a tie, alpha given first", {rec("", "Alpha", 10, 10), rec("", "Bravo", 15, 5)}, {"Alpha/", "Bravo/"}},
        {"a tie, bravo given first", {rec("", "Bravo", 15, 5), rec("", "Alpha", 10, 10)}, {"Alpha/", "Bravo/"}},
        {"a tie of name", {rec("z", "Same", 1, 0), rec("a", "Same", 1, 0)}, {"Same/a", "Same/z"}},
    };
    for (const Row& row : rows) {
        AppUsageTable table;
        table.add_profile(row.records);
        std::vector<std::string> order;
        for (const AppUsage& app : table.sorted()) {
            order.push_back(app.name + "/" + app.id);
        }
        EXPECT_EQ(order, row.order) << row.what;
    }
}

std::vector<AppUsageRecord> numbered(size_t count, size_t first = 0) {
    std::vector<AppUsageRecord> records;
    for (size_t i = first; i < first + count; ++i) {
        records.push_back(rec("id" + std::to_string(i), "", 1, 0));
    }
    return records;
}

TEST(AppUsageTable, ReadsAtMost2000RecordsOfAnAnswer) {
    AppUsageTable exactly;
    exactly.add_profile(numbered(2000));
    EXPECT_EQ(exactly.size(), 2000u);
    AppUsageTable one_more;
    std::vector<AppUsageRecord> records = numbered(2000);
    records.push_back(rec("id0", "", 5, 0)); // would have added to a kept app
    one_more.add_profile(records);
    EXPECT_EQ(one_more.size(), 2000u);
    EXPECT_EQ(one_more.sorted()[0].received, 1u) << "the 2001st record is not read";
}

TEST(AppUsageTable, KeepsAtMost2000AppsAcrossProfiles) {
    AppUsageTable table;
    table.add_profile(numbered(1999));
    table.add_profile({rec("new1", "", 9, 0), rec("new2", "", 9, 0), rec("id5", "", 7, 0)});
    EXPECT_EQ(table.size(), 2000u);
    const std::vector<AppUsage> rows = table.sorted();
    EXPECT_EQ(rows[0].id, "new1");
    EXPECT_EQ(rows[1].id, "id5") << "a kept app still sums";
    EXPECT_EQ(rows[1].received, 8u);
}

struct BarCase {
    uint64_t total;
    uint64_t largest;
    double fraction;
};

void PrintTo(const BarCase& c, std::ostream* out) {
    *out << c.total;
}

class AppBar : public testing::TestWithParam<BarCase> {};

TEST_P(AppBar, IsTheShareOfTheLargest) {
    EXPECT_DOUBLE_EQ(app_bar_fraction(GetParam().total, GetParam().largest), GetParam().fraction);
}

INSTANTIATE_TEST_SUITE_P(Table, AppBar,
                         testing::Values(BarCase{0, 0, 0.0}, BarCase{5, 0, 0.0}, BarCase{1, 4, 0.25},
                                         BarCase{4, 4, 1.0}, BarCase{8, 4, 1.0}));

TEST(AppsCsv, HeaderAndOneLinePerRow) {
    const std::vector<AppUsage> apps{{"\\D\\a.exe", "a.exe", false, 1536, 512}, {"", "", true, 7, 0}};
    EXPECT_EQ(apps_csv_text(apps, "Windows and system services"), "app,id,download_bytes,upload_bytes\n"
                                                                  "a.exe,\\D\\a.exe,1536,512\n"
                                                                  "Windows and system services,,7,0\n");
    EXPECT_EQ(apps_csv_text({}, "x"), "app,id,download_bytes,upload_bytes\n");
}

struct CsvFieldCase {
    const char* what;
    std::string name;
    std::string field;
};

void PrintTo(const CsvFieldCase& c, std::ostream* out) {
    *out << c.what;
}

class AppsCsvField : public testing::TestWithParam<CsvFieldCase> {};

TEST_P(AppsCsvField, QuotesAndDefusesTheName) {
    const std::string text = apps_csv_text({{"i", GetParam().name, false, 1, 2}}, "");
    EXPECT_EQ(text, "app,id,download_bytes,upload_bytes\n" + GetParam().field + ",i,1,2\n")
        << GetParam().what;
}

INSTANTIATE_TEST_SUITE_P(
    Table, AppsCsvField,
    testing::Values(CsvFieldCase{"plain", "Edge", "Edge"}, CsvFieldCase{"comma", "A, Inc.", "\"A, Inc.\""},
                    CsvFieldCase{"quote", "say \"hi\"", "\"say \"\"hi\"\"\""},
                    CsvFieldCase{"line feed", "a\nb", "\"a\nb\""},
                    CsvFieldCase{"carriage return", "a\rb", "\"a\rb\""},
                    CsvFieldCase{"formula", "=1+1", "'=1+1"}, CsvFieldCase{"plus", "+1", "'+1"},
                    CsvFieldCase{"minus", "-1", "'-1"}, CsvFieldCase{"at", "@SUM(A1)", "'@SUM(A1)"},
                    CsvFieldCase{"formula with comma", "=A,B", "\"'=A,B\""},
                    CsvFieldCase{"sign inside is harmless", "a-b", "a-b"}));

struct SpanCase {
    const char* what;
    AppPeriod period;
    int64_t now;
    int64_t offset;
    int32_t billing_day;
    int64_t start;
};

void PrintTo(const SpanCase& c, std::ostream* out) {
    *out << c.what;
}

class AppPeriodSpan : public testing::TestWithParam<SpanCase> {};

TEST_P(AppPeriodSpan, StartsAtLocalMidnightAndEndsNow) {
    const auto [start, end] =
        app_period_span(GetParam().period, GetParam().now, GetParam().offset, GetParam().billing_day);
    EXPECT_EQ(start, GetParam().start) << GetParam().what;
    EXPECT_EQ(end, GetParam().now) << GetParam().what;
}

// 2024-01-15 12:00 UTC is 1705320000; 2024-01-15 00:00 UTC is 1705276800.
INSTANTIATE_TEST_SUITE_P(
    Table, AppPeriodSpan,
    testing::Values(
        SpanCase{"today in UTC", AppPeriod::today, 1705320000, 0, 1, 1705276800},
        SpanCase{"today an hour east", AppPeriod::today, 1705320000, 3600, 1, 1705273200},
        SpanCase{"today at 00:30 local, east", AppPeriod::today, 1705275000, 3600, 1, 1705273200},
        SpanCase{"today at 23:30 local, west", AppPeriod::today, 1705275000, -3600, 1, 1705194000},
        SpanCase{"just before 1970 local", AppPeriod::today, -1, 0, 1, -86400},
        SpanCase{"a whole day before 1970", AppPeriod::today, -86400, 0, 1, -86400},
        SpanCase{"a day and a second before 1970", AppPeriod::today, -86401, 0, 1, -172800},
        SpanCase{"1970 at midnight", AppPeriod::today, 0, 0, 1, 0},
        SpanCase{"the last second of 1970-01-01", AppPeriod::today, 86399, 0, 1, 0},
        SpanCase{"calendar month", AppPeriod::billing, 1705320000, 0, 1, 1704067200},
        SpanCase{"billing day 10", AppPeriod::billing, 1705320000, 0, 10, 1704844800},
        SpanCase{"billing day 20 is last month's", AppPeriod::billing, 1705320000, 0, 20, 1703030400},
        SpanCase{"last 30 days", AppPeriod::last_30_days, 1705320000, 0, 1, 1702771200}));

TEST(WindowsTime, CountsTenthsOfMicrosecondsSince1601) {
    EXPECT_EQ(windows_time(0), 116'444'736'000'000'000);
    EXPECT_EQ(windows_time(1), 116'444'736'010'000'000);
    EXPECT_EQ(windows_time(-11'644'473'600), 0);
}

TEST(GroupConnections, SumsAProgramsProcessesAndSortsByCount) {
    const std::vector<SocketOwner> sockets{{100, true}, {101, true}, {100, false}, {200, true},
                                           {0, true},   {4, false},  {300, true},  {300, true}};
    const std::vector<std::pair<uint32_t, std::string>> images{
        {100, "C:\\Program Files\\App\\app.exe"}, {101, "C:\\Other\\app.exe"}, {200, "curl.exe"}};
    const std::vector<ProgramConnections> rows = group_connections(sockets, images);
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[0], (ProgramConnections{"app.exe", false, 2, 1}));
    EXPECT_EQ(rows[1], (ProgramConnections{"", true, 1, 1})) << "process 0 and 4 are the system";
    EXPECT_EQ(rows[2], (ProgramConnections{"#300", false, 2, 0})) << "an unknown process by its id";
    EXPECT_EQ(rows[3], (ProgramConnections{"curl.exe", false, 1, 0}));
}

TEST(GroupConnections, CleansImageNamesAndNamesAnEmptyOneById) {
    const std::vector<ProgramConnections> rows =
        group_connections({{7, true}, {8, true}}, {{7, "C:\\x\\a\xE2\x80\xAE"
                                                       "b.exe"},
                                                   {8, ""}});
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].name, "#8");
    EXPECT_EQ(rows[1].name, "ab.exe");
}

TEST(GroupConnections, KeepsAtMost2000Programs) {
    std::vector<SocketOwner> sockets;
    for (uint32_t pid = 10; pid < 10 + 2001; ++pid) {
        sockets.push_back({pid, true});
    }
    EXPECT_EQ(group_connections(sockets, {}).size(), 2000u);
    sockets.pop_back();
    EXPECT_EQ(group_connections(sockets, {}).size(), 2000u);
    sockets.pop_back();
    EXPECT_EQ(group_connections(sockets, {}).size(), 1999u);
}

} // namespace
} // namespace tide
