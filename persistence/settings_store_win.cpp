// The data folder, and settings.json read at start-up and written back.
#include "persistence/settings_store_win.h"

#include <windows.h>
#include <shlobj.h>

#include "persistence/atomic_file_win.h"
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

std::wstring data_folder_of_run() {
    std::wstring folder(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            GetEnvironmentVariableW(k_data_folder_variable, folder.data(), static_cast<DWORD>(folder.size()));
        if (length == 0) {
            return data_folder();
        }
        if (length < folder.size()) {
            folder.resize(length);
            return folder;
        }
        folder.resize(length); // too small: length is the size needed, with the terminating zero
    }
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

Settings load_settings(const std::wstring& path, FileAccess& access) {
    const std::optional<std::string> bytes = read_file_bytes(path);
    Settings settings = settings_from_file_text(bytes);
    access = settings.load.status == SettingsLoadStatus::newer_version ? FileAccess::read_only
                                                                       : FileAccess::writable;

    // Overwriting a file that could not be looked at, or that could not be moved aside, would lose
    // the user's copy for good: it is left alone until it can be read.
    if (!bytes && file_exists(path)) {
        access = FileAccess::blocked;
        settings.load.message = "settings file could not be read; defaults used, original not overwritten";
    } else if (settings.load.status == SettingsLoadStatus::unreadable && !quarantine_file(path)) {
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
