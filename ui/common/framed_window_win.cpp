// The framed windows' class, DPI and opening place.
#include "ui/common/framed_window_win.h"

#include "compact/displays_win.h"
#include "compact/dpi.h"
#include "ui/common/window_opening.h"

namespace tide::ui {

int window_dpi(HWND window) {
    const UINT dpi = window != nullptr ? GetDpiForWindow(window) : GetDpiForSystem();
    return dpi == 0 ? k_default_dpi : static_cast<int>(dpi);
}

bool register_framed_class(HINSTANCE instance, WNDPROC procedure, const wchar_t* class_name) {
    WNDCLASSEXW window_class{};
    window_class.cbSize = sizeof(window_class);
    window_class.style = CS_HREDRAW | CS_VREDRAW;
    window_class.lpfnWndProc = procedure;
    window_class.hInstance = instance;
    window_class.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    window_class.hIcon =
        static_cast<HICON>(LoadImageW(instance, L"IDI_APP", IMAGE_ICON, GetSystemMetrics(SM_CXICON),
                                      GetSystemMetrics(SM_CYICON), LR_SHARED));
    window_class.hIconSm =
        static_cast<HICON>(LoadImageW(instance, L"IDI_APP", IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
                                      GetSystemMetrics(SM_CYSMICON), LR_SHARED));
    window_class.lpszClassName = class_name;
    return RegisterClassExW(&window_class) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

HWND create_framed_window(HINSTANCE instance, const wchar_t* class_name, const wchar_t* title, int width_dip,
                          int height_dip, std::optional<int> x, std::optional<int> y, void* param) {
    const DashboardOpening opening =
        dashboard_opening(width_dip, height_dip, x, y, enumerate_displays(), window_dpi(nullptr));
    const int left = opening.rect ? opening.rect->left : CW_USEDEFAULT;
    const int top = opening.rect ? opening.rect->top : CW_USEDEFAULT;
    const HWND window =
        CreateWindowExW(0, class_name, title, WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, left, top, opening.width,
                        opening.height, nullptr, nullptr, instance, param);
    if (window == nullptr) {
        return nullptr;
    }
    // The system's default position may be on another monitor than the primary one (the shell starts
    // a program on the monitor it was started from): the size follows the monitor it landed on.
    if (const int dpi = window_dpi(window); !opening.rect && dpi != opening.dpi) {
        SetWindowPos(window, nullptr, 0, 0, scale_to_dpi(width_dip, dpi), scale_to_dpi(height_dip, dpi),
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    return window;
}

} // namespace tide::ui
