#include "compact/compact_layout.h"

#include <gtest/gtest.h>

namespace tide {
namespace {

TEST(BoxInsets, NativeTightAndOrdinary) {
    EXPECT_EQ(box_insets(true, false, 20), (BoxInsets{4, 1, 0, 10}));
    EXPECT_EQ(box_insets(true, true, 20), (BoxInsets{4, 1, 0, 10}));
    EXPECT_EQ(box_insets(false, false, 20), (BoxInsets{8, 4, 2, 20}));
    EXPECT_EQ(box_insets(false, true, 30), (BoxInsets{8, 2, 0, 30}));
}

TEST(IconSize, NineTenthsRounded) {
    EXPECT_EQ(icon_size_for(14.6667f), 13);
    EXPECT_EQ(icon_size_for(5.0f), 5); // 4.5 rounds up
    EXPECT_EQ(icon_size_for(10.0f), 9);
}

struct BoxCase {
    const char* name;
    int layout;
    int w, l, i;
    BoxInsets insets;
    int min_w, max_w, max_h;
    BoxSize expected;
};

class CompactBoxSize : public ::testing::TestWithParam<BoxCase> {};

TEST_P(CompactBoxSize, ContentPlusInsetsClamped) {
    const BoxCase& c = GetParam();
    EXPECT_EQ(compact_box_size(c.layout, c.w, c.l, c.i, c.insets, c.min_w, c.max_w, c.max_h), c.expected) << c.name;
}

const BoxInsets k_plain{8, 4, 2, 20};

INSTANTIATE_TEST_SUITE_P(
    Layouts, CompactBoxSize,
    ::testing::Values(BoxCase{"two_lines", 0, 50, 16, 13, k_plain, 40, 600, 200, {85, 42}},
                      BoxCase{"one_line", 1, 50, 16, 13, k_plain, 40, 600, 200, {166, 24}},
                      BoxCase{"two_columns", 2, 50, 16, 13, k_plain, 40, 600, 200, {166, 42}},
                      BoxCase{"icon_only ignores the texts", 3, 500, 16, 13, k_plain, 40, 600, 200, {48, 21}},
                      BoxCase{"text_only", 4, 50, 16, 13, k_plain, 40, 600, 200, {128, 24}},
                      BoxCase{"numbers_only", 5, 50, 16, 13, k_plain, 40, 600, 200, {122, 24}},
                      BoxCase{"unknown layout", 9, 50, 16, 13, k_plain, 40, 600, 200, {40, 20}},
                      BoxCase{"wider than max_w", 1, 400, 16, 13, k_plain, 40, 600, 200, {600, 24}},
                      BoxCase{"narrower than min_w", 5, 5, 8, 7, k_plain, 40, 600, 200, {40, 20}},
                      BoxCase{"higher than max_h", 0, 50, 100, 13, k_plain, 40, 600, 200, {85, 200}},
                      BoxCase{"min not below max", 0, 50, 16, 13, k_plain, 100, 50, 200, {100, 42}},
                      BoxCase{"tight", 0, 50, 16, 13, {8, 2, 0, 20}, 40, 600, 200, {85, 36}},
                      BoxCase{"native", 5, 30, 8, 7, {4, 1, 0, 10}, 40, 600, 200, {74, 10}},
                      BoxCase{"one_line takes the icon when taller", 1, 50, 10, 13, k_plain, 40, 600, 200,
                              {166, 21}}));

const ItemMetrics k_metrics{16.0f, 13.0f, 50.0f};

TEST(CompactItems, TwoLinesStacksTheRows) {
    const CompactItems items = compact_items(0, {85, 42}, k_plain, k_metrics, false);
    EXPECT_EQ(items.first_arrow, (ItemSpot{true, 8, 5.5f}));
    EXPECT_EQ(items.first_text, (ItemSpot{true, 27, 4}));
    EXPECT_EQ(items.second_arrow, (ItemSpot{true, 8, 23.5f}));
    EXPECT_EQ(items.second_text, (ItemSpot{true, 27, 22}));
    EXPECT_FALSE(items.first_label.present);
}

TEST(CompactItems, RightToLeftPutsTheFirstArrowAtTheRightEdge) {
    const CompactItems items = compact_items(0, {85, 42}, k_plain, k_metrics, true);
    EXPECT_EQ(items.first_arrow.x, 85 - 8 - 13);
    EXPECT_EQ(items.first_text.x, 85 - 27 - 50);
    const CompactItems row = compact_items(1, {166, 24}, k_plain, k_metrics, true);
    EXPECT_EQ(row.first_arrow.x, 166 - 8 - 13);
    EXPECT_LT(row.second_arrow.x, row.first_arrow.x);
}

TEST(CompactItems, OneLineAndTwoColumnsStartTheSecondItemAfterTheFirstColumn) {
    const CompactItems row = compact_items(1, {166, 24}, k_plain, k_metrics, false);
    EXPECT_EQ(row.first_arrow, (ItemSpot{true, 8, 5.5f}));
    EXPECT_EQ(row.first_text, (ItemSpot{true, 27, 4}));
    EXPECT_EQ(row.second_arrow, (ItemSpot{true, 89, 5.5f}));
    EXPECT_EQ(row.second_text, (ItemSpot{true, 108, 4}));
    const CompactItems columns = compact_items(2, {166, 42}, k_plain, k_metrics, false);
    EXPECT_EQ(columns.first_label, (ItemSpot{true, 27, 4}));
    EXPECT_EQ(columns.first_text, (ItemSpot{true, 27, 22}));
    EXPECT_EQ(columns.second_label, (ItemSpot{true, 108, 4}));
    EXPECT_EQ(columns.second_arrow, (ItemSpot{true, 89, 14.5f}));
}

TEST(CompactItems, TextLayoutsSeparateTheValuesByTwelveAndSix) {
    const CompactItems text = compact_items(4, {128, 24}, k_plain, k_metrics, false);
    EXPECT_FALSE(text.first_arrow.present);
    EXPECT_EQ(text.second_text.x - (text.first_text.x + 50), 12);
    const CompactItems numbers = compact_items(5, {122, 24}, k_plain, k_metrics, false);
    EXPECT_EQ(numbers.second_text.x - (numbers.first_text.x + 50), 6);
    const CompactItems icons = compact_items(3, {48, 21}, k_plain, k_metrics, false);
    EXPECT_EQ(icons.second_arrow, (ItemSpot{true, 27, 4}));
    EXPECT_FALSE(icons.first_text.present);
}

TEST(DecorateValue, ArrowsForTextOnlyIsolatesForRightToLeft) {
    EXPECT_EQ(decorate_value(L"1.2 MB/s", true, 4, false), L"\u2193 1.2 MB/s");
    EXPECT_EQ(decorate_value(L"1.2 MB/s", false, 4, false), L"\u2191 1.2 MB/s");
    EXPECT_EQ(decorate_value(L"1.2 MB/s", true, 0, false), L"1.2 MB/s");
    EXPECT_EQ(decorate_value(L"1.2 MB/s", false, 4, true), L"\u2066\u2191 1.2 MB/s\u2069");
    EXPECT_EQ(decorate_value(L"", true, 5, true), L"\u2066\u2069");
}

} // namespace
} // namespace tide
