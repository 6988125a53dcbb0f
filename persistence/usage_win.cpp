// Usage history on Windows: the local day from the system's time zone, usage.json and the CSV export.
#include "persistence/usage_win.h"

#include <commdlg.h>

#include <algorithm>
#include <chrono>
#include <iterator>
#include <string_view>

#include "persistence/atomic_file_win.h"

namespace tide {
namespace {

int64_t unix_now() {
    return std::chrono::duration_cast<std::chrono::seconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

// Adds the days of usage.json to the store. A missing file adds nothing. A file that exists but
// cannot be read, or is unreadable and cannot be moved aside, is marked to be kept: writing over it
// would destroy the user's history. A kept file is tried again at the next save and reported only
// the first time.
void merge_usage_file(UsageHistory& history, RecentErrors& errors) {
    const bool tried_before = history.keep_file;
    const auto keep = [&](const char* text) {
        history.keep_file = true;
        if (!tried_before) {
            errors.add(unix_now(), text);
        }
    };
    history.file_read = true;
    history.keep_file = false;
    const std::optional<std::string> bytes = read_file_bytes(history.path);
    if (!bytes) {
        if (file_exists(history.path)) {
            keep("Usage history file could not be read; it is not written until it can be");
        }
        return;
    }
    UsageReadNotes notes;
    const std::optional<UsageStore> loaded = usage_from_file_text(*bytes, &notes);
    if (!loaded) {
        if (quarantine_file(history.path)) {
            errors.add(unix_now(), "Usage history file was unreadable and has been reset");
        } else {
            keep("Usage history file is unreadable and could not be moved aside; it is not written until "
                 "it can be");
        }
        return;
    }
    if (notes.networks_repaired) {
        errors.add(unix_now(), "Usage history file named networks that could not be kept as they were; "
                               "their bytes count under Other networks and the day totals are unchanged");
    }
    history.store.merge(*loaded);
}

} // namespace

TimeZoneState current_time_zone() {
    TIME_ZONE_INFORMATION info{};
    const DWORD id = GetTimeZoneInformation(&info);
    TimeZoneState zone;
    zone.bias_min = info.Bias;
    zone.standard_bias_min = info.StandardBias;
    zone.daylight_bias_min = info.DaylightBias;
    if (id == TIME_ZONE_ID_DAYLIGHT) {
        zone.phase = TimeZoneState::Phase::daylight;
    } else if (id == TIME_ZONE_ID_STANDARD) {
        zone.phase = TimeZoneState::Phase::standard;
    } else if (id == TIME_ZONE_ID_INVALID) {
        zone = TimeZoneState{}; // the call failed: count in UTC
    }
    return zone;
}

int64_t local_day_number() {
    return local_day_number(unix_now(), current_time_zone());
}

void load_usage(UsageHistory& history, const UsageKeeping& keeping, RecentErrors& errors) {
    history.store.clear();
    merge_usage_file(history, errors);
    history.store.prune(local_day_number(), keeping.retention_days, keeping.billing_day);
}

std::optional<std::string> usage_save_text(UsageHistory& history, int32_t history_mode,
                                           const UsageKeeping& keeping, RecentErrors& errors) {
    if (history_mode != 1 || !history.dirty) {
        return std::nullopt;
    }
    // History was off at start-up and has been switched on, or the file could not be read so far
    // (antivirus, backup or sync holding it): the file on disk still holds the days of earlier runs,
    // which the counts of this run are added to instead of replacing them.
    if (!history.file_read || history.keep_file) {
        merge_usage_file(history, errors);
    }
    if (history.keep_file) {
        return std::nullopt;
    }
    history.store.prune(local_day_number(), keeping.retention_days, keeping.billing_day);
    history.dirty = false;
    return usage_file_text(history.store);
}

void usage_save_failed(UsageHistory& history, const std::string& error, RecentErrors& errors) {
    history.dirty = true;
    errors.add(unix_now(), "Could not save usage history: " + error);
}

bool save_usage(UsageHistory& history, int32_t history_mode, const UsageKeeping& keeping,
                RecentErrors& errors) {
    const std::optional<std::string> text = usage_save_text(history, history_mode, keeping, errors);
    if (!text) {
        return false;
    }
    std::string error;
    if (!write_file_atomically(history.path, *text, &error)) {
        usage_save_failed(history, error, errors);
        return false;
    }
    return true;
}

void clear_usage(UsageHistory& history) {
    history.store.clear();
    history.file_read = true;
    history.dirty = true;
}

bool write_usage_csv(const std::wstring& path, const UsageStore& store, RecentErrors& errors) {
    if (!write_file_atomically(path, usage_csv_text(store))) {
        usage_csv_failed(errors);
        return false;
    }
    return true;
}

void usage_csv_failed(RecentErrors& errors) {
    errors.add(unix_now(), "Could not write the usage CSV");
}

std::optional<std::wstring> ask_csv_path(HWND owner, const wchar_t* suggested) {
    wchar_t file_name[260] = {};
    const std::wstring_view name(suggested);
    name.copy(file_name, std::min(name.size(), std::size(file_name) - 1));
    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = owner;
    dialog.lpstrFilter = L"CSV (*.csv)\0*.csv\0";
    dialog.lpstrFile = file_name;
    dialog.nMaxFile = static_cast<DWORD>(std::size(file_name));
    dialog.lpstrDefExt = L"csv";
    dialog.Flags = OFN_OVERWRITEPROMPT | OFN_NOCHANGEDIR | OFN_PATHMUSTEXIST;
    if (!GetSaveFileNameW(&dialog)) {
        return std::nullopt;
    }
    return std::wstring(file_name);
}

} // namespace tide
