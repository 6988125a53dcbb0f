// The process-wide drawing factories, font family checks, text layouts with tabular figures and the arrow.
#include "compact/drawing_resources_win.h"

#include "compact/arrow.h"

#include <string>

using Microsoft::WRL::ComPtr;

namespace tide {

namespace {

DrawingResources make_resources() {
    DrawingResources resources;
    D2D1_FACTORY_OPTIONS options{};
    if (FAILED(D2D1CreateFactory(D2D1_FACTORY_TYPE_SINGLE_THREADED, __uuidof(ID2D1Factory), &options,
                                 reinterpret_cast<void**>(resources.d2d.GetAddressOf())))) {
        resources.d2d.Reset();
    }
    if (FAILED(DWriteCreateFactory(DWRITE_FACTORY_TYPE_SHARED, __uuidof(IDWriteFactory),
                                   reinterpret_cast<IUnknown**>(resources.dwrite.GetAddressOf())))) {
        resources.dwrite.Reset();
    }
    if (resources.dwrite) {
        resources.dwrite->GetSystemFontCollection(resources.system_fonts.GetAddressOf(), FALSE);
    }
    return resources;
}

bool collection_has(IDWriteFontCollection* fonts, std::wstring_view family) {
    if (fonts == nullptr || family.empty()) {
        return false;
    }
    const std::wstring name(family);
    UINT32 index = 0;
    BOOL exists = FALSE;
    return SUCCEEDED(fonts->FindFamilyName(name.c_str(), &index, &exists)) && exists;
}

// The name of the first family of the collection, for a system that has none of the usual faces.
std::wstring first_family(IDWriteFontCollection* fonts) {
    if (fonts == nullptr || fonts->GetFontFamilyCount() == 0) {
        return {};
    }
    ComPtr<IDWriteFontFamily> family;
    ComPtr<IDWriteLocalizedStrings> names;
    if (FAILED(fonts->GetFontFamily(0, family.GetAddressOf())) ||
        FAILED(family->GetFamilyNames(names.GetAddressOf())) || names->GetCount() == 0) {
        return {};
    }
    UINT32 length = 0;
    if (FAILED(names->GetStringLength(0, &length))) {
        return {};
    }
    std::wstring name(length + 1, L'\0');
    if (FAILED(names->GetString(0, name.data(), length + 1))) {
        return {};
    }
    name.resize(length);
    return name;
}

} // namespace

DrawingResources& drawing_resources() {
    static DrawingResources resources = make_resources();
    return resources;
}

bool has_font_family(std::wstring_view family) {
    return collection_has(drawing_resources().system_fonts.Get(), family);
}

void set_default_family(std::wstring_view family) {
    DrawingResources& resources = drawing_resources();
    resources.default_family = k_fallback_family;
    if (has_font_family(family)) {
        resources.default_family = std::wstring(family);
    } else if (!has_font_family(resources.default_family)) {
        std::wstring first = first_family(resources.system_fonts.Get());
        if (!first.empty()) {
            resources.default_family = std::move(first);
        }
    }
}

ComPtr<IDWriteTextLayout> create_text_layout(std::wstring_view text, float size_dip,
                                             DWRITE_FONT_WEIGHT weight, bool rtl, std::wstring_view family) {
    DrawingResources& resources = drawing_resources();
    if (!resources.dwrite || !(size_dip > 0.0f)) {
        return nullptr;
    }
    const std::wstring name(
        family.empty() || !has_font_family(family) ? std::wstring_view(resources.default_family) : family);
    ComPtr<IDWriteTextFormat> format;
    if (FAILED(resources.dwrite->CreateTextFormat(name.c_str(), resources.system_fonts.Get(), weight,
                                                  DWRITE_FONT_STYLE_NORMAL, DWRITE_FONT_STRETCH_NORMAL,
                                                  size_dip, L"", format.GetAddressOf()))) {
        return nullptr;
    }
    if (FAILED(format->SetReadingDirection(rtl ? DWRITE_READING_DIRECTION_RIGHT_TO_LEFT
                                               : DWRITE_READING_DIRECTION_LEFT_TO_RIGHT)) ||
        FAILED(format->SetWordWrapping(DWRITE_WORD_WRAPPING_NO_WRAP))) {
        return nullptr;
    }
    ComPtr<IDWriteTextLayout> layout;
    if (FAILED(resources.dwrite->CreateTextLayout(text.data(), static_cast<UINT32>(text.size()), format.Get(),
                                                  4000.0f, 1000.0f, layout.GetAddressOf()))) {
        return nullptr;
    }
    ComPtr<IDWriteTypography> typography;
    const DWRITE_FONT_FEATURE tabular{DWRITE_FONT_FEATURE_TAG_TABULAR_FIGURES, 1};
    const DWRITE_TEXT_RANGE whole{0, static_cast<UINT32>(text.size())};
    if (FAILED(resources.dwrite->CreateTypography(typography.GetAddressOf())) ||
        FAILED(typography->AddFontFeature(tabular)) ||
        FAILED(layout->SetTypography(typography.Get(), whole))) {
        return nullptr;
    }
    return layout;
}

namespace {

ComPtr<ID2D1DCRenderTarget>& shared_slot(D2D1_ALPHA_MODE alpha) {
    DrawingResources& resources = drawing_resources();
    return alpha == D2D1_ALPHA_MODE_PREMULTIPLIED ? resources.premultiplied_target : resources.opaque_target;
}

} // namespace

ComPtr<ID2D1DCRenderTarget> shared_dc_render_target(D2D1_ALPHA_MODE alpha) {
    DrawingResources& resources = drawing_resources();
    ComPtr<ID2D1DCRenderTarget>& slot = shared_slot(alpha);
    if (slot) {
        return slot;
    }
    const D2D1_RENDER_TARGET_PROPERTIES properties = D2D1::RenderTargetProperties(
        D2D1_RENDER_TARGET_TYPE_DEFAULT, D2D1::PixelFormat(DXGI_FORMAT_B8G8R8A8_UNORM, alpha));
    if (!resources.d2d || resources.fail_targets ||
        FAILED(resources.d2d->CreateDCRenderTarget(&properties, slot.GetAddressOf()))) {
        slot.Reset();
        if (!resources.target_failed && resources.report_failure) {
            resources.report_failure(k_drawing_target_failed);
        }
        resources.target_failed = true;
        return nullptr;
    }
    resources.target_failed = false;
    if (alpha == D2D1_ALPHA_MODE_PREMULTIPLIED) {
        resources.bound_dc = nullptr;
    }
    return slot;
}

HRESULT bind_shared_target(ID2D1DCRenderTarget* target, HDC dc, const RECT& bounds) {
    DrawingResources& resources = drawing_resources();
    const bool premultiplied = target == resources.premultiplied_target.Get();
    if (premultiplied) {
        resources.bound_dc = nullptr;
    }
    const HRESULT bound = target->BindDC(dc, &bounds);
    if (FAILED(bound)) {
        return bound;
    }
    if (premultiplied) {
        resources.bound_dc = dc;
        resources.bound_size = {bounds.right - bounds.left, bounds.bottom - bounds.top};
    }
    target->SetTransform(D2D1::Matrix3x2F::Identity());
    target->SetAntialiasMode(D2D1_ANTIALIAS_MODE_PER_PRIMITIVE);
    target->SetTextAntialiasMode(D2D1_TEXT_ANTIALIAS_MODE_DEFAULT);
    target->SetDpi(96.0f, 96.0f);
    return bound;
}

bool premultiplied_bound_to(HDC dc, SIZE size) {
    const DrawingResources& resources = drawing_resources();
    return dc != nullptr && resources.bound_dc == dc && resources.bound_size.cx == size.cx &&
           resources.bound_size.cy == size.cy;
}

void forget_binding(HDC dc) {
    DrawingResources& resources = drawing_resources();
    if (dc != nullptr && resources.bound_dc == dc) {
        resources.bound_dc = nullptr;
    }
}

void drop_shared_target(D2D1_ALPHA_MODE alpha) {
    shared_slot(alpha).Reset();
    if (alpha == D2D1_ALPHA_MODE_PREMULTIPLIED) {
        drawing_resources().bound_dc = nullptr;
    }
}

HRESULT end_shared_draw(ID2D1DCRenderTarget* target, D2D1_ALPHA_MODE alpha) {
    HRESULT ended = target->EndDraw();
    if (DrawingResources& resources = drawing_resources(); resources.lose_next_draw) {
        resources.lose_next_draw = false;
        ended = static_cast<HRESULT>(D2DERR_RECREATE_TARGET);
    }
    if (ended == static_cast<HRESULT>(D2DERR_RECREATE_TARGET)) {
        drop_shared_target(alpha);
    }
    return ended;
}

void draw_arrow(ID2D1RenderTarget* target, ID2D1Brush* brush, float x, float y, float side, bool downward) {
    ID2D1Factory* factory = drawing_resources().d2d.Get();
    if (target == nullptr || brush == nullptr || factory == nullptr || !(side > 0.0f)) {
        return;
    }
    ComPtr<ID2D1PathGeometry> path;
    ComPtr<ID2D1GeometrySink> sink;
    if (FAILED(factory->CreatePathGeometry(path.GetAddressOf())) || FAILED(path->Open(sink.GetAddressOf()))) {
        return;
    }
    const auto points = arrow_points(x, y, side, downward);
    sink->BeginFigure(D2D1::Point2F(points[0].x, points[0].y), D2D1_FIGURE_BEGIN_FILLED);
    for (size_t i = 1; i < points.size(); ++i) {
        sink->AddLine(D2D1::Point2F(points[i].x, points[i].y));
    }
    sink->EndFigure(D2D1_FIGURE_END_CLOSED);
    if (FAILED(sink->Close())) {
        return;
    }
    target->FillGeometry(path.Get(), brush);
}

} // namespace tide
