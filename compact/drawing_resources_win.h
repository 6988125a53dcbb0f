// The process-wide Direct2D and DirectWrite factories, the default font family and the two drawing
// helpers that the compact read-out and the dashboard graph share.
#pragma once

#include <windows.h>

#include <d2d1.h>
#include <dwrite.h>
#include <wrl/client.h>

#include <functional>
#include <string>
#include <string_view>

namespace tide {

struct DrawingResources {
    Microsoft::WRL::ComPtr<ID2D1Factory> d2d;      // single-threaded; empty when creation failed
    Microsoft::WRL::ComPtr<IDWriteFactory> dwrite; // shared; empty when creation failed
    Microsoft::WRL::ComPtr<IDWriteFontCollection> system_fonts;
    std::wstring default_family = L"Segoe UI";
    // The DC render targets that the windows share, one per alpha mode (see shared_dc_render_target).
    Microsoft::WRL::ComPtr<ID2D1DCRenderTarget> premultiplied_target;
    Microsoft::WRL::ComPtr<ID2D1DCRenderTarget> opaque_target;
    HDC bound_dc = nullptr; // the last binding of the premultiplied target, which the read-outs keep
    SIZE bound_size{};
    bool target_failed = false;  // reported once until a target can be created again
    bool fail_targets = false;   // tests: every creation of a target fails
    bool lose_next_draw = false; // tests: the next end_shared_draw finds the device lost
    std::function<void(std::string_view)> report_failure;

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

inline constexpr std::string_view k_drawing_target_failed =
    "A window could not be drawn (Direct2D render target not created); it is tried again at its next paint";

// The render target for drawing into a device context in 32-bit BGRA that every window of this alpha mode
// shares: each target holds the system renderer's device and surfaces (megabytes on some systems), and
// the windows paint one after the other on the main thread. Created on first use; null without a
// factory or on failure, which is reported once through report_failure (until a creation succeeds),
// and the next call tries again. A window asks for it at every paint and lets go when the paint ends:
// after a lost device every window then draws with the one new target, and the old one goes at once.
Microsoft::WRL::ComPtr<ID2D1DCRenderTarget> shared_dc_render_target(D2D1_ALPHA_MODE alpha);

// Binds a shared target to the device context, with the drawing state another window may have left
// (transform, antialiasing, DPI) back at its defaults.
HRESULT bind_shared_target(ID2D1DCRenderTarget* target, HDC dc, const RECT& bounds);

// The premultiplied target is bound to this context at this size already (a read-out whose bitmap is
// unchanged need not bind again; binding costs a fresh surface on some systems).
bool premultiplied_bound_to(HDC dc, SIZE size);

// Forgets the binding to a context that is about to go, and after D2DERR_RECREATE_TARGET the target.
void forget_binding(HDC dc);
void drop_shared_target(D2D1_ALPHA_MODE alpha);

// EndDraw on a shared target; after D2DERR_RECREATE_TARGET the target is dropped for every window, and
// the next paint of any of them creates the new one.
HRESULT end_shared_draw(ID2D1DCRenderTarget* target, D2D1_ALPHA_MODE alpha);

// Fills the arrow icon in the square of side `side` at (x, y), pointing down or up.
void draw_arrow(ID2D1RenderTarget* target, ID2D1Brush* brush, float x, float y, float side, bool downward);

} // namespace tide
