// The settings window's known networks: the list, the selected network's name, metered choice, check
// and Forget button. The edits stay in the NetworkEditor until OK or Apply.
#include "ui/settings/settings_dialog_win.h"

#include <commctrl.h>

#include <algorithm>

#include "base/wide_text_win.h"

namespace tide::ui {
namespace {

// The name box takes somewhat more than a name keeps: the cleaning cuts it on a character boundary.
constexpr WPARAM k_name_box_chars = 64;

std::wstring window_text(HWND window) {
    std::wstring typed(static_cast<size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
    typed.resize(static_cast<size_t>(GetWindowTextW(window, typed.data(), static_cast<int>(typed.size()))));
    return typed;
}

void set_cell(HWND list, int row, int column, const std::wstring& text) {
    LVITEMW cell{};
    cell.iSubItem = column;
    cell.pszText = const_cast<wchar_t*>(text.c_str());
    SendMessageW(list, LVM_SETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&cell));
}

} // namespace

void SettingsDialog::build_network_controls() {
    for (const NetworkControlPlace& place : network_control_places()) {
        const std::wstring caption = text(place.text_key);
        if (place.label.width > 0) {
            // Screen readers name the list, the box and the drop-down by the static text right before it.
            add_child(L"STATIC", caption, SS_LEFT, place.label, 0, k_networks_page);
        }
        switch (place.id) {
        case id_networks: {
            const HWND list = add_child(
                WC_LISTVIEWW, L"", WS_BORDER | WS_TABSTOP | LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS,
                place.control, place.id, k_networks_page);
            SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
            const char* headings[] = {"settings.network_name", "settings.network_metered",
                                      "settings.network_counted"};
            for (int i = 0; i < 3; ++i) {
                std::wstring heading = text(headings[i]);
                LVCOLUMNW column{};
                column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
                column.cx = i < 2 ? scale_to_dpi(k_network_column_widths[static_cast<size_t>(i)], dpi_) : 0;
                column.pszText = heading.data();
                column.iSubItem = i;
                SendMessageW(list, LVM_INSERTCOLUMNW, static_cast<WPARAM>(i),
                             reinterpret_cast<LPARAM>(&column));
            }
            SendMessageW(list, LVM_SETCOLUMNWIDTH, 2, MAKELPARAM(LVSCW_AUTOSIZE_USEHEADER, 0));
            break;
        }
        case id_networks_none:
            add_child(L"STATIC", caption, SS_LEFT, place.control, place.id, k_networks_page);
            break;
        case id_network_name:
            SendMessageW(add_child(L"EDIT", L"", WS_BORDER | ES_AUTOHSCROLL | WS_TABSTOP, place.control,
                                   place.id, k_networks_page),
                         EM_LIMITTEXT, k_name_box_chars, 0);
            break;
        case id_network_metered:
            fill_list(add_child(WC_COMBOBOXW, L"", CBS_DROPDOWNLIST | WS_TABSTOP, place.control, place.id,
                                k_networks_page),
                      place.id);
            break;
        case id_network_counted:
            add_child(L"BUTTON", caption, BS_AUTOCHECKBOX | BS_MULTILINE | WS_TABSTOP, place.control,
                      place.id, k_networks_page);
            break;
        case id_network_forget:
            add_child(L"BUTTON", caption, BS_PUSHBUTTON | WS_TABSTOP, place.control, place.id,
                      k_networks_page);
            break;
        default:
            break;
        }
    }
    fill_network_list();
    select_network(networks_.empty() ? -1 : 0);
}

void SettingsDialog::fill_network_list() {
    const HWND list = GetDlgItem(hwnd_, id_networks);
    const int selected = selected_network();
    loading_ = true;
    SendMessageW(list, LVM_DELETEALLITEMS, 0, 0);
    for (size_t row = 0; row < networks_.size(); ++row) {
        LVITEMW item{};
        item.mask = LVIF_TEXT;
        item.iItem = static_cast<int>(row);
        item.pszText = const_cast<wchar_t*>(L"");
        SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
        show_network_row(static_cast<int>(row));
    }
    loading_ = false;
    select_network(selected < static_cast<int>(networks_.size()) ? selected : -1);
}

void SettingsDialog::show_network_row(int row) {
    const HWND list = GetDlgItem(hwnd_, id_networks);
    const NetworkRowTexts texts = networks_.texts(static_cast<size_t>(row), plan_counts_shown());
    set_cell(list, row, 0, to_wide(texts.name));
    set_cell(list, row, 1, text(texts.metered_key));
    set_cell(list, row, 2, text(texts.counted_key));
}

void SettingsDialog::select_network(int row) {
    const HWND list = GetDlgItem(hwnd_, id_networks);
    loading_ = true;
    LVITEMW state{};
    state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    state.state = 0;
    SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&state));
    if (row >= 0 && row < static_cast<int>(networks_.size())) {
        state.state = LVIS_SELECTED | LVIS_FOCUSED;
        SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&state));
        SendMessageW(list, LVM_ENSUREVISIBLE, static_cast<WPARAM>(row), FALSE);
    }
    loading_ = false;
    load_network_controls();
}

// The selected network's values into its controls, which report none of it as an edit.
void SettingsDialog::load_network_controls() {
    const int row = selected_network();
    const auto at = static_cast<size_t>(row);
    loading_ = true;
    SetWindowTextW(GetDlgItem(hwnd_, id_network_name), row >= 0 ? to_wide(networks_.name(at)).c_str() : L"");
    SendMessageW(GetDlgItem(hwnd_, id_network_metered), CB_SETCURSEL,
                 row >= 0 ? static_cast<WPARAM>(networks_.metered_choice(at)) : static_cast<WPARAM>(-1), 0);
    SendMessageW(GetDlgItem(hwnd_, id_network_counted), BM_SETCHECK,
                 row >= 0 && networks_.chosen(at) ? BST_CHECKED : BST_UNCHECKED, 0);
    loading_ = false;
    update_network_controls();
}

void SettingsDialog::update_network_controls() {
    const bool history =
        SendMessageW(GetDlgItem(hwnd_, id_persist_history), BM_GETCHECK, 0, 0) == BST_CHECKED;
    const bool selected = selected_network() >= 0;
    const int counts = plan_counts_shown();
    for (const NetworkControlPlace& place : network_control_places()) {
        const HWND control = GetDlgItem(hwnd_, place.id);
        const bool enabled = network_control_enabled(place.id, history, selected, counts);
        if (GetFocus() == control && !enabled) {
            SetFocus(GetDlgItem(hwnd_, id_networks)); // a disabled control would keep the keyboard
        }
        EnableWindow(control, enabled ? TRUE : FALSE);
    }
    if (current_page_ == k_networks_page) {
        // An empty list is replaced by the line that says so.
        ShowWindow(GetDlgItem(hwnd_, id_networks), networks_.empty() ? SW_HIDE : SW_SHOWNA);
        ShowWindow(GetDlgItem(hwnd_, id_networks_none), networks_.empty() ? SW_SHOWNA : SW_HIDE);
    }
}

bool SettingsDialog::on_network_command(int id, int code) {
    const int row = selected_network();
    const auto at = static_cast<size_t>(row);
    switch (id) {
    case id_network_name:
        if (code == EN_CHANGE && !loading_ && row >= 0) {
            networks_.rename(at, to_utf8(window_text(GetDlgItem(hwnd_, id))));
            break;
        }
        return true;
    case id_network_metered:
        if (code == CBN_SELCHANGE && row >= 0) {
            networks_.set_metered(at,
                                  static_cast<int>(SendMessageW(GetDlgItem(hwnd_, id), CB_GETCURSEL, 0, 0)));
            break;
        }
        return true;
    case id_network_counted:
        if (code == BN_CLICKED && row >= 0) {
            networks_.set_chosen(at, SendMessageW(GetDlgItem(hwnd_, id), BM_GETCHECK, 0, 0) == BST_CHECKED);
            fill_network_list(); // a first or last check changes what every row counts
            set_apply_enabled(true);
        }
        return true;
    case id_network_forget:
        if (code == BN_CLICKED && row >= 0) {
            networks_.forget(at);
            fill_network_list();
            select_network(std::min(row, static_cast<int>(networks_.size()) - 1));
            SetFocus(GetDlgItem(hwnd_, networks_.empty() ? static_cast<int>(id_persist_history)
                                                         : static_cast<int>(id_networks)));
            set_apply_enabled(true);
        }
        return true;
    default:
        return false;
    }
    show_network_row(row);
    set_apply_enabled(true);
    return true;
}

void SettingsDialog::on_network_notify(const NMHDR& header) {
    if (header.code != LVN_ITEMCHANGED || loading_) {
        return;
    }
    const auto& change = reinterpret_cast<const NMLISTVIEW&>(header);
    if ((change.uChanged & LVIF_STATE) != 0 && ((change.uOldState ^ change.uNewState) & LVIS_SELECTED) != 0) {
        load_network_controls();
    }
}

int SettingsDialog::selected_network() const {
    const HWND list = GetDlgItem(hwnd_, id_networks);
    if (list == nullptr) {
        return -1;
    }
    const auto row =
        static_cast<int>(SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
    return row >= 0 && row < static_cast<int>(networks_.size()) ? row : -1;
}

int SettingsDialog::plan_counts_shown() const {
    return static_cast<int>(SendMessageW(GetDlgItem(hwnd_, id_plan_counts), CB_GETCURSEL, 0, 0));
}

} // namespace tide::ui
