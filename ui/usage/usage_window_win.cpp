// The usage-history window: creation, controls, placement and the window procedure.
#include "ui/usage/usage_window_win.h"

#include <windowsx.h>

#include <algorithm>
#include <string_view>

#include "base/messages_win.h"
#include "compact/dpi.h"
#include "ui/common/framed_window_win.h"
#include "ui/usage/usage_access.h"
#include "window/focus_part_win.h"

namespace tide::ui {
namespace {

struct ControlKind {
    int id;
    const wchar_t* window_class;
    DWORD style;
};

// The two halves of the view switch are push-like radio buttons: one group, arrow keys move within it. The
// chart's part after Months starts a group of its own, which closes the pair.
constexpr int k_id_chart_part = 4110; // the chart's place in the Tab order

// The network choice comes after the chart, as it sits below it; its label right before it names it to a
// screen reader.
constexpr ControlKind k_kinds[] = {
    {k_id_usage_days, L"BUTTON",
     WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_GROUP | BS_AUTORADIOBUTTON | BS_PUSHLIKE},
    {k_id_usage_months, L"BUTTON", WS_CHILD | WS_VISIBLE | BS_AUTORADIOBUTTON | BS_PUSHLIKE},
    {k_id_usage_network_label, L"STATIC", WS_CHILD | WS_VISIBLE | SS_NOPREFIX},
    {k_id_usage_network, L"COMBOBOX",
     WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_GROUP | WS_VSCROLL | CBS_DROPDOWNLIST},
    {k_id_usage_export, L"BUTTON", WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_GROUP | BS_PUSHBUTTON},
    {k_id_usage_close, L"BUTTON", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON},
};

COLORREF colorref(const Rgba& c) {
    return RGB(c.r, c.g, c.b);
}

} // namespace

UsageWindow::~UsageWindow() {
    if (hwnd_ != nullptr) {
        DestroyWindow(hwnd_);
    }
}

bool UsageWindow::open(HINSTANCE instance, HWND app_hwnd, const UsageWindowSettings& place,
                       const Theme& theme, bool rtl, std::wstring locale, TextProvider text) {
    if (hwnd_ != nullptr) {
        apply(theme, rtl, std::move(locale));
        ShowWindow(hwnd_, IsIconic(hwnd_) ? SW_RESTORE : SW_SHOW);
        SetForegroundWindow(hwnd_);
        return true;
    }
    if (!register_framed_class(instance, &WindowProcedure::procedure, k_usage_class)) {
        return false;
    }
    instance_ = instance;
    app_hwnd_ = app_hwnd;
    place_ = place;
    has_placement_ = true;
    theme_ = theme;
    rtl_ = rtl;
    locale_ = std::move(locale);
    text_ = text ? std::move(text) : [](const char* key) {
        const std::string_view k(key);
        return std::wstring(k.begin(), k.end());
    };
    const std::wstring title = text_("usage.title");
    if (create_framed_window(instance, k_usage_class, title.c_str(), place_.width, place_.height, place_.x,
                             place_.y, static_cast<WindowProcedure*>(this)) == nullptr) {
        return false;
    }
    dpi_ = window_dpi(hwnd_);
    background_brush_.reset(CreateSolidBrush(colorref(theme_.bg)));
    build_controls();
    apps_view_.create(instance, hwnd_, dpi_, apps_context());
    layout();
    ShowWindow(hwnd_, SW_SHOW);
    set_apps(apps_shown_); // a view shown when the window last closed asks again now
    SetForegroundWindow(hwnd_);
    return true;
}

void UsageWindow::apply(const Theme& theme, bool rtl, std::wstring locale) {
    const bool direction_changed = rtl != rtl_;
    theme_ = theme;
    rtl_ = rtl;
    locale_ = std::move(locale);
    layouts_.clear(); // the font family or the direction may have changed
    if (hwnd_ == nullptr) {
        return;
    }
    background_brush_.reset(CreateSolidBrush(colorref(theme_.bg)));
    if (direction_changed) {
        destroy_controls();
        build_controls();
    } else {
        refresh_texts();
    }
    apps_view_.apply(apps_context(), dpi_);
    set_apps(apps_shown_);
    InvalidateRect(hwnd_, nullptr, FALSE);
}

AppsContext UsageWindow::apps_context() const {
    return AppsContext{text_, view_.format_bytes,  theme_,
                       rtl_,  view_.every_profile, view_.limits.billing_day};
}

void UsageWindow::update(UsageView view) {
    const bool source_changed =
        view.every_profile != view_.every_profile || view.limits.billing_day != view_.limits.billing_day;
    const bool first = !view_.format_bytes;
    // The list is filled again only when it changed: a refresh every second must not close it under the
    // user's pointer. The selection follows the controller only when its word changed, so that a refresh
    // made before it took the user's pick does not take the pick back.
    const bool networks_changed = view.networks != view_.networks;
    const bool selection_changed = view.network_selected != view_.network_selected;
    view_ = std::move(view);
    if (source_changed || first) {
        apps_view_.apply(apps_context(), dpi_);
    }
    if (hwnd_ != nullptr && (networks_changed || selection_changed || first)) {
        fill_networks();
    }
    if (hwnd_ != nullptr && networks_changed) {
        layout(); // the dropped list's width
    }
    if (hwnd_ != nullptr && IsWindowVisible(hwnd_) && !IsIconic(hwnd_)) {
        InvalidateRect(hwnd_, nullptr, FALSE);
        publish_access();
    }
}

void UsageWindow::publish_access() {
    if (hwnd_ == nullptr) {
        return;
    }
    if (apps_shown_) {
        // The Apps view covers the summary and the chart; its lists are read through their own controls.
        AccessTree tree;
        tree.name = text_("usage.title");
        automation_.publish(hwnd_, std::move(tree));
        return;
    }
    RECT client{};
    GetClientRect(hwnd_, &client);
    const float to_dip = 96.0f / static_cast<float>(dpi_);
    const UsageGeometry g = usage_geometry(static_cast<float>(client.right) * to_dip,
                                           static_cast<float>(client.bottom) * to_dip, rtl_);
    UsageAccessInput in;
    in.bars = months_ ? &view_.months : &view_.days;
    in.months = months_;
    in.summary_labels = view_.summary_labels;
    in.summary_values = view_.summary_values;
    in.summary_details = view_.summary_details;
    in.note = view_.note;
    in.limit = months_ ? view_.limits.monthly : view_.limits.daily;
    in.format_bytes = view_.format_bytes;
    in.date = [this](const UsageBar& bar) { return bar_date_text(bar); };
    const UsageAccessTexts texts{
        text_("usage.title"),           text_("access.bar"),
        text_("access.bar_over_daily"), text_("access.bar_over_monthly"),
        text_("access.bar_over_share"), text_("access.days_chart"),
        text_("access.months_chart"),   text_(months_ ? "usage.monthly_limit" : "usage.daily_limit")};
    automation_.publish(hwnd_, usage_access(in, g, dpi_, rtl_, hovered_, chart_focused_, texts));
}

void UsageWindow::set_hovered(int index) {
    if (index != hovered_) {
        hovered_ = index;
        InvalidateRect(hwnd_, nullptr, FALSE);
        publish_access();
    }
}

// Left and Right move the highlighted bar a step on the screen, Home and End to the oldest and the
// newest; Escape leaves the highlight, or closes the window when there is none (as it does elsewhere).
void UsageWindow::on_chart_key(WPARAM key) {
    const int n = static_cast<int>(months_ ? view_.months.size() : view_.days.size());
    if (key == VK_ESCAPE) {
        if (hovered_ < 0) {
            PostMessageW(hwnd_, WM_CLOSE, 0, 0);
            return;
        }
        set_hovered(-1);
    } else if (n == 0) {
        return;
    } else {
        set_hovered(hover_after_key(key, hovered_, n, rtl_));
    }
    automation_.raise_focus(automation_.published().focused);
}

void UsageWindow::close() {
    if (hwnd_ != nullptr) {
        save_placement();
        DestroyWindow(hwnd_);
    }
}

void UsageWindow::build_controls() {
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof(metrics);
    if (SystemParametersInfoForDpi(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0, dpi_) ||
        SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0)) {
        ui_font_.reset(CreateFontIndirectW(&metrics.lfMessageFont));
    } else {
        ui_font_.reset();
    }
    // Mirrored, and read right to left: "Export CSV…" mixes scripts, and its ellipsis belongs at the left.
    const DWORD ex_style = rtl_ ? WS_EX_LAYOUTRTL | WS_EX_RTLREADING : 0;
    for (const ControlKind& kind : k_kinds) {
        const HWND child =
            CreateWindowExW(ex_style, kind.window_class, L"", kind.style, 0, 0, 10, 10, hwnd_,
                            reinterpret_cast<HMENU>(static_cast<INT_PTR>(kind.id)), instance_, nullptr);
        if (child != nullptr && ui_font_) {
            SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(ui_font_.get()), FALSE);
        }
        if (kind.id == k_id_usage_months) {
            create_apps_switch(hwnd_, instance_, ex_style, ui_font_.get()); // the switch's third half
            create_focus_part(hwnd_, instance_, k_id_chart_part); // the chart comes between the switch and the buttons
        }
    }
    refresh_texts();
}

void UsageWindow::destroy_controls() {
    for (const int id : {k_id_chart_part, k_id_usage_apps, k_id_usage_network_label, k_id_usage_network}) {
        if (const HWND child = GetDlgItem(hwnd_, id); child != nullptr) {
            DestroyWindow(child);
        }
    }
    for (const int id : k_usage_control_order) {
        if (const HWND child = GetDlgItem(hwnd_, id); child != nullptr) {
            DestroyWindow(child);
        }
    }
}

void UsageWindow::refresh_texts() {
    if (hwnd_ == nullptr) {
        return;
    }
    SetWindowTextW(hwnd_, text_("usage.title").c_str());
    SetDlgItemTextW(hwnd_, k_id_usage_days, text_("usage.days").c_str());
    SetDlgItemTextW(hwnd_, k_id_usage_months, text_("usage.months").c_str());
    SetDlgItemTextW(hwnd_, k_id_usage_apps, text_("usage.apps").c_str());
    SetDlgItemTextW(hwnd_, k_id_usage_export, text_("usage.export").c_str());
    SetDlgItemTextW(hwnd_, k_id_usage_close, text_("button.close").c_str());
    SetDlgItemTextW(hwnd_, k_id_usage_network_label, text_("usage.network").c_str());
    fill_networks();
    set_apps(apps_shown_);
    layout();
}

void UsageWindow::fill_networks() {
    const HWND list = GetDlgItem(hwnd_, k_id_usage_network);
    if (list == nullptr) {
        return;
    }
    const auto count = static_cast<size_t>(std::max<LRESULT>(SendMessageW(list, CB_GETCOUNT, 0, 0), 0));
    bool same = count == view_.networks.size();
    for (size_t i = 0; same && i < count; ++i) {
        const LRESULT length = SendMessageW(list, CB_GETLBTEXTLEN, i, 0);
        std::wstring text(static_cast<size_t>(std::max<LRESULT>(length, 0)) + 1, L'\0');
        SendMessageW(list, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text.data()));
        same = std::wstring_view(text.c_str()) == view_.networks[i];
    }
    if (!same) {
        SendMessageW(list, CB_RESETCONTENT, 0, 0);
        for (const std::wstring& name : view_.networks) {
            SendMessageW(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
        }
    }
    const WPARAM selected = view_.network_selected < view_.networks.size() ? view_.network_selected : 0;
    if (SendMessageW(list, CB_GETCURSEL, 0, 0) != static_cast<LRESULT>(selected)) {
        SendMessageW(list, CB_SETCURSEL, selected, 0);
    }
}

void UsageWindow::layout() {
    if (hwnd_ == nullptr) {
        return;
    }
    RECT client{};
    GetClientRect(hwnd_, &client);
    UsageCaptionWidths captions{};
    int label_width = 0;
    int widest_network = 0;
    if (const HDC dc = GetDC(hwnd_); dc != nullptr) {
        const HGDIOBJ old_font = ui_font_ ? SelectObject(dc, ui_font_.get()) : nullptr;
        const auto width_of = [dc](std::wstring_view text) {
            SIZE size{};
            const bool measured =
                !text.empty() && GetTextExtentPoint32W(dc, text.data(), static_cast<int>(text.size()), &size);
            return measured ? static_cast<int>(size.cx) : 0;
        };
        for (size_t i = 0; i < k_usage_control_order.size(); ++i) {
            wchar_t text[256] = {};
            const int length = GetDlgItemTextW(hwnd_, k_usage_control_order[i], text, 256);
            if (const int width = width_of({text, static_cast<size_t>(std::max(length, 0))}); width > 0) {
                captions[i] = width + scale_to_dpi(24, dpi_);
            }
        }
        label_width = width_of(text_("usage.network"));
        for (const std::wstring& name : view_.networks) {
            // The scroll bar's and the border's room beside the name.
            widest_network = std::max(widest_network, width_of(name) + scale_to_dpi(32, dpi_));
        }
        if (old_font != nullptr) {
            SelectObject(dc, old_font);
        }
        ReleaseDC(hwnd_, dc);
    }
    std::vector<ControlPlace> places =
        layout_usage_controls(client.right, client.bottom, dpi_, rtl_, captions);
    const std::vector<ControlPlace> network =
        layout_usage_network(places, client.right, dpi_, rtl_, label_width + scale_to_dpi(2, dpi_));
    places.insert(places.end(), network.begin(), network.end());
    for (const ControlPlace& place : places) {
        if (const HWND child = GetDlgItem(hwnd_, place.id); child != nullptr) {
            SetWindowPos(child, nullptr, place.x, place.y, place.width, place.height,
                         SWP_NOZORDER | SWP_NOACTIVATE);
        }
    }
    const auto list_place = std::find_if(network.begin(), network.end(),
                                         [](const ControlPlace& p) { return p.id == k_id_usage_network; });
    if (const HWND list = GetDlgItem(hwnd_, k_id_usage_network);
        list != nullptr && list_place != network.end()) {
        // The closed list is as tall as its font makes it: level with the buttons' middle. The dropped list
        // is as wide as its longest name needs, however narrow the closed one is.
        RECT field{};
        GetWindowRect(list, &field);
        const int lower =
            std::max(0, (scale_to_dpi(28, dpi_) - static_cast<int>(field.bottom - field.top)) / 2);
        SetWindowPos(list, nullptr, list_place->x, list_place->y + lower, 0, 0,
                     SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOSIZE);
        SendMessageW(list, CB_SETDROPPEDWIDTH, static_cast<WPARAM>(widest_network), 0);
    }
    place_apps_switch(hwnd_, dpi_, rtl_);
    // The Apps view covers the summary and the chart, between the switch and the buttons.
    apps_view_.place({scale_to_dpi(24, dpi_), scale_to_dpi(70, dpi_), client.right - scale_to_dpi(24, dpi_),
                      client.bottom - scale_to_dpi(52, dpi_)});
}

void UsageWindow::save_placement() {
    if (hwnd_ == nullptr || IsIconic(hwnd_) || IsZoomed(hwnd_)) {
        return;
    }
    RECT window{};
    if (!GetWindowRect(hwnd_, &window)) {
        return;
    }
    place_.width = unscale_from_dpi(window.right - window.left, dpi_);
    place_.height = unscale_from_dpi(window.bottom - window.top, dpi_);
    place_.x = window.left;
    place_.y = window.top;
    if (app_hwnd_ != nullptr) {
        PostMessageW(app_hwnd_, k_msg_usage_window, k_usage_placed, 0);
    }
}

void UsageWindow::set_months(bool months) {
    if (months != months_) {
        months_ = months;
        hovered_ = -1;
        InvalidateRect(hwnd_, nullptr, FALSE);
        publish_access();
    }
    set_apps(false);
}

// The switch's three halves; the chart's place in the Tab order goes while the Apps view covers it.
void UsageWindow::set_apps(bool apps) {
    if (apps != apps_shown_) {
        apps_shown_ = apps;
        hovered_ = -1;
        InvalidateRect(hwnd_, nullptr, FALSE);
        publish_access();
    }
    const int checked = apps_shown_ ? k_id_usage_apps : months_ ? k_id_usage_months : k_id_usage_days;
    for (const int id : {k_id_usage_days, k_id_usage_months, k_id_usage_apps}) {
        SendDlgItemMessageW(hwnd_, id, BM_SETCHECK, id == checked ? BST_CHECKED : BST_UNCHECKED, 0);
    }
    // The Apps view has figures of its own, which no network choice changes.
    for (const int id : {k_id_chart_part, k_id_usage_network_label, k_id_usage_network}) {
        if (const HWND child = GetDlgItem(hwnd_, id); child != nullptr) {
            ShowWindow(child, apps_shown_ ? SW_HIDE : SW_SHOW);
        }
    }
    apps_view_.show(apps_shown_ && hwnd_ != nullptr);
}

void UsageWindow::on_command(int id, int code) {
    if (id == k_id_usage_network && code == CBN_SELCHANGE) {
        const LRESULT chosen = SendDlgItemMessageW(hwnd_, id, CB_GETCURSEL, 0, 0);
        if (chosen >= 0 && app_hwnd_ != nullptr) {
            PostMessageW(app_hwnd_, k_msg_usage_window, k_usage_network, chosen);
        }
        return;
    }
    if (code != BN_CLICKED) {
        return;
    }
    switch (id) {
    case k_id_usage_days:
    case k_id_usage_months:
        set_months(id == k_id_usage_months);
        return;
    case k_id_usage_apps:
        set_apps(true);
        return;
    case k_id_usage_export:
        if (apps_shown_) {
            apps_view_.export_csv(hwnd_, app_hwnd_);
        } else if (app_hwnd_ != nullptr) {
            PostMessageW(app_hwnd_, k_msg_usage_window, k_usage_export, 0);
        }
        return;
    case k_id_usage_close:
    case IDCANCEL: // Escape, through the message loop's dialog handling
        close();
        return;
    default:
        return;
    }
}

void UsageWindow::on_mouse_move(LPARAM lparam) {
    if (!tracking_mouse_) {
        TRACKMOUSEEVENT track{sizeof(track), TME_LEAVE, hwnd_, 0};
        tracking_mouse_ = TrackMouseEvent(&track) != FALSE;
    }
    const float x = static_cast<float>(GET_X_LPARAM(lparam)) * 96.0f / static_cast<float>(dpi_);
    const float y = static_cast<float>(GET_Y_LPARAM(lparam)) * 96.0f / static_cast<float>(dpi_);
    const size_t n = months_ ? view_.months.size() : view_.days.size();
    const int index = y >= plot_rect_.top && y <= plot_rect_.bottom() ? bar_at(plot_rect_, x, n, rtl_) : -1;
    set_hovered(index);
}

void UsageWindow::detach() {
    layouts_.clear();
    ui_font_.reset();
    background_brush_.reset();
    hwnd_ = nullptr;
    tracking_mouse_ = false;
    hovered_ = -1;
    chart_focused_ = false;
}

LRESULT UsageWindow::handle_message(UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
    case WM_SIZE:
        layout();
        InvalidateRect(hwnd_, nullptr, FALSE);
        publish_access();
        return 0;
    case WM_PAINT:
        paint();
        return 0;
    case WM_ERASEBKGND:
        return 1; // the paint covers everything
    case WM_CLOSE:
        close();
        return 0;
    case WM_KEYDOWN:
        if (wparam == VK_ESCAPE) {
            close();
            return 0;
        }
        return DefWindowProcW(hwnd_, message, wparam, lparam);
    case WM_GETMINMAXINFO: {
        const PixelSize minimum = usage_minimum_size(dpi_);
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
        build_controls();
        apps_view_.apply(apps_context(), dpi_); // its own controls and font at the new size
        layout();
        return 0;
    }
    case WM_CTLCOLORSTATIC: {
        if (reinterpret_cast<HWND>(lparam) != GetDlgItem(hwnd_, k_id_usage_network_label)) {
            return DefWindowProcW(hwnd_, message, wparam, lparam);
        }
        const auto dc = reinterpret_cast<HDC>(wparam);
        SetTextColor(dc, colorref(theme_.text));
        SetBkColor(dc, colorref(theme_.bg));
        return reinterpret_cast<LRESULT>(background_brush_ ? background_brush_.get()
                                                           : GetSysColorBrush(COLOR_WINDOW));
    }
    case WM_MOUSEMOVE:
        on_mouse_move(lparam);
        return 0;
    case k_msg_part_focus:
        chart_focused_ = wparam != 0;
        InvalidateRect(hwnd_, nullptr, FALSE); // the focus mark
        publish_access();
        if (chart_focused_) {
            automation_.raise_focus(automation_.published().focused);
        }
        return 0;
    case k_msg_part_key:
        on_chart_key(wparam);
        return 0;
    case WM_MOUSELEAVE:
        tracking_mouse_ = false;
        if (hovered_ != -1) {
            hovered_ = -1;
            InvalidateRect(hwnd_, nullptr, FALSE);
        }
        return 0;
    case WM_EXITSIZEMOVE:
        save_placement();
        return 0;
    case WM_COMMAND:
        on_command(LOWORD(wparam), HIWORD(wparam));
        return 0;
    default:
        return DefWindowProcW(hwnd_, message, wparam, lparam);
    }
}

} // namespace tide::ui
