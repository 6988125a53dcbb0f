// "Start with Windows": the program's value in the per-user Run key.
#include "app/startup_win.h"

#include <windows.h>

#include <string>

namespace tide {
namespace {

constexpr wchar_t k_run_key[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr wchar_t k_value_name[] = L"Tidemeter";

class RegKey {
public:
    RegKey() = default;
    RegKey(const RegKey&) = delete;
    RegKey& operator=(const RegKey&) = delete;
    ~RegKey() {
        if (key_ != nullptr) {
            RegCloseKey(key_);
        }
    }
    HKEY* out() { return &key_; }
    HKEY get() const { return key_; }

private:
    HKEY key_ = nullptr;
};

} // namespace

bool is_start_with_windows() {
    RegKey key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, k_run_key, 0, KEY_QUERY_VALUE, key.out()) != ERROR_SUCCESS) {
        return false;
    }
    return RegQueryValueExW(key.get(), k_value_name, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

bool set_start_with_windows(bool enabled, std::wstring_view exe_path) {
    RegKey key;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, k_run_key, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_SET_VALUE,
                        nullptr, key.out(), nullptr) != ERROR_SUCCESS) {
        return false;
    }
    if (!enabled) {
        const LSTATUS status = RegDeleteValueW(key.get(), k_value_name);
        return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND;
    }
    std::wstring data = L"\"";
    data.append(exe_path);
    data.append(L"\" --minimized");
    const size_t bytes = (data.size() + 1) * sizeof(wchar_t); // the terminating zero is stored too
    if (bytes > MAXDWORD) {
        return false;
    }
    return RegSetValueExW(key.get(), k_value_name, 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                          static_cast<DWORD>(bytes)) == ERROR_SUCCESS;
}

} // namespace tide
