// The program's version is the project version of CMakeLists.txt and nothing else.
#include "base/version.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <regex>
#include <string>

namespace tide {
namespace {

TEST(Version, IsTheProjectVersion) {
    std::ifstream file(TIDE_SOURCE_DIR "/CMakeLists.txt");
    const std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    std::smatch match;
    ASSERT_TRUE(
        std::regex_search(text, match, std::regex(R"(project\(Tidemeter VERSION ([0-9]+\.[0-9]+\.[0-9]+))")));
    EXPECT_EQ(k_app_version, match[1].str());
}

// The addresses are the ones CMake was given (TIDE_HOMEPAGE, TIDE_UPDATES_URL), empty when none.
TEST(Version, NamesNoAddressTheBuildDidNotGive) {
    EXPECT_EQ(k_homepage, TIDE_TEST_HOMEPAGE);
    EXPECT_EQ(k_updates_page, TIDE_TEST_UPDATES_URL);
}

} // namespace
} // namespace tide
