// Which of an installed copy's files a portable copy takes over on its first start, and why it leaves
// one behind: only a file that reads as the program's own and is no larger than the program writes it.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tide {

enum class ImportProblem {
    none,       // taken over as it is
    unreadable, // another program holds it, or it could not be read
    not_ours,   // no file of this program as this version reads it: damaged, or from a newer version
    too_large,  // larger than the program ever writes that file
};

// The largest file of that name taken over (the names of k_data_file_names, in UTF-8); 0 for any other.
size_t import_limit(std::string_view name);

// The verdict on one file's bytes, read from the installed copy's folder (nullopt: not readable).
ImportProblem judge_installed_file(std::string_view name, const std::optional<std::string>& bytes);

// The names left behind, one list for the user: each set apart as left-to-right text, so that a
// right-to-left sentence keeps "usage.json" whole.
std::string left_behind_list(const std::vector<std::string>& names, bool rtl);

} // namespace tide
