// sanitize_text: control bytes, profile user names, e-mail addresses and the length cut.
#include "base/sanitize.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

namespace tide {
namespace {

struct Case {
    const char* name;
    std::string input;
    std::string expected;
};

void PrintTo(const Case& c, std::ostream* os) {
    *os << c.name;
}

class SanitizeShortText : public testing::TestWithParam<Case> {};

TEST_P(SanitizeShortText, Cleans) {
    EXPECT_EQ(sanitize_text(GetParam().input, 300), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Rules, SanitizeShortText,
    testing::Values(
        Case{"Plain", "Could not save usage history", "Could not save usage history"}, Case{"Empty", "", ""},
        Case{"LineBreaks", "first\r\nsecond\tthird", "first  second third"},
        Case{"NulAndDel",
             std::string("a\0b\x7f"
                         "c",
                         5),
             "a b c"},
        Case{"HighBytesKept", "Ethernet \xC3\xA9t\xC3\xA9", "Ethernet \xC3\xA9t\xC3\xA9"},
        Case{"ProfilePath", "C:\\Users\\alice\\AppData\\Roaming\\Tidemeter\\settings.json",
             "C:\\Users\\<user>\\AppData\\Roaming\\Tidemeter\\settings.json"},
        Case{"CapitalsOnDriveD", "D:\\USERS\\BOB\\FILE.TXT", "D:\\USERS\\<user>\\FILE.TXT"},
        Case{"MixedCaseFolder", "e:\\uSeRs\\carol\\x", "e:\\uSeRs\\<user>\\x"},
        Case{"SlashEndsName", "C:\\Users\\dave/Documents", "C:\\Users\\<user>/Documents"},
        Case{"QuoteEndsName", "open \"C:\\Users\\erin\" failed", "open \"C:\\Users\\<user>\" failed"},
        Case{"BlankInsideName", "C:\\Users\\John Smith\\x", "C:\\Users\\<user>\\x"},
        Case{"BlankNameAtEnd", "open C:\\Users\\John Smith", "open C:\\Users\\<user>"},
        Case{"NameAtEnd", "in C:\\Users\\frank", "in C:\\Users\\<user>"},
        Case{"EmptyName", "C:\\Users\\\\x", "C:\\Users\\<user>\\x"},
        Case{"MultibyteName", "C:\\Users\\J\xC3\xBCrgen\\x", "C:\\Users\\<user>\\x"},
        Case{"TwoPaths", "C:\\Users\\a\\x -> D:\\Users\\b\\y",
             "C:\\Users\\<user>\\x -> D:\\Users\\<user>\\y"},
        Case{"NetworkPathUnchanged", "\\\\server\\share\\Users\\name\\f",
             "\\\\server\\share\\Users\\name\\f"},
        Case{"NoDriveLetterUnchanged", ":\\Users\\name", ":\\Users\\name"},
        Case{"DigitBeforeColonUnchanged", "1:\\Users\\name", "1:\\Users\\name"},
        Case{"ProgramFilesUnchanged", "C:\\Program Files\\Tidemeter\\Tidemeter.exe",
             "C:\\Program Files\\Tidemeter\\Tidemeter.exe"},
        Case{"ForwardSlashPath", "C:/Users/name/AppData", "C:/Users/<user>/AppData"},
        Case{"MixedSeparators", "c:/users\\name\\x", "c:/users\\<user>\\x"},
        Case{"UsersWithoutTrailingSeparator", "C:\\Users", "C:\\Users"},
        Case{"Address", "mail john.doe+tag@example.co.uk now", "mail <email> now"},
        Case{"SingleLetters", "a@b", "<email>"},
        Case{"SeveralAddresses", "a@b.c, d_e@f-g.h and x@y", "<email>, <email> and <email>"},
        Case{"AtSignAtStart", "@example", "@example"}, Case{"AtSignAtEnd", "name@", "name@"},
        Case{"DoubleAtSign", "a@@b", "a@@b"}, Case{"BlankAroundAtSign", "a @ b", "a @ b"},
        Case{"ChainedAtSigns", "a@b@c", "<email>@c"},
        Case{"AddressAfterControlByte", "x\nme@host", "x <email>"},
        Case{"AddressInsideProfilePath", "C:\\Users\\me@corp.com\\x", "C:\\Users\\<user>\\x"},
        Case{"AddressAfterProfilePath", "C:\\Users\\a\\me@corp.com", "C:\\Users\\<user>\\<email>"},
        Case{"DeviceName", "no answer from uuid:824ff22b-8c7d-41c5-a131-44f534e12555 at /ctl",
             "no answer from uuid:<id> at /ctl"},
        Case{"DeviceNameInCapitals", "UUID:ABCDEF01::urn", "UUID:<id>::urn"},
        Case{"DeviceNameOfSevenDigitsKept", "uuid:abcdef0 x", "uuid:abcdef0 x"},
        Case{"DeviceMarkerAtEnd", "name uuid:", "name uuid:"},
        Case{"DeviceNameOfNines", "uuid:99999999 x", "uuid:<id> x"},
        Case{"AddressWithNines", "x a9@b9 y", "x <email> y"},
        Case{"NotADeviceMarker", "xuid:abcdef01 x", "xuid:abcdef01 x"},
        // Bidirectional and C1 controls go, line and paragraph separators become blanks.
        Case{"RightToLeftOverride",
             "Box\xE2\x80\xAE"
             "dlrow",
             "Boxdlrow"},
        Case{"LeftToRightEmbedding",
             "a\xE2\x80\xAA"
             "b",
             "ab"},
        Case{"LeftToRightMark",
             "a\xE2\x80\x8E"
             "b",
             "ab"},
        Case{"RightToLeftMark",
             "a\xE2\x80\x8F"
             "b",
             "ab"},
        Case{"ArabicLetterMark",
             "a\xD8\x9C"
             "b",
             "ab"},
        Case{"IsolateFirst",
             "a\xE2\x81\xA6"
             "b",
             "ab"},
        Case{"PopIsolate",
             "a\xE2\x81\xA9"
             "b",
             "ab"},
        Case{"ZeroWidthJoinerKept",
             "a\xE2\x80\x8D"
             "b",
             "a\xE2\x80\x8D"
             "b"},
        Case{"IsolateNeighbourKept",
             "a\xE2\x81\xAA"
             "b",
             "a\xE2\x81\xAA"
             "b"},
        Case{"FirstC1",
             "a\xC2\x80"
             "b",
             "ab"},
        Case{"LastBeforeC1",
             "a\xC2"
             "b",
             "a\xC2"
             "b"},
        Case{"EmbeddingsAndOverrides",
             "\xE2\x80\xAB\xE2\x80\xAC\xE2\x80\xAD"
             "x\xE2\x81\xA7\xE2\x81\xA8",
             "x"},
        Case{"CutSequenceKept", "a\xE2\x80", "a\xE2\x80"},
        Case{"NextLine",
             "a\xC2\x85"
             "b",
             "ab"},
        Case{"LastC1",
             "a\xC2\x9F"
             "b",
             "ab"},
        Case{"NoBreakSpaceKept",
             "a\xC2\xA0"
             "b",
             "a\xC2\xA0"
             "b"},
        Case{"LineSeparator",
             "a\xE2\x80\xA8"
             "b",
             "a b"},
        Case{"ParagraphSeparator",
             "a\xE2\x80\xA9"
             "b",
             "a b"}),
    [](const testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

TEST(SanitizeLength, ExactlyMaxIsNotCut) {
    const std::string text(300, 'a');
    EXPECT_EQ(sanitize_text(text, 300), text);
}

TEST(SanitizeLength, LongAsciiKeepsMaxBytesAndAddsDots) {
    const std::string text(400, 'a');
    EXPECT_EQ(sanitize_text(text, 300), std::string(300, 'a') + "...");
}

TEST(SanitizeLength, CutInsideCharacterDropsIt) {
    // 299 ASCII bytes, then two-byte characters: byte 300 is the lead byte of one of them.
    const std::string text = std::string(299, 'a') + "\xC3\xA9\xC3\xA9";
    EXPECT_EQ(sanitize_text(text, 300), std::string(299, 'a') + "...");
}

TEST(SanitizeLength, CompleteLastCharacterIsDroppedToo) {
    // 298 ASCII bytes and a complete two-byte character end exactly at byte 300.
    const std::string text = std::string(298, 'a') + "\xC3\xA9" + "tail";
    EXPECT_EQ(sanitize_text(text, 300), std::string(298, 'a') + "...");
}

TEST(SanitizeLength, ThreeByteTextIsCutOnACharacterBoundary) {
    std::string text;
    for (int i = 0; i < 200; ++i) {
        text += "\xE6\xB8\xAC"; // 600 bytes of one CJK character
    }
    const std::string out = sanitize_text(text, 300);
    ASSERT_GE(out.size(), 3u);
    ASSERT_LE(out.size(), 303u);
    EXPECT_EQ(out.substr(out.size() - 3), "...");
    const std::string body = out.substr(0, out.size() - 3);
    EXPECT_EQ(body.size() % 3, 0u);
    EXPECT_EQ(body, text.substr(0, body.size()));
    EXPECT_EQ(body.size(), 297u); // 100 characters fit; the 100th, complete, is dropped as the rule says
}

TEST(SanitizeLength, ReplacementsHappenBeforeTheCut) {
    // The address lies beyond byte 300 of the raw text but ends up inside the cleaned one.
    const std::string text = "C:\\Users\\" + std::string(320, 'n') + "\\ mail me@example.com";
    EXPECT_EQ(sanitize_text(text, 300), "C:\\Users\\<user>\\ mail <email>");
}

TEST(SanitizeLength, ZeroMaximumLeavesOnlyTheDots) {
    EXPECT_EQ(sanitize_text("abc", 0), "...");
}

} // namespace
} // namespace tide
