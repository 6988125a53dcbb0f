// Gathering, writing and opening the diagnostics report on Windows.
#pragma once

#include "diagnostics/report.h"
#include "persistence/data_location.h"

#include <string>
#include <vector>

namespace tide {

class RecentErrors;

// What only the application knows; everything else in the report is gathered here.
struct DiagnosticsAppFacts {
    std::string ui_language;    // the resolved language code
    std::string interface_name; // as last reported by the sampler; may be empty
    int source = 0;             // what was counted: 0 this PC's interface, 1 every adapter, 2 the router
    std::string router_name;    // the router's friendly name and model, its UDN and serial number
    std::string router_model;
    std::string router_udn;
    std::string router_serial;
    bool paused = false;
    int status = 0; // MonitorStatus: 0 unavailable, 1 connected, 2 measuring
    int interval_ms = 0;
    DataMode data_mode = DataMode::installed;
};

// "major.minor.build" from RtlGetVersion, or "unknown".
std::string windows_version_text();

// Every monitor in enumeration order with its full rectangle, effective DPI (96 when unreadable) and
// primary flag.
std::vector<DiagnosticsDisplay> diagnostics_displays();

// The complete report input: build facts, Windows version, displays, the application's facts and a
// copy of the recent errors.
DiagnosticsInput gather_diagnostics_input(const DiagnosticsAppFacts& facts, const RecentErrors& errors);

// "Tidemeter-diagnostics.txt" in folder, or in the user's temporary folder when folder is empty; empty
// when that is unknown.
std::wstring diagnostics_report_path(const std::wstring& folder = {});

// The file's content: the byte-order mark and the report.
std::string diagnostics_report_content(const DiagnosticsInput& input);

// Writes diagnostics_report_content to path, replacing an existing file.
bool write_diagnostics_report(const std::wstring& path, const DiagnosticsInput& input);

// After the report was written: opened with the shell.
void open_diagnostics_report(const std::wstring& path);

// The report could not be written (or its folder is unknown).
void diagnostics_report_failed(RecentErrors& errors);

// The "Export diagnostics" command: gathers, writes and opens the report with the shell. On failure
// the report is not opened and "Could not write the diagnostics report" goes to the recent errors.
// Returns whether the file was written.
bool export_diagnostics_report(const DiagnosticsAppFacts& facts, RecentErrors& errors);

} // namespace tide
