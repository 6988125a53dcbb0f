// "Start with Windows": what the registry's Run key holds after the toggle.
#include "app/startup_win.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace tide {
namespace {

// A key of the tests' own: the user's real Run key is never touched.
const RunValue k_where{HKEY_CURRENT_USER, L"Software\\Tidemeter.Tests\\Run", L"Tidemeter"};

struct StoredValue {
    DWORD type = 0;
    std::wstring data; // including the terminating zero, as stored
};

std::optional<StoredValue> read_run_value() {
    HKEY key = nullptr;
    if (RegOpenKeyExW(k_where.root, k_where.key.c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    StoredValue value;
    DWORD bytes = 0;
    LSTATUS status = RegQueryValueExW(key, k_where.name.c_str(), nullptr, &value.type, nullptr, &bytes);
    if (status == ERROR_SUCCESS) {
        value.data.assign((bytes + 1) / sizeof(wchar_t), L'\0');
        status = RegQueryValueExW(key, k_where.name.c_str(), nullptr, &value.type,
                                  reinterpret_cast<BYTE*>(value.data.data()), &bytes);
        value.data.resize(bytes / sizeof(wchar_t));
    }
    RegCloseKey(key);
    if (status != ERROR_SUCCESS) {
        return std::nullopt;
    }
    return value;
}

class StartWithWindows : public testing::Test {
protected:
    void SetUp() override { TearDown(); }
    void TearDown() override { RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Tidemeter.Tests"); }
};

TEST_F(StartWithWindows, OnStoresTheQuotedPathAndTheOption) {
    const std::wstring path = L"C:\\Program Files\\Tide Meter\\Tidemeter.exe";
    ASSERT_TRUE(set_start_with_windows(true, path, k_where));
    const std::optional<StoredValue> value = read_run_value();
    ASSERT_TRUE(value.has_value());
    EXPECT_EQ(value->type, static_cast<DWORD>(REG_SZ));
    const std::wstring expected = L"\"C:\\Program Files\\Tide Meter\\Tidemeter.exe\" --minimized";
    EXPECT_EQ(value->data, expected + L'\0'); // the stored size counts the terminating zero
    EXPECT_TRUE(is_start_with_windows(k_where));

    ASSERT_TRUE(
        set_start_with_windows(true, L"D:\\Tidemeter.exe", k_where)); // a new path replaces the old one
    EXPECT_EQ(read_run_value()->data, std::wstring(L"\"D:\\Tidemeter.exe\" --minimized") + L'\0');
}

TEST_F(StartWithWindows, OffTwiceSucceedsAndRemovesTheValue) {
    ASSERT_TRUE(set_start_with_windows(true, L"C:\\Tidemeter.exe", k_where));
    EXPECT_TRUE(set_start_with_windows(false, L"C:\\Tidemeter.exe", k_where));
    EXPECT_FALSE(read_run_value().has_value());
    EXPECT_FALSE(is_start_with_windows(k_where));
    EXPECT_TRUE(set_start_with_windows(false, L"C:\\Tidemeter.exe", k_where));
    EXPECT_FALSE(is_start_with_windows(k_where));
}

} // namespace
} // namespace tide
