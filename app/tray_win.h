// The notification-area icon and its context menu.
#pragma once

#include <windows.h>

#include <shellapi.h>

#include <cstdint>
#include <string_view>

#include "app/tray_menu.h"

namespace tide {

// Its events arrive at the owner window as k_msg_tray.
class TrayIcon {
public:
    static constexpr UINT k_id = 1;

    TrayIcon() = default;
    TrayIcon(const TrayIcon&) = delete;
    TrayIcon& operator=(const TrayIcon&) = delete;
    ~TrayIcon() { remove(); }

    // Registers the icon for `window` with the tooltip "Tidemeter"; returns whether the shell took it.
    bool add(HWND window, HICON icon);
    // After the shell restarted ("TaskbarCreated"): adds the icon again with the last tooltip.
    bool readd();
    // Cuts the text to 127 characters and hands it to the shell when it differs from the last one;
    // while the icon is not added it is kept for the next add.
    void set_tip(std::wstring_view text);
    void remove();
    // A notification from the icon with the warning icon (a balloon on older shells, a toast on
    // Windows 10 and 11); false when the icon is not added or the shell refused it.
    bool notify(std::wstring_view title, std::wstring_view text);

    bool added() const { return added_; }

private:
    bool add_now();

    NOTIFYICONDATAW data_{};
    bool added_ = false;
};

// Opens the menu at the mouse pointer (owner made the foreground window first) and returns the
// chosen identifier, 0 when the menu was dismissed.
uint32_t track_tray_menu(HWND owner, const TrayMenu& menu, bool rtl);

}  // namespace tide
