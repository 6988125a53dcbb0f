// The diagnostics report as the user gets it: a UTF-8 file with a byte-order mark in the temp folder.
#include "diagnostics/diagnostics_win.h"

#include "base/recent_errors.h"
#include "base/version.h"
#include "persistence/atomic_file_win.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <regex>
#include <string>

namespace tide {
namespace {

std::string read_all(const std::wstring& path) {
    std::ifstream file(path.c_str(), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

std::wstring temp_folder() {
    wchar_t folder[MAX_PATH + 1] = {};
    const DWORD length = GetTempPathW(MAX_PATH, folder);
    return std::wstring(folder, length);
}

// Points TMP and TEMP elsewhere for one test and restores them.
class TempFolderOverride {
public:
    explicit TempFolderOverride(const wchar_t* folder) : tmp_(get(L"TMP")), temp_(get(L"TEMP")) {
        SetEnvironmentVariableW(L"TMP", folder);
        SetEnvironmentVariableW(L"TEMP", folder);
    }
    ~TempFolderOverride() {
        SetEnvironmentVariableW(L"TMP", tmp_.empty() ? nullptr : tmp_.c_str());
        SetEnvironmentVariableW(L"TEMP", temp_.empty() ? nullptr : temp_.c_str());
    }

private:
    static std::wstring get(const wchar_t* name) {
        wchar_t buffer[1024] = {};
        const DWORD length = GetEnvironmentVariableW(name, buffer, 1024);
        return length < 1024 ? std::wstring(buffer, length) : std::wstring();
    }
    std::wstring tmp_;
    std::wstring temp_;
};

TEST(WindowsVersion, IsMajorMinorBuild) {
    const std::string text = windows_version_text();
    EXPECT_TRUE(std::regex_match(text, std::regex("[0-9]+\\.[0-9]+\\.[0-9]+"))) << text;
}

TEST(DiagnosticsReportFile, LivesInTheTempFolder) {
    const std::wstring folder = temp_folder();
    ASSERT_FALSE(folder.empty());
    const std::wstring path = diagnostics_report_path();
    EXPECT_EQ(path.substr(0, folder.size()), folder);
    EXPECT_TRUE(path.ends_with(L"\\Tidemeter-diagnostics.txt")) << path;
}

TEST(DiagnosticsReportFile, LivesInAPortableCopysDataFolder) {
    EXPECT_EQ(diagnostics_report_path(L"E:\\Tidemeter\\Data"), L"E:\\Tidemeter\\Data\\Tidemeter-diagnostics.txt");
    EXPECT_EQ(diagnostics_report_path(L"E:\\Data\\"), L"E:\\Data\\Tidemeter-diagnostics.txt");
}

TEST(DiagnosticsReportFile, StartsWithTheByteOrderMarkAndHoldsTheReport) {
    RecentErrors errors;
    errors.add(86400, "Could not write the usage CSV\nat C:\\Users\\tester\\usage.csv");
    DiagnosticsAppFacts facts;
    facts.ui_language = "fr";
    facts.interface_name = "Ethernet";
    facts.status = 1;
    facts.interval_ms = 500;
    const DiagnosticsInput input = gather_diagnostics_input(facts, errors);
    EXPECT_EQ(input.status_word, "Connected");
    EXPECT_EQ(input.windows_version, windows_version_text());
    for (const DiagnosticsDisplay& display : input.displays) {
        EXPECT_GT(display.dpi, 0);
    }

    const std::wstring path = diagnostics_report_path();
    ASSERT_TRUE(write_diagnostics_report(path, input));
    const std::string content = read_all(path);
    ASSERT_GE(content.size(), 3u);
    EXPECT_EQ(content.substr(0, 3), "\xEF\xBB\xBF");
    EXPECT_EQ(content.substr(3), build_diagnostics_report(input));
    EXPECT_TRUE(content.starts_with("\xEF\xBB\xBFTidemeter diagnostic report\nPlease review this text"));
    EXPECT_NE(content.find("\nApplication version: " + std::string(k_app_version) + "\n"), std::string::npos);
    EXPECT_NE(content.find("\nUI language: fr\n"), std::string::npos);
    EXPECT_NE(content.find("\nSelected network interface: Ethernet\n"), std::string::npos);
    EXPECT_NE(content.find("\nSampling interval: 500 ms\n"), std::string::npos);
    EXPECT_NE(content.find("\nMonitoring status: Connected\n"), std::string::npos);
    EXPECT_NE(content.find("\nDisplays: " + std::to_string(input.displays.size()) + "\n"), std::string::npos);
    EXPECT_TRUE(content.ends_with(
        "\nRecent errors (1):\n"
        "  1970-01-02T00:00:00Z  Could not write the usage CSV at C:\\Users\\<user>\\usage.csv\n"));

    // A second export replaces the file instead of appending to it.
    DiagnosticsInput shorter = input;
    shorter.recent_errors.clear();
    ASSERT_TRUE(write_diagnostics_report(path, shorter));
    EXPECT_TRUE(read_all(path).ends_with("\nRecent errors (0):\n  (none)\n"));
    EXPECT_FALSE(file_exists(path + L".tmp"));
    DeleteFileW(path.c_str());
}

TEST(DiagnosticsExport, UnwritableFolderIsRecordedAndNothingIsOpened) {
    RecentErrors errors;
    {
        TempFolderOverride redirect(L"C:\\no|such<folder>\\");
        EXPECT_FALSE(export_diagnostics_report(DiagnosticsAppFacts{}, errors));
    }
    ASSERT_EQ(errors.entries().size(), 1u);
    EXPECT_EQ(errors.entries().front().text, "Could not write the diagnostics report");
    EXPECT_GT(errors.entries().front().time, 1600000000);
}

} // namespace
} // namespace tide
