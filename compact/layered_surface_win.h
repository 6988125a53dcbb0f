// A 32-bit top-down DIB selected into a memory context, pushed to a layered window with per-pixel alpha.
#pragma once

#include <windows.h>

namespace tide {

class LayeredSurface {
public:
    LayeredSurface() = default;
    LayeredSurface(const LayeredSurface&) = delete;
    LayeredSurface& operator=(const LayeredSurface&) = delete;
    ~LayeredSurface() { release(); }

    // Makes the memory context once and the bitmap whenever the size changes; false when either fails.
    bool ensure(int width, int height);
    // Shows the bitmap on the window with the constant alpha on top of the per-pixel alpha.
    bool push(HWND window, BYTE constant_alpha) const;
    void release();

    HDC dc() const { return dc_; }
    void* bits() const { return bits_; }
    int width() const { return width_; }
    int height() const { return height_; }

private:
    HDC dc_ = nullptr;
    HBITMAP bitmap_ = nullptr;
    HGDIOBJ original_ = nullptr; // what the fresh context held, put back before the bitmap is deleted
    void* bits_ = nullptr;
    int width_ = 0;
    int height_ = 0;
};

} // namespace tide
