// The memory context and DIB of a layered window.
#include "compact/layered_surface_win.h"

namespace tide {

bool LayeredSurface::ensure(int width, int height) {
    if (width < 1 || height < 1) {
        return false;
    }
    if (dc_ == nullptr) {
        dc_ = CreateCompatibleDC(nullptr);
        if (dc_ == nullptr) {
            return false;
        }
    }
    if (bitmap_ != nullptr && width == width_ && height == height_) {
        return true;
    }
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height; // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    const HBITMAP bitmap = CreateDIBSection(dc_, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (bitmap == nullptr) {
        return false;
    }
    const HGDIOBJ previous = SelectObject(dc_, bitmap);
    if (bitmap_ != nullptr) {
        DeleteObject(bitmap_);
    } else {
        original_ = previous;
    }
    bitmap_ = bitmap;
    bits_ = bits;
    width_ = width;
    height_ = height;
    return true;
}

bool LayeredSurface::push(HWND window, BYTE constant_alpha) const {
    if (dc_ == nullptr || bitmap_ == nullptr) {
        return false;
    }
    SIZE size{width_, height_};
    POINT source{0, 0};
    BLENDFUNCTION blend{AC_SRC_OVER, 0, constant_alpha, AC_SRC_ALPHA};
    return UpdateLayeredWindow(window, nullptr, nullptr, &size, dc_, &source, 0, &blend, ULW_ALPHA) != FALSE;
}

void LayeredSurface::release() {
    if (dc_ != nullptr && original_ != nullptr) {
        SelectObject(dc_, original_);
    }
    if (bitmap_ != nullptr) {
        DeleteObject(bitmap_);
    }
    if (dc_ != nullptr) {
        DeleteDC(dc_);
    }
    dc_ = nullptr;
    bitmap_ = nullptr;
    original_ = nullptr;
    bits_ = nullptr;
    width_ = 0;
    height_ = 0;
}

} // namespace tide
