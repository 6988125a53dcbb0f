#include "persistence/json.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>
#include <string>

namespace tide {
namespace {

using namespace std::string_literals;

std::string nested_arrays(int depth, const std::string& inner) {
    return std::string(static_cast<size_t>(depth), '[') + inner +
           std::string(static_cast<size_t>(depth), ']');
}

JsonValue nested_empty_arrays(int depth) {
    JsonValue value = JsonValue::array();
    for (int level = 1; level < depth; ++level) {
        value = JsonValue::array({value});
    }
    return value;
}

struct ParseCase {
    const char* name;
    std::string text;
    std::optional<JsonValue> expected;  // nothing: the parse must fail
};

void PrintTo(const ParseCase& c, std::ostream* os) {
    *os << c.name;
}

const ParseCase k_parse_cases[] = {
    {"EmptyObject", "{}", JsonValue::object()},
    {"EmptyObjectWithBlanks", " \t{ \r\n }\n ", JsonValue::object()},
    {"EmptyArray", "[]", JsonValue::array()},
    {"EmptyArrayWithBlanks", "\n[ \t ] ", JsonValue::array()},
    {"ObjectOfOnlyAComma", "{,}", std::nullopt},
    {"ArrayTrailingComma", "[1,]", std::nullopt},
    {"ObjectTrailingComma", "{\"a\":1,}", std::nullopt},
    {"ArrayLeadingComma", "[,1]", std::nullopt},
    {"MemberWithoutColon", "{\"a\" 1}", std::nullopt},
    {"NumberKey", "{1:2}", std::nullopt},
    {"UnclosedArray", "[1", std::nullopt},
    {"UnclosedObject", "{\"a\":", std::nullopt},
    {"Nested", " {\"a\" : [1, \"x\" ] , \"b\":null ,\"c\":{\"d\":true}} ",
     JsonValue::object(
         {{"a", JsonValue::array({1, "x"})}, {"b", nullptr}, {"c", JsonValue::object({{"d", true}})}})},
    {"Empty", "", std::nullopt},
    {"OnlyBlanks", " \n", std::nullopt},
    {"FormFeedIsNotBlank", "\f1", std::nullopt},
    {"LeadingZero", "01", std::nullopt},
    {"NegativeLeadingZero", "-01", std::nullopt},
    {"LeadingPlus", "+1", std::nullopt},
    {"LoneMinus", "-", std::nullopt},
    {"PointWithoutDigitsAfter", "1.", std::nullopt},
    {"PointWithoutDigitsBefore", ".5", std::nullopt},
    {"MinusPointWithoutDigits", "-.5", std::nullopt},
    {"ExponentWithoutDigits", "1e", std::nullopt},
    {"ExponentSignWithoutDigits", "1e+", std::nullopt},
    {"PointBeforeExponent", "1.e3", std::nullopt},
    {"MinusZero", "-0", JsonValue(-0.0)},
    {"Half", "0.5", JsonValue(0.5)},
    {"UpperExponent", "1E-3", JsonValue(0.001)},
    {"Underflow", "1e-400", JsonValue(0.0)},
    {"UnderflowAfterZeros", "-0.000001e-399", JsonValue(-0.0)},
    {"LongMantissaUnderflow", "12345678901234567890e-400", JsonValue(0.0)},
    {"Overflow", "1e400", std::nullopt},
    {"NegativeOverflow", "-1e400", std::nullopt},
    {"OverflowAfterPoint", "0.001e312", std::nullopt},
    {"LargestDouble", "1.7976931348623157e308", JsonValue(std::numeric_limits<double>::max())},
    {"SmallestSubnormal", "4.9406564584124654e-324", JsonValue(std::numeric_limits<double>::denorm_min())},
    {"ZeroWithHugeExponent", "0e99999", JsonValue(0.0)},
    {"FifteenDigits", "-999999999999999", JsonValue(-999999999999999.0)},
    {"ManyDigits", "123456789012345678901234567890", JsonValue(1.2345678901234568e29)},
    {"EightDigitsAtTheEnd", "12345678", JsonValue(12345678.0)},
    {"SixteenDigitsAndFraction", "1234567890123456.5", JsonValue(1234567890123456.5)},
    {"NineteenDigits", "9999999999999999999", JsonValue(1e19)},
    {"TwentyDigits", "18446744073709551617", JsonValue(18446744073709551616.0)},
    {"DigitsThenLetter", "[123456789x]", std::nullopt},
    {"LongBlankRuns", "[" + std::string(20, ' ') + "1\t\r\n" + std::string(17, ' ') + "]", JsonValue::array({1})},
    {"NotANumber", "NaN", std::nullopt},
    {"Infinity", "Infinity", std::nullopt},
    {"True", "true", JsonValue(true)},
    {"False", " false ", JsonValue(false)},
    {"Null", "null", JsonValue()},
    {"TruncatedLiteral", "tru", std::nullopt},
    {"NullFollowedByLetter", "nullx", std::nullopt},
    {"TrueInArrayFollowedByLetter", "[truex]", std::nullopt},
    {"CapitalisedLiteral", "True", std::nullopt},
    {"RawTab", "\"a\tb\"", std::nullopt},
    {"RawLineFeed", "\"a\nb\"", std::nullopt},
    {"RawControlByte", "\"\x01\"", std::nullopt},
    {"EscapedTab", "\"a\\tb\"", JsonValue("a\tb")},
    {"AllShortEscapes", R"("\"\/\\\b\f\n\r\t")", JsonValue("\"/\\\b\f\n\r\t")},
    {"UnknownEscape", R"("\x41")", std::nullopt},
    {"ShortUnicodeEscape", R"("\u12")", std::nullopt},
    {"BadHexDigit", R"("\u12G4")", std::nullopt},
    {"UnicodeEscapes", R"("\u0041\u00e9\u20AC")", JsonValue("A\xC3\xA9\xE2\x82\xAC")},
    {"EscapedZeroByte", R"("a\u0000b")", JsonValue("a\0b"s)},
    {"SurrogatePair", R"("\ud83d\ude00")", JsonValue("\xF0\x9F\x98\x80")},
    {"HighSurrogateAlone", R"("\ud83d")", std::nullopt},
    {"HighSurrogateThenText", R"("\ud83dx")", std::nullopt},
    {"HighSurrogateThenNonSurrogate", R"("\ud83d\u0041")", std::nullopt},
    {"LowSurrogateAlone", R"("\ude00")", std::nullopt},
    {"RawUtf8Kept", "\"\xC3\xA9\"", JsonValue("\xC3\xA9")},
    {"InvalidUtf8Kept", "\"\xFF\xFE\"", JsonValue("\xFF\xFE")},
    {"UnterminatedString", "\"abc", std::nullopt},
    {"EndInsideEscape", "\"\\", std::nullopt},
    {"ByteOrderMark", "\xEF\xBB\xBF{}", std::nullopt},
    {"TwoDocuments", "{} {}", std::nullopt},
    {"TrailingBytes", "[1] x", std::nullopt},
    {"SixtyFourLevels", nested_arrays(64, ""), nested_empty_arrays(64)},
    {"SixtyFiveLevels", nested_arrays(65, ""), std::nullopt},
    {"NumberAtLevelSixtyFive", nested_arrays(64, "1"), std::nullopt},
    {"ObjectsAtLevelSixtyFive", nested_arrays(63, "{\"a\":{}}"), std::nullopt},
};

class JsonParse : public ::testing::TestWithParam<ParseCase> {};

TEST_P(JsonParse, GivesTheExpectedValueOrFails) {
    const ParseCase& c = GetParam();
    const std::optional<JsonValue> parsed = parse_json(c.text);
    ASSERT_EQ(parsed.has_value(), c.expected.has_value());
    if (parsed) {
        EXPECT_TRUE(*parsed == *c.expected) << serialize_json(*parsed, 0);
        if (parsed->is_number()) {
            EXPECT_EQ(std::signbit(parsed->as_number()), std::signbit(c.expected->as_number()));
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, JsonParse, ::testing::ValuesIn(k_parse_cases),
                         [](const auto& info) { return std::string(info.param.name); });

struct WriteCase {
    const char* name;
    JsonValue value;
    int indent;
    std::string expected;
};

void PrintTo(const WriteCase& c, std::ostream* os) {
    *os << c.name;
}

const JsonValue k_layout_sample = JsonValue::object(
    {{"a", 1}, {"b", JsonValue::array({1, "x"})}, {"c", JsonValue::object()}, {"d", JsonValue::array()}});

const WriteCase k_write_cases[] = {
    {"Three", 3, 0, "3"},
    {"TwoAndAHalf", 2.5, 0, "2.5"},
    {"TenToTheFifteen", 1e15, 0, "1000000000000000"},
    {"JustBelowTenToTheFifteen", 999999999999999.0, 0, "999999999999999"},
    {"TenToTheSeventeen", 1e17, 0, "1e+17"},
    {"PointOne", 0.1, 0, "0.10000000000000001"},
    {"Negative", -42, 0, "-42"},
    {"NegativeZero", -0.0, 0, "-0"},
    {"NotFinite", std::numeric_limits<double>::quiet_NaN(), 0, "null"},
    {"Literals", JsonValue::array({true, false, nullptr}), 0, "[true,false,null]"},
    {"ControlByte", "\x01", 0, R"("\u0001")"},
    {"Backspace", "\b\x1f", 0, R"("\u0008\u001f")"},
    {"ShortEscapes", "\"\\\n\r\t", 0, R"("\"\\\n\r\t")"},
    {"SlashAndDeleteUnchanged", "/\x7F", 0, "\"/\x7F\""},
    {"NonAsciiUnchanged", "\xC3\xA9\xF0\x9F\x98\x80", 0, "\"\xC3\xA9\xF0\x9F\x98\x80\""},
    {"EmptyContainersIndented", JsonValue::array({JsonValue::array(), JsonValue::object()}), 2,
     "[\n  [],\n  {}\n]\n"},
    {"TopLevelEmptyObjectIndented", JsonValue::object(), 2, "{}\n"},
    {"ScalarIndented", 7, 2, "7\n"},
    {"LayoutWithoutIndent", k_layout_sample, 0, R"({"a":1,"b":[1,"x"],"c":{},"d":[]})"},
    {"NegativeIndentAsNone", k_layout_sample, -2, R"({"a":1,"b":[1,"x"],"c":{},"d":[]})"},
    {"LayoutIndentTwo", k_layout_sample, 2,
     "{\n  \"a\": 1,\n  \"b\": [\n    1,\n    \"x\"\n  ],\n  \"c\": {},\n  \"d\": []\n}\n"},
    {"LayoutIndentFour", JsonValue::object({{"k", JsonValue::array({1})}}), 4,
     "{\n    \"k\": [\n        1\n    ]\n}\n"},
    {"UsageDay", JsonValue::object({{"days", JsonValue::array({JsonValue::array({19723, 1536, 512})})}}), 2,
     "{\n  \"days\": [\n    [\n      19723,\n      1536,\n      512\n    ]\n  ]\n}\n"},
    {"KeyEscaped", JsonValue::object({{"a\"b", 1}}), 0, R"({"a\"b":1})"},
};

class JsonWrite : public ::testing::TestWithParam<WriteCase> {};

TEST_P(JsonWrite, GivesTheExactText) {
    EXPECT_EQ(serialize_json(GetParam().value, GetParam().indent), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, JsonWrite, ::testing::ValuesIn(k_write_cases),
                         [](const auto& info) { return std::string(info.param.name); });

// Finite doubles spread over the whole range by their bit patterns, plus integers of every size.
std::vector<double> sample_numbers() {
    std::vector<double> numbers = {0.0,
                                   -0.0,
                                   1e15,
                                   -1e15,
                                   1e15 - 1,
                                   0.5,
                                   1e-7,
                                   1e300,
                                   9007199254740993.0,
                                   std::numeric_limits<double>::max(),
                                   std::numeric_limits<double>::min(),
                                   std::numeric_limits<double>::denorm_min()};
    std::mt19937_64 random(20240101);
    while (numbers.size() < 3000) {
        uint64_t bits = random();
        double n = 0;
        std::memcpy(&n, &bits, sizeof n);
        if (std::isfinite(n)) {
            numbers.push_back(n);
        }
        numbers.push_back(static_cast<double>(static_cast<int64_t>(random()) >> (random() % 64)));
    }
    return numbers;
}

TEST(JsonNumbers, PrintAsTheCLibraryDoesAndReadBackExactly) {
    for (double n : sample_numbers()) {
        char expected[64];
        const bool small_integral = n == std::floor(n) && std::fabs(n) < 1e15;
        std::snprintf(expected, sizeof expected, small_integral ? "%.0f" : "%.17g", n);
        const std::string text = serialize_json(n, 0);
        ASSERT_EQ(text, expected);
        const std::optional<JsonValue> back = parse_json(text);
        ASSERT_TRUE(back.has_value()) << text;
        const double read = back->as_number();
        ASSERT_TRUE(read == n && std::signbit(read) == std::signbit(n)) << text;
    }
}

TEST(JsonNumbers, IgnoreTheProcessLocale) {
    if (std::setlocale(LC_NUMERIC, "de_DE.UTF-8") == nullptr &&
        std::setlocale(LC_NUMERIC, "fr_FR.UTF-8") == nullptr) {
        GTEST_SKIP() << "no locale with a decimal comma installed";
    }
    const std::string text = serialize_json(2.5, 0);
    const std::optional<JsonValue> back = parse_json("0.25");
    std::setlocale(LC_NUMERIC, "C");
    EXPECT_EQ(text, "2.5");
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(back->as_number(), 0.25);
}

TEST(JsonMembers, DuplicateKeysAreKeptAndTheFirstIsFound) {
    const std::optional<JsonValue> doc = parse_json(R"({"a":1,"B":true,"a":2})");
    ASSERT_TRUE(doc.has_value());
    ASSERT_EQ(doc->members().size(), 3u);
    EXPECT_EQ(doc->members()[2].first, "a");
    const JsonValue* a = find_member(*doc, "a");
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->as_number(), 1);
    EXPECT_EQ(find_member(*doc, "b"), nullptr);  // case-sensitive
    EXPECT_EQ(find_member(*doc, "a "), nullptr);
    EXPECT_EQ(find_member(*doc, ""), nullptr);
    EXPECT_EQ(serialize_json(*doc, 0), R"({"a":1,"B":true,"a":2})");
}

TEST(JsonMembers, NonObjectsHaveNoMembers) {
    const JsonValue array = JsonValue::array({"a"});
    EXPECT_EQ(find_member(array, "a"), nullptr);
    EXPECT_EQ(find_member(JsonValue("a"), "a"), nullptr);
    EXPECT_EQ(find_member(nullptr, "a"), nullptr);
    const JsonValue with_zero = JsonValue::object({{"a\0b"s, 1}});
    EXPECT_EQ(find_member(with_zero, "a"), nullptr);
    EXPECT_NE(find_member(with_zero, "a\0b"s), nullptr);
}

struct IntReadCase {
    const char* member_json;  // the value of member "v"
    int32_t expected;        // the target starts at 77
};

void PrintTo(const IntReadCase& c, std::ostream* os) {
    *os << c.member_json;
}

class JsonReadInt : public ::testing::TestWithParam<IntReadCase> {};

TEST_P(JsonReadInt, TruncatesOrKeepsTheTarget) {
    const std::optional<JsonValue> doc = parse_json("{\"v\":"s + GetParam().member_json + "}");
    ASSERT_TRUE(doc.has_value());
    int32_t target = 77;
    read_int_member(&*doc, "v", target);
    EXPECT_EQ(target, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, JsonReadInt,
    ::testing::Values(IntReadCase{"5", 5}, IntReadCase{"999.9", 999}, IntReadCase{"-999.9", -999},
                      IntReadCase{"-0.5", 0}, IntReadCase{"2147483647.9", 2147483647},
                      IntReadCase{"2147483648", INT32_MAX}, IntReadCase{"-2147483647.5", -2147483647},
                      IntReadCase{"-2147483649", INT32_MIN}, IntReadCase{"1e300", INT32_MAX},
                      IntReadCase{"-1e300", INT32_MIN}, IntReadCase{"\"5\"", 77}, IntReadCase{"true", 77},
                      IntReadCase{"null", 77}, IntReadCase{"[5]", 77}));

TEST(JsonReaders, ChangeTheTargetOnlyForTheExpectedKind) {
    const std::optional<JsonValue> doc = parse_json(R"({"b":true,"s":"text","e":"","n":1})");
    ASSERT_TRUE(doc.has_value());
    bool flag = false;
    read_bool_member(&*doc, "b", flag);
    EXPECT_TRUE(flag);
    read_bool_member(&*doc, "n", flag);
    read_bool_member(&*doc, "missing", flag);
    EXPECT_TRUE(flag);
    std::string text = "old";
    read_string_member(&*doc, "n", text);
    EXPECT_EQ(text, "old");
    read_string_member(&*doc, "s", text);
    EXPECT_EQ(text, "text");
    read_string_member(&*doc, "e", text);
    EXPECT_EQ(text, "");
    int32_t number = 9;
    read_int_member(nullptr, "n", number);
    const JsonValue array = JsonValue::array({1});
    read_int_member(&array, "n", number);
    EXPECT_EQ(number, 9);
}

TEST(JsonValueModel, MovingLeavesAnEmptyValueOfTheSameKind) {
    const JsonValue samples[] = {true, 4.5, "some text that is too long to be stored inline",
                                 JsonValue::array({1, 2}), JsonValue::object({{"k", "v"}})};
    const JsonValue empties[] = {false, 0, "", JsonValue::array(), JsonValue::object()};
    for (size_t i = 0; i < std::size(samples); ++i) {
        JsonValue source = samples[i];
        JsonValue constructed(std::move(source));
        EXPECT_TRUE(constructed == samples[i]);
        EXPECT_TRUE(source == empties[i]) << i;  // NOLINT(bugprone-use-after-move)
        JsonValue again = samples[i];
        JsonValue assigned = "previous";
        assigned = std::move(again);
        EXPECT_TRUE(assigned == samples[i]);
        EXPECT_TRUE(again == empties[i]) << i;  // NOLINT(bugprone-use-after-move)
    }
}

TEST(JsonValueModel, CopiesAreDeepAndAssignmentFromAPartWorks) {
    JsonValue original = JsonValue::object({{"list", JsonValue::array({1})}});
    JsonValue copy = original;
    copy.append("more", 2);
    EXPECT_EQ(original.members().size(), 1u);
    EXPECT_EQ(copy.members().size(), 2u);
    JsonValue tree = JsonValue::array({JsonValue::array({"inner"}), 3});
    tree = tree.elements()[0];
    EXPECT_EQ(serialize_json(tree, 0), R"(["inner"])");
    JsonValue scalar = 1;
    scalar.append("ignored");
    scalar.append("key", 1);
    EXPECT_TRUE(scalar == JsonValue(1));
}

TEST(JsonRoundTrip, WritingThenParsingGivesAnEqualValue) {
    std::string every_byte;
    for (int c = 0; c < 256; ++c) {
        every_byte.push_back(static_cast<char>(c));
    }
    JsonValue numbers = JsonValue::array();
    for (double n : sample_numbers()) {
        numbers.append(n);
    }
    const JsonValue value = JsonValue::object({
        {"z", nullptr},
        {"a", JsonValue::array({true, false, every_byte, JsonValue::object()})},
        {every_byte, JsonValue::object({{"m", 1}, {"m", 2}, {"b", JsonValue::array()}})},
        {"numbers", numbers},
    });
    for (int indent : {0, 2, 3}) {
        const std::optional<JsonValue> back = parse_json(serialize_json(value, indent));
        ASSERT_TRUE(back.has_value()) << indent;
        EXPECT_TRUE(*back == value) << indent;
    }
}

TEST(JsonRoundTrip, AnIndentedFileIsWrittenBackByteForByte) {
    const std::string text =
        "{\n  \"schema_version\": 1,\n  \"language\": \"system\",\n  \"general\": {\n"
        "    \"start_with_windows\": false,\n    \"last_update_check\": 1700000000\n  },\n"
        "  \"x\": null,\n  \"opacity\": 0.90000000000000002,\n  \"custom_colors\": {}\n}\n";
    const std::optional<JsonValue> doc = parse_json(text);
    ASSERT_TRUE(doc.has_value());
    EXPECT_EQ(serialize_json(*doc, 2), text);
}

}  // namespace
}  // namespace tide
