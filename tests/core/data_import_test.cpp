// What a portable copy takes over from an installed one: only the program's own files, no larger than
// it writes them, and a list of what was left behind that reads right in either direction.
#include "persistence/data_import.h"

#include <gtest/gtest.h>

#include <optional>
#include <ostream>
#include <string>

namespace tide {
namespace {

// A file of the given name padded with blanks to exactly `size` bytes (JSON allows them at the end).
std::string padded(std::string text, size_t size) {
    text.resize(size, ' ');
    return text;
}

constexpr char k_settings[] = R"({"schema_version": 1, "defaults_rev": 3, "language": "de"})";
constexpr char k_usage[] = R"({"schema_version": 1, "days": [[19800, 10, 1]]})";
constexpr char k_warnings[] = R"({"schema_version": 1})";

struct ImportCase {
    const char* name;
    const char* file;
    std::optional<std::string> bytes;
    ImportProblem expected;
};

void PrintTo(const ImportCase& c, std::ostream* os) {
    *os << c.name;
}

class JudgeInstalledFile : public testing::TestWithParam<ImportCase> {};

TEST_P(JudgeInstalledFile, TakesOverOnlyTheProgramsOwnFiles) {
    EXPECT_EQ(judge_installed_file(GetParam().file, GetParam().bytes), GetParam().expected);
}

// clang-format off
const ImportCase k_import_cases[] = {
    {"SettingsAtTheLimit", "settings.json", padded(k_settings, 65'536), ImportProblem::none},
    {"SettingsOneByteOver", "settings.json", padded(k_settings, 65'537), ImportProblem::too_large},
    {"SettingsRepairedStillOurs", "settings.json", R"({"schema_version": 1, "billing_day": 99})", ImportProblem::none},
    {"SettingsOfANewerVersion", "settings.json", R"({"schema_version": 99})", ImportProblem::not_ours},
    {"SettingsDamaged", "settings.json", R"({"schema_version": 1,)", ImportProblem::not_ours},
    {"SettingsHeldByAnotherProgram", "settings.json", std::nullopt, ImportProblem::unreadable},
    {"UsageAtTheLimit", "usage.json", padded(k_usage, 1'048'576), ImportProblem::none},
    {"UsageOneByteOver", "usage.json", padded(k_usage, 1'048'577), ImportProblem::too_large},
    {"UsageDamaged", "usage.json", R"({"days": [[19800, 10, 1]])", ImportProblem::not_ours},
    {"UsageHeldByAnotherProgram", "usage.json", std::nullopt, ImportProblem::unreadable},
    {"WarningsAtTheLimit", "warnings.json", padded(k_warnings, 65'536), ImportProblem::none},
    {"WarningsOneByteOver", "warnings.json", padded(k_warnings, 65'537), ImportProblem::too_large},
    {"WarningsDamaged", "warnings.json", "[]", ImportProblem::not_ours},
    {"AnotherName", "notes.json", "{}", ImportProblem::too_large},
    {"AnotherNameEmpty", "notes.json", "", ImportProblem::not_ours},
};
// clang-format on

INSTANTIATE_TEST_SUITE_P(Table, JudgeInstalledFile, testing::ValuesIn(k_import_cases),
                         [](const testing::TestParamInfo<ImportCase>& info) { return info.param.name; });

TEST(LeftBehindList, NamesEachFileAsOneLeftToRightUnit) {
    EXPECT_EQ(left_behind_list({"usage.json"}, false), "usage.json");
    EXPECT_EQ(left_behind_list({"usage.json", "warnings.json"}, false), "usage.json, warnings.json");
    EXPECT_EQ(left_behind_list({"usage.json", "warnings.json"}, true),
              "\xE2\x81\xA6usage.json\xE2\x81\xA9, \xE2\x81\xA6warnings.json\xE2\x81\xA9");
}

} // namespace
} // namespace tide
