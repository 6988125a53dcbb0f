// The executable carries the icon, the language packs, the version block and the manifest as resources.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <string_view>

#include "base/version.h"

namespace {

std::string_view resource_bytes(const wchar_t* name, const wchar_t* type) {
    HRSRC found = FindResourceW(nullptr, name, type);
    if (found == nullptr) {
        return {};
    }
    HGLOBAL loaded = LoadResource(nullptr, found);
    const void* data = loaded != nullptr ? LockResource(loaded) : nullptr;
    return data != nullptr ? std::string_view(static_cast<const char*>(data), SizeofResource(nullptr, found))
                           : std::string_view();
}

} // namespace

TEST(Resources, IconAndEnglishPackArePresent) {
    EXPECT_NE(FindResourceW(nullptr, L"IDI_APP", MAKEINTRESOURCEW(14)), nullptr); // RT_GROUP_ICON
    EXPECT_NE(FindResourceW(nullptr, L"LANG_EN", MAKEINTRESOURCEW(10)), nullptr); // RT_RCDATA
}

TEST(Resources, VersionBlockAndManifestCarryTheProgramVersion) {
    const std::string_view block = resource_bytes(MAKEINTRESOURCEW(VS_VERSION_INFO), RT_VERSION);
    ASSERT_FALSE(block.empty());
    // The fixed part follows the UTF-16 key "VS_VERSION_INFO" and is found by its signature.
    const DWORD signature = 0xFEEF04BD;
    const auto at = block.find(std::string_view(reinterpret_cast<const char*>(&signature), sizeof signature));
    ASSERT_NE(at, std::string_view::npos);
    ASSERT_LE(at + sizeof(VS_FIXEDFILEINFO), block.size());
    VS_FIXEDFILEINFO fixed{};
    std::memcpy(&fixed, block.data() + at, sizeof fixed);
    const std::string file_version = std::to_string(HIWORD(fixed.dwFileVersionMS)) + "." +
                                     std::to_string(LOWORD(fixed.dwFileVersionMS)) + "." +
                                     std::to_string(HIWORD(fixed.dwFileVersionLS));
    EXPECT_EQ(file_version, tide::k_app_version);
    EXPECT_EQ(fixed.dwProductVersionMS, fixed.dwFileVersionMS);
    EXPECT_EQ(fixed.dwProductVersionLS, fixed.dwFileVersionLS);

    const std::string_view manifest = resource_bytes(MAKEINTRESOURCEW(1), RT_MANIFEST);
    const std::string wanted = "name=\"Tidemeter\" version=\"" + std::string(tide::k_app_version) + ".0\"";
    EXPECT_NE(manifest.find(wanted), std::string_view::npos);
}
