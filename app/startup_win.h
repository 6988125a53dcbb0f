// "Start with Windows": the program's value in the per-user Run key.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace tide {

// Where the "Start with Windows" value lives. The program uses the defaults; tests point it at a key
// of their own so that they never touch the user's real Run key.
struct RunValue {
    HKEY root = HKEY_CURRENT_USER;
    std::wstring key = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
    std::wstring name = L"Tidemeter";
};

// True when the value exists.
bool is_start_with_windows(const RunValue& where = {});

// Stores "\"<exe_path>\" --minimized" as the value (on), or deletes it (off; a missing value counts as
// success). Returns false when the registry refuses.
bool set_start_with_windows(bool enabled, std::wstring_view exe_path, const RunValue& where = {});

} // namespace tide
