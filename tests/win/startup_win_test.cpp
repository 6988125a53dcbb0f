// "Start with Windows": what the registry's Run key holds after the toggle.
#include "app/startup_win.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace tide {
namespace {

constexpr wchar_t k_run_key[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr wchar_t k_value[] = L"Tidemeter";

struct RunValue {
    DWORD type = 0;
    std::wstring data; // including the terminating zero, as stored
};

std::optional<RunValue> read_run_value() {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, k_run_key, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    RunValue value;
    DWORD bytes = 0;
    LSTATUS status = RegQueryValueExW(key, k_value, nullptr, &value.type, nullptr, &bytes);
    if (status == ERROR_SUCCESS) {
        value.data.assign((bytes + 1) / sizeof(wchar_t), L'\0');
        status = RegQueryValueExW(key, k_value, nullptr, &value.type,
                                  reinterpret_cast<BYTE*>(value.data.data()), &bytes);
        value.data.resize(bytes / sizeof(wchar_t));
    }
    RegCloseKey(key);
    if (status != ERROR_SUCCESS) {
        return std::nullopt;
    }
    return value;
}

// Keeps whatever the Run key held before a test and puts it back afterwards.
class StartWithWindows : public testing::Test {
protected:
    void SetUp() override { saved_ = read_run_value(); }
    void TearDown() override {
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, k_run_key, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                                  nullptr),
                  ERROR_SUCCESS);
        if (saved_) {
            RegSetValueExW(key, k_value, 0, saved_->type, reinterpret_cast<const BYTE*>(saved_->data.data()),
                           static_cast<DWORD>(saved_->data.size() * sizeof(wchar_t)));
        } else {
            RegDeleteValueW(key, k_value);
        }
        RegCloseKey(key);
    }

private:
    std::optional<RunValue> saved_;
};

TEST_F(StartWithWindows, OnStoresTheQuotedPathAndTheOption) {
    const std::wstring path = L"C:\\Program Files\\Tide Meter\\Tidemeter.exe";
    ASSERT_TRUE(set_start_with_windows(true, path));
    const std::optional<RunValue> value = read_run_value();
    ASSERT_TRUE(value.has_value());
    EXPECT_EQ(value->type, static_cast<DWORD>(REG_SZ));
    const std::wstring expected = L"\"C:\\Program Files\\Tide Meter\\Tidemeter.exe\" --minimized";
    EXPECT_EQ(value->data, expected + L'\0'); // the stored size counts the terminating zero
    EXPECT_TRUE(is_start_with_windows());

    ASSERT_TRUE(set_start_with_windows(true, L"D:\\Tidemeter.exe")); // a new path replaces the old one
    EXPECT_EQ(read_run_value()->data, std::wstring(L"\"D:\\Tidemeter.exe\" --minimized") + L'\0');
}

TEST_F(StartWithWindows, OffTwiceSucceedsAndRemovesTheValue) {
    ASSERT_TRUE(set_start_with_windows(true, L"C:\\Tidemeter.exe"));
    EXPECT_TRUE(set_start_with_windows(false, L"C:\\Tidemeter.exe"));
    EXPECT_FALSE(read_run_value().has_value());
    EXPECT_FALSE(is_start_with_windows());
    EXPECT_TRUE(set_start_with_windows(false, L"C:\\Tidemeter.exe"));
    EXPECT_FALSE(is_start_with_windows());
}

} // namespace
} // namespace tide
