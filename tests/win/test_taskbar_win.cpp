// The test's own taskbar windows.
#include "tests/win/test_taskbar_win.h"

#include "compact/taskbar_win.h"

namespace tide::test {
namespace {

// Registers a plain class of this name in the test executable. A local class wins over a global one
// of the same name (comctl32 registers a real "ReBarWindow32", which would size itself), so the
// registration is tried every time; a second one fails harmlessly.
void ensure_class(const wchar_t* name) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = name;
    // The notification area a shade lighter, so that a screenshot shows where it is.
    const bool notify = lstrcmpW(name, k_notification_area_class) == 0;
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(notify ? GRAY_BRUSH : DKGRAY_BRUSH));
    wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));
    RegisterClassExW(&wc);
}

HWND make_child(HWND parent, const wchar_t* class_name, RECT r, bool visible) {
    // Buttons stay the system's own: a local "Button" would replace it for every other test as well.
    if (lstrcmpiW(class_name, L"Button") != 0) {
        ensure_class(class_name);
    }
    const DWORD style = WS_CHILD | WS_CLIPSIBLINGS | (visible ? WS_VISIBLE : 0);
    return CreateWindowExW(0, class_name, L"", style, r.left, r.top, r.right - r.left, r.bottom - r.top,
                           parent, nullptr, GetModuleHandleW(nullptr), nullptr);
}

} // namespace

TestTaskbar::TestTaskbar(Kind kind, RECT bar, bool mirrored) {
    const wchar_t* host_class = kind == Kind::secondary ? k_secondary_taskbar_class : k_primary_taskbar_class;
    ensure_class(host_class);
    const int w = bar.right - bar.left;
    const int h = bar.bottom - bar.top;
    // Topmost and created last, so that it is the taskbar the program finds.
    const DWORD ex_style =
        WS_EX_TOPMOST | WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE | (mirrored ? WS_EX_LAYOUTRTL : 0);
    host_ = CreateWindowExW(ex_style, host_class, L"", WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN, bar.left,
                            bar.top, w, h, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    if (host_ == nullptr) {
        return;
    }
    start_ = make_child(host_, L"Button", {0, 0, 48, h}, true);
    if (kind == Kind::bridge) {
        make_child(host_, k_content_bridge_class, {0, 0, w, h}, true);
        notify_ = make_child(host_, k_notification_area_class, {w - 240, 0, w, h}, true);
        return;
    }
    rebar_ = make_child(host_, k_rebar_class, {52, 0, w - 244, h}, true);
    task_list_ = make_child(rebar_, k_task_switch_class, {0, 0, w - 244 - 52, h}, true);
    if (kind == Kind::classic) {
        notify_ = make_child(host_, k_notification_area_class, {w - 240, 0, w, h}, true);
    } else {
        // A secondary taskbar of Windows 10 has its own clock and no notification area.
        notify_ = make_child(host_, L"ClockButton", {w - 88, 0, w, h}, true);
    }
}

TestTaskbar::~TestTaskbar() {
    if (host_ != nullptr) {
        DestroyWindow(host_);
    }
}

HWND TestTaskbar::add_child(const wchar_t* class_name, RECT client, bool visible) {
    return make_child(host_, class_name, client, visible);
}

ScreenRect TestTaskbar::client_rect_of(HWND child) {
    RECT r{};
    GetWindowRect(child, &r);
    MapWindowPoints(nullptr, GetAncestor(child, GA_PARENT), reinterpret_cast<POINT*>(&r), 2);
    return to_screen_rect(r);
}

} // namespace tide::test
