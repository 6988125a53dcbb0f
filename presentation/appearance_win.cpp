// Reads the system's appearance from the registry and the system parameters.
#include "presentation/appearance_win.h"

#include <windows.h>

#include <optional>

namespace tide {

namespace {

constexpr wchar_t k_personalize_key[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Themes\\Personalize";

std::optional<DWORD> read_personalize_value(const wchar_t* name) {
    DWORD value = 0;
    DWORD size = sizeof(value);
    if (RegGetValueW(HKEY_CURRENT_USER, k_personalize_key, name, RRF_RT_REG_DWORD, nullptr, &value, &size) !=
        ERROR_SUCCESS) {
        return std::nullopt;
    }
    return value;
}

bool high_contrast_on() {
    HIGHCONTRASTW contrast{};
    contrast.cbSize = sizeof(contrast);
    return SystemParametersInfoW(SPI_GETHIGHCONTRAST, sizeof(contrast), &contrast, 0) &&
           (contrast.dwFlags & HCF_HIGHCONTRASTON) != 0;
}

} // namespace

SystemAppearance read_system_appearance() {
    SystemAppearance appearance;
    const auto apps_light = read_personalize_value(L"AppsUseLightTheme");
    appearance.apps_dark = apps_light && *apps_light == 0;
    appearance.high_contrast = high_contrast_on();
    return appearance;
}

TaskbarAppearance read_taskbar_appearance(int dpi) {
    TaskbarAppearance appearance;
    if (const auto light = read_personalize_value(L"SystemUsesLightTheme"); light && *light != 0) {
        appearance.text_color = {0, 0, 0, 255};
    }
    if (high_contrast_on()) {
        const DWORD color = GetSysColor(COLOR_WINDOWTEXT);
        appearance.text_color = {GetRValue(color), GetGValue(color), GetBValue(color), 255};
    }
    if (dpi > 0) {
        NONCLIENTMETRICSW metrics{};
        metrics.cbSize = sizeof(metrics);
        if (SystemParametersInfoForDpi(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0,
                                       static_cast<UINT>(dpi))) {
            if (metrics.lfMessageFont.lfFaceName[0] != L'\0') {
                appearance.font_family = metrics.lfMessageFont.lfFaceName;
            }
            if (metrics.lfMessageFont.lfHeight != 0) {
                appearance.font_size_dip = font_height_to_dip(metrics.lfMessageFont.lfHeight, dpi);
            }
        }
    }
    return appearance;
}

} // namespace tide
