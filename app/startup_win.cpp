// "Start with Windows": the program's value in the per-user Run key.
#include "app/startup_win.h"

#include <windows.h>

#include <string>

namespace tide {
namespace {

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

bool is_start_with_windows(const RunValue& where) {
    RegKey key;
    if (RegOpenKeyExW(where.root, where.key.c_str(), 0, KEY_QUERY_VALUE, key.out()) != ERROR_SUCCESS) {
        return false;
    }
    return RegQueryValueExW(key.get(), where.name.c_str(), nullptr, nullptr, nullptr, nullptr) ==
           ERROR_SUCCESS;
}

bool set_start_with_windows(bool enabled, std::wstring_view exe_path, const RunValue& where) {
    RegKey key;
    if (RegCreateKeyExW(where.root, where.key.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_SET_VALUE,
                        nullptr, key.out(), nullptr) != ERROR_SUCCESS) {
        return false;
    }
    if (!enabled) {
        const LSTATUS status = RegDeleteValueW(key.get(), where.name.c_str());
        return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND;
    }
    std::wstring data = L"\"";
    data.append(exe_path);
    data.append(L"\" --minimized");
    const size_t bytes = (data.size() + 1) * sizeof(wchar_t); // the terminating zero is stored too
    if (bytes > MAXDWORD) {
        return false;
    }
    return RegSetValueExW(key.get(), where.name.c_str(), 0, REG_SZ,
                          reinterpret_cast<const BYTE*>(data.c_str()),
                          static_cast<DWORD>(bytes)) == ERROR_SUCCESS;
}

} // namespace tide
