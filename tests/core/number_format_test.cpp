// Speed and byte texts: unit choice, precision, separators, grouping and native digits.
#include "presentation/number_format.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

namespace tide {
namespace {

UnitSettings units(int unit, bool bytes_when_auto, int base, int precision) {
    UnitSettings u;
    u.unit = unit;
    u.bytes_when_auto = bytes_when_auto;
    u.base = base;
    u.precision = precision;
    return u;
}

const NumberFormat k_plain;

struct SpeedCase {
    double rate;
    int unit;
    bool bytes;
    int base;
    int precision;
    const char* expected;
};

class FormatSpeed : public testing::TestWithParam<SpeedCase> {};

TEST_P(FormatSpeed, PrintsNumberAndUnit) {
    const SpeedCase& c = GetParam();
    EXPECT_EQ(format_speed(c.rate, units(c.unit, c.bytes, c.base, c.precision), k_plain), c.expected);
}

constexpr double k_inf = std::numeric_limits<double>::infinity();
constexpr double k_nan = std::numeric_limits<double>::quiet_NaN();

INSTANTIATE_TEST_SUITE_P(
    AutomaticBits, FormatSpeed,
    testing::Values(
        SpeedCase{0, 0, false, 0, 1, "0.0 bit/s"}, SpeedCase{999, 0, false, 0, 1, "999.0 bit/s"},
        SpeedCase{1000, 0, false, 0, 1, "1.0 Kbit/s"},
        SpeedCase{999999, 0, false, 0, 1, "1000.0 Kbit/s"}, // chosen before rounding
        SpeedCase{999960, 0, false, 0, 1, "1000.0 Kbit/s"}, SpeedCase{1e6, 0, false, 0, 1, "1.0 Mbit/s"},
        SpeedCase{2.5e9, 0, false, 0, 1, "2.5 Gbit/s"}, SpeedCase{1e12, 0, false, 0, 1, "1.0 Tbit/s"},
        SpeedCase{5e15, 0, false, 0, 1, "5000.0 Tbit/s"}, // T is the ceiling
        // Bits always step by 1000, whatever the base says.
        SpeedCase{1048576, 0, false, 1, 1, "1.0 Mbit/s"}, SpeedCase{1024, 0, false, 1, 2, "1.02 Kbit/s"}));

INSTANTIATE_TEST_SUITE_P(
    AutomaticBytes, FormatSpeed,
    testing::Values(SpeedCase{8192, 0, true, 1, 1, "1.0 KiB/s"}, SpeedCase{8192, 0, true, 0, 1, "1.0 KB/s"},
                    SpeedCase{8184, 0, true, 1, 1, "1023.0 B/s"}, SpeedCase{8000, 0, true, 0, 1, "1.0 KB/s"},
                    SpeedCase{7992, 0, true, 0, 1, "999.0 B/s"},
                    SpeedCase{8.0 * 1024 * 1024, 0, true, 1, 1, "1.0 MiB/s"},
                    SpeedCase{8.0 * 1024 * 1024, 0, true, 0, 2, "1.05 MB/s"},
                    SpeedCase{8.0 * 1024 * 1024 * 1024, 0, true, 1, 1, "1.0 GiB/s"},
                    SpeedCase{8e12, 0, true, 0, 1, "1.0 TB/s"},
                    SpeedCase{8.0 * 1024 * 1024 * 1024 * 1024 * 3000, 0, true, 1, 0, "3000 TiB/s"},
                    // Any base other than 1 is decimal.
                    SpeedCase{8192, 0, true, 7, 1, "1.0 KB/s"}));

INSTANTIATE_TEST_SUITE_P(
    FixedUnits, FormatSpeed,
    testing::Values(
        SpeedCase{1500, 1, true, 0, 1, "1500.0 bit/s"}, SpeedCase{1500, 2, true, 1, 1, "1.5 Kbit/s"},
        SpeedCase{1.5e6, 3, false, 0, 2, "1.50 Mbit/s"}, SpeedCase{1e8, 4, false, 0, 2, "0.10 Gbit/s"},
        SpeedCase{1e9, 5, false, 0, 3, "0.00 Tbit/s"}, SpeedCase{80, 6, false, 1, 1, "10.0 B/s"},
        SpeedCase{8192, 7, false, 1, 1, "1.0 KiB/s"}, SpeedCase{8192, 7, false, 0, 2, "1.02 KB/s"},
        SpeedCase{8.0 * 1024 * 1024, 8, false, 1, 1, "1.0 MiB/s"}, SpeedCase{8e9, 9, false, 0, 1, "1.0 GB/s"},
        SpeedCase{8e12, 10, false, 0, 1, "1.0 TB/s"},
        // A fixed unit never rescales and speeds are never grouped.
        SpeedCase{4e10, 7, false, 0, 1, "5000000.0 KB/s"}, SpeedCase{1e4, 3, false, 0, 1, "0.0 Mbit/s"},
        // Codes beyond the table are bytes per second with exponent 0.
        SpeedCase{80, 11, false, 0, 1, "10.0 B/s"}));

INSTANTIATE_TEST_SUITE_P(
    PrecisionAndBadRates, FormatSpeed,
    testing::Values(
        SpeedCase{1234, 0, false, 0, 7, "1.23 Kbit/s"}, SpeedCase{1234, 0, false, 0, -1, "1 Kbit/s"},
        SpeedCase{1500, 0, false, 0, 0, "2 Kbit/s"}, SpeedCase{999, 0, false, 0, 0, "999 bit/s"},
        SpeedCase{5, 0, false, 0, 2, "5.00 bit/s"}, // precision applies to plain bit/s too
        SpeedCase{-5, 0, false, 0, 1, "0.0 bit/s"}, SpeedCase{k_nan, 0, false, 0, 1, "0.0 bit/s"},
        SpeedCase{k_inf, 0, false, 0, 1, "0.0 bit/s"}, SpeedCase{-k_inf, 0, true, 1, 1, "0.0 B/s"},
        SpeedCase{k_nan, 0, true, 0, 1, "0.0 B/s"}, SpeedCase{k_inf, 8, true, 1, 1, "0.0 MiB/s"},
        // Huge rates in a small fixed unit print whole instead of being cut off.
        SpeedCase{
            1e80, 1, false, 0, 0,
            "100000000000000000026609864708367276537402401181200809098131977453489758916313088 bit/s"}));

struct BytesCase {
    uint64_t bytes;
    int base;
    int precision;
    const char* expected;
};

class FormatBytes : public testing::TestWithParam<BytesCase> {};

TEST_P(FormatBytes, PrintsGroupedNumberAndUnit) {
    const BytesCase& c = GetParam();
    EXPECT_EQ(format_bytes(c.bytes, c.base, c.precision, k_plain), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, FormatBytes,
    testing::Values(BytesCase{0, 1, 1, "0 B"}, BytesCase{999, 0, 2, "999 B"}, BytesCase{1000, 0, 1, "1.0 KB"},
                    BytesCase{1000, 1, 1, "1,000 B"}, BytesCase{1023, 1, 1, "1,023 B"},
                    BytesCase{1024, 1, 1, "1.0 KiB"}, BytesCase{1536, 1, 1, "1.5 KiB"},
                    BytesCase{1536, 1, 9, "1.50 KiB"}, BytesCase{1536, 1, -3, "2 KiB"},
                    BytesCase{1048575, 1, 1, "1,024.0 KiB"}, // chosen before rounding, then grouped
                    BytesCase{1048576, 1, 1, "1.0 MiB"}, BytesCase{1000000, 0, 1, "1.0 MB"},
                    BytesCase{1073741824, 1, 2, "1.00 GiB"}, BytesCase{2500000000, 0, 1, "2.5 GB"},
                    BytesCase{1099511627776, 1, 1, "1.0 TiB"}, BytesCase{1000000000000, 0, 0, "1 TB"},
                    BytesCase{5000000000000000, 0, 1, "5,000.0 TB"},
                    BytesCase{UINT64_MAX, 0, 1, "18,446,744.1 TB"},
                    BytesCase{UINT64_MAX, 1, 2, "16,777,216.00 TiB"}));

struct LocaleCase {
    const char* code;
    bool native;
    int decimal_mode;
    const char* separators; // decimal then group
    DigitSet digits;
};

class MakeNumberFormat : public testing::TestWithParam<LocaleCase> {};

TEST_P(MakeNumberFormat, PicksSeparatorsAndDigits) {
    const LocaleCase& c = GetParam();
    const NumberFormat f = make_number_format(c.code, c.native, c.decimal_mode);
    EXPECT_EQ(f.decimal_separator + "|" + f.group_separator, c.separators);
    EXPECT_EQ(f.digit_set, c.digits);
}

INSTANTIATE_TEST_SUITE_P(
    Table, MakeNumberFormat,
    testing::Values(LocaleCase{"en", true, 0, ".|,", DigitSet::ascii},
                    LocaleCase{"", false, 0, ".|,", DigitSet::ascii},
                    LocaleCase{"de", false, 0, ",|.", DigitSet::ascii},
                    LocaleCase{"de-AT", true, 0, ",|.", DigitSet::ascii},
                    LocaleCase{"es", false, 0, ",|.", DigitSet::ascii},
                    LocaleCase{"pt-BR", false, 0, ",|.", DigitSet::ascii},
                    LocaleCase{"IT", false, 0, ",|.", DigitSet::ascii},
                    LocaleCase{"tr", false, 0, ",|.", DigitSet::ascii},
                    LocaleCase{"id", false, 0, ",|.", DigitSet::ascii},
                    LocaleCase{"fr", false, 0, ",|\u202F", DigitSet::ascii},
                    LocaleCase{"ru", false, 0, ",|\u00A0", DigitSet::ascii},
                    LocaleCase{"de", false, 1, ".|,", DigitSet::ascii},
                    LocaleCase{"en", false, 2, ",|.", DigitSet::ascii},
                    LocaleCase{"fr", false, 7, ",|\u202F", DigitSet::ascii},
                    LocaleCase{"ar", false, 0, ".|,", DigitSet::ascii},
                    LocaleCase{"ar", true, 0, "\u066B|\u066C", DigitSet::arabic_indic},
                    LocaleCase{"ar", true, 2, ",|.", DigitSet::arabic_indic},
                    LocaleCase{"ar", true, 1, ".|,", DigitSet::arabic_indic},
                    LocaleCase{"fa", true, 0, "\u066B|\u066C", DigitSet::extended_arabic_indic},
                    LocaleCase{"ur_PK", true, 0, "\u066B|\u066C", DigitSet::extended_arabic_indic},
                    LocaleCase{"hi", true, 0, ".|,", DigitSet::devanagari},
                    LocaleCase{"mr", true, 0, ".|,", DigitSet::devanagari},
                    LocaleCase{"bn", true, 0, ".|,", DigitSet::bengali},
                    LocaleCase{"ta", true, 0, ".|,", DigitSet::tamil},
                    LocaleCase{"te", true, 2, ",|.", DigitSet::telugu},
                    LocaleCase{"zh-Hant", true, 0, ".|,", DigitSet::ascii}));

TEST(PrimaryLanguage, CutsAtTheFirstSeparatorAndLowerCases) {
    EXPECT_EQ(primary_language("pt-BR"), "pt");
    EXPECT_EQ(primary_language("zh-Hans"), "zh");
    EXPECT_EQ(primary_language("FA_ir"), "fa");
    EXPECT_EQ(primary_language("en"), "en");
    EXPECT_EQ(primary_language(""), "");
    EXPECT_EQ(primary_language("-x"), "");
}

struct LocaliseCase {
    const char* code;
    bool native;
    int decimal_mode;
    const char* ascii;
    bool grouping;
    const char* expected;
};

class LocaliseNumber : public testing::TestWithParam<LocaliseCase> {};

TEST_P(LocaliseNumber, MapsSeparatorsGroupsAndDigits) {
    const LocaliseCase& c = GetParam();
    EXPECT_EQ(localise_number(c.ascii, make_number_format(c.code, c.native, c.decimal_mode), c.grouping),
              c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, LocaliseNumber,
    testing::Values(LocaliseCase{"en", false, 0, "1234567", true, "1,234,567"},
                    LocaliseCase{"en", false, 0, "1234567", false, "1234567"},
                    LocaliseCase{"en", false, 0, "123", true, "123"},
                    LocaliseCase{"en", false, 0, "1234", true, "1,234"},
                    LocaliseCase{"en", false, 0, "123456.78", true, "123,456.78"},
                    LocaliseCase{"en", false, 0, "-1234.5", true, "-1,234.5"},
                    LocaliseCase{"en", false, 0, "", true, ""},
                    LocaliseCase{"en", false, 0, ".5", true, ".5"},
                    LocaliseCase{"de", false, 0, "1234567.5", true, "1.234.567,5"},
                    LocaliseCase{"fr", false, 0, "1234567.5", true, "1\u202F234\u202F567,5"},
                    LocaliseCase{"ru", false, 0, "1234.5", true, "1\u00A0234,5"},
                    LocaliseCase{"ar", true, 0, "1234.5", true, "\u0661\u066C\u0662\u0663\u0664\u066B\u0665"},
                    LocaliseCase{"ar", true, 2, "9876.0", false, "\u0669\u0668\u0667\u0666,\u0660"},
                    LocaliseCase{"fa", true, 0, "2.5", false, "\u06F2\u066B\u06F5"},
                    LocaliseCase{"ur", true, 1, "1000.25", true, "\u06F1,\u06F0\u06F0\u06F0.\u06F2\u06F5"},
                    LocaliseCase{"hi", true, 0, "10.9", false, "\u0967\u0966.\u096F"},
                    LocaliseCase{"bn", true, 0, "3", false, "\u09E9"},
                    LocaliseCase{"ta", true, 0, "47", false, "\u0BEA\u0BED"},
                    LocaliseCase{"te", true, 0, "80", false, "\u0C6E\u0C66"},
                    // Anything after the integer part other than one point is copied, digits mapped.
                    LocaliseCase{"ar", true, 0, "1e5", false, "\u0661e\u0665"}));

TEST(FormatSpeedLocalised, GermanUsesACommaUnlessThePointIsForced) {
    const UnitSettings u = units(0, false, 0, 1);
    EXPECT_EQ(format_speed(2.5e6, u, make_number_format("de", false, 0)), "2,5 Mbit/s");
    EXPECT_EQ(format_speed(2.5e6, u, make_number_format("de", false, 1)), "2.5 Mbit/s");
    // Speeds stay ungrouped even where the language has a group separator.
    EXPECT_EQ(format_speed(4e10, units(7, false, 0, 1), make_number_format("de", false, 0)),
              "5000000,0 KB/s");
}

TEST(FormatSpeedLocalised, ArabicDigitsWithAndWithoutOverride) {
    const UnitSettings u = units(0, false, 0, 1);
    EXPECT_EQ(format_speed(2.5e6, u, make_number_format("ar", true, 0)), "\u0662\u066B\u0665 Mbit/s");
    EXPECT_EQ(format_speed(2.5e6, u, make_number_format("ar", true, 2)), "\u0662,\u0665 Mbit/s");
    EXPECT_EQ(format_speed(2.5e6, u, make_number_format("ar", false, 0)), "2.5 Mbit/s");
    EXPECT_EQ(format_speed(2.5e6, u, make_number_format("fa", true, 0)), "\u06F2\u066B\u06F5 Mbit/s");
}

TEST(FormatBytesLocalised, GroupsWithTheLanguageSeparators) {
    EXPECT_EQ(format_bytes(1023, 1, 1, make_number_format("de", false, 0)), "1.023 B");
    EXPECT_EQ(format_bytes(5000000000000000, 0, 1, make_number_format("fr", false, 0)), "5\u202F000,0 TB");
    EXPECT_EQ(format_bytes(1023, 1, 1, make_number_format("ru", false, 0)), "1\u00A0023 B");
    EXPECT_EQ(format_bytes(1023, 1, 1, make_number_format("fa", true, 0)),
              "\u06F1\u066C\u06F0\u06F2\u06F3 B");
    EXPECT_EQ(format_bytes(1536, 1, 1, make_number_format("ar", true, 1)), "\u0661.\u0665 KiB");
}

} // namespace
} // namespace tide
