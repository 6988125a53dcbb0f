#include "ui/dashboard/dashboard_access.h"

#include <gtest/gtest.h>

namespace tide {
namespace {

const DashboardAccessTexts k_texts{L"{0}: {1} {2} / {3} {4}", L"{0}: nothing"};

DashboardView sample_view() {
    DashboardView view;
    view.status_text = L"Connected";
    view.interface_text = L"eth0";
    view.download_label = L"Download";
    view.upload_label = L"Upload";
    view.download_text = L"1.2 MB/s";
    view.upload_text = L"30 KB/s";
    view.stats_line = L"Average";
    view.points = {{10, true, 4e6, 1e3}, {11, false, 0, 0}, {12, true, 2e6, 3e3}};
    view.format_rate = [](double bits) { return std::to_wstring(static_cast<int>(bits / 1e3)) + L"k"; };
    return view;
}

TEST(DashboardAccess, ElementsAreTheDrawnTextsInReadingOrder) {
    const DashboardView view = sample_view();
    const DashboardGeometry g = dashboard_geometry(800, 504, false);
    const AccessTree tree = dashboard_access(view, g, 96, false, 300, -1, false, k_texts);
    struct Expected {
        std::wstring name;
        std::wstring value;
        AccessRole role;
        DipRect box;
    };
    const std::vector<Expected> expected{
        {L"Connected  \u2022  eth0", L"", AccessRole::text, g.status},
        {L"Download", L"1.2 MB/s", AccessRole::group, g.cards[0].box},
        {L"Upload", L"30 KB/s", AccessRole::group, g.cards[1].box},
        {L"Average", L"", AccessRole::text, g.stats_line},
        // The invalid point counts for neither average nor highest.
        {L"5 min: 3000k 4000k / 2k 3k", L"", AccessRole::image, g.plot}};
    ASSERT_EQ(tree.elements.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        const AccessElement& e = tree.elements[i];
        EXPECT_EQ(e.name, expected[i].name) << i;
        EXPECT_EQ(e.value, expected[i].value) << i;
        EXPECT_EQ(e.role, expected[i].role) << i;
        EXPECT_EQ(e.parent, -1) << i;
        EXPECT_EQ(e.rect, access_rect(expected[i].box.left, expected[i].box.top, expected[i].box.width,
                                      expected[i].box.height, 96))
            << i;
        EXPECT_EQ(e.focusable, i == 4) << i;
    }
    EXPECT_EQ(tree.focused, -1);
}

TEST(DashboardAccess, HoverIsTheGraphsChildAndTakesTheFocus) {
    const DashboardView view = sample_view();
    const DashboardGeometry g = dashboard_geometry(800, 504, true);
    struct Case {
        int hovered;
        bool focused;
        size_t count;
        int focus;
    };
    for (const Case& c : {Case{-1, true, 5, 4}, Case{0, false, 6, -1}, Case{2, true, 6, 5}, Case{3, true, 5, 4}}) {
        const AccessTree tree = dashboard_access(view, g, 144, true, 300, c.hovered, c.focused, k_texts);
        ASSERT_EQ(tree.elements.size(), c.count) << c.hovered;
        EXPECT_EQ(tree.focused, c.focus) << c.hovered;
        if (c.count == 6) {
            const AccessElement& hover = tree.elements[5];
            EXPECT_EQ(hover.parent, 4);
            EXPECT_EQ(hover.name, hover_text(view, static_cast<size_t>(c.hovered), true));
            const AccessRect& plot = tree.elements[4].rect;
            EXPECT_TRUE(hover.rect.left >= plot.left && hover.rect.right <= plot.right);
        }
    }
    // Mirrored: the download card on the right; figures isolated.
    const AccessTree tree = dashboard_access(view, g, 96, true, 300, -1, false, k_texts);
    EXPECT_GT(tree.elements[1].rect.left, tree.elements[2].rect.left);
    EXPECT_EQ(tree.elements[1].value, L"\u20661.2 MB/s\u2069");
}

TEST(DashboardAccess, GraphWithoutValidPointsSaysSo) {
    DashboardView view = sample_view();
    view.points = {{10, false, 0, 0}};
    EXPECT_EQ(graph_summary(view, 3600, false, k_texts), L"1 h: nothing");
    view.points.push_back({11, true, 1e3, 0});
    EXPECT_EQ(graph_summary(view, 3600, true, k_texts),
              L"\u20661 h\u2069: \u20661k\u2069 \u20661k\u2069 / \u20660k\u2069 \u20660k\u2069");
    view.format_rate = nullptr;
    EXPECT_EQ(graph_summary(view, 60, false, k_texts), L"1 min: nothing");
}

} // namespace
} // namespace tide
