// Gathering, writing and opening the diagnostics report on Windows.
#include "diagnostics/diagnostics_win.h"

#include "base/recent_errors.h"
#include "persistence/atomic_file_win.h"

#include <windows.h>
#include <shellapi.h>
#include <shellscalingapi.h>

#include <chrono>
#include <string_view>

namespace tide {
namespace {

constexpr wchar_t k_report_name[] = L"Tidemeter-diagnostics.txt";
constexpr std::string_view k_write_failed = "Could not write the diagnostics report";

using RtlGetVersionFn = LONG(WINAPI*)(OSVERSIONINFOW*);

int64_t unix_now() {
    return std::chrono::duration_cast<std::chrono::seconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

BOOL CALLBACK add_monitor(HMONITOR monitor, HDC, LPRECT, LPARAM context) {
    auto& displays = *reinterpret_cast<std::vector<DiagnosticsDisplay>*>(context);
    MONITORINFO info{};
    info.cbSize = sizeof info;
    DiagnosticsDisplay display;
    if (GetMonitorInfoW(monitor, &info)) {
        display.width = info.rcMonitor.right - info.rcMonitor.left;
        display.height = info.rcMonitor.bottom - info.rcMonitor.top;
        display.primary = (info.dwFlags & MONITORINFOF_PRIMARY) != 0;
    }
    UINT dpi_x = 0;
    UINT dpi_y = 0;
    if (SUCCEEDED(GetDpiForMonitor(monitor, MDT_EFFECTIVE_DPI, &dpi_x, &dpi_y)) && dpi_x > 0 &&
        dpi_x <= 10000) {
        display.dpi = static_cast<int>(dpi_x);
    }
    displays.push_back(display);
    return TRUE;
}

} // namespace

std::string windows_version_text() {
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    if (ntdll == nullptr) {
        return "unknown";
    }
    // Through the generic function-pointer type, which converts to any other without a cast warning.
    const auto rtl_get_version = reinterpret_cast<RtlGetVersionFn>(
        reinterpret_cast<void (*)()>(GetProcAddress(ntdll, "RtlGetVersion")));
    if (rtl_get_version == nullptr) {
        return "unknown";
    }
    OSVERSIONINFOW info{};
    info.dwOSVersionInfoSize = sizeof(OSVERSIONINFOW);
    if (rtl_get_version(&info) != 0) {
        return "unknown";
    }
    return std::to_string(info.dwMajorVersion) + "." + std::to_string(info.dwMinorVersion) + "." +
           std::to_string(info.dwBuildNumber);
}

std::vector<DiagnosticsDisplay> diagnostics_displays() {
    std::vector<DiagnosticsDisplay> displays;
    EnumDisplayMonitors(nullptr, nullptr, add_monitor, reinterpret_cast<LPARAM>(&displays));
    return displays;
}

DiagnosticsInput gather_diagnostics_input(const DiagnosticsAppFacts& facts, const RecentErrors& errors) {
    DiagnosticsInput input = diagnostics_build_facts();
    input.windows_version = windows_version_text();
    input.ui_language = facts.ui_language;
    input.interface_name = facts.interface_name;
    input.source = facts.source;
    input.router_name = facts.router_name;
    input.router_model = facts.router_model;
    input.identifiers = {facts.router_udn, facts.router_serial};
    input.status_word = diagnostics_status_word(facts.paused, facts.status);
    input.interval_ms = facts.interval_ms;
    input.data_mode = data_mode_text(facts.data_mode);
    input.displays = diagnostics_displays();
    for (const ErrorEntry& entry : errors.entries()) {
        input.recent_errors.push_back({entry.time, entry.text});
    }
    return input;
}

std::wstring diagnostics_report_path(const std::wstring& data_folder) {
    if (!data_folder.empty()) {
        std::wstring path = data_folder;
        if (path.back() != L'\\' && path.back() != L'/') {
            path.push_back(L'\\');
        }
        return path + k_report_name;
    }
    wchar_t folder[MAX_PATH + 1] = {};
    const DWORD length = GetTempPathW(MAX_PATH, folder);
    if (length == 0 || length >= MAX_PATH) {
        return {};
    }
    std::wstring path(folder, length);
    if (path.back() != L'\\' && path.back() != L'/') {
        path.push_back(L'\\');
    }
    return path + k_report_name;
}

std::string diagnostics_report_content(const DiagnosticsInput& input) {
    return "\xEF\xBB\xBF" + build_diagnostics_report(input);
}

bool write_diagnostics_report(const std::wstring& path, const DiagnosticsInput& input) {
    if (path.empty()) {
        return false;
    }
    return write_file_atomically(path, diagnostics_report_content(input));
}

void open_diagnostics_report(const std::wstring& path) {
    // A missing viewer is not worth a message: the file is there for the user to find.
    ShellExecuteW(nullptr, L"open", path.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

void diagnostics_report_failed(RecentErrors& errors) {
    errors.add(unix_now(), k_write_failed);
}

bool export_diagnostics_report(const DiagnosticsAppFacts& facts, RecentErrors& errors) {
    const std::wstring path = diagnostics_report_path();
    if (!write_diagnostics_report(path, gather_diagnostics_input(facts, errors))) {
        diagnostics_report_failed(errors);
        return false;
    }
    open_diagnostics_report(path);
    return true;
}

} // namespace tide
