// Where the program's files live and settings.json on disk: the start-up load and the save.
#pragma once

#include <string>
#include <string_view>

#include "persistence/settings.h"

namespace tide {

// The roaming application-data folder followed by "Tidemeter"; empty when the known folder cannot
// be had (the files then live in the current directory). Not created here: the first write does it.
std::wstring data_folder();

// The folder and the file name joined; the bare name when the folder is empty.
std::wstring data_file_path(const std::wstring& folder, std::wstring_view name);

// Reads settings.json once at start-up; never fails. An unreadable file is moved aside as .corrupt.
// read_only is set when the file on disk must not be overwritten in this run: it was written by a
// newer version, or it exists but could neither be read nor moved aside.
Settings load_settings(const std::wstring& path, bool& read_only);

// Writes the repaired copy; true when the file was replaced.
bool save_settings(Settings settings, const std::wstring& path);

} // namespace tide
