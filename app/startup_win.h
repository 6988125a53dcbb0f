// "Start with Windows": the program's value in the per-user Run key.
#pragma once

#include <string_view>

namespace tide {

// True when the value "Tidemeter" exists under HKCU\Software\Microsoft\Windows\CurrentVersion\Run.
bool is_start_with_windows();

// Stores "\"<exe_path>\" --minimized" as the value (on), or deletes it (off; a missing value counts as
// success). Returns false when the registry refuses.
bool set_start_with_windows(bool enabled, std::wstring_view exe_path);

} // namespace tide
