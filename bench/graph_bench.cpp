// Selection of the visible points and their statistics over a full history ring (14,400 points), the
// work every refresh does while the dashboard is visible. Prints the medians in microseconds.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

#include "ui/dashboard/graph_model.h"

namespace {

using Clock = std::chrono::steady_clock;

template <class Work>
double median_us(Work work, int runs = 501) {
    std::vector<double> times;
    times.reserve(static_cast<size_t>(runs));
    for (int i = 0; i < runs; ++i) {
        const auto start = Clock::now();
        work();
        times.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
    }
    std::nth_element(times.begin(), times.begin() + runs / 2, times.end());
    return times[static_cast<size_t>(runs / 2)];
}

} // namespace

int main() {
    tide::GraphHistory history;
    const int64_t now = 1'700'000'000;
    // 0.25-second sampling for an hour fills the ring; a few invalid points as on a flaky link.
    for (size_t i = 0; i < 2 * tide::GraphHistory::k_capacity; ++i) {
        const auto t = now - 3600 + static_cast<int64_t>(i / 8);
        history.push({t, i % 97 != 0, 1e6 + static_cast<double>(i % 1000) * 1e3, 2e5});
    }
    tide::VisibleGraph visible;
    double sink = 0;
    const double select = median_us([&] {
        visible.rebuild = true;
        tide::select_visible_points(history, now, 3600, visible);
    });
    const double stats = median_us([&] { sink += tide::compute_graph_stats(visible.points).download.avg; });
    const double both = median_us([&] {
        visible.rebuild = true;
        tide::select_visible_points(history, now, 3600, visible);
        sink += tide::compute_graph_stats(visible.points).upload.max;
    });
    std::printf("visible points: %zu\n", visible.points.size());
    std::printf("select_visible_points: %.1f us\ncompute_graph_stats: %.1f us\nboth: %.1f us (limit 50)\n", select,
                stats, both);
    return sink < 0 ? 1 : 0;
}
