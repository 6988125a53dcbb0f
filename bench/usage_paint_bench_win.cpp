// One full paint of the usage window's Days view (30 stacked bars, axis, labels, summary row, limit line
// and read-out) beside one full paint of the dashboard (a five-minute graph at one-second sampling) in
// the same run, and their ratio. Needs a display.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "presentation/theme.h"
#include "ui/dashboard/main_window_win.h"
#include "ui/usage/usage_window_win.h"

namespace {

double now_us() {
    static const double frequency = [] {
        LARGE_INTEGER value{};
        QueryPerformanceFrequency(&value);
        return static_cast<double>(value.QuadPart);
    }();
    LARGE_INTEGER counter{};
    QueryPerformanceCounter(&counter);
    return static_cast<double>(counter.QuadPart) * 1e6 / frequency;
}

void pump() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        DispatchMessageW(&message);
    }
}

double median_paint_us(HWND window, int runs) {
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        const double start = now_us();
        RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
        times.push_back(now_us() - start);
        pump();
    }
    std::nth_element(times.begin(), times.begin() + runs / 2, times.end());
    return times[static_cast<size_t>(runs / 2)];
}

tide::ui::UsageView usage_view() {
    tide::UsageStore store;
    const int64_t today = 20000;
    for (int64_t day = today - 400; day <= today; ++day) {
        if (day % 11 != 0) {
            store.add(day, 300'000'000 + static_cast<uint64_t>(day % 17) * 90'000'000,
                      40'000'000 + static_cast<uint64_t>(day % 5) * 9'000'000);
        }
    }
    const tide::UsageLimits limits{1'500'000'000, 30'000'000'000, 1};
    tide::ui::UsageView view;
    view.today = today;
    view.limits = limits;
    view.days = tide::select_days(store, today, limits);
    view.months = tide::select_months(store, today, limits);
    const auto bytes = [](uint64_t v) { return std::to_string(v / 1'000'000) + " MB"; };
    const auto cells = tide::summary_cells(
        tide::usage_summary(store, today, limits), limits,
        [](std::string_view key) { return std::string(key); }, bytes);
    for (size_t i = 0; i < cells.size(); ++i) {
        view.summary_labels[i] = std::wstring(cells[i].label.begin(), cells[i].label.end());
        view.summary_values[i] = std::wstring(cells[i].value.begin(), cells[i].value.end());
        view.summary_details[i] = L"\u2193 1 GB   \u2191 100 MB";
    }
    view.format_bytes = [](uint64_t v) { return std::to_wstring(v / 1'000'000) + L" MB"; };
    return view;
}

tide::DashboardView dashboard_view() {
    tide::DashboardView view;
    view.status_text = L"Connected";
    view.interface_text = L"Ethernet";
    view.download_text = L"12.4 MB/s";
    view.upload_text = L"1.2 MB/s";
    view.download_label = L"Download";
    view.upload_label = L"Upload";
    view.session_line = L"Session total:  \u2193 1.2 GB   \u2191 140 MB";
    view.history_line = L"Today: \u2193 1.2 GB \u2191 140 MB    Last 7 days: \u2193 9 GB \u2191 1 GB";
    view.stats_line = L"Average: \u2193 9 MB/s \u2191 1 MB/s";
    view.format_rate = [](double v) { return std::to_wstring(static_cast<long long>(v / 1e6)) + L" Mbit/s"; };
    for (int64_t i = 0; i < 300; ++i) {
        view.points.push_back(
            {i, true, 5e7 + static_cast<double>(i % 40) * 1e6, 8e6 + static_cast<double>(i % 9) * 1e6});
    }
    return view;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    const int runs = argc > 1 ? _wtoi(argv[1]) : 51;
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    const tide::Theme& theme = *tide::find_palette("Midnight");

    tide::ui::MainWindow dashboard;
    tide::MainWindowSettings dashboard_place;
    dashboard_place.width = 760;
    dashboard_place.height = 540;
    if (!dashboard.create(instance, nullptr, dashboard_place)) {
        std::printf("the dashboard could not be created\n");
        return 1;
    }
    dashboard.apply(dashboard_place, theme, false);
    dashboard.set_graph_state(300, false);
    dashboard.show(true);
    dashboard.update(dashboard_view());
    pump();

    tide::ui::UsageWindow usage;
    tide::UsageWindowSettings usage_place;
    usage_place.width = 760;
    usage_place.height = 540;
    if (!usage.open(instance, nullptr, usage_place, theme, false, L"en", nullptr)) {
        std::printf("the usage window could not be created\n");
        return 1;
    }
    usage.update(usage_view());
    pump();
    // The read-out of the middle bar is part of every paint, as the dashboard's hover is of its own.
    RECT client{};
    GetClientRect(usage.hwnd(), &client);
    SendMessageW(usage.hwnd(), WM_MOUSEMOVE, 0, MAKELPARAM(client.right / 2, client.bottom / 2 + 40));
    GetClientRect(dashboard.hwnd(), &client);
    SendMessageW(dashboard.hwnd(), WM_MOUSEMOVE, 0, MAKELPARAM(client.right / 2, 300));

    // Alternated, so that a slower stretch of the machine falls on both.
    std::vector<double> days;
    std::vector<double> board;
    for (int round = 0; round < 5; ++round) {
        days.push_back(median_paint_us(usage.hwnd(), runs / 5 + 1));
        board.push_back(median_paint_us(dashboard.hwnd(), runs / 5 + 1));
    }
    std::sort(days.begin(), days.end());
    std::sort(board.begin(), board.end());
    const double d = days[2];
    const double b = board[2];
    std::printf("usage window, Days view, one full paint: %.0f us\n", d);
    std::printf("dashboard (300 points), one full paint: %.0f us\n", b);
    std::printf("ratio usage / dashboard: %.2f\n", b > 0 ? d / b : 0.0);
    return 0;
}
