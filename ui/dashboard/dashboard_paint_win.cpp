// The dashboard's client area through Direct2D: cards, text lines and the graph.
#include <windows.h>

#include <d2d1.h>
#include <dwrite.h>
#include <wrl/client.h>

#include <algorithm>
#include <string>
#include <string_view>

#include "compact/drawing_resources_win.h"
#include "ui/dashboard/main_window_win.h"

using Microsoft::WRL::ComPtr;

namespace tide::ui {
namespace {

constexpr float k_grid_label_size = 10.0f;

D2D1_RECT_F rect_of(const DipRect& r) {
    return D2D1::RectF(r.left, r.top, r.right(), r.bottom());
}

ComPtr<ID2D1SolidColorBrush> solid(ID2D1RenderTarget* target, const Rgba& c) {
    ComPtr<ID2D1SolidColorBrush> brush;
    target->CreateSolidColorBrush(D2D1::ColorF(c.r / 255.0f, c.g / 255.0f, c.b / 255.0f, c.a / 255.0f),
                                  brush.GetAddressOf());
    return brush;
}

// Draws a single-line text in its box; a text that cannot be laid out is left out.
void draw_text(ID2D1RenderTarget* target, std::wstring_view text, const DipRect& box, float size,
               DWRITE_FONT_WEIGHT weight, bool rtl, ID2D1Brush* brush) {
    if (text.empty() || brush == nullptr) {
        return;
    }
    const ComPtr<IDWriteTextLayout> layout = create_text_layout(text, size, weight, rtl);
    if (!layout) {
        return;
    }
    // Right-to-left text starts at the box's right edge.
    layout->SetMaxWidth(std::max(box.width, 1.0f));
    target->DrawTextLayout(D2D1::Point2F(box.left, box.top), layout.Get(), brush, D2D1_DRAW_TEXT_OPTIONS_CLIP);
}

// One path with a figure per run, so a dashed line keeps its pattern across points.
ComPtr<ID2D1PathGeometry> line_path(const GraphLine& line) {
    ID2D1Factory* factory = drawing_resources().d2d.Get();
    ComPtr<ID2D1PathGeometry> path;
    ComPtr<ID2D1GeometrySink> sink;
    if (factory == nullptr || line.run_starts.empty() || FAILED(factory->CreatePathGeometry(path.GetAddressOf())) ||
        FAILED(path->Open(sink.GetAddressOf()))) {
        return nullptr;
    }
    for (size_t r = 0; r < line.run_starts.size(); ++r) {
        const DipPoint& first = line.points[line.run_starts[r]];
        sink->BeginFigure(D2D1::Point2F(first.x, first.y), D2D1_FIGURE_BEGIN_HOLLOW);
        for (size_t i = line.run_starts[r] + 1; i < line.run_ends[r]; ++i) {
            sink->AddLine(D2D1::Point2F(line.points[i].x, line.points[i].y));
        }
        sink->EndFigure(D2D1_FIGURE_END_OPEN);
    }
    if (FAILED(sink->Close())) {
        return nullptr;
    }
    return path;
}

ComPtr<ID2D1StrokeStyle> dashed_stroke() {
    ID2D1Factory* factory = drawing_resources().d2d.Get();
    ComPtr<ID2D1StrokeStyle> style;
    if (factory != nullptr) {
        factory->CreateStrokeStyle(D2D1::StrokeStyleProperties(D2D1_CAP_STYLE_FLAT, D2D1_CAP_STYLE_FLAT,
                                                               D2D1_CAP_STYLE_FLAT, D2D1_LINE_JOIN_MITER, 10.0f,
                                                               D2D1_DASH_STYLE_DASH, 0.0f),
                                   nullptr, 0, style.GetAddressOf());
    }
    return style;
}

} // namespace

// A DC render target bound to the paint DC rather than a window render target: the window target
// presents over the child controls under Wine (they stay black), while the paint DC is clipped around
// them (WS_CLIPCHILDREN) on every system. The target still draws into its own bitmap and copies it out
// once, so nothing flickers.
void MainWindow::paint() {
    PAINTSTRUCT ps;
    const HDC dc = BeginPaint(hwnd_, &ps);
    DrawingResources& resources = drawing_resources();
    RECT client{};
    GetClientRect(hwnd_, &client);
    if (dc == nullptr || !resources.ready() || client.right <= 1 || client.bottom <= 1) {
        EndPaint(hwnd_, &ps);
        return;
    }
    if (!render_target_) {
        const D2D1_RENDER_TARGET_PROPERTIES properties = D2D1::RenderTargetProperties(
            D2D1_RENDER_TARGET_TYPE_DEFAULT, D2D1::PixelFormat(DXGI_FORMAT_B8G8R8A8_UNORM, D2D1_ALPHA_MODE_IGNORE));
        if (FAILED(resources.d2d->CreateDCRenderTarget(&properties, render_target_.GetAddressOf()))) {
            render_target_.Reset();
            EndPaint(hwnd_, &ps);
            return;
        }
    }
    if (FAILED(render_target_->BindDC(dc, &client))) {
        render_target_.Reset();
        EndPaint(hwnd_, &ps);
        return;
    }
    const auto dpi = static_cast<float>(dpi_);
    render_target_->SetDpi(dpi, dpi);
    render_target_->BeginDraw();
    draw(render_target_.Get(), static_cast<float>(client.right) * 96.0f / dpi,
         static_cast<float>(client.bottom) * 96.0f / dpi);
    if (render_target_->EndDraw() == static_cast<HRESULT>(D2DERR_RECREATE_TARGET)) {
        render_target_.Reset(); // created again by the next paint
    }
    EndPaint(hwnd_, &ps);
}

void MainWindow::draw(ID2D1RenderTarget* target, float width, float height) {
    target->Clear(D2D1::ColorF(theme_.bg.r / 255.0f, theme_.bg.g / 255.0f, theme_.bg.b / 255.0f));
    const auto surface = solid(target, theme_.surface);
    const auto text = solid(target, theme_.text);
    const auto muted = solid(target, theme_.text_muted);
    const auto border = solid(target, theme_.border);
    const auto download = solid(target, view_.connected ? theme_.download : theme_.error);
    const auto upload = solid(target, view_.connected ? theme_.upload : theme_.error);
    if (!surface || !text || !muted || !border || !download || !upload) {
        return;
    }
    // Figures in right-to-left text keep their order inside isolates.
    const auto numeric = [this](std::wstring_view s) { return rtl_ ? isolate(s) : std::wstring(s); };

    const DashboardGeometry g = dashboard_geometry(width, height, rtl_);
    plot_rect_ = g.plot;

    draw_text(target, L"Tidemeter", g.title, 22, DWRITE_FONT_WEIGHT_BOLD, rtl_, text.Get());
    draw_text(target, status_line(view_), g.status, 13, DWRITE_FONT_WEIGHT_NORMAL, rtl_, muted.Get());

    for (size_t i = 0; i < g.cards.size(); ++i) {
        const SpeedCard& card = g.cards[i];
        const bool is_download = i == 0;
        ID2D1SolidColorBrush* value_brush = is_download ? download.Get() : upload.Get();
        target->FillRoundedRectangle(D2D1::RoundedRect(rect_of(card.box), 10, 10), surface.Get());
        draw_arrow(target, value_brush, card.arrow.left, card.arrow.top, card.arrow.width, is_download);
        draw_text(target, is_download ? view_.download_label : view_.upload_label, card.label, 14,
                  DWRITE_FONT_WEIGHT_NORMAL, rtl_, muted.Get());
        draw_text(target, isolate(is_download ? view_.download_text : view_.upload_text), card.value, 32,
                  DWRITE_FONT_WEIGHT_SEMI_BOLD, rtl_, value_brush);
    }

    draw_text(target, view_.session_line, g.session_line, 13, DWRITE_FONT_WEIGHT_NORMAL, rtl_, muted.Get());
    draw_text(target, view_.history_line, g.history_line, 13, DWRITE_FONT_WEIGHT_NORMAL, rtl_, muted.Get());
    draw_text(target, view_.stats_line, g.stats_line, 13, DWRITE_FONT_WEIGHT_NORMAL, rtl_, muted.Get());

    target->FillRoundedRectangle(D2D1::RoundedRect(rect_of(g.panel), 10, 10), surface.Get());
    const AxisScale scale = axis_scale(graph_peak(view_.points), 0);
    for (const GridLine& line : grid_lines(g, scale, rtl_)) {
        target->DrawLine(D2D1::Point2F(g.plot.left, line.y), D2D1::Point2F(g.plot.right(), line.y), border.Get(),
                         1.0f);
        if (view_.format_rate) {
            draw_text(target, numeric(view_.format_rate(line.value)), line.label, k_grid_label_size,
                      DWRITE_FONT_WEIGHT_NORMAL, rtl_, muted.Get());
        }
    }
    draw_text(target, numeric(range_axis_text(graph_range_)), g.range_label, k_grid_label_size,
              DWRITE_FONT_WEIGHT_NORMAL, rtl_, muted.Get());
    draw_text(target, numeric(L"0 s"), g.now_label, k_grid_label_size, DWRITE_FONT_WEIGHT_NORMAL, rtl_,
              muted.Get());

    const size_t n = view_.points.size();
    if (n >= 2) {
        const GraphLines lines = graph_lines(view_.points, g.plot, scale.max, rtl_);
        if (const auto path = line_path(lines.download)) {
            target->DrawGeometry(path.Get(), download.Get(), 2.0f);
        }
        if (const auto path = line_path(lines.upload)) {
            target->DrawGeometry(path.Get(), upload.Get(), 2.0f, dashed_stroke().Get());
        }
    }

    if (hovered_point_ < 0 || static_cast<size_t>(hovered_point_) >= n) {
        return;
    }
    const float x = point_x(g.plot, static_cast<size_t>(hovered_point_), n, rtl_);
    target->DrawLine(D2D1::Point2F(x, g.plot.top), D2D1::Point2F(x, g.plot.bottom()), text.Get(), 1.0f);
    const ComPtr<IDWriteTextLayout> layout =
        create_text_layout(hover_text(view_, static_cast<size_t>(hovered_point_), rtl_), 12, DWRITE_FONT_WEIGHT_NORMAL, rtl_);
    DWRITE_TEXT_METRICS metrics{};
    if (!layout || FAILED(layout->SetMaxWidth(600)) || FAILED(layout->GetMetrics(&metrics))) {
        return;
    }
    const HoverBox hover = hover_box(g, x, metrics.width, metrics.height);
    // The box is as wide as the text: right-to-left text then starts at the box's own right edge.
    layout->SetMaxWidth(std::max(metrics.widthIncludingTrailingWhitespace, 1.0f));
    const D2D1_ROUNDED_RECT box = D2D1::RoundedRect(rect_of(hover.box), 6, 6);
    target->FillRoundedRectangle(box, surface.Get());
    target->DrawRoundedRectangle(box, border.Get(), 1.0f);
    target->DrawTextLayout(D2D1::Point2F(hover.text.x, hover.text.y), layout.Get(), text.Get());
}

} // namespace tide::ui
