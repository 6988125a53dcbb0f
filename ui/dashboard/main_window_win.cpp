// The dashboard window: creation, controls, placement and the window procedure.
#include "ui/dashboard/main_window_win.h"

#include <windowsx.h>

#include <algorithm>
#include <string_view>
#include <utility>

#include "base/messages_win.h"
#include "compact/displays_win.h"
#include "compact/dpi.h"
#include "compact/placement.h"
#include "ui/common/framed_window_win.h"
#include "ui/dashboard/dashboard_access.h"
#include "window/focus_part_win.h"

namespace tide::ui {
namespace {

constexpr wchar_t k_title[] = L"Tidemeter";
constexpr int k_id_graph_part = 3010; // the graph's place in the Tab order

COLORREF colorref(const Rgba& c) {
    return RGB(c.r, c.g, c.b);
}

struct ControlKind {
    int id;
    const wchar_t* window_class;
    DWORD style;
};

constexpr DWORD k_push = WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON;
// Same order as k_control_order: creation order is Tab order.
constexpr ControlKind k_kinds[] = {
    {k_id_range_label, L"STATIC", WS_CHILD | WS_VISIBLE},
    // The graph's part stands alone: the controls' arrow keys step among them and never into the graph.
    {k_id_graph_range, L"COMBOBOX",
     WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_GROUP | WS_VSCROLL | CBS_DROPDOWNLIST},
    {k_id_graph_pause, L"BUTTON", k_push},
    {k_id_graph_clear, L"BUTTON", k_push},
    {k_id_taskbar_toggle, L"BUTTON",
     WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX | BS_PUSHLIKE | BS_MULTILINE},
    {k_id_settings, L"BUTTON", k_push},
    {k_id_exit, L"BUTTON", k_push},
    {k_id_usage_history, L"BUTTON", k_push},
};

} // namespace

MainWindow::MainWindow() {
    if (const Theme* midnight = find_palette("Midnight"); midnight != nullptr) {
        theme_ = *midnight; // until the first apply
    }
}

MainWindow::~MainWindow() {
    destroy();
}

void MainWindow::destroy() {
    if (hwnd_ != nullptr) {
        DestroyWindow(hwnd_); // WM_NCDESTROY forgets hwnd_ and releases the drawing objects
    }
}

bool MainWindow::create(HINSTANCE instance, HWND app_hwnd, const MainWindowSettings& settings) {
    instance_ = instance;
    app_hwnd_ = app_hwnd;
    placement_ = settings;
    if (!register_framed_class(instance, &WindowProcedure::procedure, k_main_class) ||
        create_framed_window(instance, k_main_class, k_title, placement_.width, placement_.height, placement_.x,
                             placement_.y, static_cast<WindowProcedure*>(this)) == nullptr) {
        return false;
    }
    dpi_ = window_dpi(hwnd_);
    background_brush_.reset(CreateSolidBrush(colorref(theme_.bg)));
    build_controls();
    return true;
}

void MainWindow::apply(const MainWindowSettings& settings, const Theme& theme, bool rtl) {
    const bool direction_changed = rtl != rtl_;
    placement_ = settings;
    theme_ = theme;
    rtl_ = rtl;
    if (hwnd_ == nullptr) {
        return;
    }
    background_brush_.reset(CreateSolidBrush(colorref(theme_.bg)));
    SetWindowPos(hwnd_, placement_.always_on_top ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    if (direction_changed) {
        destroy_controls();
        build_controls();
    } else {
        refresh_texts();
    }
    // The static label takes its colours from the theme as well.
    RedrawWindow(hwnd_, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN);
}

void MainWindow::set_graph_state(int64_t range_s, bool frozen) {
    if (std::exchange(graph_range_, range_s) != range_s && is_visible()) {
        invalidate(geometry().range_label);
    }
    graph_frozen_ = frozen;
    refresh_texts();
    publish_access();
}

void MainWindow::set_taskbar_on(bool on) {
    taskbar_on_ = on;
    refresh_texts();
}

void MainWindow::update(DashboardView view) {
    const DashboardView old = std::exchange(view_, std::move(view));
    const auto same = [](const GraphPoint& a, const GraphPoint& b) {
        return a.time == b.time && a.valid == b.valid && a.download == b.download && a.upload == b.upload;
    };
    if (!std::equal(old.points.begin(), old.points.end(), view_.points.begin(), view_.points.end(), same)) {
        ++points_version_;
    }
    if (is_visible()) {
        invalidate_changes(old);
        publish_access();
    }
}

void MainWindow::show(bool visible) {
    if (hwnd_ == nullptr) {
        return;
    }
    if (!visible) {
        hide();
        return;
    }
    ShowWindow(hwnd_, IsIconic(hwnd_) ? SW_RESTORE : SW_SHOW);
    SetForegroundWindow(hwnd_);
}

void MainWindow::hide() {
    ShowWindow(hwnd_, SW_HIDE);
}

bool MainWindow::is_visible() const {
    return hwnd_ != nullptr && IsWindowVisible(hwnd_) && !IsIconic(hwnd_);
}

void MainWindow::set_text_provider(TextProvider provider) {
    text_provider_ = std::move(provider);
    refresh_texts();
}

void MainWindow::build_controls() {
    if (!text_provider_) {
        text_provider_ = [](const char* key) {
            const std::string_view k(key);
            return std::wstring(k.begin(), k.end());
        };
    }
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof(metrics);
    if (SystemParametersInfoForDpi(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0, dpi_) ||
        SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0)) {
        ui_font_.reset(CreateFontIndirectW(&metrics.lfMessageFont));
    } else {
        ui_font_.reset();
    }
    const DWORD ex_style = rtl_ ? WS_EX_LAYOUTRTL : 0;
    create_focus_part(hwnd_, instance_, k_id_graph_part); // first: the graph comes before the controls
    for (const ControlKind& kind : k_kinds) {
        const HWND child = CreateWindowExW(ex_style, kind.window_class, L"", kind.style, 0, 0, 10, 10, hwnd_,
                                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(kind.id)), instance_, nullptr);
        if (child != nullptr && ui_font_) {
            SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(ui_font_.get()), FALSE);
        }
        if (child != nullptr && kind.id == k_id_graph_range) {
            for (const std::wstring& text : range_choice_texts()) {
                SendMessageW(child, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
            }
        }
    }
    refresh_texts();
}

void MainWindow::destroy_controls() {
    if (const HWND part = GetDlgItem(hwnd_, k_id_graph_part); part != nullptr) {
        DestroyWindow(part);
    }
    for (const int id : k_control_order) {
        if (const HWND child = GetDlgItem(hwnd_, id); child != nullptr) {
            DestroyWindow(child);
        }
    }
}

void MainWindow::layout() {
    if (hwnd_ == nullptr) {
        return;
    }
    RECT client{};
    GetClientRect(hwnd_, &client);
    for (const ControlPlace& place :
         layout_controls(client.right, client.bottom, dpi_, rtl_, caption_widths())) {
        if (const HWND child = GetDlgItem(hwnd_, place.id); child != nullptr) {
            SetWindowPos(child, nullptr, place.x, place.y, place.width, place.height,
                         SWP_NOZORDER | SWP_NOACTIVATE);
        }
    }
}

// What each caption needs in the controls' font: the text plus the button's own border and padding.
CaptionWidths MainWindow::caption_widths() const {
    CaptionWidths widths{};
    const HDC dc = GetDC(hwnd_);
    if (dc == nullptr) {
        return widths;
    }
    const HGDIOBJ old_font = ui_font_ ? SelectObject(dc, ui_font_.get()) : nullptr;
    for (size_t i = 0; i < k_control_order.size(); ++i) {
        const int id = k_control_order[i];
        const HWND child = GetDlgItem(hwnd_, id);
        if (child == nullptr || id == k_id_graph_range) {
            continue;
        }
        wchar_t text[256] = {};
        const int length = GetWindowTextW(child, text, 256);
        SIZE size{};
        if (length > 0 && GetTextExtentPoint32W(dc, text, length, &size)) {
            widths[i] = size.cx + scale_to_dpi(id == k_id_range_label ? 4 : 20, dpi_);
        }
    }
    if (old_font != nullptr) {
        SelectObject(dc, old_font);
    }
    ReleaseDC(hwnd_, dc);
    return widths;
}

void MainWindow::refresh_texts() {
    if (hwnd_ == nullptr || !text_provider_) {
        return;
    }
    const auto set = [this](int id, const std::wstring& text) { SetDlgItemTextW(hwnd_, id, text.c_str()); };
    set(k_id_range_label, text_provider_("graph.range"));
    set(k_id_graph_pause, text_provider_(graph_frozen_ ? "graph.resume" : "graph.pause"));
    set(k_id_graph_clear, text_provider_("graph.clear"));
    set(k_id_taskbar_toggle, taskbar_toggle_text(text_provider_("settings.on_taskbar"), taskbar_on_));
    set(k_id_settings, text_provider_("menu.settings"));
    set(k_id_exit, text_provider_("menu.exit"));
    set(k_id_usage_history, text_provider_("menu.usage_history"));
    CheckDlgButton(hwnd_, k_id_taskbar_toggle, taskbar_on_ ? BST_CHECKED : BST_UNCHECKED);
    SendDlgItemMessageW(hwnd_, k_id_graph_range, CB_SETCURSEL, static_cast<WPARAM>(range_position(graph_range_)), 0);
    layout(); // the captions' widths may have changed; new controls get their places here too
}

void MainWindow::save_placement() {
    if (hwnd_ == nullptr || IsIconic(hwnd_) || IsZoomed(hwnd_)) {
        return;
    }
    RECT window{};
    if (!GetWindowRect(hwnd_, &window)) {
        return;
    }
    placement_.width = unscale_from_dpi(window.right - window.left, dpi_);
    placement_.height = unscale_from_dpi(window.bottom - window.top, dpi_);
    placement_.x = window.left;
    placement_.y = window.top;
    post(k_msg_dashboard_moved, 0, 0);
}

void MainWindow::post(UINT message, WPARAM wparam, LPARAM lparam) const {
    if (app_hwnd_ != nullptr) {
        PostMessageW(app_hwnd_, message, wparam, lparam);
    }
}

void MainWindow::on_command(int id, int code) {
    switch (id) {
    case k_id_graph_range:
        if (code == CBN_SELCHANGE) {
            const LRESULT position = SendDlgItemMessageW(hwnd_, id, CB_GETCURSEL, 0, 0);
            if (position >= 0 && position < static_cast<LRESULT>(GraphRanges.size())) {
                graph_range_ = GraphRanges[static_cast<size_t>(position)];
                post(k_msg_graph_range, static_cast<WPARAM>(graph_range_), 0);
            }
        }
        return;
    case k_id_graph_pause:
        if (code == BN_CLICKED) {
            graph_frozen_ = !graph_frozen_;
            refresh_texts();
            post(k_msg_graph_pause, graph_frozen_ ? 1 : 0, 0);
        }
        return;
    case k_id_graph_clear:
        if (code == BN_CLICKED) {
            UINT flags = MB_YESNO | MB_DEFBUTTON2 | MB_ICONWARNING;
            if (rtl_) {
                flags |= MB_RIGHT | MB_RTLREADING;
            }
            const std::wstring caption = text_provider_("graph.clear");
            const std::wstring question = text_provider_("graph.clear_confirm");
            if (MessageBoxW(hwnd_, question.c_str(), caption.c_str(), flags) == IDYES) {
                post(k_msg_clear_history, 0, clear_token_);
            }
        }
        return;
    case k_id_taskbar_toggle:
        if (code == BN_CLICKED) {
            taskbar_on_ = IsDlgButtonChecked(hwnd_, id) == BST_CHECKED;
            refresh_texts();
            post(k_msg_dashboard_button, k_button_taskbar_display, taskbar_on_ ? 1 : 0);
        }
        return;
    case k_id_settings:
        if (code == BN_CLICKED) {
            post(k_msg_dashboard_button, k_button_settings, 0);
        }
        return;
    case k_id_exit:
        if (code == BN_CLICKED) {
            post(k_msg_dashboard_button, k_button_exit, 0);
        }
        return;
    case k_id_usage_history:
        if (code == BN_CLICKED) {
            post(k_msg_dashboard_button, k_button_usage, 0);
        }
        return;
    default:
        return;
    }
}

void MainWindow::on_mouse_move(LPARAM lparam) {
    if (!tracking_mouse_) {
        TRACKMOUSEEVENT track{sizeof(track), TME_LEAVE, hwnd_, 0};
        tracking_mouse_ = TrackMouseEvent(&track) != FALSE;
    }
    const float x = static_cast<float>(GET_X_LPARAM(lparam)) * 96.0f / static_cast<float>(dpi_);
    const float y = static_cast<float>(GET_Y_LPARAM(lparam)) * 96.0f / static_cast<float>(dpi_);
    int index = -1;
    if (y >= plot_rect_.top && y <= plot_rect_.bottom()) {
        index = hover_index(x, plot_rect_.left, plot_rect_.width, view_.points.size(), rtl_);
    }
    set_hovered(index);
}

void MainWindow::set_hovered(int index) {
    if (index != hovered_point_) {
        hovered_point_ = index;
        invalidate(geometry().graph_band());
        publish_access();
    }
}

// Left and Right move the hovered point a step on the screen (towards the older points on the left, or on
// the right in right-to-left), Home and End to the oldest and the newest, Escape leaves the hover.
void MainWindow::on_graph_key(WPARAM key) {
    const int n = static_cast<int>(view_.points.size());
    set_hovered(key == VK_ESCAPE || n == 0 ? -1 : hover_after_key(key, hovered_point_, n, rtl_));
    automation_.raise_focus(automation_.published().focused);
}

void MainWindow::publish_access() {
    if (hwnd_ == nullptr) {
        return;
    }
    const DashboardAccessTexts texts{text_provider_ ? text_provider_("access.graph") : std::wstring(),
                                     text_provider_ ? text_provider_("access.graph_empty") : std::wstring()};
    automation_.publish(hwnd_, dashboard_access(view_, geometry(), dpi_, rtl_, graph_range_, hovered_point_,
                                                graph_focused_, texts));
}

void MainWindow::detach() {
    ui_font_.reset();
    background_brush_.reset();
    hwnd_ = nullptr;
    tracking_mouse_ = false;
    hovered_point_ = -1;
    graph_focused_ = false;
}

LRESULT MainWindow::handle_message(UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
    case WM_SIZE:
        layout(); // the render target is bound to the new client size by the next paint
        InvalidateRect(hwnd_, nullptr, FALSE);
        publish_access();
        if (wparam == SIZE_MINIMIZED && placement_.minimize_to_tray) {
            hide();
        }
        return 0;
    case WM_PAINT:
        paint();
        return 0;
    case WM_ERASEBKGND:
        return 1; // the paint covers everything
    case WM_CLOSE:
        if (placement_.close_to_tray) {
            hide();
            save_placement();
        } else {
            post(k_msg_dashboard_closed, 0, 0);
        }
        return 0;
    case WM_GETMINMAXINFO: {
        const PixelSize minimum = minimum_window_size(dpi_);
        auto* info = reinterpret_cast<MINMAXINFO*>(lparam);
        info->ptMinTrackSize.x = minimum.width;
        info->ptMinTrackSize.y = minimum.height;
        return 0;
    }
    case WM_DPICHANGED: {
        dpi_ = HIWORD(wparam) == 0 ? k_default_dpi : HIWORD(wparam);
        const auto* suggested = reinterpret_cast<const RECT*>(lparam);
        SetWindowPos(hwnd_, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                     suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
        destroy_controls();
        build_controls(); // lays them out too
        return 0;
    }
    case WM_CTLCOLORSTATIC: {
        const auto dc = reinterpret_cast<HDC>(wparam);
        SetTextColor(dc, colorref(theme_.text));
        SetBkColor(dc, colorref(theme_.bg));
        return reinterpret_cast<LRESULT>(background_brush_ ? background_brush_.get() : GetSysColorBrush(COLOR_WINDOW));
    }
    case WM_MOUSEMOVE:
        on_mouse_move(lparam);
        return 0;
    case k_msg_part_focus:
        graph_focused_ = wparam != 0;
        invalidate(geometry().panel); // the focus mark
        publish_access();
        if (graph_focused_) {
            automation_.raise_focus(automation_.published().focused);
        }
        return 0;
    case k_msg_part_key:
        on_graph_key(wparam);
        return 0;
    case WM_MOUSELEAVE:
        tracking_mouse_ = false;
        set_hovered(-1);
        return 0;
    case WM_EXITSIZEMOVE:
        save_placement();
        return 0;
    case WM_COMMAND:
        on_command(LOWORD(wparam), HIWORD(wparam));
        return DefWindowProcW(hwnd_, message, wparam, lparam);
    default:
        return DefWindowProcW(hwnd_, message, wparam, lparam);
    }
}

} // namespace tide::ui
