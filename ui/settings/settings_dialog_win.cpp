// The settings window's Windows side: creating the controls, copying values in and out, the buttons.
#include "ui/settings/settings_dialog_win.h"

#include <commctrl.h>
#include <shellscalingapi.h>

#include <algorithm>
#include <utility>

#include "base/wide_text_win.h"

namespace tide::ui {
namespace {

constexpr DWORD k_window_style = WS_CAPTION | WS_SYSMENU;

void init_common_controls_once() {
    static const bool done = [] {
        INITCOMMONCONTROLSEX init{};
        init.dwSize = sizeof(init);
        init.dwICC = ICC_STANDARD_CLASSES | ICC_BAR_CLASSES | ICC_TAB_CLASSES | ICC_LISTVIEW_CLASSES;
        return InitCommonControlsEx(&init) != FALSE;
    }();
    (void)done;
}

HMONITOR monitor_under_cursor() {
    POINT cursor{};
    if (!GetCursorPos(&cursor)) {
        return MonitorFromWindow(nullptr, MONITOR_DEFAULTTOPRIMARY);
    }
    return MonitorFromPoint(cursor, MONITOR_DEFAULTTOPRIMARY);
}

int monitor_dpi(HMONITOR monitor) {
    UINT x = 0;
    UINT y = 0;
    if (monitor == nullptr || FAILED(GetDpiForMonitor(monitor, MDT_EFFECTIVE_DPI, &x, &y)) || x == 0) {
        return 96;
    }
    return static_cast<int>(x);
}

HFONT create_message_font(int dpi) {
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof(metrics);
    if (!SystemParametersInfoForDpi(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0,
                                    static_cast<UINT>(dpi))) {
        // Older systems: the system DPI's font, scaled.
        if (!SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0)) {
            return nullptr;
        }
        metrics.lfMessageFont.lfHeight =
            MulDiv(metrics.lfMessageFont.lfHeight, dpi, static_cast<int>(GetDpiForSystem()));
    }
    return CreateFontIndirectW(&metrics.lfMessageFont);
}

bool register_class(HINSTANCE instance, WNDPROC proc) {
    WNDCLASSEXW window_class{};
    window_class.cbSize = sizeof(window_class);
    window_class.lpfnWndProc = proc;
    window_class.hInstance = instance;
    window_class.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    window_class.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_WINDOW + 1));
    window_class.hIcon = LoadIconW(instance, L"IDI_APP");
    window_class.lpszClassName = k_settings_class;
    return RegisterClassExW(&window_class) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

} // namespace

bool SettingsDialog::open(HINSTANCE instance, HWND controller, const Settings& settings, TextProvider text,
                          bool rtl, ApplyCallback apply, std::vector<NetworkEntry> networks) {
    if (hwnd_ != nullptr) {
        ShowWindow(hwnd_, SW_SHOWNORMAL);
        SetForegroundWindow(hwnd_);
        return true;
    }
    init_common_controls_once();
    instance_ = instance;
    controller_ = controller;
    edits_ = EditTracker(settings);
    networks_ = NetworkEditor(std::move(networks), settings.plan_networks);
    text_provider_ = std::move(text);
    apply_callback_ = std::move(apply);
    rtl_ = rtl;
    current_page_ = 0;
    if (!create_window()) {
        return false;
    }
    build_pages();
    show_values(edits_.shown());
    set_apply_enabled(false);
    ShowWindow(hwnd_, SW_SHOWNORMAL);
    SetForegroundWindow(hwnd_);
    return true;
}

void SettingsDialog::close() {
    if (hwnd_ != nullptr) {
        DestroyWindow(hwnd_);
    }
}

bool SettingsDialog::handle_dialog_message(MSG& message) {
    if (hwnd_ == nullptr || (message.hwnd != hwnd_ && !IsChild(hwnd_, message.hwnd))) {
        return false;
    }
    return IsDialogMessageW(hwnd_, &message) != FALSE;
}

bool SettingsDialog::create_window() {
    if (!register_class(instance_, &WindowProcedure::procedure)) {
        return false;
    }
    const HMONITOR monitor = monitor_under_cursor();
    dpi_ = monitor_dpi(monitor);

    const DWORD ex_style = WS_EX_DLGMODALFRAME | (rtl_ ? WS_EX_LAYOUTRTL : 0);
    RECT outer{0, 0, scale_to_dpi(k_client_size.width, dpi_), scale_to_dpi(k_client_size.height, dpi_)};
    if (!AdjustWindowRectExForDpi(&outer, k_window_style, FALSE, ex_style, static_cast<UINT>(dpi_))) {
        AdjustWindowRectEx(&outer, k_window_style, FALSE, ex_style);
    }
    const int width = outer.right - outer.left;
    const int height = outer.bottom - outer.top;
    MONITORINFO info{};
    info.cbSize = sizeof(info);
    RECT work{0, 0, width, height};
    if (monitor != nullptr && GetMonitorInfoW(monitor, &info)) {
        work = info.rcWork;
    }
    // Centred, but never with its caption above the work area, where it could not be dragged back.
    const int x = std::max(work.left, work.left + (work.right - work.left - width) / 2);
    const int y = std::max(work.top, work.top + (work.bottom - work.top - height) / 2);

    const std::wstring title = text("menu.settings");
    const HWND window = CreateWindowExW(ex_style, k_settings_class, title.c_str(), k_window_style, x, y,
                                        width, height, nullptr, nullptr, instance_,
                                        static_cast<WindowProcedure*>(this));
    return window != nullptr; // hwnd_ is set from WM_NCCREATE on
}

void SettingsDialog::detach() {
    ui_font_.reset();
    hwnd_ = nullptr;
    for (auto& page : pages_) {
        page.clear();
    }
}

LRESULT SettingsDialog::handle_message(UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
    case WM_COMMAND:
        on_command(LOWORD(wparam), HIWORD(wparam), reinterpret_cast<HWND>(lparam));
        return 0;
    case WM_HSCROLL: {
        const int id = GetDlgCtrlID(reinterpret_cast<HWND>(lparam));
        if (lparam != 0 && (id == id_compact_opacity || id == id_desktop_opacity)) {
            set_opacity_label(id);
            set_apply_enabled(true);
        }
        return 0;
    }
    case WM_NOTIFY: {
        const auto* header = reinterpret_cast<const NMHDR*>(lparam);
        if (header != nullptr && header->idFrom == k_tab_control_id && header->code == TCN_SELCHANGE) {
            show_page(static_cast<int>(SendMessageW(header->hwndFrom, TCM_GETCURSEL, 0, 0)));
        } else if (header != nullptr && header->idFrom == id_networks) {
            on_network_notify(*header);
        }
        return 0;
    }
    case WM_CTLCOLORSTATIC: {
        const auto dc = reinterpret_cast<HDC>(wparam);
        SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
        SetBkColor(dc, GetSysColor(COLOR_WINDOW));
        return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_WINDOW));
    }
    case WM_DPICHANGED: {
        const auto* suggested = reinterpret_cast<const RECT*>(lparam);
        if (suggested != nullptr) {
            on_dpi_changed(HIWORD(wparam), *suggested);
        }
        return 0;
    }
    case WM_ACTIVATE:
        // A plain window does not keep its keyboard focus across deactivation the way a dialog does.
        if (LOWORD(wparam) == WA_INACTIVE) {
            const HWND focus = GetFocus();
            focus_ = IsChild(hwnd_, focus) ? focus : nullptr;
        } else {
            restore_focus();
        }
        return 0;
    case WM_CLOSE:
        DestroyWindow(hwnd_);
        return 0;
    default:
        return DefWindowProcW(hwnd_, message, wparam, lparam);
    }
}

void SettingsDialog::on_command(int id, int code, HWND control) {
    if (id == k_ok_button_id && code == BN_CLICKED) {
        apply();
        if (hwnd_ != nullptr) {
            DestroyWindow(hwnd_);
        }
        return;
    }
    if (id == k_cancel_button_id && code == BN_CLICKED) {
        DestroyWindow(hwnd_);
        return;
    }
    if (control != nullptr && on_network_command(id, code)) {
        return;
    }
    if (control != nullptr && code == EN_CHANGE && find_control(id) != nullptr) {
        if (!loading_) {
            set_apply_enabled(true); // typed into a number box
        }
        return;
    }
    if (control == nullptr || (code != BN_CLICKED && code != CBN_SELCHANGE)) {
        return;
    }
    if (id == k_apply_button_id) {
        apply();
        set_apply_enabled(false);
    } else if (id == k_reset_button_id) {
        on_reset();
    } else {
        if (id == id_match_taskbar || id == id_persist_history || id == id_plan_counts) {
            update_dependents();
        }
        if (id == id_plan_counts) {
            fill_network_list(); // what the plan counts follows the choice
        }
        if (id == id_source) {
            set_source_note();
        }
        set_apply_enabled(true);
    }
}

void SettingsDialog::on_reset() {
    UINT flags = MB_YESNO | MB_DEFBUTTON2 | MB_ICONQUESTION;
    if (rtl_) {
        flags |= MB_RIGHT | MB_RTLREADING;
    }
    const int answer =
        MessageBoxW(hwnd_, text("settings.reset_confirm").c_str(), text("menu.settings").c_str(), flags);
    // The message box's own loop may have seen the window closed (shutdown, say).
    if (answer != IDYES || hwnd_ == nullptr) {
        return;
    }
    edits_.reset_to_defaults();
    networks_.reset_plan(default_settings().plan_networks);
    show_values(edits_.shown());
}

void SettingsDialog::on_dpi_changed(int dpi, const RECT& suggested) {
    dpi_ = dpi > 0 ? dpi : 96;
    SetWindowPos(hwnd_, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                 suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
    const FormValues now = read_controls();
    const HWND apply_button = GetDlgItem(hwnd_, k_apply_button_id);
    const bool apply_enabled = apply_button != nullptr && IsWindowEnabled(apply_button);
    const int network = selected_network();
    destroy_children();
    build_pages();
    show_values(now);
    select_network(network);
    set_apply_enabled(apply_enabled);
    if (GetActiveWindow() == hwnd_) {
        restore_focus(); // the old children went with the focus; an inactive window stays inactive
    }
}

void SettingsDialog::restore_focus() {
    if (focus_ == nullptr || !IsChild(hwnd_, focus_) || !IsWindowVisible(focus_) ||
        !IsWindowEnabled(focus_)) {
        focus_ = GetDlgItem(hwnd_, k_tab_control_id);
    }
    SetFocus(focus_);
}

std::wstring SettingsDialog::text(std::string_view key) const {
    return text_provider_ ? text_provider_(std::string(key).c_str()) : to_wide(key);
}

HWND SettingsDialog::add_child(const wchar_t* window_class, const std::wstring& text, DWORD style,
                               DipRect rect, int id, int page) {
    const DipRect r = scale_rect(rect, dpi_);
    const HWND child =
        CreateWindowExW(0, window_class, text.c_str(), WS_CHILD | style, r.x, r.y, r.width, r.height, hwnd_,
                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance_, nullptr);
    if (child == nullptr) {
        return nullptr;
    }
    if (ui_font_.get() != nullptr) {
        SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(ui_font_.get()), FALSE);
    }
    if (page >= 0) {
        pages_[static_cast<size_t>(page)].push_back(child);
    }
    return child;
}

void SettingsDialog::fill_list(HWND list, int id) {
    for (const ListEntry& entry : list_entries(id)) {
        const std::wstring shown = entry.is_key ? text(entry.text) : to_wide(entry.text);
        SendMessageW(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(shown.c_str()));
    }
}

void SettingsDialog::build_pages() {
    ui_font_.reset(create_message_font(dpi_));
    for (auto& page : pages_) {
        page.clear();
    }
    const HWND tabs = add_child(WC_TABCONTROLW, L"", WS_VISIBLE | WS_TABSTOP | WS_CLIPSIBLINGS, k_tab_rect,
                                k_tab_control_id, -1);
    for (int i = 0; i < k_page_count; ++i) {
        std::wstring caption = text(page_text_keys()[static_cast<size_t>(i)]);
        TCITEMW item{};
        item.mask = TCIF_TEXT;
        item.pszText = caption.data();
        SendMessageW(tabs, TCM_INSERTITEMW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&item));
    }
    std::wstring number_caption; // a unit list is read with the caption of the number box before it
    for (const ControlEntry& row : settings_controls()) {
        const ControlRects rects = control_rects(row);
        const std::wstring caption = text(row.label_key);
        switch (row.kind) {
        case ControlKind::check:
            add_child(L"BUTTON", caption, BS_AUTOCHECKBOX | BS_MULTILINE | WS_TABSTOP, rects.control, row.id,
                      row.page);
            break;
        case ControlKind::list: {
            add_child(L"STATIC", caption, SS_LEFT, rects.label, 0, row.page);
            const HWND list = add_child(WC_COMBOBOXW, L"", CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP,
                                        rects.control, row.id, row.page);
            fill_list(list, row.id);
            if (row.id == id_source) {
                add_child(L"STATIC", L"", SS_LEFT, k_source_note_rect, k_source_note_id, row.page);
            }
            break;
        }
        case ControlKind::slider: {
            add_child(L"STATIC", caption, SS_LEFT, rects.label, 0, row.page);
            const HWND slider =
                add_child(TRACKBAR_CLASSW, L"", TBS_AUTOTICKS | WS_TABSTOP, rects.control, row.id, row.page);
            SendMessageW(slider, TBM_SETRANGE, FALSE,
                         MAKELPARAM(k_opacity_min_position, k_opacity_max_position));
            add_child(L"STATIC", L"", SS_LEFT, rects.value_label, row.id + 1, row.page);
            break;
        }
        case ControlKind::number:
            number_caption = caption;
            add_child(L"STATIC", caption, SS_LEFT, rects.label, 0, row.page);
            add_child(L"EDIT", L"", WS_BORDER | ES_NUMBER | ES_AUTOHSCROLL | WS_TABSTOP, rects.control,
                      row.id, row.page);
            break;
        case ControlKind::unit:
            // A label without size right before it: screen readers name a control by the static text
            // that precedes it, and this one has no caption on screen.
            add_child(L"STATIC", number_caption, SS_LEFT, {rects.control.x, rects.control.y, 0, 0}, 0, row.page);
            fill_list(
                add_child(WC_COMBOBOXW, L"", CBS_DROPDOWNLIST | WS_TABSTOP, rects.control, row.id, row.page),
                row.id);
            break;
        }
    }
    build_network_controls();
    for (const ButtonEntry& button : settings_buttons()) {
        const DWORD kind = button.id == k_ok_button_id ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON;
        add_child(L"BUTTON", text(button.text_key), kind | WS_VISIBLE | WS_TABSTOP, button.rect, button.id,
                  -1);
    }
    SendMessageW(tabs, TCM_SETCURSEL, static_cast<WPARAM>(current_page_), 0);
    show_page(current_page_);
}

void SettingsDialog::destroy_children() {
    while (const HWND child = GetWindow(hwnd_, GW_CHILD)) {
        if (!DestroyWindow(child)) {
            break;
        }
    }
    focus_ = nullptr;
    for (auto& page : pages_) {
        page.clear();
    }
}

void SettingsDialog::show_page(int page) {
    if (page < 0 || page >= k_page_count) {
        return;
    }
    current_page_ = page;
    for (int i = 0; i < k_page_count; ++i) {
        for (const HWND child : pages_[static_cast<size_t>(i)]) {
            ShowWindow(child, i == page ? SW_SHOWNA : SW_HIDE);
        }
    }
    update_network_controls(); // the list or the line saying there is none
}

void SettingsDialog::show_values(const FormValues& values) {
    loading_ = true; // the number boxes report the text set here as a change
    for (const ControlEntry& row : settings_controls()) {
        const HWND control = GetDlgItem(hwnd_, row.id);
        const int value = values[row.id];
        switch (row.kind) {
        case ControlKind::check:
            SendMessageW(control, BM_SETCHECK, value != 0 ? BST_CHECKED : BST_UNCHECKED, 0);
            break;
        case ControlKind::list:
        case ControlKind::unit:
            SendMessageW(control, CB_SETCURSEL, static_cast<WPARAM>(value), 0); // out of range: no selection
            break;
        case ControlKind::slider:
            SendMessageW(control, TBM_SETPOS, TRUE, value);
            set_opacity_label(row.id);
            break;
        case ControlKind::number:
            SetWindowTextW(control, std::to_wstring(limit_in_unit(value, values[row.id + 1])).c_str());
            break;
        }
    }
    loading_ = false;
    update_dependents();
    set_source_note();
    fill_network_list(); // what the plan counts follows its choice
}

FormValues SettingsDialog::read_controls() const {
    FormValues values;
    for (const ControlEntry& row : settings_controls()) {
        const HWND control = GetDlgItem(hwnd_, row.id);
        if (control == nullptr) {
            continue; // stays "no selection": its setting is left alone
        }
        switch (row.kind) {
        case ControlKind::check:
            values[row.id] = SendMessageW(control, BM_GETCHECK, 0, 0) == BST_CHECKED ? 1 : 0;
            break;
        case ControlKind::list:
        case ControlKind::unit:
            values[row.id] = static_cast<int>(SendMessageW(control, CB_GETCURSEL, 0, 0)); // CB_ERR is -1
            break;
        case ControlKind::slider:
            values[row.id] = static_cast<int>(SendMessageW(control, TBM_GETPOS, 0, 0));
            break;
        case ControlKind::number: {
            std::wstring typed(static_cast<size_t>(GetWindowTextLengthW(control)) + 1, L'\0');
            typed.resize(
                static_cast<size_t>(GetWindowTextW(control, typed.data(), static_cast<int>(typed.size()))));
            const int unit =
                static_cast<int>(SendMessageW(GetDlgItem(hwnd_, row.id + 1), CB_GETCURSEL, 0, 0));
            values[row.id] = limit_from_text(to_utf8(typed), unit);
            break;
        }
        }
    }
    return values;
}

void SettingsDialog::apply() {
    // Remembered before the callback, whose refresh may run messages that reach this window again.
    SettingsEdit edit = edits_.edit(read_controls());
    edit.plan_networks = networks_.plan_change();
    edit.networks = networks_.edits();
    edits_.applied(edit);
    networks_.applied();
    if (apply_callback_) {
        apply_callback_(edit);
    }
}

void SettingsDialog::set_apply_enabled(bool enabled) {
    const HWND button = GetDlgItem(hwnd_, k_apply_button_id);
    if (button == nullptr) {
        return;
    }
    if (!enabled && GetFocus() == button) {
        SetFocus(GetDlgItem(hwnd_, k_ok_button_id)); // a disabled button would keep the keyboard
    }
    EnableWindow(button, enabled ? TRUE : FALSE);
}

void SettingsDialog::update_dependents() {
    const bool enabled = SendMessageW(GetDlgItem(hwnd_, id_match_taskbar), BM_GETCHECK, 0, 0) != BST_CHECKED;
    for (const int id : k_match_taskbar_dependents) {
        EnableWindow(GetDlgItem(hwnd_, id), enabled ? TRUE : FALSE);
    }
    const bool history =
        SendMessageW(GetDlgItem(hwnd_, id_persist_history), BM_GETCHECK, 0, 0) == BST_CHECKED;
    for (const int id : k_history_dependents) {
        EnableWindow(GetDlgItem(hwnd_, id), history ? TRUE : FALSE);
    }
    update_network_controls();
}

void SettingsDialog::set_source_note() {
    const int position = static_cast<int>(SendMessageW(GetDlgItem(hwnd_, id_source), CB_GETCURSEL, 0, 0));
    SetWindowTextW(GetDlgItem(hwnd_, k_source_note_id), text(source_note_key(position)).c_str());
}

void SettingsDialog::set_opacity_label(int slider_id) {
    const int position = static_cast<int>(SendMessageW(GetDlgItem(hwnd_, slider_id), TBM_GETPOS, 0, 0));
    SetWindowTextW(GetDlgItem(hwnd_, slider_id + 1), to_wide(opacity_text(position)).c_str());
}

} // namespace tide::ui
