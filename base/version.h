// The program's version, written by the build from the one number in CMakeLists.txt.
#pragma once

#include <string_view>

namespace tide {

extern const std::string_view k_app_version; // "major.minor.patch"

} // namespace tide
