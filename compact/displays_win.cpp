// Monitor enumeration.
#include "compact/displays_win.h"

#include <windows.h>

#include <shellscalingapi.h>

#include <algorithm>
#include <cwchar>
#include <iterator>
#include <string>

#include "base/wide_text_win.h"

namespace tide {

namespace {

std::function<std::vector<DisplayInfo>()>& display_source() {
    static std::function<std::vector<DisplayInfo>()> source;
    return source;
}

// The monitor's device interface path, which names the monitor itself rather than the place the
// driver gave it this time; empty when the system gives none.
std::string interface_path(const wchar_t* device_name) {
    DISPLAY_DEVICEW device{};
    device.cb = sizeof(device);
    if (!EnumDisplayDevicesW(device_name, 0, &device, EDD_GET_DEVICE_INTERFACE_NAME)) {
        return {};
    }
    return to_utf8(std::wstring_view(device.DeviceID, wcsnlen(device.DeviceID, std::size(device.DeviceID))));
}

ScreenRect from_rect(const RECT& r) {
    return {r.left, r.top, r.right, r.bottom};
}

BOOL CALLBACK add_display(HMONITOR monitor, HDC, LPRECT, LPARAM data) {
    auto* displays = reinterpret_cast<std::vector<DisplayInfo>*>(data);
    MONITORINFOEXW info{};
    info.cbSize = sizeof(info);
    if (!GetMonitorInfoW(monitor, &info)) {
        return TRUE;
    }
    DisplayInfo display;
    display.device_name = to_utf8(info.szDevice);
    display.id = interface_path(info.szDevice);
    // Without a path of its own (or with one another monitor already has) the device name is the id.
    const bool taken = std::any_of(displays->begin(), displays->end(),
                                   [&display](const DisplayInfo& d) { return d.id == display.id; });
    if (display.id.empty() || taken) {
        display.id = display.device_name;
    }
    display.monitor = from_rect(info.rcMonitor);
    display.work = from_rect(info.rcWork);
    display.primary = (info.dwFlags & MONITORINFOF_PRIMARY) != 0;
    UINT dpi_x = 0;
    UINT dpi_y = 0;
    if (SUCCEEDED(GetDpiForMonitor(monitor, MDT_EFFECTIVE_DPI, &dpi_x, &dpi_y)) && dpi_x > 0) {
        display.dpi = static_cast<int>(dpi_x);
    }
    displays->push_back(std::move(display));
    return TRUE;
}

} // namespace

std::vector<DisplayInfo> enumerate_displays() {
    if (display_source()) {
        return display_source()();
    }
    std::vector<DisplayInfo> displays;
    EnumDisplayMonitors(nullptr, nullptr, &add_display, reinterpret_cast<LPARAM>(&displays));
    return displays;
}

void set_display_source(std::function<std::vector<DisplayInfo>()> source) {
    display_source() = std::move(source);
}

} // namespace tide
