// The router source's XML under XmlLite: the same element list as the portable reader for what a
// router sends, and nothing for what the portable reader refuses.
#include "net/router_win.h"

#include <gtest/gtest.h>

#include <string>

#include "net/xml.h"

namespace tide {
namespace {

std::string nested(int depth) {
    std::string text;
    for (int i = 0; i < depth; ++i) {
        text += "<a>";
    }
    for (int i = 0; i < depth; ++i) {
        text += "</a>";
    }
    return text;
}

struct XmlCase {
    const char* name;
    std::string text;
    bool read;
};

class XmlLiteReading : public testing::TestWithParam<XmlCase> {};

TEST_P(XmlLiteReading, MatchesThePortableReader) {
    const std::optional<XmlTree> system = read_xml(GetParam().text);
    const std::optional<XmlTree> portable = parse_xml(GetParam().text);
    ASSERT_EQ(system.has_value(), GetParam().read);
    ASSERT_EQ(portable.has_value(), GetParam().read);
    if (system) {
        ASSERT_EQ(system->elements.size(), portable->elements.size());
        for (size_t i = 0; i < system->elements.size(); ++i) {
            EXPECT_EQ(system->elements[i].name, portable->elements[i].name) << i;
            EXPECT_EQ(system->elements[i].parent, portable->elements[i].parent) << i;
            EXPECT_EQ(system->elements[i].text, portable->elements[i].text) << i;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, XmlLiteReading,
    testing::Values(
        XmlCase{
            "Answer",
            "<?xml version=\"1.0\"?>\r\n<s:Envelope xmlns:s=\"http://schemas.xmlsoap.org/soap/envelope/\">"
            "<s:Body><u:GetTotalBytesReceivedResponse xmlns:u=\"urn:x\"><NewTotalBytesReceived>3005919"
            "</NewTotalBytesReceived></u:GetTotalBytesReceivedResponse></s:Body></s:Envelope>\r\n",
            true},
        XmlCase{"EntitiesCdataAndEmptyElements",
                "<root><n>A &amp; B &#x263A;</n><m><![CDATA[<R1>]]></m><e/><f></f></root>", true},
        XmlCase{"AtTheDepthLimit", nested(XmlTreeBuilder::k_max_depth), true},
        XmlCase{"OnePastTheDepthLimit", nested(XmlTreeBuilder::k_max_depth + 1), false},
        XmlCase{"DocumentType", "<!DOCTYPE r [<!ENTITY a \"aaaa\">]><r>&a;</r>", false},
        XmlCase{"Unclosed", "<root><device>", false}, XmlCase{"Mismatched", "<root><a></b></root>", false},
        // What XmlLite refuses (and the portable reader with it), each beside its passing twin.
        XmlCase{"ReferenceToLetter", "<r>a&#65;b</r>", true},
        XmlCase{"ReferenceToControl", "<r>a&#1;b</r>", false},
        XmlCase{"RawControl",
                "<r>a\x01"
                "b</r>",
                false},
        XmlCase{"Utf8",
                "<r>a\xC3\xA9"
                "b</r>",
                true},
        XmlCase{"Utf8Truncated",
                "<r>a\xC3"
                "b</r>",
                false},
        XmlCase{"Utf8Overlong",
                "<r>a\xC0\xAF"
                "b</r>",
                false},
        XmlCase{"Utf8Surrogate",
                "<r>a\xED\xA0\x80"
                "b</r>",
                false},
        XmlCase{"BracketsInText", "<r>a]]b</r>", true}, XmlCase{"CdataEndInText", "<r>a]]>b</r>", false},
        XmlCase{"BareDoctype", "<!DOCTYPE r><r>a</r>", false}),
    [](const auto& info) { return info.param.name; });

} // namespace
} // namespace tide
