// Usage history on Windows: today's day number, usage.json at start-up and every minute, the CSV
// export with the save-file dialog.
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>

#include "base/recent_errors.h"
#include "persistence/usage.h"

namespace tide {

// The system's time-zone state at this moment.
TimeZoneState current_time_zone();

// Today's local day number from the system clock, with the time zone fetched anew.
int64_t local_day_number();

// Start-up (only when history_mode is 1): the file's days replace the store, pruned as `keeping` says.
// An unreadable file is moved aside as .corrupt and reported; a file that cannot be read at all is
// kept and read again at the next save.
void load_usage(UsageHistory& history, const UsageKeeping& keeping, RecentErrors& errors);

// The text of usage.json when a save is due (history_mode is 1 and the store has changes), with the
// file's own days taken in first when they are not yet; nothing otherwise. The store counts as saved
// from here on: usage_save_failed marks it again.
std::optional<std::string> usage_save_text(UsageHistory& history, int32_t history_mode,
                                           const UsageKeeping& keeping, RecentErrors& errors);

// A write of usage.json failed with the writer's error text: reported, and the store is marked for
// the next save.
void usage_save_failed(UsageHistory& history, const std::string& error, RecentErrors& errors);

// usage_save_text written at once on this thread; true when the file was written.
bool save_usage(UsageHistory& history, int32_t history_mode, const UsageKeeping& keeping,
                RecentErrors& errors);

// The user cleared the history: the store is emptied and the next save writes the empty store over
// whatever the file holds (the file's days are not merged back in).
void clear_usage(UsageHistory& history);

// Writes the CSV text of the store to the path; a failure is reported.
bool write_usage_csv(const std::wstring& path, const UsageStore& store, RecentErrors& errors);

// The CSV could not be written.
void usage_csv_failed(RecentErrors& errors);

// Asks for a CSV's file name with the save-file dialog owned by the given window, offering the name
// given; nothing when the user cancels.
std::optional<std::wstring> ask_csv_path(HWND owner, const wchar_t* suggested = L"Tidemeter-usage.csv");

} // namespace tide
