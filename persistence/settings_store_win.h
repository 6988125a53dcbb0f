// Where the program's files live and settings.json on disk: the start-up load and the save.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "persistence/data_location.h"
#include "persistence/settings.h"

namespace tide {

// The roaming application-data folder followed by "Tidemeter"; empty when the known folder cannot
// be had (the files then live in the current directory). Not created here: the first write does it.
std::wstring data_folder();

// The folder this run keeps its files in: the one named by the environment variable
// TIDEMETER_DATA_FOLDER when it is set and not empty, otherwise data_folder(). Tests start the
// program with a folder of their own, so that they never touch a user's settings or history.
inline constexpr wchar_t k_data_folder_variable[] = L"TIDEMETER_DATA_FOLDER";
std::wstring data_folder_of_run();

// Where this run keeps its files: the variable, else the Data folder beside a portable copy (see
// k_portable_marker), else data_folder(). A portable folder is created here and tried with a file
// that deletes itself; when that fails the mode is portable_read_only and nothing may be written.
DataLocation data_location_of_run();

// Whether the folder holds one of the program's files (k_data_file_names).
bool has_data_files(const std::wstring& folder);

// Copies each of the program's files that `from` holds into `to` when it reads as the program's own and
// is no larger than the program writes it (judge_installed_file), never over a file already there;
// `from` is left as it was. The names of the files there that were left behind.
std::vector<std::string> copy_data_files(const std::wstring& from, const std::wstring& to);

// The full path of the running program (long paths too); empty when the system does not give it.
std::wstring program_path();

// The folder and the file name joined; the bare name when the folder is empty.
std::wstring data_file_path(const std::wstring& folder, std::wstring_view name);

// Whether the program may write over a file it loaded.
enum class FileAccess {
    writable,
    blocked,   // it exists but could not be read, or is unreadable and could not be moved aside: left
               // alone until a later load gets at it
    read_only, // written by a newer version: left alone for the whole run
};

// Reads settings.json; never fails. An unreadable file is moved aside as .corrupt, unless the program
// may not write at all (may_write false), when it stays where it is. access says whether the file on
// disk may be overwritten, or must be read again later.
Settings load_settings(const std::wstring& path, FileAccess& access, bool may_write = true);

// Writes the repaired copy; true when the file was replaced.
bool save_settings(Settings settings, const std::wstring& path);

} // namespace tide
