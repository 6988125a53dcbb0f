// The tray icon's registration and tooltip as the shell receives them.
#include <windows.h>

#include <gtest/gtest.h>

#include <cwchar>
#include <string>

#include "app/tray_win.h"

namespace tide {
namespace {

struct TestWindow {
    HWND handle = CreateWindowExW(0, L"STATIC", L"tray test", 0, 0, 0, 0, 0, nullptr, nullptr,
                                  GetModuleHandleW(nullptr), nullptr);
    ~TestWindow() { DestroyWindow(handle); }
};

TEST(TrayIcon, StartsWithTheProductNameAndCutsLongTooltips) {
    TestWindow window;
    ASSERT_NE(window.handle, nullptr);
    TrayIcon tray;
    tray.add(window.handle, LoadIconW(nullptr, MAKEINTRESOURCEW(32512)));
    EXPECT_STREQ(tray.data().szTip, L"Tidemeter");
    EXPECT_EQ(tray.data().uCallbackMessage, static_cast<UINT>(WM_APP + 2));
    EXPECT_EQ(tray.data().uID, 1u);

    tray.set_tip(std::wstring(200, L'x'));
    EXPECT_EQ(std::wcslen(tray.data().szTip), 127u);

    // A character outside the basic plane straddling the cut is dropped whole.
    std::wstring straddling(126, L'a');
    straddling += L"\U0001F600";
    straddling += L"tail";
    tray.set_tip(straddling);
    EXPECT_EQ(std::wcslen(tray.data().szTip), 126u);

    tray.set_tip(L"Download 1 Mbit/s, Upload 2 Mbit/s");
    EXPECT_STREQ(tray.data().szTip, L"Download 1 Mbit/s, Upload 2 Mbit/s");
    tray.remove();
    EXPECT_FALSE(tray.added());
}

} // namespace
} // namespace tide
