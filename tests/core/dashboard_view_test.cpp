// Texts the dashboard composes: status line, hover read-out, axis and control captions.
#include "ui/dashboard/dashboard_view.h"

#include <gtest/gtest.h>

#include <string>

namespace tide {
namespace {

DashboardView view_with(std::vector<GraphPoint> points, bool formatter = true) {
    DashboardView view;
    view.points = std::move(points);
    if (formatter) {
        view.format_rate = [](double v) { return std::to_wstring(static_cast<long long>(v)) + L" b"; };
    }
    return view;
}

TEST(DashboardView, StatusLineAddsTheInterface) {
    DashboardView view;
    view.status_text = L"Connected";
    EXPECT_EQ(status_line(view), L"Connected");
    view.interface_text = L"eth0";
    EXPECT_EQ(status_line(view), L"Connected  \u2022  eth0");
}

TEST(DashboardView, HoverTextForValidInvalidAndMissing) {
    const DashboardView view = view_with({{100, true, 8, 2}, {105, false, 0, 0}, {225, true, 1, 1}});
    EXPECT_EQ(hover_text(view, 0), L"2 min 05 s   \u2193 \u20668 b\u2069   \u2191 \u20662 b\u2069");
    EXPECT_EQ(hover_text(view, 1), L"2 min   \u2014");
    EXPECT_EQ(hover_text(view, 1, true), L"\u20662 min\u2069   \u2014");
    EXPECT_EQ(hover_text(view, 2), L"0 s   \u2193 \u20661 b\u2069   \u2191 \u20661 b\u2069");
    EXPECT_EQ(hover_text(view, 3), L"");
    EXPECT_EQ(hover_text(view_with({{1, true, 8, 2}}, false), 0), L"0 s   \u2014");
}

TEST(DashboardView, AxisAndCaptions) {
    EXPECT_EQ(range_axis_text(300), L"-5 min");
    EXPECT_EQ(range_choice_texts(), (std::vector<std::wstring>{L"30 s", L"1 min", L"5 min", L"15 min", L"1 h"}));
    EXPECT_EQ(taskbar_toggle_text(L"On the taskbar", true), L"\u2713 On the taskbar");
    EXPECT_EQ(taskbar_toggle_text(L"On the taskbar", false), L"On the taskbar");
}

} // namespace
} // namespace tide
