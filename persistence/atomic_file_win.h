// The only file access for the program's own files: whole-file replacement that never leaves a
// half-written target, whole-file reading, and moving an unreadable file aside.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tide {

// Writes the bytes to path + ".tmp", checks the size on disk and then puts the temporary file in
// the target's place in one operation. On failure the target is untouched, the temporary file is
// gone and, when error is given, it receives "cannot open temp file", "write failed",
// "verification failed" or "replace failed". Missing parent folders are created first.
bool write_file_atomically(const std::wstring& path, std::string_view bytes, std::string* error = nullptr);

// The whole content, unchanged; nothing when the file cannot be opened or a read fails part-way.
std::optional<std::string> read_file_bytes(const std::wstring& path);

// True when a file (not a folder) is at the path.
bool file_exists(const std::wstring& path);

// Renames the file to path + ".corrupt", replacing an older copy of that name.
bool quarantine_file(const std::wstring& path);

} // namespace tide
