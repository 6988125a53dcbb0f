// One full paint of the dashboard (cards, texts, grid, both lines, hover read-out) with a one-hour graph
// at 0.25-second sampling (14,400 points) and with a 30-second graph (120 points). Needs a display.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "presentation/theme.h"
#include "ui/dashboard/main_window_win.h"

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

tide::DashboardView view_of(size_t count) {
    tide::DashboardView view;
    view.status_text = L"Connected";
    view.interface_text = L"Ethernet";
    view.download_text = L"12.4 MB/s";
    view.upload_text = L"1.2 MB/s";
    view.download_label = L"Download";
    view.upload_label = L"Upload";
    view.session_line = L"Session total:  \u2193 1.2 GB   \u2191 140 MB";
    view.stats_line = L"Average: \u2193 9 MB/s \u2191 1 MB/s";
    view.format_rate = [](double v) { return std::to_wstring(static_cast<long long>(v / 1e6)) + L" Mbit/s"; };
    for (size_t i = 0; i < count; ++i) {
        view.points.push_back({static_cast<int64_t>(i / 4), i % 500 != 0, 5e7 + static_cast<double>(i % 300) * 1e5,
                               8e6 + static_cast<double>(i % 70) * 1e5});
    }
    return view;
}

double median_paint_us(tide::ui::MainWindow& window, size_t points, int runs) {
    window.update(view_of(points));
    pump();
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        const double start = now_us();
        RedrawWindow(window.hwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
        times.push_back(now_us() - start);
        pump();
    }
    std::nth_element(times.begin(), times.begin() + runs / 2, times.end());
    return times[static_cast<size_t>(runs / 2)];
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    const int runs = argc > 1 ? _wtoi(argv[1]) : 101;
    tide::ui::MainWindow window;
    tide::MainWindowSettings settings;
    if (!window.create(GetModuleHandleW(nullptr), nullptr, settings)) {
        std::printf("the window could not be created\n");
        return 1;
    }
    window.apply(settings, *tide::find_palette("Midnight"), false);
    window.set_graph_state(3600, false);
    window.show(true);
    pump();
    // Hover the middle of the plot so the read-out is part of every paint.
    RECT client{};
    GetClientRect(window.hwnd(), &client);
    SendMessageW(window.hwnd(), WM_MOUSEMOVE, 0, MAKELPARAM(client.right / 2, 300));
    const double many = median_paint_us(window, 14400, runs);
    const double few = median_paint_us(window, 120, runs);
    window.update(tide::DashboardView{});
    std::vector<double> times;
    for (int i = 0; i < 21; ++i) {
        const double start = now_us();
        RedrawWindow(window.hwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
        times.push_back(now_us() - start);
        pump();
    }
    std::nth_element(times.begin(), times.begin() + 10, times.end());
    std::printf("dashboard paint, 14400 points: %.0f us\ndashboard paint, 120 points: %.0f us\n"
                "empty dashboard (cards, panel and grid only): %.0f us\n",
                many, few, times[10]);
    return 0;
}
