// Whole-file replacement through a verified temporary file, whole-file reading and quarantine.
#include "persistence/atomic_file_win.h"

#include <windows.h>

#include <algorithm>

namespace tide {
namespace {

class FileHandle {
public:
    explicit FileHandle(HANDLE h) : h_(h) {}
    ~FileHandle() { close(); }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;

    bool valid() const { return h_ != INVALID_HANDLE_VALUE; }
    HANDLE get() const { return h_; }
    void close() {
        if (valid()) {
            CloseHandle(h_);
            h_ = INVALID_HANDLE_VALUE;
        }
    }

private:
    HANDLE h_;
};

bool is_separator(wchar_t c) {
    return c == L'\\' || c == L'/';
}

// The text before the last run of separators; empty when the path names no folder.
std::wstring parent_folder(const std::wstring& path) {
    size_t end = path.size();
    while (end > 0 && !is_separator(path[end - 1])) {
        --end;
    }
    while (end > 0 && is_separator(path[end - 1])) {
        --end;
    }
    return path.substr(0, end);
}

// Creates every missing folder of the chain. Failures are ignored: prefixes such as a drive ("C:"),
// a UNC server name or an existing folder refuse creation, and a folder that is really missing makes
// the following file creation fail instead.
void create_folder_chain(const std::wstring& folder) {
    for (size_t i = 1; i <= folder.size(); ++i) {
        if (i == folder.size() || (is_separator(folder[i]) && !is_separator(folder[i - 1]))) {
            const std::wstring prefix = folder.substr(0, i);
            if (GetFileAttributesW(prefix.c_str()) == INVALID_FILE_ATTRIBUTES) {
                CreateDirectoryW(prefix.c_str(), nullptr);
            }
        }
    }
}

// Deletes a file even when it is read-only; a file that is already gone is fine.
void delete_file(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        return;
    }
    if (attributes & FILE_ATTRIBUTE_READONLY) {
        SetFileAttributesW(path.c_str(), attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
    }
    DeleteFileW(path.c_str());
}

// These errors of a status query all mean that there is nothing at the path to replace.
bool means_not_existing(DWORD error) {
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_BAD_NETPATH:
    case ERROR_NETNAME_DELETED:
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
    case ERROR_DIRECTORY:
        return true;
    default:
        return false;
    }
}

bool write_all(HANDLE file, std::string_view bytes) {
    constexpr size_t k_chunk = 1u << 20;
    while (!bytes.empty()) {
        const DWORD want = static_cast<DWORD>(std::min(bytes.size(), k_chunk));
        DWORD written = 0;
        if (!WriteFile(file, bytes.data(), want, &written, nullptr) || written == 0) {
            return false;
        }
        bytes.remove_prefix(written);
    }
    return FlushFileBuffers(file) != FALSE;
}

bool fail(std::string* error, const char* text) {
    if (error) {
        *error = text;
    }
    return false;
}

} // namespace

bool write_file_atomically(const std::wstring& path, std::string_view bytes, std::string* error) {
    const std::wstring temp = path + L".tmp";
    const std::wstring folder = parent_folder(path);
    if (!folder.empty()) {
        create_folder_chain(folder);
    }

    {
        // A stale temporary file from an interrupted run is truncated and reused; a read-only or
        // hidden one would refuse CREATE_ALWAYS, so its attributes are cleared first.
        const DWORD stale = GetFileAttributesW(temp.c_str());
        if (stale != INVALID_FILE_ATTRIBUTES && (stale & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN))) {
            SetFileAttributesW(temp.c_str(), FILE_ATTRIBUTE_NORMAL);
        }
        FileHandle file(CreateFileW(temp.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file.valid()) {
            return fail(error, "cannot open temp file");
        }
        if (!write_all(file.get(), bytes)) {
            file.close();
            delete_file(temp);
            return fail(error, "write failed");
        }
    }

    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(temp.c_str(), GetFileExInfoStandard, &data) ||
        ((static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow) != bytes.size()) {
        delete_file(temp);
        return fail(error, "verification failed");
    }

    bool placed = false;
    const DWORD target_attributes = GetFileAttributesW(path.c_str());
    if (target_attributes == INVALID_FILE_ATTRIBUTES) {
        if (means_not_existing(GetLastError())) {
            placed = MoveFileExW(temp.c_str(), path.c_str(), MOVEFILE_WRITE_THROUGH) != FALSE;
        }
        // Any other error (for example access denied on the folder) leaves it open whether there is
        // a target to replace; neither operation is safe to guess, so the write fails.
    } else {
        // One rename over the old file, never a delete followed by a rename: ReplaceFileW is not
        // atomic everywhere (Wine moves the target away first, so a crash in between leaves no file
        // at all). The target's visible attributes are carried over as ReplaceFileW would.
        const DWORD kept = target_attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                                FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED);
        if (kept != 0) {
            SetFileAttributesW(temp.c_str(), kept);
        }
        placed = MoveFileExW(temp.c_str(), path.c_str(),
                             MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
    }
    if (!placed) {
        delete_file(temp);
        return fail(error, "replace failed");
    }
    return true;
}

std::optional<std::string> read_file_bytes(const std::wstring& path) {
    FileHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid()) {
        return std::nullopt;
    }
    std::string content;
    char buffer[64 * 1024];
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(file.get(), buffer, sizeof buffer, &got, nullptr)) {
            // A failed read says nothing about the content (a network share that dropped, a filter
            // driver): the callers treat it like a file that could not be opened and leave it alone,
            // never like an empty, broken file that may be moved aside.
            return std::nullopt;
        }
        if (got == 0) {
            return content;
        }
        content.append(buffer, got);
    }
}

bool file_exists(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool quarantine_file(const std::wstring& path) {
    const std::wstring target = path + L".corrupt";
    return MoveFileExW(path.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED) !=
           FALSE;
}

} // namespace tide
