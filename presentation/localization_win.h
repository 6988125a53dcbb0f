// The language packs carried as resources of the program file, and the user's locale.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tide {

// The bytes of the RT_RCDATA resource "LANG_" + code in the program's own file (the exact name, then
// upper-cased), or nothing.
std::optional<std::string> load_pack(std::string_view code);

// The user's default locale name ("de-AT") as UTF-8; empty when Windows cannot tell.
std::string system_locale_name();

} // namespace tide
