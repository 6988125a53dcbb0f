// Measuring and painting the compact read-out through a Direct2D DC render target into its layered bitmap.
#include "compact/compact_window_win.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "compact/dpi.h"
#include "compact/drawing_resources_win.h"

using Microsoft::WRL::ComPtr;

namespace tide::ui {

namespace {

float text_width(IDWriteTextLayout* layout) {
    DWRITE_TEXT_METRICS metrics{};
    if (layout == nullptr || FAILED(layout->GetMetrics(&metrics))) {
        return 0.0f;
    }
    return metrics.widthIncludingTrailingWhitespace;
}

float text_height(IDWriteTextLayout* layout) {
    DWRITE_TEXT_METRICS metrics{};
    if (layout == nullptr || FAILED(layout->GetMetrics(&metrics))) {
        return 0.0f;
    }
    return metrics.height;
}

D2D1_COLOR_F to_color(Rgba c, float alpha_scale = 1.0f) {
    return D2D1::ColorF(c.r / 255.0f, c.g / 255.0f, c.b / 255.0f, c.a / 255.0f * alpha_scale);
}

ComPtr<ID2D1SolidColorBrush> make_brush(ID2D1RenderTarget* target, const D2D1_COLOR_F& color) {
    ComPtr<ID2D1SolidColorBrush> brush;
    if (FAILED(target->CreateSolidColorBrush(color, brush.GetAddressOf()))) {
        return nullptr;
    }
    return brush;
}

} // namespace

CompactMetrics CompactWindow::measure() {
    CompactMetrics m;
    m.layout = layout_in_use();
    const bool native = settings_.native_style;
    float size = 0.0f;
    DWRITE_FONT_WEIGHT weight = DWRITE_FONT_WEIGHT_SEMI_BOLD;
    std::wstring_view family; // empty: the default family
    if (font_override_active_) {
        size = static_cast<float>(font_override_pt_) * 96.0f / 72.0f;
        weight = native ? DWRITE_FONT_WEIGHT_NORMAL : DWRITE_FONT_WEIGHT_SEMI_BOLD;
        if (native) {
            family = native_family_;
        }
    } else if (!native) {
        size = static_cast<float>(settings_.font_size_pt) * 96.0f / 72.0f;
    } else {
        size = native_.font_size_dip;
        weight = DWRITE_FONT_WEIGHT_NORMAL;
        family = native_family_;
    }

    const std::wstring first = decorate_value(content_.download_text, true, m.layout, rtl_);
    const std::wstring second = decorate_value(content_.upload_text, false, m.layout, rtl_);
    m.first_value = create_text_layout(first, size, weight, rtl_, family);
    m.second_value = create_text_layout(second, size, weight, rtl_, family);
    const ComPtr<IDWriteTextLayout> probe = create_text_layout(L"8 MB/s", size, weight, rtl_, family);
    if (m.layout == static_cast<int>(CompactLayout::two_columns)) {
        m.download_label =
            create_text_layout(content_.download_label, size * 0.8f, DWRITE_FONT_WEIGHT_NORMAL, rtl_, family);
        m.upload_label =
            create_text_layout(content_.upload_label, size * 0.8f, DWRITE_FONT_WEIGHT_NORMAL, rtl_, family);
    }
    m.column_width = std::max({text_width(m.first_value.Get()), text_width(m.second_value.Get()),
                               text_width(m.download_label.Get()), text_width(m.upload_label.Get())});
    for (IDWriteTextLayout* layout :
         {m.first_value.Get(), m.second_value.Get(), m.download_label.Get(), m.upload_label.Get()}) {
        if (layout != nullptr) {
            layout->SetMaxWidth(std::max(m.column_width, 0.0f));
        }
    }
    m.line_height = std::max(text_height(probe.Get()), text_height(m.first_value.Get()));
    m.icon_size = static_cast<float>(icon_size_for(size));
    m.insets = box_insets(native, tight_, settings_.min_h);
    m.size = compact_box_size(m.layout, static_cast<int>(std::ceil(m.column_width)),
                              static_cast<int>(std::ceil(m.line_height)), static_cast<int>(m.icon_size),
                              m.insets, settings_.min_w, settings_.max_w, settings_.max_h);
    return m;
}

void CompactWindow::measure_now() {
    size_dip_ = measure().size;
}

SIZE CompactWindow::size_px() const {
    return {scale_to_dpi(size_dip_.width, dpi_), scale_to_dpi(size_dip_.height, dpi_)};
}

// Everything that decides the pixels, apart from the place: settings that only place the window may differ.
bool CompactWindow::draws_like(const CompactWindow& other) const {
    const CompactSettings& a = settings_;
    const CompactSettings& b = other.settings_;
    const bool same_settings = a.native_style == b.native_style && a.upload_first == b.upload_first &&
                               a.layout == b.layout && a.min_w == b.min_w && a.min_h == b.min_h &&
                               a.max_w == b.max_w && a.max_h == b.max_h && a.opacity_pct == b.opacity_pct &&
                               a.corner_radius == b.corner_radius && a.font_size_pt == b.font_size_pt;
    const bool same_native = !a.native_style || (native_.text_color == other.native_.text_color &&
                                                 native_.font_size_dip == other.native_.font_size_dip &&
                                                 native_family_ == other.native_family_);
    return same_settings && same_native && content_ == other.content_ && theme_ == other.theme_ &&
           rtl_ == other.rtl_ && dpi_ == other.dpi_ && size_dip_ == other.size_dip_ &&
           font_override_active_ == other.font_override_active_ &&
           (!font_override_active_ || font_override_pt_ == other.font_override_pt_) &&
           layout_override_ == other.layout_override_ && tight_ == other.tight_;
}

// The other read-out's bitmap, when it shows just what this one would: one layout and one drawing serve
// every taskbar.
bool CompactWindow::copy_picture() {
    const CompactWindow* source = picture_source_;
    if (source == nullptr || source == this || hwnd_ == nullptr || !source->painted_ ||
        !draws_like(*source)) {
        return false;
    }
    const LayeredSurface& from = source->surface_;
    if (from.bits() == nullptr || !surface_.ensure(from.width(), from.height())) {
        return false;
    }
    std::memcpy(surface_.bits(), from.bits(), static_cast<size_t>(from.width()) * from.height() * 4);
    const BYTE alpha = settings_.native_style
                           ? BYTE{255}
                           : static_cast<BYTE>(std::clamp(settings_.opacity_pct, 0, 100) * 255 / 100);
    painted_ = surface_.push(hwnd_, alpha);
    return painted_;
}

void CompactWindow::paint() {
    if (hwnd_ == nullptr || copy_picture()) {
        return;
    }
    CompactMetrics metrics = measure();
    paint_with(metrics);
}

void CompactWindow::paint_with(CompactMetrics& m) {
    painted_ = false;
    const DrawingResources& resources = drawing_resources();
    if (hwnd_ == nullptr || !resources.ready() || size_dip_.width < 1 || size_dip_.height < 1) {
        return;
    }
    const SIZE pixels = size_px();
    if (!surface_.ensure(pixels.cx, pixels.cy)) {
        return;
    }
    // Both read-outs draw through one shared target: binding it to a context or size other than the
    // last one is needed only when the other read-out painted in between or the bitmap changed.
    const ComPtr<ID2D1DCRenderTarget> target = shared_dc_render_target(D2D1_ALPHA_MODE_PREMULTIPLIED);
    if (!target) {
        return;
    }
    if (!premultiplied_bound_to(surface_.dc(), pixels)) {
        const RECT bounds{0, 0, pixels.cx, pixels.cy};
        if (FAILED(bind_shared_target(target.Get(), surface_.dc(), bounds))) {
            return;
        }
    }
    target->SetDpi(static_cast<float>(dpi_), static_cast<float>(dpi_));
    target->SetTextAntialiasMode(D2D1_TEXT_ANTIALIAS_MODE_GRAYSCALE);

    // The box is drawn at the size the window was placed with; the metrics give the item positions.
    const bool native = settings_.native_style;
    const float w = static_cast<float>(size_dip_.width);
    const float h = static_cast<float>(size_dip_.height);
    target->BeginDraw();
    target->Clear(D2D1::ColorF(0, 0, 0, 0));

    // No connection wins over a used-up data limit. The limit shows in native style too: there the
    // figures would otherwise never tell it.
    const auto value_color = [&](const Rgba& own) {
        if (!content_.active) {
            return native ? native_.text_color : theme_.error;
        }
        if (content_.limit_reached) {
            return theme_.warning;
        }
        return native ? native_.text_color : own;
    };
    const Rgba down_color = value_color(theme_.download);
    const Rgba up_color = value_color(theme_.upload);
    const Rgba label_color = native ? native_.text_color : theme_.text_muted;
    const ComPtr<ID2D1SolidColorBrush> down_brush = make_brush(target.Get(), to_color(down_color));
    const ComPtr<ID2D1SolidColorBrush> up_brush = make_brush(target.Get(), to_color(up_color));
    const ComPtr<ID2D1SolidColorBrush> label_brush = make_brush(target.Get(), to_color(label_color));

    if (native) {
        // Nearly invisible, but a fully transparent pixel would let clicks fall through.
        if (const auto fill = make_brush(target.Get(), D2D1::ColorF(0, 0, 0, 0.012f))) {
            target->FillRectangle(D2D1::RectF(0, 0, w, h), fill.Get());
        }
    } else {
        const auto radius = static_cast<float>(settings_.corner_radius);
        const auto fill = make_brush(target.Get(), to_color(theme_.bg));
        const auto edge = make_brush(target.Get(), to_color(theme_.border));
        if (fill) {
            target->FillRoundedRectangle(D2D1::RoundedRect(D2D1::RectF(0, 0, w, h), radius, radius),
                                         fill.Get());
        }
        if (edge) {
            target->DrawRoundedRectangle(
                D2D1::RoundedRect(D2D1::RectF(0.5f, 0.5f, w - 0.5f, h - 0.5f), radius, radius), edge.Get(),
                1.0f);
        }
    }

    const CompactItems items =
        compact_items(m.layout, size_dip_, m.insets, {m.line_height, m.icon_size, m.column_width}, rtl_);
    const bool swap = settings_.upload_first;
    ID2D1SolidColorBrush* first_brush = swap ? up_brush.Get() : down_brush.Get();
    ID2D1SolidColorBrush* second_brush = swap ? down_brush.Get() : up_brush.Get();
    IDWriteTextLayout* first_text = swap ? m.second_value.Get() : m.first_value.Get();
    IDWriteTextLayout* second_text = swap ? m.first_value.Get() : m.second_value.Get();
    IDWriteTextLayout* first_label = swap ? m.upload_label.Get() : m.download_label.Get();
    IDWriteTextLayout* second_label = swap ? m.download_label.Get() : m.upload_label.Get();
    auto text_at = [&target](const ItemSpot& spot, IDWriteTextLayout* layout, ID2D1Brush* brush) {
        if (spot.present && layout != nullptr && brush != nullptr) {
            target->DrawTextLayout(D2D1::Point2F(spot.x, spot.y), layout, brush);
        }
    };
    auto arrow_at = [&target, &m](const ItemSpot& spot, ID2D1Brush* brush, bool downward) {
        if (spot.present) {
            draw_arrow(target.Get(), brush, spot.x, spot.y, m.icon_size, downward);
        }
    };
    arrow_at(items.first_arrow, first_brush, !swap);
    arrow_at(items.second_arrow, second_brush, swap);
    text_at(items.first_text, first_text, first_brush);
    text_at(items.second_text, second_text, second_brush);
    text_at(items.first_label, first_label, label_brush.Get());
    text_at(items.second_label, second_label, label_brush.Get());

    if (FAILED(end_shared_draw(target.Get(), D2D1_ALPHA_MODE_PREMULTIPLIED))) {
        return;
    }
    const BYTE alpha =
        native ? BYTE{255} : static_cast<BYTE>(std::clamp(settings_.opacity_pct, 0, 100) * 255 / 100);
    painted_ = surface_.push(hwnd_, alpha);
}

void CompactWindow::set_content(const CompactContent& content) {
    // An idle connection repeats the same texts every second: the bitmap on the screen already shows them.
    const bool same = painted_ && content == content_;
    content_ = content;
    if (hwnd_ == nullptr) {
        return;
    }
    if (content.access_name != automation_.published().name) {
        automation_.publish(hwnd_, AccessTree{content.access_name, {}, -1});
    }
    if (same || copy_picture()) {
        keep_on_top();
        return;
    }
    CompactMetrics metrics = measure();
    if (metrics.size == size_dip_) {
        paint_with(metrics);
    } else if (moving_ || dragging_) {
        // Placing now would pull the read-out from under the user's hand: the box keeps its size until
        // the move ends, which places it.
        place_after_move_ = true;
        paint_with(metrics);
    } else {
        place();
    }
    keep_on_top();
}

void CompactWindow::release_drawing() {
    painted_ = false;
    forget_binding(surface_.dc());
    surface_.release();
}

} // namespace tide::ui
