// Reading back what is on the screen: how many pixels of a rectangle show a colour.
#pragma once

#include <windows.h>

#include <cstdint>
#include <cstdlib>

#include "presentation/theme.h"

namespace tide::test {

// How many pixels of the rectangle are close to the colour.
inline int count_near(const RECT& r, Rgba expected) {
    const int w = r.right - r.left;
    const int h = r.bottom - r.top;
    const HDC screen = GetDC(nullptr);
    const HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), w, -h, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    const HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    const HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, w, h, screen, r.left, r.top, SRCCOPY);
    int n = 0;
    const auto* pixel = static_cast<const uint8_t*>(bits);
    for (int i = 0; i < w * h; ++i, pixel += 4) {
        n += std::abs(pixel[2] - expected.r) <= 12 && std::abs(pixel[1] - expected.g) <= 12 &&
                     std::abs(pixel[0] - expected.b) <= 12
                 ? 1
                 : 0;
    }
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return n;
}

} // namespace tide::test
