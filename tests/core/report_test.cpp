// The diagnostics report: its layout line by line, and the UTC time stamps of its errors.
#include "diagnostics/report.h"
#include "base/sanitize.h"
#include "base/version.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

namespace tide {
namespace {

std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> lines;
    std::string::size_type start = 0;
    while (start < text.size()) {
        const auto end = text.find('\n', start);
        if (end == std::string::npos) {
            lines.push_back(text.substr(start));
            break;
        }
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

DiagnosticsInput sample_input() {
    DiagnosticsInput in;
    in.app_version = "1.0.0";
    in.windows_version = "10.0.22631";
    in.compiler = "GCC 12.2.0";
    in.build_config = "Release";
    in.ui_language = "de";
    in.interface_name = "Ethernet 2";
    in.status_word = "Connected";
    in.language_standard = 202002;
    in.interval_ms = 1000;
    in.displays = {{2560, 1440, 144, true}, {1920, 1080, 96, false}};
    in.recent_errors = {{0, "Could not save usage history: replace failed"},
                        {1709164800, "open C:\\Users\\alice\\x failed\nfor bob@example.com"}};
    return in;
}

TEST(DiagnosticsReport, LayoutLineByLine) {
    const std::string text = build_diagnostics_report(sample_input());
    const std::vector<std::string> expected = {
        "Tidemeter diagnostic report",
        "Please review this text before sharing it. It contains no traffic content, browsing history, "
        "passwords, user names or machine names.",
        "",
        "Application version: 1.0.0",
        "Windows version: 10.0.22631",
        "Compiler: GCC 12.2.0 (ISO C++ 202002, Release)",
        "UI language: de",
        "Selected network interface: Ethernet 2",
        "Counted traffic: This PC's interface",
        "Sampling interval: 1000 ms",
        "Monitoring status: Connected",
        "Displays: 2",
        "  #1 (primary): 2560x1440 px, 144 DPI (150%)",
        "  #2: 1920x1080 px, 96 DPI (100%)",
        "Recent errors (2):",
        "  1970-01-01T00:00:00Z  Could not save usage history: replace failed",
        "  2024-02-29T00:00:00Z  open C:\\Users\\<user>\\x failed for <email>",
    };
    EXPECT_EQ(lines_of(text), expected);
    EXPECT_TRUE(text.ends_with("<email>\n")); // the last line ends in "\n", with nothing after it
}

TEST(DiagnosticsReport, EmptyListsAndEmptyInterfaceName) {
    DiagnosticsInput in = sample_input();
    in.interface_name.clear();
    in.displays.clear();
    in.recent_errors.clear();
    in.interval_ms = -5;
    const std::vector<std::string> lines = lines_of(build_diagnostics_report(in));
    ASSERT_EQ(lines.size(), 14u);
    EXPECT_EQ(lines[7], "Selected network interface: (none)");
    EXPECT_EQ(lines[9], "Sampling interval: -5 ms");
    EXPECT_EQ(lines[11], "Displays: 0");
    EXPECT_EQ(lines[12], "Recent errors (0):");
    EXPECT_EQ(lines[13], "  (none)");
}

TEST(DiagnosticsReport, DataFolderLineFollowsTheStatus) {
    DiagnosticsInput in = sample_input();
    in.data_mode = "portable (the Data folder beside the program)";
    const std::vector<std::string> lines = lines_of(build_diagnostics_report(in));
    ASSERT_GE(lines.size(), 13u);
    EXPECT_EQ(lines[11], "Data folder: portable (the Data folder beside the program)");
    EXPECT_EQ(lines[12], "Displays: 2");
}

TEST(DiagnosticsReport, FreeTextFieldsAreCleaned) {
    DiagnosticsInput in = sample_input();
    in.interface_name = "Wi-Fi\r\nof jane@example.org";
    in.windows_version = std::string(400, 'w');
    in.compiler = "cc\tD:\\USERS\\BUILDER\\gcc";
    const std::vector<std::string> lines = lines_of(build_diagnostics_report(in));
    ASSERT_GE(lines.size(), 8u);
    EXPECT_EQ(lines[4], "Windows version: " + std::string(300, 'w') + "...");
    EXPECT_EQ(lines[5], "Compiler: cc D:\\USERS\\<user>\\gcc (ISO C++ 202002, Release)");
    EXPECT_EQ(lines[7], "Selected network interface: Wi-Fi  of <email>");
}

// The counted source by name; for the router also its name and model, cleaned, and never its UDN or
// serial number, wherever they turn up.
TEST(DiagnosticsReport, NamesTheSourceAndHidesTheRoutersIdentifiers) {
    struct Case {
        int source;
        std::string_view counted;
    };
    for (const Case& c : {Case{1, "Every adapter of this PC"}, Case{2, "The whole home (router)"},
                          Case{3, "This PC's interface"}}) {
        DiagnosticsInput in = sample_input();
        in.source = c.source;
        in.router_name = "Box"; // left from an earlier router: only the router's report names it
        const std::string text = build_diagnostics_report(in);
        const std::vector<std::string> lines = lines_of(text);
        ASSERT_GE(lines.size(), 10u);
        EXPECT_EQ(lines[8], "Counted traffic: " + std::string(c.counted));
        EXPECT_EQ(text.find("Router:") == std::string::npos, c.source != 2) << c.source;
    }
    DiagnosticsInput in = sample_input();
    in.source = 2;
    in.router_name = "Box SN-7781\nof a@b.c";
    in.router_model = "X1";
    in.identifiers = {"uuid:0a1b2c3d-1111-2222-3333-444455556666", "SN-7781", "abc"};
    in.recent_errors = {{0, "no answer from uuid:0a1b2c3d-1111-2222-3333-444455556666"},
                        {0, "serial SN-7781 abc"}};
    const std::string text = build_diagnostics_report(in);
    const std::vector<std::string> lines = lines_of(text);
    ASSERT_GE(lines.size(), 12u);
    EXPECT_EQ(lines[9], "Router: Box <id> of <email> (X1)");
    EXPECT_EQ(lines.end()[-2], "  1970-01-01T00:00:00Z  no answer from <id>");
    EXPECT_EQ(lines.end()[-1], "  1970-01-01T00:00:00Z  serial <id> abc") << "three bytes are no identifier";
    EXPECT_EQ(text.find("7781"), std::string::npos);

    in.router_name.clear();
    in.router_model.clear();
    const std::vector<std::string> unnamed = lines_of(build_diagnostics_report(in));
    ASSERT_GE(unnamed.size(), 10u);
    EXPECT_EQ(unnamed[9], "Router: (no name)");
}

// Identifiers go as whole tokens only, and only those long enough to identify anything.
TEST(DiagnosticsReport, ReplacesOnlyWholeIdentifiers) {
    struct Case {
        const char* identifier;
        const char* error;
        const char* written;
    };
    for (const Case& c :
         {Case{"1000", "serial 1000", "serial 1000"}, Case{"12345", "serial 12345", "serial 12345"},
          Case{"123456", "serial 123456", "serial <id>"}, Case{"123456", "serial 1234567", "serial 1234567"},
          Case{"123456", "serial 0123456", "serial 0123456"},
          Case{"123456", "123456, 123456", "<id>, <id>"}}) {
        DiagnosticsInput in = sample_input();
        in.source = 2;
        in.identifiers = {c.identifier};
        in.recent_errors = {{0, c.error}};
        const std::vector<std::string> lines = lines_of(build_diagnostics_report(in));
        EXPECT_EQ(lines.end()[-1], std::string("  1970-01-01T00:00:00Z  ") + c.written) << c.identifier;
        EXPECT_EQ(lines[10], "Sampling interval: 1000 ms");
    }
}

struct DpiCase {
    int dpi;
    const char* percent;
};

void PrintTo(const DpiCase& c, std::ostream* os) {
    *os << c.dpi << " DPI";
}

class DisplayPercent : public testing::TestWithParam<DpiCase> {};

TEST_P(DisplayPercent, UsesIntegerDivision) {
    DiagnosticsInput in = sample_input();
    in.displays = {{800, 600, GetParam().dpi, false}};
    const std::vector<std::string> lines = lines_of(build_diagnostics_report(in));
    ASSERT_GE(lines.size(), 13u);
    EXPECT_EQ(lines[12],
              "  #1: 800x600 px, " + std::to_string(GetParam().dpi) + " DPI (" + GetParam().percent + ")");
}

INSTANTIATE_TEST_SUITE_P(Table, DisplayPercent,
                         testing::Values(DpiCase{96, "100%"}, DpiCase{100, "104%"}, DpiCase{120, "125%"},
                                         DpiCase{144, "150%"}, DpiCase{168, "175%"}, DpiCase{192, "200%"}));

struct StatusCase {
    bool paused;
    int status;
    const char* word;
};

void PrintTo(const StatusCase& c, std::ostream* os) {
    *os << c.paused << "/" << c.status;
}

class StatusWord : public testing::TestWithParam<StatusCase> {};

TEST_P(StatusWord, IsEnglish) {
    EXPECT_EQ(diagnostics_status_word(GetParam().paused, GetParam().status), GetParam().word);
}

INSTANTIATE_TEST_SUITE_P(Table, StatusWord,
                         testing::Values(StatusCase{false, 0, "Unavailable"},
                                         StatusCase{false, 1, "Connected"}, StatusCase{false, 2, "Measuring"},
                                         StatusCase{false, 7, "Unavailable"}, StatusCase{true, 1, "Paused"},
                                         StatusCase{true, 0, "Paused"}));

TEST(DiagnosticsBuildFacts, DescribeThisBuild) {
    const DiagnosticsInput in = diagnostics_build_facts();
    EXPECT_EQ(in.app_version, k_app_version);
    EXPECT_EQ(in.build_config, "Release");
    EXPECT_FALSE(in.compiler.empty());
    EXPECT_GE(in.language_standard, 202002);
    EXPECT_LT(in.language_standard, 1000000);
}

struct TimeCase {
    int64_t seconds;
    const char* text;
};

void PrintTo(const TimeCase& c, std::ostream* os) {
    *os << c.seconds;
}

class UtcTime : public testing::TestWithParam<TimeCase> {};

TEST_P(UtcTime, Formats) {
    EXPECT_EQ(format_utc_iso8601(GetParam().seconds), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Table, UtcTime,
    testing::Values(
        TimeCase{0, "1970-01-01T00:00:00Z"}, TimeCase{-1, "1969-12-31T23:59:59Z"},
        TimeCase{-86400, "1969-12-31T00:00:00Z"}, TimeCase{-86401, "1969-12-30T23:59:59Z"},
        TimeCase{86399, "1970-01-01T23:59:59Z"}, TimeCase{951782400, "2000-02-29T00:00:00Z"},
        TimeCase{951868799, "2000-02-29T23:59:59Z"}, TimeCase{951868800, "2000-03-01T00:00:00Z"},
        TimeCase{1709251199, "2024-02-29T23:59:59Z"}, TimeCase{1709251200, "2024-03-01T00:00:00Z"},
        TimeCase{4107542400, "2100-03-01T00:00:00Z"}, // 2100 is no leap year
        TimeCase{2147483647, "2038-01-19T03:14:07Z"}, TimeCase{-2208988800, "1900-01-01T00:00:00Z"},
        TimeCase{-62135596800, "0001-01-01T00:00:00Z"}, TimeCase{253402300799, "9999-12-31T23:59:59Z"}));

TEST(UtcTime, ExtremesDoNotOverflow) {
    EXPECT_TRUE(format_utc_iso8601(INT64_MIN).ends_with("Z"));
    EXPECT_TRUE(format_utc_iso8601(INT64_MAX).ends_with("Z"));
}

} // namespace
} // namespace tide

namespace tide {
namespace {

// An error text cut when it was recorded is printed as recorded, not cut a second time.
TEST(DiagnosticsReport, RecordedErrorsAreNotCutTwice) {
    std::string long_text(200, 'x');
    for (int i = 0; i < 60; ++i) {
        long_text += "\xC3\xA9"; // é: the cut at 300 bytes falls on a two-byte character
    }
    const std::string recorded = sanitize_text(long_text, 300);
    ASSERT_GT(recorded.size(), 300u);
    DiagnosticsInput in = sample_input();
    in.recent_errors = {{0, recorded}};
    const std::vector<std::string> lines = lines_of(build_diagnostics_report(in));
    EXPECT_EQ(lines.back(), "  1970-01-01T00:00:00Z  " + recorded);
}

} // namespace
} // namespace tide
