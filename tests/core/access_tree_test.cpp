#include "window/access_tree.h"

#include <gtest/gtest.h>

namespace tide {
namespace {

// 0 and 3 belong to the window; 1 and 2 to 0; 4 to 3.
AccessTree sample_tree() {
    AccessTree tree;
    tree.elements = {{L"a", L"", {0, 0, 100, 50}, AccessRole::list, -1},
                     {L"a1", L"", {10, 10, 20, 20}, AccessRole::list_item, 0},
                     {L"a2", L"", {20, 10, 30, 20}, AccessRole::list_item, 0},
                     {L"b", L"", {0, 50, 100, 60}, AccessRole::text, -1},
                     {L"b1", L"", {0, 50, 10, 60}, AccessRole::text, 3}};
    return tree;
}

TEST(AccessTree, StepsReachParentsSiblingsAndChildren) {
    const AccessTree tree = sample_tree();
    struct Case {
        int from;
        AccessStep step;
        int to;
    };
    for (const Case& c : {Case{-1, AccessStep::first_child, 0}, Case{-1, AccessStep::last_child, 3},
                          Case{-1, AccessStep::parent, -2},     Case{-1, AccessStep::next, -2},
                          Case{-1, AccessStep::previous, -2},   Case{0, AccessStep::next, 3},
                          Case{3, AccessStep::previous, 0},     Case{3, AccessStep::next, -2},
                          Case{0, AccessStep::previous, -2},    Case{0, AccessStep::first_child, 1},
                          Case{0, AccessStep::last_child, 2},   Case{1, AccessStep::next, 2},
                          Case{2, AccessStep::next, -2},        Case{1, AccessStep::previous, -2},
                          Case{2, AccessStep::parent, 0},       Case{0, AccessStep::parent, -1},
                          Case{4, AccessStep::parent, 3},       Case{1, AccessStep::first_child, -2},
                          Case{5, AccessStep::parent, -2},      Case{-2, AccessStep::first_child, -2}}) {
        EXPECT_EQ(access_step(tree, c.from, c.step), c.to) << c.from << " " << static_cast<int>(c.step);
    }
}

// A screen reader walking a chart's bars either way meets every one: the chart (0) holds three bars,
// the limit line (4) follows the chart.
TEST(AccessTree, SiblingStepsReachEveryBarBothWays) {
    AccessTree tree;
    tree.elements = {{L"chart", L"", {}, AccessRole::list, -1},
                     {L"first", L"", {}, AccessRole::list_item, 0},
                     {L"middle", L"", {}, AccessRole::list_item, 0},
                     {L"last", L"", {}, AccessRole::list_item, 0},
                     {L"limit", L"", {}, AccessRole::text, -1}};
    struct Case {
        int from;
        AccessStep step;
        int to;
    };
    for (const Case& c :
         {Case{3, AccessStep::previous, 2}, Case{2, AccessStep::previous, 1},
          Case{1, AccessStep::previous, -2}, Case{1, AccessStep::next, 2}, Case{2, AccessStep::next, 3},
          Case{3, AccessStep::next, -2}, Case{4, AccessStep::previous, 0}, Case{0, AccessStep::next, 4}}) {
        EXPECT_EQ(access_step(tree, c.from, c.step), c.to) << c.from << " " << static_cast<int>(c.step);
    }
}

TEST(AccessTree, PointFindsTheInnermostElementRightEdgesExcluded) {
    const AccessTree tree = sample_tree();
    struct Case {
        int x;
        int y;
        int found;
    };
    for (const Case& c : {Case{10, 10, 1}, Case{19, 19, 1}, Case{20, 10, 2}, Case{30, 10, 0}, Case{99, 49, 0},
                          Case{100, 20, -1}, Case{5, 55, 4}, Case{50, 59, 3}, Case{50, 60, -1}}) {
        EXPECT_EQ(access_element_at(tree, c.x, c.y), c.found) << c.x << "," << c.y;
    }
}

TEST(AccessTree, RectCoversEveryTouchedPixelAtItsDpi) {
    EXPECT_EQ(access_rect(10, 20, 30, 40, 96), (AccessRect{10, 20, 40, 60}));
    EXPECT_EQ(access_rect(10, 20, 30, 40, 144), (AccessRect{15, 30, 60, 90}));
    EXPECT_EQ(access_rect(10.5f, 0.2f, 1, 1, 96), (AccessRect{10, 0, 12, 2}));
    EXPECT_EQ(access_rect(10, 20, 30, 40, 0), (AccessRect{10, 20, 40, 60})) << "no DPI counts as 96";
}

TEST(AccessTree, PlaceholdersAndIsolates) {
    EXPECT_EQ(fill_placeholders(L"{1} then {0}", {L"a", L"b"}), L"b then a");
    EXPECT_EQ(fill_placeholders(L"{0}{0} {2} {x} {", {L"a", L"b"}), L"aa {2} {x} {");
    EXPECT_EQ(fill_placeholders(L"{10}", std::vector<std::wstring>(11, L"z")), L"z");
    EXPECT_EQ(isolate_wide(L"5 MB", true), L"\u20665 MB\u2069");
    EXPECT_EQ(isolate_wide(L"5 MB", false), L"5 MB");
    EXPECT_EQ(isolate_wide(L"", true), L"");
}

} // namespace
} // namespace tide
