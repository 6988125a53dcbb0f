// The executable carries the icon and the language packs as resources.
#include <windows.h>

#include <gtest/gtest.h>

TEST(Resources, IconAndEnglishPackArePresent) {
    EXPECT_NE(FindResourceW(nullptr, L"IDI_APP", MAKEINTRESOURCEW(14)), nullptr);  // RT_GROUP_ICON
    EXPECT_NE(FindResourceW(nullptr, L"LANG_EN", MAKEINTRESOURCEW(10)), nullptr);  // RT_RCDATA
}
