// The program's version, written by the build from the one number in CMakeLists.txt, and its addresses.
#pragma once

#include <string_view>

namespace tide {

extern const std::string_view k_app_version; // "major.minor.patch"

// The project's web page and the page with the latest release, as the build was given them (CMake's
// TIDE_HOMEPAGE and TIDE_UPDATES_URL): http or https, or empty when the build named none.
extern const std::string_view k_homepage;
extern const std::string_view k_updates_page;

} // namespace tide
