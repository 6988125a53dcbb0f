// The Apps view: its controls, the asking on worker threads, and the bars drawn into the list.
#include "ui/usage/apps_view_win.h"

#include <commctrl.h>

#include <algorithm>
#include <ctime>

#include "base/messages_win.h"
#include "base/wide_text_win.h"
#include "compact/dpi.h"
#include "persistence/usage_win.h"

namespace tide::ui {
namespace {

constexpr UINT_PTR k_timer_apps = 1;        // asks Windows again
constexpr UINT_PTR k_timer_connections = 2; // reads the socket tables again
constexpr UINT_PTR k_timer_watchdog = 3;    // a worker that never came back
constexpr UINT k_apps_period_ms = 5 * 60 * 1000;
constexpr UINT k_connections_period_ms = 2000;
// A reading takes milliseconds. One that has not come back by then is given up, or a worker that never
// reports (under Wine a worker started just as another ended was seen never to run) would stop the list
// for as long as the view is shown.
constexpr ULONGLONG k_connections_deadline_ms = 10'000;

constexpr int k_bar_column = 3;

COLORREF colour(const Rgba& c) {
    return RGB(c.r, c.g, c.b);
}

int64_t local_offset_seconds() {
    TIME_ZONE_INFORMATION zone{};
    const DWORD kind = GetTimeZoneInformation(&zone);
    LONG bias = zone.Bias;
    if (kind == TIME_ZONE_ID_DAYLIGHT) {
        bias += zone.DaylightBias;
    } else if (kind == TIME_ZONE_ID_STANDARD) {
        bias += zone.StandardBias;
    }
    return -static_cast<int64_t>(bias) * 60;
}

void add_column(HWND list, int index, const std::wstring& text, int width, bool right) {
    LVCOLUMNW column{};
    column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT | LVCF_SUBITEM;
    column.fmt = right ? LVCFMT_RIGHT : LVCFMT_LEFT;
    column.cx = width;
    column.pszText = const_cast<wchar_t*>(text.c_str());
    column.iSubItem = index;
    SendMessageW(list, LVM_INSERTCOLUMNW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&column));
}

void set_column_text(HWND list, int index, const std::wstring& text) {
    LVCOLUMNW column{};
    column.mask = LVCF_TEXT;
    column.pszText = const_cast<wchar_t*>(text.c_str());
    SendMessageW(list, LVM_SETCOLUMNW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&column));
}

// Sets row `row` to the texts, adding it when the list is shorter.
void set_row(HWND list, int row, const std::vector<std::wstring>& texts) {
    const int count = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    LVITEMW item{};
    item.mask = LVIF_TEXT;
    item.iItem = row;
    item.pszText = const_cast<wchar_t*>(texts[0].c_str());
    if (row >= count) {
        SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
    } else {
        SendMessageW(list, LVM_SETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
    }
    for (size_t i = 1; i < texts.size(); ++i) {
        LVITEMW sub{};
        sub.iSubItem = static_cast<int>(i);
        sub.pszText = const_cast<wchar_t*>(texts[i].c_str());
        SendMessageW(list, LVM_SETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&sub));
    }
}

void trim_rows(HWND list, int rows) {
    for (int count = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0)); count > rows; --count) {
        SendMessageW(list, LVM_DELETEITEM, static_cast<WPARAM>(count - 1), 0);
    }
}

} // namespace

AppsView::~AppsView() {
    if (hwnd_ != nullptr) {
        DestroyWindow(hwnd_);
    }
}

bool AppsView::create(HINSTANCE instance, HWND parent, int dpi, AppsContext context) {
    instance_ = instance;
    dpi_ = dpi;
    context_ = std::move(context);
    WNDCLASSEXW window_class{};
    window_class.cbSize = sizeof(window_class);
    if (!GetClassInfoExW(instance, k_usage_apps_class, &window_class)) {
        window_class.lpfnWndProc = &WindowProcedure::procedure;
        window_class.hInstance = instance;
        window_class.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        window_class.lpszClassName = k_usage_apps_class;
        if (RegisterClassExW(&window_class) == 0) {
            return false;
        }
    }
    // A control parent: Tab and the arrows walk into its controls from the usage window's.
    const DWORD ex_style = WS_EX_CONTROLPARENT | (context_.rtl ? WS_EX_LAYOUTRTL : 0);
    if (CreateWindowExW(ex_style, k_usage_apps_class, L"", WS_CHILD | WS_CLIPCHILDREN, 0, 0, 10, 10, parent,
                        nullptr, instance, static_cast<WindowProcedure*>(this)) == nullptr) {
        return false;
    }
    // The controls come with the first showing: most openings of the usage window never show the
    // apps, and two list views made and destroyed at every opening are memory the process keeps.
    return true;
}

void AppsView::apply(AppsContext context, int dpi) {
    const bool rebuild = context.rtl != context_.rtl || dpi != dpi_;
    const bool source_changed =
        context.every_profile != context_.every_profile || context.billing_day != context_.billing_day;
    context_ = std::move(context);
    dpi_ = dpi;
    if (hwnd_ == nullptr) {
        return;
    }
    if (rebuild) {
        const LONG_PTR ex = GetWindowLongPtrW(hwnd_, GWL_EXSTYLE);
        SetWindowLongPtrW(hwnd_, GWL_EXSTYLE, context_.rtl ? ex | WS_EX_LAYOUTRTL : ex & ~WS_EX_LAYOUTRTL);
    }
    if (!built_) {
        return; // built for the new context when first shown
    }
    if (rebuild) {
        destroy_controls();
        build_controls();
        fill_apps();
        fill_connections();
    } else {
        apply_colours(); // a theme of its own, or the system's light or dark mode changed
        refresh_texts();
    }
    if (source_changed && shown_) {
        ask_apps();
    }
    InvalidateRect(hwnd_, nullptr, TRUE);
}

void AppsView::build_controls() {
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof(metrics);
    if (SystemParametersInfoForDpi(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0, dpi_) ||
        SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0)) {
        font_.reset(CreateFontIndirectW(&metrics.lfMessageFont));
    }
    const DWORD reading = context_.rtl ? WS_EX_RTLREADING : 0;
    const auto make = [&](const wchar_t* cls, int id, DWORD style, DWORD ex) {
        const HWND child =
            CreateWindowExW(ex | reading, cls, L"", WS_CHILD | WS_VISIBLE | style, 0, 0, 10, 10, hwnd_,
                            reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance_, nullptr);
        if (child != nullptr && font_) {
            SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);
        }
        return child;
    };
    make(L"BUTTON", k_id_apps_today, WS_TABSTOP | WS_GROUP | BS_AUTORADIOBUTTON | BS_PUSHLIKE, 0);
    make(L"BUTTON", k_id_apps_period, BS_AUTORADIOBUTTON | BS_PUSHLIKE, 0);
    make(L"BUTTON", k_id_apps_30_days, BS_AUTORADIOBUTTON | BS_PUSHLIKE, 0);
    // Each list's caption is the static before it: a screen reader names the list by it.
    make(L"STATIC", k_id_apps_caption, WS_GROUP | SS_NOPREFIX, 0);
    const DWORD list_style =
        WS_TABSTOP | WS_GROUP | LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS | LVS_NOSORTHEADER;
    for (const int id : {k_id_apps_list, k_id_apps_connections}) {
        if (id == k_id_apps_connections) {
            make(L"STATIC", k_id_apps_note, SS_NOPREFIX, 0);
            make(L"STATIC", k_id_apps_connections_caption, SS_NOPREFIX, 0);
        }
        const HWND list = make(WC_LISTVIEWW, id, list_style, WS_EX_CLIENTEDGE);
        // No double buffer: a mirrored list's buffer came back mirrored once more under Wine (text
        // backwards).
        SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, LVS_EX_FULLROWSELECT);
        const int columns = id == k_id_apps_list ? 4 : 3;
        for (int c = 0; c < columns; ++c) {
            add_column(list, c, L"", scale_to_dpi(100, dpi_), c > 0 && c < k_bar_column);
        }
    }
    const int checked = period_ == AppPeriod::today     ? k_id_apps_today
                        : period_ == AppPeriod::billing ? k_id_apps_period
                                                        : k_id_apps_30_days;
    CheckRadioButton(hwnd_, k_id_apps_today, k_id_apps_30_days, checked);
    apply_colours();
    refresh_texts();
}

void AppsView::apply_colours() {
    background_.reset(CreateSolidBrush(colour(context_.theme.bg)));
    for (const int id : {k_id_apps_list, k_id_apps_connections}) {
        const HWND list = GetDlgItem(hwnd_, id);
        SendMessageW(list, LVM_SETBKCOLOR, 0, colour(context_.theme.surface));
        SendMessageW(list, LVM_SETTEXTBKCOLOR, 0, colour(context_.theme.surface));
        SendMessageW(list, LVM_SETTEXTCOLOR, 0, colour(context_.theme.text));
        InvalidateRect(list, nullptr, TRUE);
    }
}

void AppsView::destroy_controls() {
    for (const int id :
         {k_id_apps_today, k_id_apps_period, k_id_apps_30_days, k_id_apps_caption, k_id_apps_list,
          k_id_apps_note, k_id_apps_connections_caption, k_id_apps_connections}) {
        if (const HWND child = GetDlgItem(hwnd_, id); child != nullptr) {
            DestroyWindow(child);
        }
    }
}

void AppsView::refresh_texts() {
    const auto& t = context_.text;
    SetDlgItemTextW(hwnd_, k_id_apps_today, t("label.today").c_str());
    SetDlgItemTextW(hwnd_, k_id_apps_period,
                    t(context_.billing_day > 1 ? "usage.this_period" : "label.month").c_str());
    SetDlgItemTextW(hwnd_, k_id_apps_30_days, t("apps.last_30_days").c_str());
    SetDlgItemTextW(hwnd_, k_id_apps_caption, t("apps.list").c_str());
    SetDlgItemTextW(hwnd_, k_id_apps_connections_caption, t("apps.connected_now").c_str());
    const HWND apps = GetDlgItem(hwnd_, k_id_apps_list);
    const HWND connections = GetDlgItem(hwnd_, k_id_apps_connections);
    // The window texts name the lists where a reader asks the control itself.
    SetWindowTextW(apps, t("apps.list").c_str());
    SetWindowTextW(connections, t("apps.connected_now").c_str());
    set_column_text(apps, 0, t("apps.app"));
    set_column_text(apps, 1, t("label.download"));
    set_column_text(apps, 2, t("label.upload"));
    set_column_text(connections, 0, t("apps.program"));
    set_column_text(connections, 1, t("apps.tcp"));
    set_column_text(connections, 2, t("apps.udp"));
    show_note();
    fill_apps();
    fill_connections();
    layout();
}

// Top: the span switch; then the apps list over about three fifths, the note under it, and the
// connections below. Everything is laid out left to right; the mirrored window turns it around.
void AppsView::layout() {
    RECT client{};
    GetClientRect(hwnd_, &client);
    const auto s = [this](int v) { return scale_to_dpi(v, dpi_); };
    const int width = client.right;
    const int height = client.bottom;
    int x = 0;
    for (const int id : {k_id_apps_today, k_id_apps_period, k_id_apps_30_days}) {
        const int w = s(130);
        SetWindowPos(GetDlgItem(hwnd_, id), nullptr, x, 0, w, s(28), SWP_NOZORDER | SWP_NOACTIVATE);
        x += w;
    }
    const int free = std::max(height - s(28 + 8 + 20 + 22 + 20), s(80));
    const int apps_height = free * 3 / 5;
    int y = s(36);
    SetWindowPos(GetDlgItem(hwnd_, k_id_apps_caption), nullptr, 0, y, width, s(18),
                 SWP_NOZORDER | SWP_NOACTIVATE);
    y += s(20);
    SetWindowPos(GetDlgItem(hwnd_, k_id_apps_list), nullptr, 0, y, width, apps_height,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    y += apps_height + s(2);
    SetWindowPos(GetDlgItem(hwnd_, k_id_apps_note), nullptr, 0, y, width, s(18),
                 SWP_NOZORDER | SWP_NOACTIVATE);
    y += s(22);
    SetWindowPos(GetDlgItem(hwnd_, k_id_apps_connections_caption), nullptr, 0, y, width, s(18),
                 SWP_NOZORDER | SWP_NOACTIVATE);
    y += s(20);
    SetWindowPos(GetDlgItem(hwnd_, k_id_apps_connections), nullptr, 0, y, width, std::max(height - y, s(40)),
                 SWP_NOZORDER | SWP_NOACTIVATE);
    const int inner = std::max(width - s(24), s(200));
    const HWND apps = GetDlgItem(hwnd_, k_id_apps_list);
    const int name_width = inner * 2 / 5;
    const int figure = inner / 5;
    SendMessageW(apps, LVM_SETCOLUMNWIDTH, 0, name_width);
    SendMessageW(apps, LVM_SETCOLUMNWIDTH, 1, figure);
    SendMessageW(apps, LVM_SETCOLUMNWIDTH, 2, figure);
    SendMessageW(apps, LVM_SETCOLUMNWIDTH, k_bar_column, inner - name_width - 2 * figure);
    const HWND connections = GetDlgItem(hwnd_, k_id_apps_connections);
    SendMessageW(connections, LVM_SETCOLUMNWIDTH, 0, inner / 2);
    SendMessageW(connections, LVM_SETCOLUMNWIDTH, 1, inner / 4);
    SendMessageW(connections, LVM_SETCOLUMNWIDTH, 2, inner - inner / 2 - inner / 4);
}

void AppsView::place(const RECT& area) {
    if (hwnd_ != nullptr) {
        SetWindowPos(hwnd_, nullptr, area.left, area.top, std::max<LONG>(area.right - area.left, 1),
                     std::max<LONG>(area.bottom - area.top, 1), SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

void AppsView::show(bool shown) {
    if (hwnd_ == nullptr || shown == shown_) {
        return;
    }
    shown_ = shown;
    if (shown && !built_) {
        build_controls();
        built_ = true;
        layout();
    }
    ShowWindow(hwnd_, shown ? SW_SHOW : SW_HIDE);
    if (shown) {
        ask_apps();
        ask_connections();
        SetTimer(hwnd_, k_timer_apps, k_apps_period_ms, nullptr);
        SetTimer(hwnd_, k_timer_connections, k_connections_period_ms, nullptr);
    } else {
        KillTimer(hwnd_, k_timer_apps);
        KillTimer(hwnd_, k_timer_connections);
    }
}

void AppsView::ask_apps() {
    AppUsageRequest request;
    request.period = period_;
    request.every_profile = context_.every_profile;
    request.billing_day = context_.billing_day;
    request.now = static_cast<int64_t>(std::time(nullptr));
    request.utc_offset = local_offset_seconds();
    // A newer request makes the older one's answer stale; the older thread ends on its own.
    ++serial_;
    asking_ = true;
    phase_ = Phase::asking;
    show_note();
    ask_in_background<AppUsageAnswer>(hwnd_, k_msg_apps_answer, serial_,
                                      [request] { return ask_app_usage(request); });
    SetTimer(hwnd_, k_timer_watchdog, k_watchdog_ms, nullptr);
}

void AppsView::ask_connections() {
    const ULONGLONG now = GetTickCount64();
    if (reading_connections_ && now - connections_asked_at_ < k_connections_deadline_ms) {
        return; // the last reading is still on its way
    }
    reading_connections_ = true;
    connections_asked_at_ = now;
    ++connections_serial_;
    ask_in_background<std::vector<ProgramConnections>>(hwnd_, k_msg_apps_connections, connections_serial_,
                                                       [] { return read_connections(); });
}

void AppsView::on_apps(WPARAM serial, std::unique_ptr<AppUsageAnswer> answer) {
    if (serial != serial_ || !answer) {
        return;
    }
    asking_ = false;
    KillTimer(hwnd_, k_timer_watchdog);
    switch (answer->status) {
    case AppUsageStatus::ok:
        apps_ = std::move(answer->apps);
        phase_ = apps_.empty() ? Phase::empty : Phase::shown;
        break;
    case AppUsageStatus::unavailable:
        apps_.clear();
        phase_ = Phase::unavailable;
        break;
    case AppUsageStatus::failed:
        phase_ = Phase::failed;
        apps_.clear();
        break;
    case AppUsageStatus::timed_out:
        phase_ = Phase::timed_out;
        apps_.clear();
        break;
    }
    fill_apps();
    show_note();
}

void AppsView::on_connections(WPARAM serial, std::unique_ptr<std::vector<ProgramConnections>> rows) {
    if (serial == connections_serial_) {
        reading_connections_ = false;
    }
    // A reading given up that comes back after all still counts, unless a later one already shows.
    if (serial <= connections_shown_) {
        return;
    }
    if (rows) {
        connections_shown_ = serial;
        connections_ = std::move(*rows);
        fill_connections();
    }
}

std::wstring AppsView::app_name(const AppUsage& app) const {
    return app.system ? context_.text("apps.system") : to_wide(app.name);
}

// In right-to-left a figure would read "GB 1.5": left-to-right marks hold it together. Not isolates: the
// list draws through GDI, which shows them as boxes on systems whose text engine predates them (Wine 8).
std::wstring AppsView::bytes(uint64_t value) const {
    const std::wstring figure = context_.format_bytes ? context_.format_bytes(value) : std::to_wstring(value);
    return context_.rtl ? L"\u200E" + figure + L"\u200E" : figure;
}

void AppsView::fill_apps() {
    const HWND list = GetDlgItem(hwnd_, k_id_apps_list);
    if (list == nullptr) {
        return;
    }
    SendMessageW(list, WM_SETREDRAW, FALSE, 0);
    for (size_t i = 0; i < apps_.size(); ++i) {
        set_row(list, static_cast<int>(i),
                {app_name(apps_[i]), bytes(apps_[i].received), bytes(apps_[i].sent), L""});
    }
    trim_rows(list, static_cast<int>(apps_.size()));
    SendMessageW(list, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(list, nullptr, TRUE);
}

void AppsView::fill_connections() {
    const HWND list = GetDlgItem(hwnd_, k_id_apps_connections);
    if (list == nullptr) {
        return;
    }
    SendMessageW(list, WM_SETREDRAW, FALSE, 0);
    for (size_t i = 0; i < connections_.size(); ++i) {
        const ProgramConnections& row = connections_[i];
        set_row(list, static_cast<int>(i),
                {row.system ? context_.text("apps.system") : to_wide(row.name), std::to_wstring(row.tcp),
                 std::to_wstring(row.udp)});
    }
    trim_rows(list, static_cast<int>(connections_.size()));
    SendMessageW(list, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(list, nullptr, TRUE);
}

void AppsView::show_note() {
    const char* key = "apps.asking";
    switch (phase_) {
    case Phase::asking:
        key = "apps.asking";
        break;
    case Phase::shown:
        key = "apps.lag";
        break;
    case Phase::empty:
        key = "apps.empty";
        break;
    case Phase::unavailable:
        key = "apps.unavailable";
        break;
    case Phase::failed:
        key = "apps.failed";
        break;
    case Phase::timed_out:
        key = "apps.no_answer";
        break;
    }
    SetDlgItemTextW(hwnd_, k_id_apps_note, context_.text(key).c_str());
}

// The bar column: received in the download colour, then sent in the upload colour, as long as the row's
// share of the largest row. The mirrored list mirrors the bars too.
LRESULT AppsView::on_custom_draw(NMLVCUSTOMDRAW* draw) {
    switch (draw->nmcd.dwDrawStage) {
    case CDDS_PREPAINT:
        return CDRF_NOTIFYITEMDRAW;
    case CDDS_ITEMPREPAINT:
        return CDRF_NOTIFYSUBITEMDRAW;
    case CDDS_ITEMPREPAINT | CDDS_SUBITEM:
        break;
    default:
        return CDRF_DODEFAULT;
    }
    const auto row = static_cast<size_t>(draw->nmcd.dwItemSpec);
    if (draw->iSubItem != k_bar_column || row >= apps_.size()) {
        return CDRF_DODEFAULT;
    }
    RECT cell{};
    cell.top = k_bar_column;
    cell.left = LVIR_BOUNDS;
    if (!SendMessageW(draw->nmcd.hdr.hwndFrom, LVM_GETSUBITEMRECT, row, reinterpret_cast<LPARAM>(&cell))) {
        return CDRF_DODEFAULT;
    }
    const HDC dc = draw->nmcd.hdc;
    const Gdi surface(CreateSolidBrush(colour(context_.theme.surface)));
    FillRect(dc, &cell, static_cast<HBRUSH>(surface.get()));
    const AppUsage& app = apps_[row];
    const uint64_t total = app_total(app);
    const int pad = scale_to_dpi(4, dpi_);
    const int full = std::max<int>(cell.right - cell.left - 2 * pad, 0);
    const int length =
        static_cast<int>(full * app_bar_fraction(total, apps_.empty() ? 0 : app_total(apps_[0])));
    const int down = total == 0 ? 0 : static_cast<int>(length * (static_cast<double>(app.received) / total));
    const RECT received{cell.left + pad, cell.top + pad, cell.left + pad + down, cell.bottom - pad};
    const RECT sent{received.right, received.top, cell.left + pad + length, received.bottom};
    const Gdi download(CreateSolidBrush(colour(context_.theme.download)));
    const Gdi upload(CreateSolidBrush(colour(context_.theme.upload)));
    FillRect(dc, &received, static_cast<HBRUSH>(download.get()));
    FillRect(dc, &sent, static_cast<HBRUSH>(upload.get()));
    return CDRF_SKIPDEFAULT;
}

void AppsView::export_csv(HWND owner, HWND app_hwnd) const {
    if (app_hwnd == nullptr) {
        return;
    }
    const std::optional<std::wstring> file_name = ask_csv_path(owner, L"Tidemeter-apps.csv");
    if (!file_name) {
        return;
    }
    auto job = std::make_unique<AppsExport>(
        AppsExport{*file_name, apps_csv_text(apps_, to_utf8(context_.text("apps.system")))});
    if (PostMessageW(app_hwnd, k_msg_usage_window, k_usage_export_apps,
                     reinterpret_cast<LPARAM>(job.get()))) {
        job.release(); // the controller's now
    }
}

void AppsView::detach() {
    hwnd_ = nullptr;
    shown_ = false;
    built_ = false;
    asking_ = false;
    reading_connections_ = false;
}

LRESULT AppsView::handle_message(UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
    case WM_SIZE:
        layout();
        return 0;
    case WM_ERASEBKGND: {
        RECT client{};
        GetClientRect(hwnd_, &client);
        FillRect(reinterpret_cast<HDC>(wparam), &client, static_cast<HBRUSH>(background_.get()));
        return 1;
    }
    case WM_CTLCOLORSTATIC: {
        const auto dc = reinterpret_cast<HDC>(wparam);
        const bool note = GetDlgCtrlID(reinterpret_cast<HWND>(lparam)) == k_id_apps_note;
        const bool trouble =
            phase_ == Phase::unavailable || phase_ == Phase::failed || phase_ == Phase::timed_out;
        SetTextColor(dc, colour(note ? (trouble ? context_.theme.warning : context_.theme.text_muted)
                                     : context_.theme.text));
        SetBkColor(dc, colour(context_.theme.bg));
        return reinterpret_cast<LRESULT>(background_.get());
    }
    case WM_COMMAND:
        if (HIWORD(wparam) == BN_CLICKED) {
            const int id = LOWORD(wparam);
            const AppPeriod chosen = id == k_id_apps_today    ? AppPeriod::today
                                     : id == k_id_apps_period ? AppPeriod::billing
                                                              : AppPeriod::last_30_days;
            if ((id == k_id_apps_today || id == k_id_apps_period || id == k_id_apps_30_days) &&
                chosen != period_) {
                period_ = chosen;
                apps_.clear();
                fill_apps();
                ask_apps();
            }
        }
        return 0;
    case WM_NOTIFY: {
        const auto* header = reinterpret_cast<const NMHDR*>(lparam);
        if (header->idFrom == k_id_apps_list && header->code == NM_CUSTOMDRAW) {
            return on_custom_draw(reinterpret_cast<NMLVCUSTOMDRAW*>(lparam));
        }
        return 0;
    }
    case WM_TIMER:
        if (wparam == k_timer_apps && shown_ && !asking_) {
            ask_apps();
        } else if (wparam == k_timer_connections && shown_) {
            ask_connections();
        } else if (wparam == k_timer_watchdog) {
            KillTimer(hwnd_, k_timer_watchdog);
            if (asking_) {
                ++serial_; // a late answer is dropped
                asking_ = false;
                phase_ = Phase::timed_out;
                apps_.clear();
                fill_apps();
                show_note();
            }
        }
        return 0;
    case k_msg_apps_answer:
        on_apps(wparam, take_posted<AppUsageAnswer>(lparam));
        return 0;
    case k_msg_apps_connections:
        on_connections(wparam, take_posted<std::vector<ProgramConnections>>(lparam));
        return 0;
    default:
        return DefWindowProcW(hwnd_, message, wparam, lparam);
    }
}

HWND create_apps_switch(HWND usage_window, HINSTANCE instance, DWORD ex_style, HFONT font) {
    const HWND apps = CreateWindowExW(
        ex_style, L"BUTTON", L"", WS_CHILD | WS_VISIBLE | BS_AUTORADIOBUTTON | BS_PUSHLIKE, 0, 0, 10, 10,
        usage_window, reinterpret_cast<HMENU>(static_cast<INT_PTR>(k_id_usage_apps)), instance, nullptr);
    if (apps != nullptr && font != nullptr) {
        SendMessageW(apps, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    }
    return apps;
}

void place_apps_switch(HWND usage_window, int dpi, bool rtl) {
    const HWND apps = GetDlgItem(usage_window, k_id_usage_apps);
    const HWND days = GetDlgItem(usage_window, 4101);
    const HWND months = GetDlgItem(usage_window, 4102);
    if (apps == nullptr || days == nullptr || months == nullptr) {
        return;
    }
    RECT client{};
    GetClientRect(usage_window, &client);
    const int width = scale_to_dpi(96, dpi);
    for (const HWND half : {days, months}) {
        RECT r{};
        GetWindowRect(half, &r);
        MapWindowPoints(nullptr, usage_window, reinterpret_cast<POINT*>(&r), 2);
        const int left = std::min(r.left, r.right);
        SetWindowPos(half, nullptr, rtl ? left + width : left - width, std::min(r.top, r.bottom),
                     std::abs(r.right - r.left), std::abs(r.bottom - r.top), SWP_NOZORDER | SWP_NOACTIVATE);
    }
    const int margin = scale_to_dpi(24, dpi);
    SetWindowPos(apps, nullptr, rtl ? margin : client.right - margin - width, scale_to_dpi(14, dpi), width,
                 scale_to_dpi(28, dpi), SWP_NOZORDER | SWP_NOACTIVATE);
}

} // namespace tide::ui
