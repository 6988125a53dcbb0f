// The data behind the dashboard graph.
#include "ui/dashboard/graph_model.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace tide {

bool is_graph_range(int64_t seconds) {
    return std::find(GraphRanges.begin(), GraphRanges.end(), seconds) != GraphRanges.end();
}

GraphHistory::GraphHistory(size_t capacity) : capacity_(std::max<size_t>(capacity, 1)) {
    points_.reserve(capacity_);
}

void GraphHistory::push(const GraphPoint& point) {
    if (points_.size() < capacity_) {
        points_.push_back(point);
        return;
    }
    points_[head_] = point;
    head_ = (head_ + 1) % capacity_;
}

const GraphPoint& GraphHistory::at(size_t i) const {
    return points_[(head_ + i) % points_.size()];
}

std::vector<GraphPoint> GraphHistory::snapshot() const {
    std::vector<GraphPoint> out;
    out.reserve(points_.size());
    for (size_t i = 0; i < points_.size(); ++i) {
        out.push_back(at(i));
    }
    return out;
}

// Walks the ring as its two straight pieces (head to end, then start to head): no index arithmetic per
// point, which matters at 14,400 points on every refresh.
void GraphHistory::append_since(int64_t cutoff, std::vector<GraphPoint>& out) const {
    // Copies whole runs of kept points at once; usually the kept points are one run per piece.
    const auto take = [&](size_t from, size_t to) {
        size_t i = from;
        while (i < to) {
            while (i < to && points_[i].time < cutoff) {
                ++i;
            }
            size_t end = i;
            while (end < to && points_[end].time >= cutoff) {
                ++end;
            }
            out.insert(out.end(), points_.begin() + static_cast<std::ptrdiff_t>(i),
                       points_.begin() + static_cast<std::ptrdiff_t>(end));
            i = end;
        }
    };
    take(head_, points_.size());
    take(0, head_);
}

void GraphHistory::clear() {
    points_.clear();
    head_ = 0;
}

void select_visible_points(const GraphHistory& history, int64_t now, int64_t range_s, VisibleGraph& visible) {
    if (visible.frozen && !visible.rebuild) {
        return;
    }
    // Saturate so that extreme clocks or ranges cannot wrap the cut-off around.
    constexpr int64_t k_min = std::numeric_limits<int64_t>::min();
    constexpr int64_t k_max = std::numeric_limits<int64_t>::max();
    int64_t cutoff = now;
    if (range_s > 0) {
        cutoff = now < k_min + range_s ? k_min : now - range_s;
    } else if (range_s < 0) {
        cutoff = now > k_max + range_s ? k_max : now - range_s;
    }
    visible.points.clear();
    visible.points.reserve(history.size());
    history.append_since(cutoff, visible.points);
    visible.rebuild = false;
}

GraphStats compute_graph_stats(const std::vector<GraphPoint>& points) {
    GraphStats stats;
    double download_sum = 0.0;
    double upload_sum = 0.0;
    for (const GraphPoint& p : points) {
        if (!p.valid) {
            continue;
        }
        if (stats.count == 0) {
            stats.download.min = stats.download.max = p.download;
            stats.upload.min = stats.upload.max = p.upload;
        }
        stats.download.min = std::min(stats.download.min, p.download);
        stats.download.max = std::max(stats.download.max, p.download);
        stats.upload.min = std::min(stats.upload.min, p.upload);
        stats.upload.max = std::max(stats.upload.max, p.upload);
        download_sum += p.download;
        upload_sum += p.upload;
        ++stats.count;
    }
    if (stats.count > 0) {
        stats.download.avg = download_sum / static_cast<double>(stats.count);
        stats.upload.avg = upload_sum / static_cast<double>(stats.count);
    }
    return stats;
}

double graph_peak(const std::vector<GraphPoint>& points) {
    double peak = 0.0;
    for (const GraphPoint& p : points) {
        if (p.valid) {
            peak = std::max({peak, p.download, p.upload});
        }
    }
    return peak;
}

AxisScale axis_scale(double peak, double fixed_max) {
    if (fixed_max > 0.0) {
        return {fixed_max, 4};
    }
    if (!(peak > 0.0) || !std::isfinite(peak)) {
        peak = 0.0;
    }
    // Headroom can overflow only for absurd peaks; the largest finite value keeps the scale finite.
    double m = std::max(peak * 1.05, 1'000'000.0);
    if (!std::isfinite(m)) {
        m = std::numeric_limits<double>::max();
    }
    const double d = std::pow(10.0, std::floor(std::log10(m)));
    struct Step {
        double factor;
        int divisions;
    };
    constexpr Step k_steps[] = {{1, 4}, {2, 4}, {4, 4}, {5, 5}, {8, 4}, {10, 5}};
    for (const Step& step : k_steps) {
        if (m <= step.factor * d) {
            return {step.factor * d, step.divisions};
        }
    }
    return {10 * d, 5};
}

std::string format_duration(int64_t seconds) {
    if (seconds < 0) {
        seconds = 0;
    }
    const auto two_digits = [](int64_t v) {
        std::string text = std::to_string(v);
        return text.size() < 2 ? "0" + text : text;
    };
    if (seconds < 60) {
        return std::to_string(seconds) + " s";
    }
    if (seconds < 3600) {
        const int64_t minutes = seconds / 60;
        const int64_t rest = seconds % 60;
        return rest == 0 ? std::to_string(minutes) + " min"
                         : std::to_string(minutes) + " min " + two_digits(rest) + " s";
    }
    const int64_t hours = seconds / 3600;
    const int64_t minutes = seconds % 3600 / 60;
    return minutes == 0 ? std::to_string(hours) + " h"
                        : std::to_string(hours) + " h " + two_digits(minutes) + " min";
}

int hover_index(double x, double plot_left, double plot_width, size_t count, bool rtl) {
    // A plot edge or width that is not finite would turn the fraction into NaN, and its cast undefined.
    if (count == 0 || !std::isfinite(plot_left) || !std::isfinite(plot_width) || !(plot_width > 0.0) ||
        !std::isfinite(x) || x < plot_left || x > plot_left + plot_width) {
        return -1;
    }
    if (count == 1) {
        return 0;
    }
    double f = (x - plot_left) / plot_width;
    if (rtl) {
        f = 1.0 - f;
    }
    const double last = static_cast<double>(std::min<size_t>(count - 1, std::numeric_limits<int>::max()));
    return static_cast<int>(std::clamp(std::round(last * f), 0.0, last));
}

std::vector<size_t> column_extremes(const std::vector<GraphPoint>& points, size_t columns,
                                    double GraphPoint::*value) {
    const size_t n = points.size();
    std::vector<size_t> kept;
    if (columns == 0 || n <= columns + 1) { // then no two points share a column
        kept.resize(n);
        for (size_t j = 0; j < n; ++j) {
            kept[j] = j;
        }
        return kept;
    }
    kept.reserve(2 * (columns + 1));
    // The stretch being gathered: its column and its extremes (npos while empty).
    constexpr size_t npos = static_cast<size_t>(-1);
    size_t column = npos;
    size_t low = npos;
    size_t high = npos;
    const auto flush = [&] {
        if (low != npos) {
            kept.push_back(std::min(low, high));
            if (high != low) {
                kept.push_back(std::max(low, high));
            }
        }
        low = high = npos;
    };
    bool in_gap = false;
    for (size_t j = 0; j < n; ++j) {
        const GraphPoint& p = points[j];
        if (!p.valid) {
            flush();
            if (!in_gap) {
                kept.push_back(j);
            }
            in_gap = true;
            continue;
        }
        in_gap = false;
        // 64-bit products: 14,400 points by a few thousand columns stays far below the limit.
        const size_t c = static_cast<size_t>(static_cast<uint64_t>(j) * columns / (n - 1));
        if (c != column) {
            flush();
            column = c;
        }
        if (low == npos || p.*value < points[low].*value) {
            low = j;
        }
        if (high == npos || p.*value > points[high].*value) {
            high = j;
        }
    }
    flush();
    return kept;
}

} // namespace tide
