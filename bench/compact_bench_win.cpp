// Cost of one content update of the desktop read-out (measure, paint, push) beside a bare
// UpdateLayeredWindow of a bitmap of the same size. Prints the medians and their ratio.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "compact/compact_window_win.h"
#include "compact/drawing_resources_win.h"
#include "compact/layered_surface_win.h"
#include "presentation/theme.h"

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

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

void pump() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        DispatchMessageW(&message);
    }
}

} // namespace

int wmain() {
    using namespace tide;
    constexpr int rounds = 2000;
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    set_default_family(L"Segoe UI");

    CompactSettings settings = CompactSettings::desktop_defaults();
    settings.enabled = true;
    settings.floating_rect = ScreenRect{100, 100, 200, 130};
    ui::CompactWindow window;
    if (!window.create(instance, nullptr)) {
        std::puts("no window");
        return 1;
    }
    window.apply(settings, *find_palette("Midnight"), false);
    window.set_content({L"12.5 Mbps", L"640 kbps", L"Download", L"Upload", true});
    window.show(true);
    pump();

    std::vector<double> update_us;
    for (int i = 0; i < rounds; ++i) {
        const std::wstring value = std::to_wstring(100 + i % 800) + L".5 Mbps";
        const double start = now_us();
        window.set_content({value, L"640 kbps", L"Download", L"Upload", true});
        update_us.push_back(now_us() - start);
        if (i % 64 == 0) {
            pump();
        }
    }

    // Where the time goes: measuring alone, and measuring with painting.
    std::vector<double> measure_us;
    std::vector<double> paint_us;
    for (int i = 0; i < rounds / 4; ++i) {
        double start = now_us();
        window.fit_font(FitAttempt{});
        measure_us.push_back(now_us() - start);
        start = now_us();
        window.paint();
        paint_us.push_back(now_us() - start);
    }
    std::vector<double> top_us;
    for (int i = 0; i < rounds / 4; ++i) {
        const double start = now_us();
        window.keep_on_top();
        top_us.push_back(now_us() - start);
    }
    std::printf("keep_on_top: median %.1f us\n", median(top_us));
    std::printf("measure alone: median %.1f us; measure and paint: median %.1f us\n", median(measure_us),
                median(paint_us));

    // Without any text (icon_only): what drawing text costs.
    CompactSettings icons = settings;
    icons.layout = 3;
    window.apply(icons, *find_palette("Midnight"), false);
    std::vector<double> icon_us;
    for (int i = 0; i < rounds / 4; ++i) {
        const double start = now_us();
        window.paint();
        icon_us.push_back(now_us() - start);
    }
    std::printf("measure and paint without text (icon_only): median %.1f us\n", median(icon_us));
    window.apply(settings, *find_palette("Midnight"), false);

    // The same pixel size pushed without drawing anything.
    const SIZE size = window.size_px();
    const HWND bare =
        CreateWindowExW(WS_EX_LAYERED | WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE, L"Static", L"", WS_POPUP, 300,
                        100, size.cx, size.cy, nullptr, nullptr, instance, nullptr);
    ShowWindow(bare, SW_SHOWNOACTIVATE);
    LayeredSurface surface;
    surface.ensure(size.cx, size.cy);
    std::memset(surface.bits(), 0x80, static_cast<size_t>(size.cx) * size.cy * 4);
    std::vector<double> bare_us;
    for (int i = 0; i < rounds; ++i) {
        const double start = now_us();
        surface.push(bare, 230);
        bare_us.push_back(now_us() - start);
        if (i % 64 == 0) {
            pump();
        }
    }
    DestroyWindow(bare);
    window.destroy();

    const double update = median(update_us);
    const double push = median(bare_us);
    std::printf("read-out %ldx%ld px, %d rounds\n", size.cx, size.cy, rounds);
    std::printf("set_content + paint: median %.1f us\n", update);
    std::printf("bare UpdateLayeredWindow: median %.1f us\n", push);
    std::printf("ratio: %.2f\n", push > 0 ? update / push : 0.0);
    return 0;
}
