// settings.json as the program reads it at start-up and writes it back: the rules that do not touch
// the disk (settings_store_win.cpp does the file work).
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "persistence/settings.h"

namespace tide {

inline constexpr std::string_view k_settings_unreadable_text =
    "settings file unreadable; defaults used, original kept as .corrupt";
inline constexpr std::string_view k_settings_newer_text =
    "settings written by a newer version; not overwritten";
inline constexpr std::string_view k_settings_repaired_text = "Some settings were repaired";

// The settings held in the bytes of settings.json (nothing: the file could not be opened), with the
// load result attached: no file, unreadable (not JSON or not an object), newer version (used but
// never to be overwritten), repaired or loaded.
Settings settings_from_file_text(const std::optional<std::string>& bytes);

// The text written to settings.json: the repaired record, indent 2, final line feed.
std::string settings_file_text(Settings settings);

// What the recent-errors list receives after a load, or empty.
std::string settings_load_report(const SettingsLoadResult& load);

} // namespace tide
