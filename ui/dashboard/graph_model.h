// The data behind the dashboard graph: the history ring, the visible selection, statistics, the value
// axis, duration texts and hover hit-testing. No drawing here.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace tide {

struct GraphPoint {
    int64_t time = 0;      // Unix seconds (UTC) at which the main thread received the sample
    bool valid = false;    // false while the connection was unavailable
    double download = 0.0; // bits per second, 0 when not valid
    double upload = 0.0;
};

// The graph ranges in seconds, in the order the dashboard offers them.
inline constexpr std::array<int, 5> GraphRanges{30, 60, 300, 900, 3600};

bool is_graph_range(int64_t seconds);

// A fixed-capacity ring of points; storage for all of them is reserved at construction, so pushing
// never allocates.
class GraphHistory {
public:
    static constexpr size_t k_capacity = 14400;

    explicit GraphHistory(size_t capacity = k_capacity);

    // Appends while there is room, then overwrites the oldest point.
    void push(const GraphPoint& point);
    // All stored points, oldest first.
    std::vector<GraphPoint> snapshot() const;
    // The i-th point counted from the oldest; i < size().
    const GraphPoint& at(size_t i) const;
    // Appends every point whose time is at least cutoff, oldest first.
    void append_since(int64_t cutoff, std::vector<GraphPoint>& out) const;
    void clear();

    size_t size() const { return points_.size(); }
    size_t capacity() const { return capacity_; }

private:
    size_t capacity_;
    size_t head_ = 0; // index of the oldest point once the ring is full
    std::vector<GraphPoint> points_;
};

// The points the dashboard shows, with the pause state that freezes them.
struct VisibleGraph {
    std::vector<GraphPoint> points;
    bool frozen = false; // paused by the user
    bool rebuild = true; // the next selection runs even when frozen

    void pause() {
        frozen = true;
        rebuild = false;
    }
    void resume() {
        frozen = false;
        rebuild = true;
    }
};

// Unless frozen (and no rebuild is asked for), replaces the visible points by every point of the
// history, oldest first, whose time is at least now - range_s; then clears the rebuild request.
void select_visible_points(const GraphHistory& history, int64_t now, int64_t range_s, VisibleGraph& visible);

struct RateStats {
    double avg = 0.0;
    double min = 0.0;
    double max = 0.0;
};

struct GraphStats {
    uint64_t count = 0; // valid points
    RateStats download;
    RateStats upload;
};

// Average, minimum and maximum over the valid points; all zero without any.
GraphStats compute_graph_stats(const std::vector<GraphPoint>& points);

// The largest download or upload rate among the valid points, 0 without any.
double graph_peak(const std::vector<GraphPoint>& points);

struct AxisScale {
    double max = 0.0;  // bits per second at the top of the plot
    int divisions = 0; // grid intervals
};

// The value axis for a peak rate: 5 % headroom, at least 1 Mbit/s, rounded up to 1, 2, 4, 5, 8 or 10
// times a power of ten. A positive fixed_max is used as it is, with 4 divisions.
AxisScale axis_scale(double peak, double fixed_max);

// "45 s", "5 min", "2 min 05 s", "1 h", "1 h 05 min"; negative counts as 0.
std::string format_duration(int64_t seconds);

// The points of one line worth drawing when the plot is `columns` pixels wide, as indices into points
// in time order. Point j of n falls into column j * columns / (n - 1), as it is placed by index. In
// each column, of each stretch of valid points only the one with the lowest and the one with the
// highest value are kept (in time order, so a one-sample spike keeps its full height); the first
// invalid point of every gap is kept too, so the line still breaks there. Every index when there are
// no more points than columns, or columns is 0.
std::vector<size_t> column_extremes(const std::vector<GraphPoint>& points, size_t columns,
                                    double GraphPoint::*value);

// The visible point under x in a plot of the given left edge and width (mirrored when rtl), or -1.
int hover_index(double x, double plot_left, double plot_width, size_t count, bool rtl);

} // namespace tide
