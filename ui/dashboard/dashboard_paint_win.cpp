// The dashboard's client area through Direct2D: cards, text lines and the graph.
#include <windows.h>

#include <d2d1.h>
#include <dwrite.h>
#include <wrl/client.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <string>
#include <string_view>
#include <vector>

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
    target->DrawTextLayout(D2D1::Point2F(box.left, box.top), layout.Get(), brush,
                           D2D1_DRAW_TEXT_OPTIONS_CLIP);
}

// One path with a figure per run, so a dashed line keeps its pattern across points.
ComPtr<ID2D1PathGeometry> line_path(const GraphLine& line) {
    ID2D1Factory* factory = drawing_resources().d2d.Get();
    ComPtr<ID2D1PathGeometry> path;
    ComPtr<ID2D1GeometrySink> sink;
    if (factory == nullptr || line.run_starts.empty() ||
        FAILED(factory->CreatePathGeometry(path.GetAddressOf())) || FAILED(path->Open(sink.GetAddressOf()))) {
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

// Direct2D's default stroke and the dashed one both join with mitres limited to 10 half widths.
constexpr float k_line_half_width = 1.0f;
constexpr float k_miter_limit = 10.0f;
// Wine ignores that limit and draws a 25-half-width stub at a join of two segments exactly in line:
// what a changed line may have covered is taken as far as either can reach.
constexpr float k_miter_reach = 2000.0f;
constexpr float k_straight_stub = 25.0f * k_line_half_width;

ComPtr<ID2D1StrokeStyle> dashed_stroke() {
    ID2D1Factory* factory = drawing_resources().d2d.Get();
    ComPtr<ID2D1StrokeStyle> style;
    if (factory != nullptr) {
        factory->CreateStrokeStyle(D2D1::StrokeStyleProperties(D2D1_CAP_STYLE_FLAT, D2D1_CAP_STYLE_FLAT,
                                                               D2D1_CAP_STYLE_FLAT, D2D1_LINE_JOIN_MITER,
                                                               k_miter_limit, D2D1_DASH_STYLE_DASH, 0.0f),
                                   nullptr, 0, style.GetAddressOf());
    }
    return style;
}

// The parts of the window's update region, read before BeginPaint empties it. Each is painted on its
// own, so the cost follows the changed area and not the box around all of it; a region cut into very
// many pieces is painted as that box.
std::vector<RECT> update_rects(HWND window, const RECT& box) {
    std::vector<RECT> rects;
    const HRGN region = CreateRectRgn(0, 0, 0, 0);
    if (region != nullptr && GetUpdateRgn(window, region, FALSE) == COMPLEXREGION) {
        const DWORD size = GetRegionData(region, 0, nullptr);
        std::vector<DWORD> buffer((size + sizeof(DWORD) - 1) / sizeof(DWORD));
        auto* data = reinterpret_cast<RGNDATA*>(buffer.data());
        if (size > 0 && GetRegionData(region, size, data) == size && data->rdh.nCount <= 32) {
            const auto* first = reinterpret_cast<const RECT*>(data->Buffer);
            rects.assign(first, first + data->rdh.nCount);
        }
    }
    if (region != nullptr) {
        DeleteObject(region);
    }
    if (rects.empty()) {
        rects.push_back(box);
    }
    return rects;
}

// The hover read-out of point h as it is drawn: its text laid out, its box, and the two parts it covers
// on screen (the marker across the plot, the box), each with its antialiased edge. No layout when
// nothing is hovered or the text cannot be laid out.
struct HoverDrawing {
    ComPtr<IDWriteTextLayout> layout;
    HoverBox place;
    std::array<DipRect, 2> parts{};
};

HoverDrawing hover_drawing(const DashboardView& view, const DashboardGeometry& g, int h, bool rtl) {
    HoverDrawing hover;
    const size_t n = view.points.size();
    if (h < 0 || static_cast<size_t>(h) >= n) {
        return hover;
    }
    const float x = point_x(g.plot, static_cast<size_t>(h), n, rtl);
    hover.layout = create_text_layout(hover_text(view, static_cast<size_t>(h), rtl), 12, DWRITE_FONT_WEIGHT_NORMAL,
                                      rtl);
    DWRITE_TEXT_METRICS metrics{};
    if (!hover.layout || FAILED(hover.layout->SetMaxWidth(600)) || FAILED(hover.layout->GetMetrics(&metrics))) {
        hover.layout.Reset();
        return hover;
    }
    hover.place = hover_box(g, x, metrics.width, metrics.height);
    // The box is as wide as the text: right-to-left text then starts at the box's own right edge.
    hover.layout->SetMaxWidth(std::max(metrics.widthIncludingTrailingWhitespace, 1.0f));
    hover.parts = {DipRect{x - 2, g.plot.top - 1, 4, g.plot.height + 2}, inflated(hover.place.box, 2, 2)};
    return hover;
}

} // namespace

DashboardGeometry MainWindow::geometry() const {
    RECT client{};
    GetClientRect(hwnd_, &client);
    const float scale = 96.0f / static_cast<float>(dpi_);
    return dashboard_geometry(static_cast<float>(client.right) * scale,
                              static_cast<float>(client.bottom) * scale, rtl_);
}

// A DIP area to the pixels it touches, with one more on each side for antialiased edges.
void MainWindow::invalidate(const DipRect& area) {
    if (hwnd_ == nullptr || area.empty()) {
        return;
    }
    const float scale = static_cast<float>(dpi_) / 96.0f;
    const RECT pixels{static_cast<LONG>(std::floor(area.left * scale)) - 1,
                      static_cast<LONG>(std::floor(area.top * scale)) - 1,
                      static_cast<LONG>(std::ceil(area.right() * scale)) + 1,
                      static_cast<LONG>(std::ceil(area.bottom() * scale)) + 1};
    InvalidateRect(hwnd_, &pixels, FALSE);
}

void MainWindow::invalidate_changes(const DashboardView& old) {
    if (paint_whole_ || old.connected != view_.connected) { // the cards and both lines change colour
        InvalidateRect(hwnd_, nullptr, FALSE);
        return;
    }
    const DashboardGeometry g = geometry();
    // Glyphs may reach a little past their nominal boxes.
    const auto text = [this](bool changed, const DipRect& box) {
        if (changed) {
            invalidate(inflated(box, 1, 3));
        }
    };
    text(status_line(old) != status_line(view_), g.status);
    text(old.download_label != view_.download_label, g.cards[0].label);
    text(old.upload_label != view_.upload_label, g.cards[1].label);
    text(old.download_text != view_.download_text, g.cards[0].value);
    text(old.upload_text != view_.upload_text, g.cards[1].value);
    text(old.session_line != view_.session_line, g.session_line);
    text(old.history_line != view_.history_line, g.history_line);
    text(old.stats_line != view_.stats_line, g.stats_line);

    const AxisScale before = axis_scale(graph_peak(old.points), 0);
    const AxisScale after = axis_scale(graph_peak(view_.points), 0);
    const auto labels = [&g, this](const DashboardView& view, AxisScale scale) {
        std::vector<std::wstring> texts;
        for (const GridLine& line : grid_lines(g, scale, rtl_)) {
            texts.push_back(view.format_rate ? view.format_rate(line.value) : std::wstring());
        }
        return texts;
    };
    if (before.max != after.max || before.divisions != after.divisions ||
        labels(old, before) != labels(view_, after)) {
        invalidate(g.panel); // the grid and its labels move
        return;
    }
    if (paths_.points_version == points_version_ && paths_.built) {
        return;
    }
    // What the old lines covered (the panel when unknown) and what the new ones will; a text they
    // reach is repainted whole, as glyphs cut at an area's edge may come out a shade different.
    std::vector<DipRect> texts{g.title,          g.status,         g.cards[0].label, g.cards[0].value,
                               g.cards[1].label, g.cards[1].value, g.session_line,   g.history_line,
                               g.stats_line,     g.range_label,    g.now_label};
    for (const GridLine& line : grid_lines(g, after, rtl_)) {
        texts.push_back(line.label);
    }
    const DipRect was = paths_.built && paths_.plot == g.plot ? paths_.bounds : g.panel;
    DipRect reach = united(was, graph_paths(g, after.max).bounds);
    if (hovered_point_ >= 0) {
        // The read-out's text and place follow the points: its box where it was and where it goes, in the
        // lines' area (every area of a paint draws the lines again, which costs more than its pixels).
        // The marker is drawn over whatever is repainted: its strip counts only when it moves.
        const HoverDrawing hover = hover_drawing(view_, g, hovered_point_, rtl_);
        reach = united(reach, united(hover_parts_[1], hover.parts[1]));
        if (hover.parts[0] != hover_parts_[0]) {
            reach = united(reach, united(hover_parts_[0], hover.parts[0]));
        }
    }
    DipRect area = reach;
    for (const DipRect& box : texts) {
        if (reach.intersects(inflated(box, 4, 4))) {
            area = united(area, inflated(box, 4, 4));
        }
    }
    invalidate(area);
}

const MainWindow::GraphPaths& MainWindow::graph_paths(const DashboardGeometry& g, double max) {
    // No more points than the plot has pixel columns: Direct2D's cost follows the points it is given.
    const auto columns = static_cast<size_t>(std::ceil(g.plot.width * static_cast<float>(dpi_) / 96.0f));
    if (paths_.built && paths_.points_version == points_version_ && paths_.plot == g.plot &&
        paths_.max == max && paths_.rtl == rtl_ && paths_.columns == columns) {
        return paths_;
    }
    paths_ = GraphPaths{};
    paths_.built = true;
    paths_.points_version = points_version_;
    paths_.plot = g.plot;
    paths_.max = max;
    paths_.rtl = rtl_;
    paths_.columns = columns;
    if (view_.points.size() >= 2) {
        const GraphLines lines = graph_lines(view_.points, g.plot, max, rtl_, columns);
        paths_.download = line_path(lines.download);
        paths_.upload = line_path(lines.upload);
        paths_.bounds =
            inflated(united(lines.download.stroke_bounds(k_line_half_width, k_miter_reach, k_straight_stub),
                            lines.upload.stroke_bounds(k_line_half_width, k_miter_reach, k_straight_stub)),
                     1, 1);
    }
    return paths_;
}

// A DC render target bound to the paint DC rather than a window render target: the window target
// presents over the child controls under Wine (they stay black), while the paint DC is clipped around
// them (WS_CLIPCHILDREN) on every system. It is bound to each changed area in turn: the target draws
// into a bitmap of the bound size and copies it out, so binding the whole client would cost the whole
// client on every refresh.
void MainWindow::paint() {
    if (paint_whole_) {
        InvalidateRect(hwnd_, nullptr, FALSE);
        paint_whole_ = false;
    }
    RECT client{};
    GetClientRect(hwnd_, &client);
    const std::vector<RECT> areas = update_rects(hwnd_, client);
    PAINTSTRUCT ps;
    const HDC dc = BeginPaint(hwnd_, &ps);
    DrawingResources& resources = drawing_resources();
    if (dc == nullptr || !resources.ready() || client.right <= 1 || client.bottom <= 1) {
        EndPaint(hwnd_, &ps);
        return;
    }
    const ComPtr<ID2D1DCRenderTarget> target = shared_dc_render_target(D2D1_ALPHA_MODE_IGNORE);
    if (!target) {
        paint_whole_ = true;
        EndPaint(hwnd_, &ps);
        return;
    }
    const auto dpi = static_cast<float>(dpi_);
    const float to_dip = 96.0f / dpi;
    const DashboardGeometry g = geometry();
    plot_rect_ = g.plot;
    for (RECT area : areas) {
        if (!IntersectRect(&area, &area, &client) || !IntersectRect(&area, &area, &ps.rcPaint)) {
            continue;
        }
        if (FAILED(bind_shared_target(target.Get(), dc, area))) {
            paint_whole_ = true;
            break;
        }
        target->SetDpi(dpi, dpi);
        // Whole pixels in DIP: the area's pixels come out exactly as in a paint of the whole client.
        const float left = static_cast<float>(area.left) * to_dip;
        const float top = static_cast<float>(area.top) * to_dip;
        target->SetTransform(D2D1::Matrix3x2F::Translation(-left, -top));
        target->BeginDraw();
        draw(target.Get(), g,
             {left, top, static_cast<float>(area.right - area.left) * to_dip,
              static_cast<float>(area.bottom - area.top) * to_dip});
        if (FAILED(end_shared_draw(target.Get(), D2D1_ALPHA_MODE_IGNORE))) {
            paint_whole_ = true; // a lost target is created again by the next paint
            break;
        }
    }
    EndPaint(hwnd_, &ps);
}

// Draws what touches area (DIP); the target clips the rest.
void MainWindow::draw(ID2D1RenderTarget* target, const DashboardGeometry& g, const DipRect& area) {
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
    // Glyphs and antialiased edges reach a little past their boxes.
    const auto touches = [&area](const DipRect& box) { return area.intersects(inflated(box, 4, 4)); };
    const auto line_text = [&](std::wstring_view s, const DipRect& box, float size, DWRITE_FONT_WEIGHT weight,
                               ID2D1Brush* brush) {
        if (touches(box)) {
            draw_text(target, s, box, size, weight, rtl_, brush);
        }
    };

    line_text(L"Tidemeter", g.title, 22, DWRITE_FONT_WEIGHT_BOLD, text.Get());
    line_text(status_line(view_), g.status, 13, DWRITE_FONT_WEIGHT_NORMAL, muted.Get());

    for (size_t i = 0; i < g.cards.size(); ++i) {
        const SpeedCard& card = g.cards[i];
        if (!touches(card.box)) {
            continue;
        }
        const bool is_download = i == 0;
        ID2D1SolidColorBrush* value_brush = is_download ? download.Get() : upload.Get();
        target->FillRoundedRectangle(D2D1::RoundedRect(rect_of(card.box), 10, 10), surface.Get());
        draw_arrow(target, value_brush, card.arrow.left, card.arrow.top, card.arrow.width, is_download);
        line_text(is_download ? view_.download_label : view_.upload_label, card.label, 14,
                  DWRITE_FONT_WEIGHT_NORMAL, muted.Get());
        line_text(isolate(is_download ? view_.download_text : view_.upload_text), card.value, 32,
                  DWRITE_FONT_WEIGHT_SEMI_BOLD, value_brush);
    }

    line_text(view_.session_line, g.session_line, 13, DWRITE_FONT_WEIGHT_NORMAL, muted.Get());
    line_text(view_.history_line, g.history_line, 13, DWRITE_FONT_WEIGHT_NORMAL, muted.Get());
    line_text(view_.stats_line, g.stats_line, 13, DWRITE_FONT_WEIGHT_NORMAL, muted.Get());

    if (!touches(g.panel)) {
        return;
    }
    target->FillRoundedRectangle(D2D1::RoundedRect(rect_of(g.panel), 10, 10), surface.Get());
    const AxisScale scale = axis_scale(graph_peak(view_.points), 0);
    for (const GridLine& line : grid_lines(g, scale, rtl_)) {
        target->DrawLine(D2D1::Point2F(g.plot.left, line.y), D2D1::Point2F(g.plot.right(), line.y),
                         border.Get(), 1.0f);
        if (view_.format_rate) {
            line_text(numeric(view_.format_rate(line.value)), line.label, k_grid_label_size,
                      DWRITE_FONT_WEIGHT_NORMAL, muted.Get());
        }
    }
    line_text(numeric(range_axis_text(graph_range_)), g.range_label, k_grid_label_size,
              DWRITE_FONT_WEIGHT_NORMAL, muted.Get());
    line_text(numeric(L"0 s"), g.now_label, k_grid_label_size, DWRITE_FONT_WEIGHT_NORMAL, muted.Get());

    if (graph_focused_) {
        target->DrawRoundedRectangle(D2D1::RoundedRect(rect_of(inflated(g.panel, -3, -3)), 8, 8), text.Get(),
                                     1.0f, dashed_ ? dashed_.Get() : nullptr);
    }

    const size_t n = view_.points.size();
    const GraphPaths& paths = graph_paths(g, scale.max);
    if (n >= 2 && touches(paths.bounds)) {
        if (paths.download) {
            target->DrawGeometry(paths.download.Get(), download.Get(), 2.0f * k_line_half_width);
        }
        if (!dashed_) {
            dashed_ = dashed_stroke();
        }
        if (paths.upload) {
            target->DrawGeometry(paths.upload.Get(), upload.Get(), 2.0f * k_line_half_width, dashed_.Get());
        }
    }

    const HoverDrawing hover = hover_drawing(view_, g, hovered_point_, rtl_);
    hover_parts_ = hover.parts; // what the next refresh repaints if the read-out moves or changes
    if (!hover.layout) {
        return;
    }
    const float x = hover.place.line_x;
    target->DrawLine(D2D1::Point2F(x, g.plot.top), D2D1::Point2F(x, g.plot.bottom()), text.Get(), 1.0f);
    const D2D1_ROUNDED_RECT box = D2D1::RoundedRect(rect_of(hover.place.box), 6, 6);
    target->FillRoundedRectangle(box, surface.Get());
    target->DrawRoundedRectangle(box, border.Get(), 1.0f);
    target->DrawTextLayout(D2D1::Point2F(hover.place.text.x, hover.place.text.y), hover.layout.Get(), text.Get());
}

} // namespace tide::ui
