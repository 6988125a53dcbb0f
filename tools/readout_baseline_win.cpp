// tide_readout_baseline: the least a Direct2D read-out can be. One per-pixel-alpha layered window,
// one DIB section, one DC render target, two text layouts redrawn every 500 ms; nothing else. Its
// resident memory is what Direct2D, DirectWrite and the window system cost before any program of
// ours adds to them: scripts/cpu.sh reads the program's figures against it.
//
//   tide_readout_baseline [SECONDS] [TARGETS] [DLL...]
//       (default 75 s, 1) then ends by itself; TARGETS - 1 further DC render targets are bound and drawn
//       once, and each DLL named is loaded, to show what one more of either costs
#include <windows.h>

#include <d2d1.h>
#include <dwrite.h>
#include <wrl/client.h>

#include <cstdio>
#include <cwchar>
#include <vector>

using Microsoft::WRL::ComPtr;

namespace {

constexpr int k_width = 180;
constexpr int k_height = 24;

struct Readout {
    HWND window = nullptr;
    HDC memory = nullptr;
    HBITMAP bitmap = nullptr;
    ComPtr<ID2D1Factory> d2d;
    ComPtr<IDWriteFactory> dwrite;
    ComPtr<ID2D1DCRenderTarget> target;
    int tick = 0;

    bool start() {
        const auto properties = D2D1::RenderTargetProperties(
            D2D1_RENDER_TARGET_TYPE_DEFAULT,
            D2D1::PixelFormat(DXGI_FORMAT_B8G8R8A8_UNORM, D2D1_ALPHA_MODE_PREMULTIPLIED));
        if (FAILED(D2D1CreateFactory(D2D1_FACTORY_TYPE_SINGLE_THREADED, d2d.GetAddressOf())) ||
            FAILED(DWriteCreateFactory(DWRITE_FACTORY_TYPE_SHARED, __uuidof(IDWriteFactory),
                                       reinterpret_cast<IUnknown**>(dwrite.GetAddressOf()))) ||
            FAILED(d2d->CreateDCRenderTarget(&properties, target.GetAddressOf()))) {
            return false;
        }
        BITMAPINFO info{};
        info.bmiHeader = {sizeof(BITMAPINFOHEADER), k_width, -k_height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
        void* bits = nullptr;
        memory = CreateCompatibleDC(nullptr);
        bitmap = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        if (memory == nullptr || bitmap == nullptr) {
            return false;
        }
        SelectObject(memory, bitmap);
        window = CreateWindowExW(WS_EX_LAYERED | WS_EX_TOOLWINDOW | WS_EX_TOPMOST, L"STATIC", L"baseline",
                                 WS_POPUP, 100, 100, k_width, k_height, nullptr, nullptr, nullptr, nullptr);
        if (window == nullptr) {
            return false;
        }
        ShowWindow(window, SW_SHOWNOACTIVATE);
        return true;
    }

    void text(const wchar_t* s, float x, ID2D1Brush* brush) {
        ComPtr<IDWriteTextFormat> format;
        ComPtr<IDWriteTextLayout> layout;
        if (SUCCEEDED(dwrite->CreateTextFormat(L"Segoe UI", nullptr, DWRITE_FONT_WEIGHT_SEMI_BOLD,
                                               DWRITE_FONT_STYLE_NORMAL, DWRITE_FONT_STRETCH_NORMAL, 12.0f,
                                               L"", format.GetAddressOf())) &&
            SUCCEEDED(dwrite->CreateTextLayout(s, static_cast<UINT32>(std::wcslen(s)), format.Get(), 4000.0f,
                                               1000.0f, layout.GetAddressOf()))) {
            target->DrawTextLayout(D2D1::Point2F(x, 4), layout.Get(), brush);
        }
    }

    void paint() {
        RECT bounds{0, 0, k_width, k_height};
        if (FAILED(target->BindDC(memory, &bounds))) {
            return;
        }
        target->BeginDraw();
        target->Clear(D2D1::ColorF(0, 0, 0, 0));
        ComPtr<ID2D1SolidColorBrush> brush;
        target->CreateSolidColorBrush(D2D1::ColorF(0.1f, 0.12f, 0.16f), brush.GetAddressOf());
        target->FillRoundedRectangle(D2D1::RoundedRect(D2D1::RectF(0, 0, k_width, k_height), 4, 4),
                                     brush.Get());
        brush->SetColor(D2D1::ColorF(0.4f, 0.8f, 1.0f));
        wchar_t value[32];
        std::swprintf(value, 32, L"%d.%d Mbit/s", tick % 97, tick % 10);
        text(value, 6, brush.Get());
        text(value, 92, brush.Get());
        target->EndDraw();
        SIZE size{k_width, k_height};
        POINT source{0, 0};
        BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
        UpdateLayeredWindow(window, nullptr, nullptr, &size, memory, &source, 0, &blend, ULW_ALPHA);
        ++tick;
    }
};

} // namespace

int wmain(int argc, wchar_t** argv) {
    const int seconds = argc > 1 ? _wtoi(argv[1]) : 75;
    Readout readout;
    if (!readout.start()) {
        std::printf("Direct2D, DirectWrite or the window could not be created\n");
        return 1;
    }
    for (int i = 3; i < argc; ++i) {
        LoadLibraryW(argv[i]);
    }
    const int targets = argc > 2 ? _wtoi(argv[2]) : 1;
    std::vector<ComPtr<ID2D1DCRenderTarget>> more;
    for (int i = 1; i < targets; ++i) {
        const auto properties = D2D1::RenderTargetProperties(
            D2D1_RENDER_TARGET_TYPE_DEFAULT,
            D2D1::PixelFormat(DXGI_FORMAT_B8G8R8A8_UNORM, D2D1_ALPHA_MODE_PREMULTIPLIED));
        ComPtr<ID2D1DCRenderTarget> target;
        RECT bounds{0, 0, k_width, k_height};
        if (SUCCEEDED(readout.d2d->CreateDCRenderTarget(&properties, target.GetAddressOf())) &&
            SUCCEEDED(target->BindDC(readout.memory, &bounds))) {
            target->BeginDraw();
            target->Clear(D2D1::ColorF(0, 0, 0, 0));
            target->EndDraw();
            more.push_back(target);
        }
    }
    readout.paint();
    SetTimer(nullptr, 0, 500, nullptr);
    const ULONGLONG end = GetTickCount64() + static_cast<ULONGLONG>(seconds) * 1000;
    MSG message;
    while (GetTickCount64() < end && GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (message.message == WM_TIMER) {
            readout.paint();
        }
        DispatchMessageW(&message);
    }
    return 0;
}
