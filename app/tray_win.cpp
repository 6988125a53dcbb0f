// The notification-area icon and its context menu.
#include "app/tray_win.h"

#include <algorithm>
#include <cwchar>
#include <memory>

#include "base/messages_win.h"
#include "base/wide_text_win.h"

namespace tide {
namespace {

constexpr UINT k_add_flags = NIF_MESSAGE | NIF_ICON | NIF_TIP | NIF_SHOWTIP;

// Copies the text, cut to what szTip holds; false when szTip already held exactly that.
bool copy_tip(NOTIFYICONDATAW& data, std::wstring_view text) {
    constexpr size_t k_max = 127; // szTip holds 128 units with the terminating zero
    size_t n = text.size();
    if (n > k_max) {
        // Never leave half a surrogate pair at the cut.
        n = IS_HIGH_SURROGATE(text[k_max - 1]) ? k_max - 1 : k_max;
    }
    if (std::wstring_view(data.szTip) == text.substr(0, n)) {
        return false;
    }
    std::wmemcpy(data.szTip, text.data(), n);
    data.szTip[n] = L'\0';
    return true;
}

// Copies as much of the text as the field holds, never half a surrogate pair.
template <size_t N> void copy_cut(wchar_t (&field)[N], std::wstring_view text) {
    size_t n = std::min(text.size(), N - 1);
    if (n < text.size() && n > 0 && IS_HIGH_SURROGATE(text[n - 1])) {
        --n;
    }
    std::wmemcpy(field, text.data(), n);
    field[n] = L'\0';
}

struct MenuDeleter {
    void operator()(HMENU menu) const { DestroyMenu(menu); }
};
using MenuHandle = std::unique_ptr<std::remove_pointer_t<HMENU>, MenuDeleter>;

void append_items(HMENU menu, const std::vector<TrayMenuItem>& items) {
    for (const TrayMenuItem& item : items) {
        const std::wstring text = to_wide(item.text);
        switch (item.kind) {
        case TrayMenuItem::Kind::separator:
            AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
            break;
        case TrayMenuItem::Kind::submenu: {
            HMENU sub = CreatePopupMenu();
            if (sub == nullptr) {
                break;
            }
            append_items(sub, item.children);
            // The parent menu owns the submenu from here on and destroys it with itself.
            if (!AppendMenuW(menu, MF_POPUP | MF_STRING, reinterpret_cast<UINT_PTR>(sub), text.c_str())) {
                DestroyMenu(sub);
            }
            break;
        }
        case TrayMenuItem::Kind::command:
            AppendMenuW(menu, MF_STRING | (item.checked ? MF_CHECKED : MF_UNCHECKED), item.id, text.c_str());
            break;
        }
    }
}

}  // namespace

bool TrayIcon::add(HWND window, HICON icon) {
    data_ = NOTIFYICONDATAW{};
    data_.cbSize = sizeof(data_);
    data_.hWnd = window;
    data_.uID = k_id;
    data_.uCallbackMessage = k_msg_tray;
    data_.hIcon = icon;
    wcscpy_s(data_.szTip, L"Tidemeter");
    return add_now();
}

bool TrayIcon::readd() {
    if (data_.hWnd == nullptr) {
        return false;
    }
    return add_now();
}

bool TrayIcon::add_now() {
    data_.uFlags = k_add_flags;
    added_ = Shell_NotifyIconW(NIM_ADD, &data_) != FALSE;
    if (added_) {
        data_.uVersion = NOTIFYICON_VERSION_4;
        Shell_NotifyIconW(NIM_SETVERSION, &data_);
    }
    return added_;
}

void TrayIcon::set_tip(std::wstring_view text) {
    if (!copy_tip(data_, text) || !added_) {
        return;
    }
    data_.uFlags = NIF_TIP | NIF_SHOWTIP;
    Shell_NotifyIconW(NIM_MODIFY, &data_);
}

void TrayIcon::remove() {
    if (!added_) {
        return;
    }
    data_.uFlags = 0;
    Shell_NotifyIconW(NIM_DELETE, &data_);
    added_ = false;
}

bool TrayIcon::notify(std::wstring_view title, std::wstring_view text) {
    if (!added_) {
        return false;
    }
    // A record of its own: the tooltip updates that follow must not carry the notification again.
    NOTIFYICONDATAW info{};
    info.cbSize = sizeof(info);
    info.hWnd = data_.hWnd;
    info.uID = data_.uID;
    info.uFlags = NIF_INFO;
    info.dwInfoFlags = NIIF_WARNING;
    copy_cut(info.szInfoTitle, title);
    copy_cut(info.szInfo, text);
    return Shell_NotifyIconW(NIM_MODIFY, &info) != FALSE;
}

uint32_t track_tray_menu(HWND owner, const TrayMenu& model, bool rtl) {
    MenuHandle menu(CreatePopupMenu());
    if (!menu) {
        return 0;
    }
    append_items(menu.get(), model.items);
    POINT pt{};
    GetCursorPos(&pt);
    // Without the foreground switch the menu would not close when the user clicks elsewhere.
    SetForegroundWindow(owner);
    UINT flags = TPM_RIGHTBUTTON | TPM_BOTTOMALIGN | TPM_RETURNCMD;
    if (rtl) {
        flags |= TPM_LAYOUTRTL;
    }
    const BOOL chosen = TrackPopupMenuEx(menu.get(), flags, pt.x, pt.y, owner, nullptr);
    PostMessageW(owner, WM_NULL, 0, 0);
    return chosen > 0 ? static_cast<uint32_t>(chosen) : 0;
}

}  // namespace tide
