// Which folder a run keeps its files in: the user's application-data folder, a folder beside a
// portable copy of the program, or the one a test names.
#pragma once

#include <string>
#include <string_view>

namespace tide {

// Anything of this name beside Tidemeter.exe (a file of any content, an empty or unreadable one, even
// a folder) makes the copy portable.
inline constexpr wchar_t k_portable_marker[] = L"Tidemeter.portable";
// A portable copy's files live in this folder beside the program.
inline constexpr wchar_t k_portable_data_folder[] = L"Data";

enum class DataMode {
    installed,          // %APPDATA%\Tidemeter
    portable,           // the Data folder beside the program
    portable_read_only, // the Data folder cannot be written: read what is there, save nothing
    chosen,             // named by TIDEMETER_DATA_FOLDER
};

struct DataLocationFacts {
    std::wstring chosen_folder;   // TIDEMETER_DATA_FOLDER; empty when not set
    std::wstring program_folder;  // the folder holding Tidemeter.exe; empty when unknown
    bool marker_present = false;  // k_portable_marker exists in program_folder
    std::wstring roaming_folder;  // %APPDATA%\Tidemeter; empty when unknown
};

struct DataLocation {
    std::wstring folder;
    DataMode mode = DataMode::installed;
    std::wstring installed_folder = {}; // a portable copy: where an installed copy keeps its files
};

// The program's own files in a data folder: what a portable copy may take over from an installed one.
inline constexpr const wchar_t* k_data_file_names[] = {L"settings.json", L"usage.json", L"warnings.json"};

struct CopyOfferFacts {
    DataMode mode = DataMode::installed;
    bool data_has_files = false;      // the run's folder holds one of k_data_file_names
    bool installed_has_files = false; // the installed copy's folder does
};

// Whether a portable copy offers to copy the installed copy's settings and history into its own
// folder: only a portable copy that can save (not a read-only one, not one given a folder by
// TIDEMETER_DATA_FOLDER), only while its folder holds none of the program's files (its first start:
// after the answer it holds at least the settings) and only when there is something to copy.
bool offers_installed_files(const CopyOfferFacts& facts);

// The variable wins over the marker, the marker over the application-data folder. A portable copy
// never falls back to the application-data folder: the two places are never mixed.
DataLocation choose_data_location(const DataLocationFacts& facts);

// After the folder was tried: a portable folder that cannot be written turns read-only; nothing else
// changes (an installed copy keeps reporting its save failures as before).
DataLocation after_write_probe(DataLocation location, bool writable);

// Whether the program writes its settings, usage history and warnings in this mode.
bool saves_files(DataMode mode);

// The line of the diagnostics report naming the mode (English, not localised).
std::string_view data_mode_text(DataMode mode);

} // namespace tide
