// The tray icon's registration and tooltip as the shell receives them.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "app/tray_win.h"
#include "tests/win/shell_double_win.h"

namespace tide {
namespace {

using test::ShellDouble;

// An owner window of the test's own class.
struct TestWindow {
    TestWindow() {
        WNDCLASSEXW window_class{};
        window_class.cbSize = sizeof(window_class);
        window_class.lpfnWndProc = &DefWindowProcW;
        window_class.hInstance = GetModuleHandleW(nullptr);
        window_class.lpszClassName = k_class;
        RegisterClassExW(&window_class);
        handle = CreateWindowExW(0, k_class, L"tray test", 0, 0, 0, 0, 0, nullptr, nullptr,
                                 window_class.hInstance, nullptr);
    }
    ~TestWindow() {
        DestroyWindow(handle);
        UnregisterClassW(k_class, GetModuleHandleW(nullptr));
    }
    static constexpr wchar_t k_class[] = L"Tidemeter.Test.TrayOwner";
    HWND handle = nullptr;
};

TEST(TrayIcon, TheShellSeesTheProductNameThenCutTooltipsOnlyWhenTheyChange) {
    ShellDouble shell;
    ASSERT_TRUE(shell.ready());
    TestWindow window;
    ASSERT_NE(window.handle, nullptr);
    TrayIcon tray;
    ASSERT_TRUE(tray.add(window.handle, LoadIconW(nullptr, MAKEINTRESOURCEW(32512))));
    EXPECT_TRUE(shell.icon_shown());
    EXPECT_TRUE(shell.tip_shows(L"Tidemeter"));

    tray.set_tip(std::wstring(200, L'x'));
    EXPECT_TRUE(shell.tip_shows(std::wstring(127, L'x')));
    EXPECT_FALSE(shell.tip_shows(std::wstring(128, L'x')));

    // A character outside the basic plane straddling the cut is dropped whole.
    std::wstring straddling(126, L'a');
    straddling += L"\U0001F600";
    straddling += L"tail";
    tray.set_tip(straddling);
    EXPECT_TRUE(shell.tip_shows(std::wstring(126, L'a') + L'\0'));

    const int changes = shell.requests(NIM_MODIFY);
    tray.set_tip(L"Download 1 Mbit/s, Upload 2 Mbit/s");
    tray.set_tip(L"Download 1 Mbit/s, Upload 2 Mbit/s");
    EXPECT_EQ(shell.requests(NIM_MODIFY), changes + 1) << "an unchanged tooltip is not sent again";
    EXPECT_TRUE(shell.tip_shows(L"Download 1 Mbit/s, Upload 2 Mbit/s"));

    tray.remove();
    EXPECT_FALSE(tray.added());
    EXPECT_FALSE(shell.icon_shown());
}

TEST(TrayIcon, ARefusedAddKeepsTheTooltipForTheNextAttempt) {
    ShellDouble shell(1);
    ASSERT_TRUE(shell.ready());
    TestWindow window;
    TrayIcon tray;
    EXPECT_FALSE(tray.add(window.handle, LoadIconW(nullptr, MAKEINTRESOURCEW(32512))));
    tray.set_tip(L"Download 3 Mbit/s, Upload 4 Mbit/s");
    EXPECT_EQ(shell.requests(NIM_MODIFY), 0);
    EXPECT_TRUE(tray.readd());
    EXPECT_TRUE(shell.icon_shown());
    EXPECT_TRUE(shell.tip_shows(L"Download 3 Mbit/s, Upload 4 Mbit/s"));
}

} // namespace
} // namespace tide
