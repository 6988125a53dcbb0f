// Free-place search, notification reserve, task-list span, font fitting.
#include "compact/taskbar_layout.h"

#include "compact/compact_layout.h"
#include "compact/placement.h"

#include <gtest/gtest.h>

#include <optional>
#include <vector>

namespace tide {
namespace {

struct SideCase {
    ScreenRect work;
    ScreenRect expected; // 100 x 30 at align 2, margin 8
};

class TaskbarSideTest : public testing::TestWithParam<SideCase> {};

// Only a top or bottom strip holds the read-out; beside a vertical or hidden taskbar it goes to the
// work-area anchor (bottom side when the taskbar is hidden).
TEST_P(TaskbarSideTest, AnchorFollowsTheTaskbarSide) {
    const SideCase& c = GetParam();
    const DisplayInfo display{"\\\\.\\DISPLAY1", {0, 0, 1280, 800}, c.work, 96, true};
    const PlacementParams params{2, 0, 0, 8};
    EXPECT_EQ(taskbar_anchor(display, 100, 30, params, 0), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Sides, TaskbarSideTest,
                         testing::Values(SideCase{{0, 0, 1280, 760}, {1172, 765, 1272, 795}},
                                         SideCase{{0, 40, 1280, 800}, {1172, 5, 1272, 35}},
                                         SideCase{{62, 0, 1280, 800}, {70, 762, 170, 792}},
                                         SideCase{{0, 0, 1218, 800}, {1110, 762, 1210, 792}},
                                         SideCase{{0, 0, 1280, 800}, {1172, 762, 1272, 792}}));

const ScreenRect k_strip{0, 1040, 1000, 1080};

std::optional<ScreenRect> place(int32_t x, const std::vector<ScreenRect>& occupied, int32_t width = 100) {
    return find_free_place({x, 1045, x + width, 1075}, k_strip, occupied, 4);
}

TEST(FindFreePlace, EmptyStripKeepsTheDesiredPlace) {
    EXPECT_EQ(place(300, {}), (ScreenRect{300, 1045, 400, 1075}));
}

TEST(FindFreePlace, MovesToTheNearestFreeStretch) {
    // Buttons from 200 to 700: each desired place goes to the nearer of the stretches left and right.
    EXPECT_EQ(place(550, {{200, 1040, 700, 1080}}), (ScreenRect{704, 1045, 804, 1075}));
    EXPECT_EQ(place(250, {{200, 1040, 700, 1080}}), (ScreenRect{96, 1045, 196, 1075}));
}

TEST(FindFreePlace, EqualDistancesPickTheLeft) {
    // Free runs [0, 296) and [604, 1000): desired 400 is 204 from each.
    EXPECT_EQ(place(400, {{300, 1040, 600, 1080}}), (ScreenRect{196, 1045, 296, 1075}));
}

TEST(FindFreePlace, GapOfWidthPlusBothGapsFitsAndOneLessDoesNot) {
    // Neighbours end at 100 and start at 208: 108 = 100 + 2 × 4.
    EXPECT_EQ(place(500, {{0, 1040, 100, 1080}, {208, 1040, 1000, 1080}}),
              (ScreenRect{104, 1045, 204, 1075}));
    EXPECT_EQ(place(500, {{0, 1040, 100, 1080}, {207, 1040, 1000, 1080}}), std::nullopt);
}

TEST(FindFreePlace, IgnoresRectanglesOffTheStripAndEmptyOnes) {
    const std::vector<ScreenRect> occupied{
        {300, 900, 500, 1040}, {300, 1050, 300, 1070}, {300, 1050, 500, 1050}};
    EXPECT_EQ(place(350, occupied), (ScreenRect{350, 1045, 450, 1075}));
}

TEST(FindFreePlace, OverlappingBlocksMerge) {
    const std::vector<ScreenRect> occupied{
        {500, 1040, 600, 1080}, {100, 1040, 550, 1080}, {580, 1040, 900, 1080}};
    EXPECT_EQ(place(400, occupied), std::nullopt);
    EXPECT_EQ(place(400, occupied, 90), (ScreenRect{6, 1045, 96, 1075}));
    EXPECT_EQ(place(800, occupied, 90), (ScreenRect{904, 1045, 994, 1075}));
}

TEST(FindFreePlace, TooWideOrEmptyWindowFindsNothing) {
    EXPECT_EQ(place(0, {}, 1001), std::nullopt);
    EXPECT_EQ(place(10, {}, 0), std::nullopt);
    EXPECT_EQ(place(0, {}, 1000), (ScreenRect{0, 1045, 1000, 1075}));
}

struct ReserveCase {
    bool primary;
    int32_t dpi;
    std::optional<ScreenRect> tray;
    std::optional<ScreenRect> notify;
    int32_t expected;
};

class NotificationReserveTest : public testing::TestWithParam<ReserveCase> {};

TEST_P(NotificationReserveTest, FromTheNotificationArea) {
    const ReserveCase& c = GetParam();
    EXPECT_EQ(notification_reserve(c.primary, c.dpi, c.tray, c.notify), c.expected);
}

const ScreenRect k_tray{0, 1040, 1920, 1080};

INSTANTIATE_TEST_SUITE_P(
    Cases, NotificationReserveTest,
    testing::Values(ReserveCase{true, 96, std::nullopt, std::nullopt, 260},
                    ReserveCase{true, 144, std::nullopt, std::nullopt, 390},
                    ReserveCase{false, 96, k_tray, ScreenRect{1600, 1040, 1920, 1080}, 170},
                    ReserveCase{false, 0, std::nullopt, std::nullopt, 170},
                    ReserveCase{true, 96, k_tray, ScreenRect{1600, 1040, 1920, 1080}, 324},
                    ReserveCase{true, 96, k_tray, ScreenRect{1800, 1040, 1920, 1080}, 200},
                    ReserveCase{true, 96, k_tray, ScreenRect{1860, 1040, 1920, 1080}, 200},
                    ReserveCase{true, 96, k_tray, ScreenRect{1861, 1040, 1920, 1080}, 260},
                    ReserveCase{true, 96, k_tray, ScreenRect{960, 1040, 1920, 1080}, 964},
                    ReserveCase{true, 96, k_tray, ScreenRect{959, 1040, 1920, 1080}, 260},
                    ReserveCase{true, 96, k_tray, std::nullopt, 260}));

struct TaskListCase {
    ScreenRect readout;
    ScreenRect expected;
};

class TaskListRectTest : public testing::TestWithParam<TaskListCase> {};

const ScreenRect k_list{100, 0, 900, 40};

TEST_P(TaskListRectTest, GivesWayBesideTheReadout) {
    const TaskListCase& c = GetParam();
    EXPECT_EQ(task_list_rect(k_list, c.readout, 4, 120), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, TaskListRectTest,
                         testing::Values(
                             // read-out in the right half: the list ends before it
                             TaskListCase{{700, 5, 800, 35}, {100, 0, 696, 40}},
                             // read-out in the left half: the list starts after it
                             TaskListCase{{150, 5, 250, 35}, {254, 0, 900, 40}},
                             // right of the list with room for the gap, or left of it: unchanged
                             TaskListCase{{904, 5, 1000, 35}, k_list}, TaskListCase{{0, 5, 96, 35}, k_list},
                             // touching within the gap still narrows
                             TaskListCase{{903, 5, 1000, 35}, {100, 0, 899, 40}},
                             TaskListCase{{0, 5, 97, 35}, {101, 0, 900, 40}},
                             // what would be left is narrower than the minimum: unchanged
                             TaskListCase{{200, 5, 800, 35}, k_list}, TaskListCase{{130, 5, 790, 35}, k_list},
                             TaskListCase{{224, 5, 350, 35}, {354, 0, 900, 40}}));

struct NaturalCase {
    std::vector<ScreenRect> siblings;
    ScreenRect current;
    ScreenRect expected;
};

class TaskListNaturalTest : public testing::TestWithParam<NaturalCase> {};

// In a container 1000 wide: the list's own span reaches to the container's edges or the nearest band
// beside it on its rows, however narrow it is now.
TEST_P(TaskListNaturalTest, ReachesTheNearestBandOrTheContainerEdge) {
    const NaturalCase& c = GetParam();
    EXPECT_EQ(task_list_natural({0, 0, 1000, 40}, c.current, c.siblings), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, TaskListNaturalTest,
                         testing::Values(
                             // narrowed by an earlier run, from either side: the whole container
                             NaturalCase{{}, {0, 0, 600, 40}, {0, 0, 1000, 40}},
                             NaturalCase{{}, {300, 0, 1000, 40}, {0, 0, 1000, 40}},
                             // bands left and right of it, touching or not, bound it; the nearer one wins
                             NaturalCase{{{0, 0, 80, 40}, {900, 0, 1000, 40}, {850, 0, 870, 40}},
                                         {80, 0, 500, 40},
                                         {80, 0, 850, 40}},
                             NaturalCase{{{500, 0, 520, 40}}, {100, 0, 500, 40}, {0, 0, 500, 40}},
                             // a band on another row, an empty one, or one lying across the list: no border
                             NaturalCase{{{700, 40, 800, 80}, {700, 0, 700, 40}, {200, 0, 300, 40}},
                                         {100, 0, 500, 40},
                                         {0, 0, 1000, 40}},
                             // a list wider than its container keeps its width
                             NaturalCase{{}, {-10, 0, 1010, 40}, {-10, 0, 1010, 40}}));

TEST(LayoutFallbacks, ChosenThenOneLineThenNumbersOnlyEachOnce) {
    const auto one = static_cast<int32_t>(CompactLayout::one_line);
    const auto numbers = static_cast<int32_t>(CompactLayout::numbers_only);
    const struct {
        int32_t chosen;
        std::vector<int32_t> expected;
    } cases[] = {{0, {0, one, numbers}},
                 {one, {one, numbers}},
                 {numbers, {numbers, one}},
                 {2, {2, one, numbers}},
                 {3, {3, one, numbers}}};
    for (const auto& c : cases) {
        EXPECT_EQ(layout_fallbacks(c.chosen), c.expected) << c.chosen;
    }
}

TEST(FitTaskbar, EachLayoutShrinksToSevenBeforeTheNextOneIsTried) {
    std::vector<FitAttempt> tried;
    const FitOutcome outcome = fit_taskbar(8, 0, [&](const FitAttempt& a) -> std::optional<ScreenRect> {
        tried.push_back(a);
        if (a.layout == 5 && a.font_pt == 8) {
            return ScreenRect{1, 2, 3, 4};
        }
        return std::nullopt;
    });
    const std::vector<FitAttempt> expected{{false, std::nullopt, std::nullopt},
                                           {true, 8, std::nullopt},
                                           {true, 7, std::nullopt},
                                           {false, std::nullopt, 1},
                                           {true, 8, 1},
                                           {true, 7, 1},
                                           {false, std::nullopt, 5},
                                           {true, 8, 5}};
    EXPECT_EQ(tried, expected);
    EXPECT_EQ(outcome.attempt, (FitAttempt{true, 8, 5}));
    ASSERT_TRUE(outcome.place);
}

TEST(OverlapChoice, NarrowestThatIsLowEnoughElseTheLowest) {
    const struct {
        std::vector<BoxSize> sizes;
        int32_t strip_height;
        size_t expected;
    } cases[] = {
        {{{100, 30}, {170, 19}, {140, 19}}, 40, 0}, // a tall strip: two lines stay the narrowest
        {{{100, 26}, {170, 19}, {140, 19}}, 20, 2}, // too high for the strip, however narrow
        {{{100, 20}, {170, 19}, {140, 19}}, 20, 0}, // exactly as high as the strip
        {{{100, 26}, {140, 22}, {140, 22}}, 20, 1}, // none low enough: the lowest, the first on a tie
        {{{150, 19}, {150, 19}}, 20, 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(overlap_choice(c.sizes, c.strip_height), c.expected) << c.strip_height;
    }
}

TEST(FontFitSequence, MeasuredSizeFirstThenTightDownToSeven) {
    const std::vector<FitAttempt> expected{{false, std::nullopt, std::nullopt},
                                           {true, 10, std::nullopt},
                                           {true, 9, std::nullopt},
                                           {true, 8, std::nullopt},
                                           {true, 7, std::nullopt}};
    EXPECT_EQ(font_fit_sequence(10), expected);
    const std::vector<FitAttempt> small{{false, std::nullopt, std::nullopt}, {true, 7, std::nullopt}};
    EXPECT_EQ(font_fit_sequence(5), small);
}

TEST(FitTaskbarFont, StopsAtTheFirstFit) {
    std::vector<FitAttempt> tried;
    const FitOutcome outcome = fit_taskbar_font(11, [&](const FitAttempt& a) -> std::optional<ScreenRect> {
        tried.push_back(a);
        if (a.font_pt && *a.font_pt <= 9) {
            return ScreenRect{1, 2, 3, 4};
        }
        return std::nullopt;
    });
    EXPECT_EQ(tried.size(), 4u);
    EXPECT_EQ(outcome.attempt, (FitAttempt{true, 9, std::nullopt}));
    EXPECT_EQ(outcome.place, (ScreenRect{1, 2, 3, 4}));
}

TEST(FitTaskbarFont, FullTaskbarEndsAtSevenPointsWithoutPlace) {
    // A taskbar so full that no size fits: the last try is 7 points, tight, and the caller overlaps.
    const std::vector<ScreenRect> full{{0, 1040, 1000, 1080}};
    int tries = 0;
    const FitOutcome outcome = fit_taskbar_font(11, [&](const FitAttempt& a) {
        ++tries;
        const int32_t width = a.font_pt ? *a.font_pt * 8 : 100;
        return place(400, full, width);
    });
    EXPECT_EQ(tries, 6);
    EXPECT_EQ(outcome.attempt, (FitAttempt{true, 7, std::nullopt}));
    EXPECT_EQ(outcome.place, std::nullopt);
}

TEST(FitTaskbarFont, NormalSizeFitsWithoutTightInsets) {
    const FitOutcome outcome = fit_taskbar_font(11, [](const FitAttempt&) { return place(400, {}); });
    EXPECT_EQ(outcome.attempt, FitAttempt{});
    ASSERT_TRUE(outcome.place);
}

} // namespace
} // namespace tide
