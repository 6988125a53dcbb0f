// The data folder, and settings.json read at start-up and written back.
#include "persistence/settings_store_win.h"

#include <windows.h>
#include <shlobj.h>

#include "base/wide_text_win.h"
#include "persistence/atomic_file_win.h"
#include "persistence/data_import.h"
#include "persistence/settings_store.h"

namespace tide {

std::wstring data_folder() {
    PWSTR roaming = nullptr;
    std::wstring folder;
    if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_RoamingAppData, 0, nullptr, &roaming)) && roaming) {
        folder = roaming;
        folder += L"\\Tidemeter";
    }
    CoTaskMemFree(roaming);
    return folder;
}

std::wstring program_path() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0) {
            return {};
        }
        if (n < path.size()) {
            path.resize(n);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

namespace {

std::wstring chosen_folder() {
    std::wstring folder(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            GetEnvironmentVariableW(k_data_folder_variable, folder.data(), static_cast<DWORD>(folder.size()));
        if (length == 0) {
            return {};
        }
        if (length < folder.size()) {
            folder.resize(length);
            return folder;
        }
        folder.resize(length); // too small: length is the size needed, with the terminating zero
    }
}

std::wstring program_folder() {
    const std::wstring path = program_path();
    const size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

// Creating the folder and a file in it is the only sure test: a read-only share, a folder the user
// may not write (Program Files) and a full or write-protected medium all fail here.
bool folder_takes_files(const std::wstring& folder) {
    if (!CreateDirectoryW(folder.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) {
        return false;
    }
    const std::wstring probe = data_file_path(folder, L".write-test");
    // CREATE_ALWAYS: a probe left behind (a share that ignores delete-on-close) must not fail the next.
    const HANDLE file = CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE,
                                    nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    CloseHandle(file);
    return true;
}

} // namespace

std::wstring data_folder_of_run() {
    const std::wstring chosen = chosen_folder();
    return chosen.empty() ? data_folder() : chosen;
}

DataLocation data_location_of_run() {
    DataLocationFacts facts;
    facts.chosen_folder = chosen_folder();
    facts.program_folder = program_folder();
    // Anything of the name counts, whatever it holds and whether or not it can be read: only a
    // clear "not there" leaves the copy installed.
    if (!facts.program_folder.empty()) {
        const std::wstring marker = data_file_path(facts.program_folder, k_portable_marker);
        if (GetFileAttributesW(marker.c_str()) != INVALID_FILE_ATTRIBUTES) {
            facts.marker_present = true;
        } else {
            const DWORD error = GetLastError();
            facts.marker_present = error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND;
        }
    }
    if (facts.chosen_folder.empty() && !facts.marker_present) {
        facts.roaming_folder = data_folder();
    }
    DataLocation location = choose_data_location(facts);
    if (location.mode != DataMode::portable) {
        return location;
    }
    location = after_write_probe(location, folder_takes_files(location.folder));
    location.installed_folder = data_folder(); // only read, to offer its files once
    return location;
}

bool has_data_files(const std::wstring& folder) {
    for (const wchar_t* name : k_data_file_names) {
        if (file_exists(data_file_path(folder, name))) {
            return true;
        }
    }
    return false;
}

std::vector<std::string> copy_data_files(const std::wstring& from, const std::wstring& to) {
    std::vector<std::string> left_behind;
    for (const wchar_t* name : k_data_file_names) {
        const std::wstring source = data_file_path(from, name);
        if (!file_exists(source)) {
            continue;
        }
        const std::string narrow = to_utf8(name);
        // A file far beyond the limit is not read into memory at all.
        WIN32_FILE_ATTRIBUTE_DATA data{};
        const bool sized = GetFileAttributesExW(source.c_str(), GetFileExInfoStandard, &data) != 0;
        const uint64_t size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
        const bool too_large = sized && size > import_limit(narrow);
        // The bytes judged are the bytes written: a file changing meanwhile cannot slip through.
        const std::optional<std::string> bytes = too_large ? std::nullopt : read_file_bytes(source);
        const std::wstring target = data_file_path(to, name);
        if (too_large || judge_installed_file(narrow, bytes) != ImportProblem::none || file_exists(target) ||
            !write_file_atomically(target, *bytes)) {
            left_behind.push_back(narrow);
        }
    }
    return left_behind;
}

std::wstring data_file_path(const std::wstring& folder, std::wstring_view name) {
    if (folder.empty()) {
        return std::wstring(name);
    }
    std::wstring path = folder;
    if (path.back() != L'\\' && path.back() != L'/') {
        path += L'\\';
    }
    path += name;
    return path;
}

Settings load_settings(const std::wstring& path, FileAccess& access, bool may_write) {
    const std::optional<std::string> bytes = read_file_bytes(path);
    Settings settings = settings_from_file_text(bytes);
    access = settings.load.status == SettingsLoadStatus::newer_version ? FileAccess::read_only
                                                                       : FileAccess::writable;

    // Overwriting a file that could not be looked at, or that could not be moved aside, would lose
    // the user's copy for good: it is left alone until it can be read.
    if (!bytes && file_exists(path)) {
        access = FileAccess::blocked;
        settings.load.message = "settings file could not be read; defaults used, original not overwritten";
    } else if (settings.load.status == SettingsLoadStatus::unreadable &&
               (!may_write || !quarantine_file(path))) {
        access = FileAccess::blocked;
        settings.load.message = "settings file unreadable; defaults used, original left in place and not "
                                "overwritten";
    }
    return settings;
}

bool save_settings(Settings settings, const std::wstring& path) {
    return write_file_atomically(path, settings_file_text(std::move(settings)));
}

} // namespace tide
