// Taking over an installed copy's files into a portable copy's folder.
#include "persistence/data_import.h"

#include "persistence/data_plan.h"
#include "persistence/settings_store.h"
#include "persistence/usage.h"

namespace tide {

// The program writes about 9 KB of settings at most (16 monitor places with the longest ids), about
// 270 KB of usage (ten years of days and 25 periods at the largest totals) and a few records of
// warnings. The limits leave room for an older version's layout; anything beyond is no file of ours.
size_t import_limit(std::string_view name) {
    if (name == "settings.json" || name == "warnings.json") {
        return 64 * 1024;
    }
    if (name == "usage.json") {
        return 1024 * 1024;
    }
    return 0;
}

ImportProblem judge_installed_file(std::string_view name, const std::optional<std::string>& bytes) {
    if (!bytes) {
        return ImportProblem::unreadable;
    }
    if (bytes->size() > import_limit(name)) {
        return ImportProblem::too_large;
    }
    bool ours = false;
    if (name == "settings.json") {
        const SettingsLoadStatus status = settings_from_file_text(bytes).load.status;
        ours = status == SettingsLoadStatus::loaded || status == SettingsLoadStatus::repaired;
    } else if (name == "usage.json") {
        ours = usage_from_file_text(*bytes).has_value();
    } else if (name == "warnings.json") {
        ours = warnings_from_file_text(*bytes).has_value();
    }
    return ours ? ImportProblem::none : ImportProblem::not_ours;
}

std::string left_behind_list(const std::vector<std::string>& names, bool rtl) {
    std::string list;
    for (const std::string& name : names) {
        if (!list.empty()) {
            list += ", ";
        }
        list += rtl ? "\xE2\x81\xA6" + name + "\xE2\x81\xA9" : name; // U+2066 ... U+2069
    }
    return list;
}

} // namespace tide
