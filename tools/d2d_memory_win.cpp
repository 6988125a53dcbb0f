// tide_d2d_memory: how much memory each Direct2D and DirectWrite call that the dashboard makes per
// paint leaves behind in this process, with nothing of ours in between. Every object here is held
// by a ComPtr and released within its iteration, so a figure that grows with the count belongs to
// the system's implementation, not to a missing release. The soak's figures are read against these.
//
//   tide_d2d_memory [COUNT]       (default 4000) runs every case in a process of its own and prints,
//                                 per case, the growth of the working set and of the private bytes
//                                 per thousand calls over the second half of COUNT calls (the first
//                                 half lets caches and one-time buffers settle)
//   tide_d2d_memory COUNT CASE    one case in this process
#include <windows.h>

#include <d2d1.h>
#include <dwrite.h>
#include <psapi.h>
#include <wrl/client.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <functional>
#include <string>
#include <utility>

using Microsoft::WRL::ComPtr;

namespace {

struct Memory {
    double working_set_kb = 0;
    double private_kb = 0;
};

Memory memory_now() {
    PROCESS_MEMORY_COUNTERS_EX counters{};
    counters.cb = sizeof counters;
    GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                         sizeof counters);
    // Wine gives the private bytes as the page-file usage and leaves the private usage at 0.
    return {counters.WorkingSetSize / 1024.0, std::max(counters.PrivateUsage, counters.PagefileUsage) / 1024.0};
}

struct Drawing {
    ComPtr<ID2D1Factory> d2d;
    ComPtr<IDWriteFactory> dwrite;
    ComPtr<ID2D1DCRenderTarget> target;
    HWND window = nullptr;
    RECT client{0, 0, 800, 600};

    // Binds the target to the window's DC around one draw, as a paint does.
    void paint(const std::function<void(ID2D1RenderTarget*)>& draw) {
        const HDC dc = GetDC(window);
        if (SUCCEEDED(target->BindDC(dc, &client))) {
            target->BeginDraw();
            target->Clear(D2D1::ColorF(0.1f, 0.12f, 0.16f));
            draw(target.Get());
            target->EndDraw();
        }
        ReleaseDC(window, dc);
    }
};

ComPtr<ID2D1PathGeometry> zigzag(ID2D1Factory* factory, int points) {
    ComPtr<ID2D1PathGeometry> path;
    ComPtr<ID2D1GeometrySink> sink;
    if (FAILED(factory->CreatePathGeometry(path.GetAddressOf())) || FAILED(path->Open(sink.GetAddressOf()))) {
        return nullptr;
    }
    sink->BeginFigure(D2D1::Point2F(0, 0), D2D1_FIGURE_BEGIN_HOLLOW);
    for (int k = 1; k < points; ++k) {
        sink->AddLine(D2D1::Point2F(k * 2.0f, static_cast<float>((k * 37) % 100)));
    }
    sink->EndFigure(D2D1_FIGURE_END_OPEN);
    return SUCCEEDED(sink->Close()) ? path : nullptr;
}

ComPtr<IDWriteTextLayout> text_layout(IDWriteFactory* dwrite, int i) {
    ComPtr<IDWriteTextFormat> format;
    ComPtr<IDWriteTextLayout> layout;
    wchar_t text[64];
    std::swprintf(text, 64, L"Download %d.%d Mbit/s", i % 977, i % 10);
    if (FAILED(dwrite->CreateTextFormat(L"Segoe UI", nullptr, DWRITE_FONT_WEIGHT_NORMAL,
                                        DWRITE_FONT_STYLE_NORMAL, DWRITE_FONT_STRETCH_NORMAL, 13.0f, L"",
                                        format.GetAddressOf())) ||
        FAILED(dwrite->CreateTextLayout(text, static_cast<UINT32>(std::wcslen(text)), format.Get(), 4000.0f,
                                        1000.0f, layout.GetAddressOf()))) {
        return nullptr;
    }
    return layout;
}

void measure(const char* name, int count, const std::function<void(int)>& body) {
    for (int i = 0; i < count / 2; ++i) {
        body(i);
    }
    const Memory before = memory_now();
    for (int i = count / 2; i < count; ++i) {
        body(i);
    }
    const Memory after = memory_now();
    count -= count / 2;
    std::printf("%-36s working set %+9.1f kB per 1000   private %+9.1f kB per 1000\n", name,
                (after.working_set_kb - before.working_set_kb) * 1000.0 / count,
                (after.private_kb - before.private_kb) * 1000.0 / count);
    std::fflush(stdout);
}

// The exit code of a run asked for a case past the last one.
constexpr DWORD k_no_such_case = 3;

// Starts this program again for each case, one at a time, so that no case inherits another's heap.
int run_each_case(int count) {
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    for (int c = 0;; ++c) {
        std::wstring command =
            L"\"" + std::wstring(self) + L"\" " + std::to_wstring(count) + L" " + std::to_wstring(c);
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION process{};
        if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                            &process)) {
            std::fprintf(stderr, "could not start case %d\n", c);
            return 1;
        }
        WaitForSingleObject(process.hProcess, INFINITE);
        DWORD code = 0;
        GetExitCodeProcess(process.hProcess, &code);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
        if (code != 0) { // past the last case, or the case could not run
            return code == k_no_such_case ? 0 : 1;
        }
    }
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    const int count = argc > 1 ? std::max(100, _wtoi(argv[1])) : 4000;
    if (argc < 3) {
        return run_each_case(count);
    }
    const int only = _wtoi(argv[2]);
    int next = 0;
    const auto measure_case = [&](const char* name, const std::function<void(int)>& body) {
        if (next++ == only) {
            measure(name, count, body);
        }
    };
    Drawing d;
    const auto properties =
        D2D1::RenderTargetProperties(D2D1_RENDER_TARGET_TYPE_DEFAULT,
                                     D2D1::PixelFormat(DXGI_FORMAT_B8G8R8A8_UNORM, D2D1_ALPHA_MODE_IGNORE));
    d.window = CreateWindowExW(0, L"STATIC", L"tide_d2d_memory", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 800,
                               600, nullptr, nullptr, nullptr, nullptr);
    if (d.window == nullptr ||
        FAILED(D2D1CreateFactory(D2D1_FACTORY_TYPE_SINGLE_THREADED, d.d2d.GetAddressOf())) ||
        FAILED(DWriteCreateFactory(DWRITE_FACTORY_TYPE_SHARED, __uuidof(IDWriteFactory),
                                   reinterpret_cast<IUnknown**>(d.dwrite.GetAddressOf()))) ||
        FAILED(d.d2d->CreateDCRenderTarget(&properties, d.target.GetAddressOf()))) {
        std::fprintf(stderr, "Direct2D or DirectWrite is not available\n");
        return 1;
    }

    measure_case("bind, clear, end", [&](int) { d.paint([](ID2D1RenderTarget*) {}); });
    measure_case("bind to another size each time, clear, end", [&](int i) {
        d.client = RECT{0, 0, 700 + (i * 37) % 400, 500 + (i * 53) % 300};
        d.paint([](ID2D1RenderTarget*) {});
    });
    measure_case("brush and rounded rectangle", [&](int) {
        d.paint([](ID2D1RenderTarget* t) {
            ComPtr<ID2D1SolidColorBrush> brush;
            t->CreateSolidColorBrush(D2D1::ColorF(1, 0, 0), brush.GetAddressOf());
            t->FillRoundedRectangle(D2D1::RoundedRect(D2D1::RectF(10, 10, 200, 100), 10, 10), brush.Get());
        });
    });
    measure_case("path of 240 points, created", [&](int) { zigzag(d.d2d.Get(), 240); });
    // The point counts the dashboard's lines really have: 30 s, 2.5 min, 5 min and 15 min at 250 ms.
    const auto draw_path = [&](ID2D1PathGeometry* path) {
        d.paint([&](ID2D1RenderTarget* t) {
            ComPtr<ID2D1SolidColorBrush> brush;
            t->CreateSolidColorBrush(D2D1::ColorF(1, 0, 0), brush.GetAddressOf());
            t->DrawGeometry(path, brush.Get(), 2.0f);
        });
    };
    for (const auto& [name, points] :
         {std::pair{"path of 120 points, drawn", 120}, std::pair{"path of 240 points, drawn", 240},
          std::pair{"path of 600 points, drawn", 600}, std::pair{"path of 1200 points, drawn", 1200},
          std::pair{"path of 3600 points, drawn", 3600}}) {
        measure_case(name, [&, points = points](int) { draw_path(zigzag(d.d2d.Get(), points).Get()); });
    }
    ComPtr<ID2D1PathGeometry> kept;
    measure_case("path of 1200 points, kept and drawn again", [&](int) {
        if (!kept) {
            kept = zigzag(d.d2d.Get(), 1200);
        }
        draw_path(kept.Get());
    });
    measure_case("dashed stroke style", [&](int) {
        ComPtr<ID2D1StrokeStyle> style;
        d.d2d->CreateStrokeStyle(D2D1::StrokeStyleProperties(D2D1_CAP_STYLE_FLAT, D2D1_CAP_STYLE_FLAT,
                                                             D2D1_CAP_STYLE_FLAT, D2D1_LINE_JOIN_MITER, 10.0f,
                                                             D2D1_DASH_STYLE_DASH, 0.0f),
                                 nullptr, 0, style.GetAddressOf());
    });
    measure_case("text layout, measured", [&](int i) {
        DWRITE_TEXT_METRICS metrics{};
        if (const auto layout = text_layout(d.dwrite.Get(), i)) {
            layout->GetMetrics(&metrics);
        }
    });
    measure_case("text layout, drawn", [&](int i) {
        const auto layout = text_layout(d.dwrite.Get(), i);
        d.paint([&](ID2D1RenderTarget* t) {
            ComPtr<ID2D1SolidColorBrush> brush;
            t->CreateSolidColorBrush(D2D1::ColorF(1, 1, 1), brush.GetAddressOf());
            if (layout) {
                t->DrawTextLayout(D2D1::Point2F(10, 10), layout.Get(), brush.Get(),
                                  D2D1_DRAW_TEXT_OPTIONS_CLIP);
            }
        });
    });
    DestroyWindow(d.window);
    return only < next ? 0 : static_cast<int>(k_no_such_case);
}
