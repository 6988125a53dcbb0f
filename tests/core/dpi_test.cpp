#include "compact/arrow.h"
#include "compact/dpi.h"

#include <gtest/gtest.h>

namespace tide {
namespace {

struct ScaleCase {
    int value;
    int dpi;
    int expected;
};

class ScaleToDpi : public ::testing::TestWithParam<ScaleCase> {};

TEST_P(ScaleToDpi, RoundsHalvesAwayFromZero) {
    const ScaleCase& c = GetParam();
    EXPECT_EQ(scale_to_dpi(c.value, c.dpi), c.expected) << c.value << " at " << c.dpi;
}

INSTANTIATE_TEST_SUITE_P(
    Values, ScaleToDpi,
    ::testing::Values(ScaleCase{12, 96, 12}, ScaleCase{12, 144, 18}, ScaleCase{1, 144, 2}, // 1.5 -> 2
                      ScaleCase{-1, 144, -2}, ScaleCase{3, 120, 4},                        // 3.75 -> 4
                      ScaleCase{5, 120, 6},                                                // 6.25 -> 6
                      ScaleCase{7, 0, 7}, ScaleCase{7, -20, 7}, ScaleCase{0, 192, 0},
                      ScaleCase{-7, 120, -9},                                              // -8.75
                      ScaleCase{1000000000, 192, 2000000000}));

TEST(UnscaleFromDpi, InvertsWithTheSameRounding) {
    EXPECT_EQ(unscale_from_dpi(15, 144), 10);
    EXPECT_EQ(unscale_from_dpi(-15, 144), -10);
    EXPECT_EQ(unscale_from_dpi(1, 192), 1);   // 0.5 -> 1
    EXPECT_EQ(unscale_from_dpi(-1, 192), -1); // -0.5 -> -1
    EXPECT_EQ(unscale_from_dpi(40, 0), 40);
}

TEST(ArrowPoints, DownwardStartsAtTheTopAndTipsAtTheBottom) {
    const auto down = arrow_points(10, 20, 10, true);
    EXPECT_EQ(down[0], (PointF{13.5f, 20}));
    EXPECT_EQ(down[1], (PointF{16.5f, 20}));
    EXPECT_EQ(down[3], (PointF{19.5f, 25}));
    EXPECT_EQ(down[4], (PointF{15, 30}));
    EXPECT_EQ(down[5], (PointF{10.5f, 25}));
    const auto up = arrow_points(10, 20, 10, false);
    EXPECT_EQ(up[0].y, 30);
    EXPECT_EQ(up[4].y, 20);
    EXPECT_EQ(up[2], down[2]);
}

} // namespace
} // namespace tide
