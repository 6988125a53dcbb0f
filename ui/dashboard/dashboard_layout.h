// Where everything on the dashboard goes: the row of controls along the bottom edge (pixels) and the
// painted content (device-independent pixels, already mirrored for right-to-left). Pure arithmetic: the
// window only draws and moves what these return.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "compact/placement.h"
#include "ui/common/window_opening.h"
#include "ui/dashboard/graph_model.h"

namespace tide {

inline constexpr int k_id_graph_range = 3001;
inline constexpr int k_id_graph_pause = 3002;
inline constexpr int k_id_graph_clear = 3003;
inline constexpr int k_id_range_label = 3004;
inline constexpr int k_id_taskbar_toggle = 3005;
inline constexpr int k_id_settings = 3006;
inline constexpr int k_id_exit = 3007;
inline constexpr int k_id_usage_history = 3008;

// Creation order, which is also the Tab order.
inline constexpr std::array<int, 8> k_control_order{k_id_range_label, k_id_graph_range, k_id_graph_pause,
                                                    k_id_graph_clear, k_id_taskbar_toggle, k_id_settings,
                                                    k_id_exit, k_id_usage_history};

// The controls take the bottom 96 DIP of the client area; the painted content stays above.
inline constexpr float k_controls_band_dip = 96.0f;

struct ControlPlace {
    int id = 0;
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;

    friend bool operator==(const ControlPlace&, const ControlPlace&) = default;
};

// The width in pixels each control's caption needs, in creation order; 0 for a control that takes
// whatever width it has.
using CaptionWidths = std::array<int, 8>;

// The eight controls in creation order for a client area in pixels; empty when it is narrower than 2.
// A control whose caption needs more than its usual width is widened and pushes the controls after it
// in its row along, as far as the client area leaves room up to its 24 DIP margin; with less room the
// widening is shared out in proportion. Captions that fit change nothing.
std::vector<ControlPlace> layout_controls(int client_width, int client_height, int dpi, bool rtl,
                                          const CaptionWidths& captions = {});

// The smallest window size, 640 x 480 DIP, in pixels.
struct PixelSize {
    int width = 0;
    int height = 0;
};
PixelSize minimum_window_size(int dpi);

// Position of a range among the GraphRanges; 5 min (position 2) when it is not one of them.
int range_position(int64_t range_s);


struct DipPoint {
    float x = 0.0f;
    float y = 0.0f;
};

struct DipRect {
    float left = 0.0f;
    float top = 0.0f;
    float width = 0.0f;
    float height = 0.0f;

    float right() const { return left + width; }
    float bottom() const { return top + height; }
    bool empty() const { return !(width > 0.0f && height > 0.0f); }
    bool intersects(const DipRect& other) const {
        return !empty() && !other.empty() && left < other.right() && other.left < right() &&
               top < other.bottom() && other.top < bottom();
    }
    friend bool operator==(const DipRect&, const DipRect&) = default;
};

// The smallest rectangle holding both; an empty one adds nothing.
DipRect united(const DipRect& a, const DipRect& b);
DipRect inflated(const DipRect& r, float dx, float dy);

struct SpeedCard {
    DipRect box;
    DipRect arrow; // square
    DipRect label;
    DipRect value;
};

// Every box of the painted content for a client area of width x height DIP. Each box has its final x:
// in right-to-left a box at x of width w sits at width - x - w.
struct DashboardGeometry {
    float width = 0.0f;
    float height = 0.0f;
    DipRect title;
    DipRect status;
    std::array<SpeedCard, 2> cards; // download, upload
    DipRect session_line;
    DipRect history_line;
    DipRect stats_line;
    DipRect panel;
    DipRect plot;
    DipRect range_label; // "-5 min" under the oldest end of the plot
    DipRect now_label;   // "0 s" under the newest end

    // The panel's band across the whole width: a hover read-out wider than the panel may pass its edge.
    DipRect graph_band() const { return {0, panel.top, width, panel.height}; }
};

DashboardGeometry dashboard_geometry(float width, float height, bool rtl);

struct GridLine {
    float y = 0.0f;
    double value = 0.0; // bits per second
    DipRect label;
};

// divisions + 1 lines from the bottom (0) to the top (scale.max) of the plot.
std::vector<GridLine> grid_lines(const DashboardGeometry& geometry, AxisScale scale, bool rtl);

// The same for any plot: `label` is a value label's box for a line at y = 0, in left-to-right
// coordinates of a window `window_width` wide; each line's label is that box moved down to its line.
std::vector<GridLine> plot_grid(const DipRect& plot, float window_width, AxisScale scale, bool rtl,
                                const DipRect& label);

// Point j of n, spaced by index; the newest point sits at the right (left in right-to-left).
float point_x(const DipRect& plot, size_t j, size_t n, bool rtl);
// Values above max are drawn at the top.
float point_y(const DipRect& plot, double value, double max);

// A line cut into runs of consecutive valid points; each run of k points is k - 1 segments.
struct GraphLine {
    std::vector<DipPoint> points;
    std::vector<size_t> run_starts; // index into points where each run begins; runs have 2+ points
    std::vector<size_t> run_ends;   // one past the last point of each run

    size_t segment_count() const;
    // What a stroke of half_width with mitred joins can cover, a mitre reaching at most miter_reach
    // from its point and a join of two segments in line reaching straight_stub along them (as some
    // implementations draw it); empty (0 x 0) without a run.
    DipRect stroke_bounds(float half_width, float miter_reach, float straight_stub = 0.0f) const;
};

struct GraphLines {
    GraphLine download;
    GraphLine upload;
};

// Nothing for fewer than 2 points; an invalid point breaks both lines. With columns (the plot's width
// in pixels) each line keeps only the points column_extremes picks for it; 0 keeps every point.
GraphLines graph_lines(const std::vector<GraphPoint>& points, const DipRect& plot, double max, bool rtl,
                       size_t columns = 0);

struct HoverBox {
    float line_x = 0.0f; // the vertical marker
    DipRect box;
    DipPoint text;
};

// The read-out box beside the hovered point at x for a text of the given size: right of the point,
// or left of it when it would pass the panel's right edge, never left of the panel.
HoverBox hover_box(const DashboardGeometry& geometry, float x, float text_width, float text_height);

} // namespace tide
