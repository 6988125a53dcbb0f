// Dashboard geometry: controls in pixels, painted content in DIP.
#include "ui/dashboard/dashboard_layout.h"

#include <algorithm>
#include <cmath>

#include "compact/dpi.h"

namespace tide {
namespace {

struct ControlRow {
    int id;
    int row;
    int x;
    int width;
    int height;
    int nudge; // moved down within the row, to line up with the taller controls
};

// 3001's height is its drop-down list's, not the closed box's.
constexpr std::array<ControlRow, 8> k_rows{{
    {k_id_range_label, 0, 24, 110, 20, 5},
    {k_id_graph_range, 0, 138, 110, 220, 0},
    {k_id_graph_pause, 0, 262, 150, 28, 0},
    {k_id_graph_clear, 0, 420, 170, 28, 0},
    {k_id_taskbar_toggle, 1, 24, 300, 36, 0},
    {k_id_settings, 1, 332, 130, 28, 4},
    {k_id_exit, 1, 470, 120, 28, 4},
    {k_id_usage_history, 1, 598, 130, 28, 4},
}};

// Nominal text box heights; texts are drawn from their top-left corner and never wrap.
constexpr float k_title_height = 30.0f;
constexpr float k_line_height = 18.0f;
constexpr float k_small_height = 14.0f;

DipRect mirrored(DipRect r, float width, bool rtl) {
    if (rtl) {
        r.left = width - r.left - r.width;
    }
    return r;
}

} // namespace

std::vector<ControlPlace> layout_controls(int client_width, int client_height, int dpi, bool rtl,
                                          const CaptionWidths& captions) {
    std::vector<ControlPlace> places;
    if (client_width < 2) {
        return places;
    }
    const auto s = [dpi](int v) { return scale_to_dpi(v, dpi); };
    // How much wider than usual each control gets: what its caption lacks, cut back in proportion when
    // its row would run past the margin. A row that does not fit even at its usual widths (the second
    // one in the narrowest windows) gives up the lack in proportion to each control's width instead.
    std::array<int, k_rows.size()> extra{};
    for (const int row : {0, 1}) {
        int64_t wanted = 0;
        int row_right = 0;
        int64_t row_width = 0;
        for (size_t i = 0; i < k_rows.size(); ++i) {
            if (k_rows[i].row == row) {
                extra[i] = std::max(0, captions[i] - s(k_rows[i].width));
                wanted += extra[i];
                row_right = std::max(row_right, s(k_rows[i].x) + s(k_rows[i].width));
                row_width += s(k_rows[i].width);
            }
        }
        if (const int over = row_right - (client_width - s(24)); over > 0 && row_width > 0) {
            for (size_t i = 0; i < k_rows.size(); ++i) {
                if (k_rows[i].row == row) {
                    const int64_t share = (s(k_rows[i].width) * int64_t{over} + row_width - 1) / row_width;
                    extra[i] = -static_cast<int>(share);
                }
            }
            continue;
        }
        const int room = std::max(0, client_width - s(24) - row_right);
        if (wanted > room) {
            for (size_t i = 0; i < k_rows.size(); ++i) {
                if (k_rows[i].row == row) {
                    extra[i] = static_cast<int>(extra[i] * int64_t{room} / wanted);
                }
            }
        }
    }
    const int row0 = client_height + s(10) - s(96);
    const int row1 = row0 + s(40);
    std::array<int, 2> shift{}; // by row: how far the widened controls before this one pushed it
    places.reserve(k_rows.size());
    for (size_t i = 0; i < k_rows.size(); ++i) {
        const ControlRow& c = k_rows[i];
        const int width = s(c.width) + extra[i];
        const int left = s(c.x) + shift[c.row];
        shift[c.row] += extra[i];
        const int x = rtl ? client_width - width - left : left;
        const int y = (c.row == 0 ? row0 : row1) + s(c.nudge);
        places.push_back({c.id, x, y, width, s(c.height)});
    }
    return places;
}

PixelSize minimum_window_size(int dpi) {
    return {scale_to_dpi(640, dpi), scale_to_dpi(480, dpi)};
}

int range_position(int64_t range_s) {
    for (size_t i = 0; i < GraphRanges.size(); ++i) {
        if (GraphRanges[i] == range_s) {
            return static_cast<int>(i);
        }
    }
    return 2;
}

DashboardGeometry dashboard_geometry(float width, float height, bool rtl) {
    DashboardGeometry g;
    g.width = width;
    g.height = height;
    const auto box = [&](float x, float y, float w, float h) { return mirrored({x, y, w, h}, width, rtl); };

    g.title = box(24, 14, width - 48, k_title_height);
    g.status = box(24, 46, width - 48, k_line_height);

    const float card = (width - 72) / 2;
    for (size_t i = 0; i < g.cards.size(); ++i) {
        const float x = 24 + static_cast<float>(i) * (card + 24);
        SpeedCard& c = g.cards[i];
        c.box = box(x, 80, card, 104);
        c.arrow = box(x + 16, 96, 16, 16);
        c.label = box(x + 40, 94, card - 56, 20);
        c.value = box(x + 16, 124, card - 32, 44);
    }

    const float bottom = height - k_controls_band_dip;
    g.session_line = box(24, bottom - 26, width - 48, k_line_height);
    g.history_line = box(24, bottom - 48, width - 48, k_line_height);
    g.stats_line = box(24, bottom - 70, width - 48, k_line_height);

    const float panel_height = std::max(80.0f, bottom - 78 - 200);
    g.panel = box(24, 200, width - 48, panel_height);
    const float plot_width = width - 118;
    g.plot = box(80, 214, plot_width, panel_height - 40);

    const float label_top = g.plot.bottom() + 6;
    g.range_label = box(80, label_top, 100, k_small_height);
    g.now_label = box(80 + plot_width - 40, label_top, 40, k_small_height);
    return g;
}

std::vector<GridLine> grid_lines(const DashboardGeometry& geometry, AxisScale scale, bool rtl) {
    return plot_grid(geometry.plot, geometry.width, scale, rtl, {30, -8, 48, k_small_height});
}

std::vector<GridLine> plot_grid(const DipRect& plot, float window_width, AxisScale scale, bool rtl,
                                const DipRect& label) {
    std::vector<GridLine> lines;
    if (scale.divisions <= 0) {
        return lines;
    }
    lines.reserve(static_cast<size_t>(scale.divisions) + 1);
    for (int k = 0; k <= scale.divisions; ++k) {
        const float y = plot.bottom() - static_cast<float>(k) * plot.height / static_cast<float>(scale.divisions);
        const double value = k * scale.max / scale.divisions;
        const DipRect box{label.left, y + label.top, label.width, label.height};
        lines.push_back({y, value, mirrored(box, window_width, rtl)});
    }
    return lines;
}

float point_x(const DipRect& plot, size_t j, size_t n, bool rtl) {
    if (n < 2) {
        return rtl ? plot.right() : plot.left;
    }
    const float offset = plot.width * static_cast<float>(j) / static_cast<float>(n - 1);
    return rtl ? plot.left + plot.width - offset : plot.left + offset;
}

float point_y(const DipRect& plot, double value, double max) {
    if (!(max > 0.0) || !std::isfinite(value) || value < 0.0) {
        value = 0.0;
    }
    const double share = max > 0.0 ? std::min(value, max) / max : 0.0;
    return plot.bottom() - static_cast<float>(share) * plot.height;
}

DipRect united(const DipRect& a, const DipRect& b) {
    if (a.empty()) {
        return b;
    }
    if (b.empty()) {
        return a;
    }
    const float left = std::min(a.left, b.left);
    const float top = std::min(a.top, b.top);
    return {left, top, std::max(a.right(), b.right()) - left, std::max(a.bottom(), b.bottom()) - top};
}

DipRect inflated(const DipRect& r, float dx, float dy) {
    return {r.left - dx, r.top - dy, r.width + 2 * dx, r.height + 2 * dy};
}

DipRect GraphLine::stroke_bounds(float half_width, float miter_reach, float straight_stub) const {
    float left = 0;
    float top = 0;
    float right = 0;
    float bottom = 0;
    bool any = false;
    const auto add = [&](float x, float y) {
        left = any ? std::min(left, x) : x;
        top = any ? std::min(top, y) : y;
        right = any ? std::max(right, x) : x;
        bottom = any ? std::max(bottom, y) : y;
        any = true;
    };
    for (size_t r = 0; r < run_starts.size(); ++r) {
        for (size_t i = run_starts[r]; i < run_ends[r]; ++i) {
            const DipPoint& p = points[i];
            add(p.x - half_width, p.y - half_width); // the stroke's sides and flat ends
            add(p.x + half_width, p.y + half_width);
            if (i == run_starts[r] || i + 1 == run_ends[r]) {
                continue;
            }
            // The mitre's tip lies on the outer bisector, half_width / sin(angle / 2) out. Not every
            // implementation cuts it at the stroke's mitre limit, so only the caller's reach bounds it.
            const DipPoint& a = points[i - 1];
            const DipPoint& b = points[i + 1];
            const float ux = p.x - a.x, uy = p.y - a.y, vx = b.x - p.x, vy = b.y - p.y;
            const float lu = std::hypot(ux, uy), lv = std::hypot(vx, vy);
            if (lu <= 0 || lv <= 0) {
                continue;
            }
            const float bx = ux / lu - vx / lv, by = uy / lu - vy / lv;
            const float lb = std::hypot(bx, by); // 2 cos(angle / 2), the angle between the two segments
            if (std::abs(ux / lu * vy / lv - uy / lu * vx / lv) <= 1e-6f) { // in line, or turning back
                add(p.x + ux / lu * straight_stub, p.y + uy / lu * straight_stub);
                add(p.x - ux / lu * straight_stub, p.y - uy / lu * straight_stub);
            }
            if (lb <= 1e-6f) {
                continue; // straight on
            }
            const float sine = std::sqrt(std::max(0.0f, 1 - lb * lb / 4));
            const float reach = half_width / std::max(sine, half_width / miter_reach);
            add(p.x + bx / lb * reach, p.y + by / lb * reach);
        }
    }
    return any ? DipRect{left, top, right - left, bottom - top} : DipRect{};
}

size_t GraphLine::segment_count() const {
    size_t count = 0;
    for (size_t r = 0; r < run_starts.size(); ++r) {
        count += run_ends[r] - run_starts[r] - 1;
    }
    return count;
}

namespace {

// One line through the kept points; an invalid point ends the run before it.
GraphLine line_through(const std::vector<GraphPoint>& points, const std::vector<size_t>& kept,
                       const DipRect& plot, double max, bool rtl, double GraphPoint::*value) {
    GraphLine line;
    const size_t n = points.size();
    line.points.reserve(kept.size());
    size_t start = 0;
    const auto close_run = [&] {
        if (line.points.size() - start >= 2) {
            line.run_starts.push_back(start);
            line.run_ends.push_back(line.points.size());
        } else {
            line.points.resize(start); // a lone valid point draws nothing
        }
        start = line.points.size();
    };
    for (const size_t j : kept) {
        const GraphPoint& p = points[j];
        if (!p.valid) {
            close_run();
            continue;
        }
        line.points.push_back({point_x(plot, j, n, rtl), point_y(plot, p.*value, max)});
    }
    close_run();
    return line;
}

} // namespace

GraphLines graph_lines(const std::vector<GraphPoint>& points, const DipRect& plot, double max, bool rtl,
                       size_t columns) {
    GraphLines lines;
    if (points.size() < 2) {
        return lines;
    }
    lines.download = line_through(points, column_extremes(points, columns, &GraphPoint::download), plot, max,
                                  rtl, &GraphPoint::download);
    lines.upload = line_through(points, column_extremes(points, columns, &GraphPoint::upload), plot, max, rtl,
                                &GraphPoint::upload);
    return lines;
}

HoverBox hover_box(const DashboardGeometry& geometry, float x, float text_width, float text_height) {
    HoverBox hover;
    hover.line_x = x;
    const float box_width = text_width + 16;
    float left = x + 10;
    if (left + box_width > geometry.width - 24) {
        left = x - 10 - box_width;
    }
    left = std::max(left, 24.0f);
    hover.box = {left, geometry.plot.top + 4, box_width, text_height + 8};
    hover.text = {left + 8, geometry.plot.top + 8};
    return hover;
}

} // namespace tide
