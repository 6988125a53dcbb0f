// The process-wide Direct2D and DirectWrite factories, the default font family and the two drawing
// helpers that the compact read-out and the dashboard graph share.
#pragma once

#include <windows.h>

#include <d2d1.h>
#include <dwrite.h>
#include <wrl/client.h>

#include <string>
#include <string_view>

namespace tide {

struct DrawingResources {
    Microsoft::WRL::ComPtr<ID2D1Factory> d2d;      // single-threaded; empty when creation failed
    Microsoft::WRL::ComPtr<IDWriteFactory> dwrite; // shared; empty when creation failed
    Microsoft::WRL::ComPtr<IDWriteFontCollection> system_fonts;
    std::wstring default_family = L"Segoe UI";

    bool ready() const { return d2d && dwrite; }
};

inline constexpr wchar_t k_fallback_family[] = L"Segoe UI";

// Created once, thread-safely, on first use; used from the main thread only.
DrawingResources& drawing_resources();

// True when the system font collection has a family of exactly this name (an empty name: false).
bool has_font_family(std::wstring_view family);

// Resets the default family to "Segoe UI", then takes the given one if the system has it. When not even
// "Segoe UI" exists (DirectWrite draws nothing for a missing family) the first installed family is used.
void set_default_family(std::wstring_view family);

// A single-line text layout of the whole text with tabular figures, so that changing digits keep their
// width. Family empty: the default family; a family the system lacks also falls back to the default.
// Null on any failure.
Microsoft::WRL::ComPtr<IDWriteTextLayout> create_text_layout(std::wstring_view text, float size_dip,
                                                             DWRITE_FONT_WEIGHT weight, bool rtl,
                                                             std::wstring_view family = {});

// A render target for drawing into a device context in 32-bit BGRA; null without a factory or on failure.
Microsoft::WRL::ComPtr<ID2D1DCRenderTarget> create_dc_render_target(D2D1_ALPHA_MODE alpha);

// Fills the arrow icon in the square of side `side` at (x, y), pointing down or up.
void draw_arrow(ID2D1RenderTarget* target, ID2D1Brush* brush, float x, float y, float side, bool downward);

} // namespace tide
