// One full paint of the dashboard (cards, texts, grid, both lines, hover read-out) with a one-hour graph
// at 0.25-second sampling (14,400 points) and with a 30-second graph (120 points); then the paint of
// one refresh at steady state (new rates, totals, statistics and one more point), nobody hovering and
// with the pointer resting over the plot, and the share of the client area it repaints, at the default
// size. Needs a display.
//
//   dashboard_paint_bench_win [RUNS]              (default 101)
//   dashboard_paint_bench_win pictures FOLDER     saves the dashboard's pictures to compare builds
#include <windows.h>

#include <algorithm>
#include <cstdint>
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

// The process's processor time, all threads (Wine's software rasteriser draws on threads of its own):
// on a machine busy with other work it moves far less than the wall clock.
double cpu_us() {
    FILETIME created, ended, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &created, &ended, &kernel, &user);
    const auto us = [](const FILETIME& t) {
        return static_cast<double>((static_cast<uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime) / 10.0;
    };
    return us(kernel) + us(user);
}

void pump() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        DispatchMessageW(&message);
    }
}

// The view of refresh number `tick`: the graph moves on by one point and every changing text changes.
tide::DashboardView view_of(size_t count, size_t tick = 0) {
    tide::DashboardView view;
    const std::wstring digit = std::to_wstring(tick % 10);
    view.status_text = L"Connected";
    view.interface_text = L"Ethernet";
    view.download_text = L"12." + digit + L" MB/s";
    view.upload_text = L"1." + digit + L" MB/s";
    view.download_label = L"Download";
    view.upload_label = L"Upload";
    view.session_line = L"Session total:  \u2193 1.2" + digit + L" GB   \u2191 140 MB";
    view.history_line = L"Today: 3." + digit + L" GB    This week: 20 GB    This month: 80 GB";
    view.stats_line = L"Average: \u2193 9." + digit + L" MB/s \u2191 1 MB/s";
    view.format_rate = [](double v) { return std::to_wstring(static_cast<long long>(v / 1e6)) + L" Mbit/s"; };
    for (size_t k = 0; k < count; ++k) {
        const size_t i = k + tick;
        view.points.push_back({static_cast<int64_t>(i / 4), i % 500 != 0,
                               5e7 + static_cast<double>(i % 300) * 1e5,
                               8e6 + static_cast<double>(i % 70) * 1e5});
    }
    return view;
}

// The pixels the window will repaint, summed over the parts of its update region.
double pending_pixels(HWND window) {
    const HRGN region = CreateRectRgn(0, 0, 0, 0);
    double pixels = 0;
    if (GetUpdateRgn(window, region, FALSE) != NULLREGION) {
        const DWORD size = GetRegionData(region, 0, nullptr);
        std::vector<DWORD> buffer((size + 3) / 4);
        auto* data = reinterpret_cast<RGNDATA*>(buffer.data());
        if (GetRegionData(region, size, data) == size) {
            const auto* rects = reinterpret_cast<const RECT*>(data->Buffer);
            for (DWORD i = 0; i < data->rdh.nCount; ++i) {
                pixels +=
                    static_cast<double>(rects[i].right - rects[i].left) * (rects[i].bottom - rects[i].top);
            }
        }
    }
    DeleteObject(region);
    return pixels;
}

// Wall-clock median and processor time per run (the processor clock ticks too coarsely for one run).
struct Timing {
    double wall_us = 0;
    double cpu_us = 0;
};

// prepare runs untimed before each timed paint.
template <typename Prepare> Timing time_paints(HWND window, int runs, Prepare prepare) {
    std::vector<double> times;
    double cpu = 0;
    for (int i = 0; i < runs; ++i) {
        prepare(i);
        const double start_cpu = cpu_us();
        const double start = now_us();
        UpdateWindow(window);
        times.push_back(now_us() - start);
        cpu += cpu_us() - start_cpu;
        pump();
    }
    std::nth_element(times.begin(), times.begin() + runs / 2, times.end());
    return {times[static_cast<size_t>(runs / 2)], cpu / runs};
}

Timing full_paints(tide::ui::MainWindow& window, size_t points, int runs) {
    window.update(view_of(points));
    pump();
    return time_paints(window.hwnd(), runs, [&](int) { InvalidateRect(window.hwnd(), nullptr, FALSE); });
}

// Refreshes at steady state; share is the median part of the client area each one repaints.
Timing refreshes(tide::ui::MainWindow& window, size_t points, int runs, double& share) {
    window.update(view_of(points));
    UpdateWindow(window.hwnd());
    RECT client{};
    GetClientRect(window.hwnd(), &client);
    std::vector<double> shares;
    const Timing timing = time_paints(window.hwnd(), runs, [&](int i) {
        window.update(view_of(points, static_cast<size_t>(i) + 1));
        shares.push_back(pending_pixels(window.hwnd()) / (static_cast<double>(client.right) * client.bottom));
    });
    std::nth_element(shares.begin(), shares.begin() + runs / 2, shares.end());
    share = shares[static_cast<size_t>(runs / 2)];
    return timing;
}

// The window's client area as it is on the screen, into a 32-bit BMP file.
void save_client(HWND window, const std::wstring& path) {
    RECT client{};
    GetClientRect(window, &client);
    MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&client), 2);
    const int width = client.right - client.left;
    const int height = client.bottom - client.top;
    BITMAPINFOHEADER header{sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    BITMAPINFO info{};
    info.bmiHeader = header;
    const HDC screen = GetDC(nullptr);
    const HDC memory = CreateCompatibleDC(screen);
    void* bits = nullptr;
    const HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    const HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, client.left, client.top, SRCCOPY);
    const DWORD size = static_cast<DWORD>(width) * static_cast<DWORD>(height) * 4;
    BITMAPFILEHEADER file{0x4D42, static_cast<DWORD>(sizeof(BITMAPFILEHEADER) + sizeof(header) + size), 0, 0,
                          static_cast<DWORD>(sizeof(BITMAPFILEHEADER) + sizeof(header))};
    if (FILE* out = _wfopen(path.c_str(), L"wb"); out != nullptr) {
        std::fwrite(&file, sizeof(file), 1, out);
        std::fwrite(&header, sizeof(header), 1, out);
        std::fwrite(bits, 1, size, out);
        std::fclose(out);
    }
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
}

// For comparing pictures between builds: each case is painted through five refreshes (as a running
// program paints it) and saved as <dir>\<case>-refreshed.bmp, then painted whole and saved as
// <dir>\<case>-whole.bmp.
int save_pictures(tide::ui::MainWindow& window, const tide::MainWindowSettings& settings,
                  const std::wstring& dir) {
    struct Case {
        const wchar_t* name;
        bool rtl;
        size_t points;
        bool hover;
    };
    for (const Case& c :
         {Case{L"ltr-120", false, 120, false}, Case{L"rtl-120", true, 120, false},
          Case{L"ltr-120-hover", false, 120, true}, Case{L"ltr-14400", false, 14400, false}}) {
        window.apply(settings, *tide::find_palette("Midnight"), c.rtl);
        RECT client{};
        GetClientRect(window.hwnd(), &client);
        SendMessageW(window.hwnd(), WM_MOUSEMOVE, 0, MAKELPARAM(client.right / 2, c.hover ? 300 : 5));
        for (size_t tick = 0; tick <= 5; ++tick) {
            window.update(view_of(c.points, tick));
            UpdateWindow(window.hwnd());
            pump();
        }
        Sleep(300);
        save_client(window.hwnd(), dir + L"\\" + c.name + L"-refreshed.bmp");
        RedrawWindow(window.hwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
        pump();
        Sleep(300);
        save_client(window.hwnd(), dir + L"\\" + c.name + L"-whole.bmp");
    }
    return 0;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    const bool pictures = argc > 2 && std::wstring(argv[1]) == L"pictures";
    const int runs = argc > 1 && !pictures ? _wtoi(argv[1]) : 101;
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
    if (pictures) {
        return save_pictures(window, settings, argv[2]);
    }
    // Hover the middle of the plot so the read-out is part of every paint.
    RECT client{};
    GetClientRect(window.hwnd(), &client);
    SendMessageW(window.hwnd(), WM_MOUSEMOVE, 0, MAKELPARAM(client.right / 2, 300));
    const Timing many = full_paints(window, 14400, runs);
    const Timing few = full_paints(window, 120, runs);
    const Timing empty = full_paints(window, 0, runs);
    std::printf(
        "whole dashboard paint (wall median / processor time per paint):\n"
        "  14400 points: %8.0f us / %8.0f us\n  120 points:   %8.0f us / %8.0f us\n"
        "  no points:    %8.0f us / %8.0f us\n  ratio 14400 / 120 points: %.2f (processor time %.2f)\n",
        many.wall_us, many.cpu_us, few.wall_us, few.cpu_us, empty.wall_us, empty.cpu_us,
        many.wall_us / few.wall_us, many.cpu_us / few.cpu_us);

    // Steady state: the pointer away from the plot, each refresh changing what a refresh changes.
    SendMessageW(window.hwnd(), WM_MOUSEMOVE, 0, MAKELPARAM(client.right / 2, 5));
    double hour_share = 0;
    double half_minute_share = 0;
    const Timing hour = refreshes(window, 14400, runs, hour_share);
    const Timing half_minute = refreshes(window, 120, runs, half_minute_share);
    std::printf(
        "one refresh at %ld x %ld pixels (wall median / processor time, share of the client area "
        "repainted):\n"
        "  14400 points: %8.0f us / %8.0f us, %.1f %%\n  120 points:   %8.0f us / %8.0f us, %.1f %%\n",
        client.right, client.bottom, hour.wall_us, hour.cpu_us, 100 * hour_share, half_minute.wall_us,
        half_minute.cpu_us, 100 * half_minute_share);

    // The same with the pointer resting over the middle of the plot: its read-out follows the points.
    SendMessageW(window.hwnd(), WM_MOUSEMOVE, 0, MAKELPARAM(client.right / 2, 300));
    double hover_share = 0;
    const Timing hovered = refreshes(window, 120, runs, hover_share);
    std::printf("  120 points, pointer resting on the plot: %8.0f us / %8.0f us, %.1f %%\n", hovered.wall_us,
                hovered.cpu_us, 100 * hover_share);
    return 0;
}
