// The router's protocol readers on good and hostile input, and which host may be the router.
#include "net/router_address.h"
#include "net/router_protocol.h"
#include "net/xml.h"

#include <gtest/gtest.h>

#include <vector>

namespace tide {
namespace {

constexpr uint32_t ip(uint32_t a, uint32_t b, uint32_t c, uint32_t d) {
    return a << 24 | b << 16 | c << 8 | d;
}

const LocalNetwork k_home{ip(192, 168, 1, 20), 24, std::nullopt};
const HttpUrl k_location{ip(192, 168, 1, 1), 5000, "/rootDesc.xml"};

TEST(Ssdp, SearchNamesTheTargetAndEndsTheHeaders) {
    EXPECT_EQ(ssdp_search_request(k_igd2), "M-SEARCH * HTTP/1.1\r\nHOST: 239.255.255.250:1900\r\n"
                                           "MAN: \"ssdp:discover\"\r\nMX: 1\r\n"
                                           "ST: urn:schemas-upnp-org:device:InternetGatewayDevice:2\r\n\r\n");
}

struct ReplyCase {
    const char* name;
    std::string datagram;
    const char* location; // nullptr: no reply
};

class SsdpReplies : public testing::TestWithParam<ReplyCase> {};

TEST_P(SsdpReplies, ReadsOnlyGatewayReplies) {
    const std::optional<SsdpReply> reply = read_ssdp_reply(GetParam().datagram);
    ASSERT_EQ(reply.has_value(), GetParam().location != nullptr);
    if (reply) {
        EXPECT_EQ(reply->location, GetParam().location);
    }
}

const std::string k_st1 = "ST: urn:schemas-upnp-org:device:InternetGatewayDevice:1\r\n";

std::string padded_reply(size_t size) {
    const std::string reply = "HTTP/1.1 200 OK\r\nLOCATION: http://a/\r\n" + k_st1 + "X: ";
    return reply + std::string(size - reply.size(), 'x');
}

INSTANTIATE_TEST_SUITE_P(
    Table, SsdpReplies,
    testing::Values(
        ReplyCase{"Igd1",
                  "HTTP/1.1 200 OK\r\nLOCATION: http://192.168.1.1:5000/d.xml\r\n" + k_st1 + "USN: u\r\n\r\n",
                  "http://192.168.1.1:5000/d.xml"},
        ReplyCase{"Igd2LowerCaseBareLines",
                  "HTTP/1.1 200 OK\nst: urn:schemas-upnp-org:device:InternetGatewayDevice:2\nlocation:  "
                  "http://a/ \n",
                  "http://a/"},
        ReplyCase{"NotFound", "HTTP/1.1 404 Not Found\r\nLOCATION: http://a/\r\n" + k_st1 + "\r\n", nullptr},
        ReplyCase{"StatusRunsOn", "HTTP/1.1 2000 OK\r\nLOCATION: http://a/\r\n" + k_st1 + "\r\n", nullptr},
        ReplyCase{"ANotify", "NOTIFY * HTTP/1.1\r\nLOCATION: http://a/\r\n" + k_st1 + "\r\n", nullptr},
        ReplyCase{"OtherDevice", "HTTP/1.1 200 OK\r\nLOCATION: http://a/\r\nST: upnp:rootdevice\r\n\r\n",
                  nullptr},
        ReplyCase{"NoLocation", "HTTP/1.1 200 OK\r\n" + k_st1 + "\r\n", nullptr},
        ReplyCase{"LineWithoutColon", "HTTP/1.1 200 OK\r\nLOCATION: http://a/\r\nrubbish\r\n" + k_st1,
                  nullptr},
        ReplyCase{"AtTheLimit", padded_reply(k_max_ssdp_reply), "http://a/"},
        ReplyCase{"OnePastTheLimit", padded_reply(k_max_ssdp_reply + 1), nullptr}),
    [](const auto& info) { return info.param.name; });

struct UrlCase {
    const char* name;
    const char* reference; // against k_location
    std::optional<HttpUrl> url;
    bool followed; // on k_home
};

class Urls : public testing::TestWithParam<UrlCase> {};

TEST_P(Urls, FollowsOnlyHttpOnTheSameNetwork) {
    const std::optional<HttpUrl> url = resolve_url(k_location, GetParam().reference);
    EXPECT_EQ(url, GetParam().url);
    EXPECT_EQ(url && on_network(k_home, url->address), GetParam().followed);
}

INSTANTIATE_TEST_SUITE_P(
    Table, Urls,
    testing::Values(
        UrlCase{"AbsolutePath", "/ctl/CmnIfCfg", HttpUrl{ip(192, 168, 1, 1), 5000, "/ctl/CmnIfCfg"}, true},
        UrlCase{"RelativePath", "ctl?x=1#f", HttpUrl{ip(192, 168, 1, 1), 5000, "/ctl?x=1"}, true},
        UrlCase{"AbsoluteUrlUpperCaseScheme", "HTTP://192.168.1.254", HttpUrl{ip(192, 168, 1, 254), 80, "/"},
                true},
        UrlCase{"OtherNetwork", "http://192.168.2.1:80/c", HttpUrl{ip(192, 168, 2, 1), 80, "/c"}, false},
        UrlCase{"BroadcastAddress", "http://192.168.1.255/c", HttpUrl{ip(192, 168, 1, 255), 80, "/c"}, false},
        UrlCase{"NetworkAddress", "http://192.168.1.0/c", HttpUrl{ip(192, 168, 1, 0), 80, "/c"}, false},
        UrlCase{"Https", "https://192.168.1.1/c", std::nullopt, false},
        UrlCase{"HostName", "http://router.local/c", std::nullopt, false},
        UrlCase{"UserInformation", "http://x@192.168.1.1/c", std::nullopt, false},
        UrlCase{"OctetTooLarge", "http://192.168.1.256/c", std::nullopt, false},
        UrlCase{"PortZero", "http://192.168.1.1:0/c", std::nullopt, false},
        UrlCase{"PortTooLarge", "http://192.168.1.1:65536/c", std::nullopt, false},
        UrlCase{"NetworkPath", "//192.168.1.1/c", std::nullopt, false},
        UrlCase{"AbsoluteUrlInBlanks", " http://192.168.1.254/c \r\n",
                HttpUrl{ip(192, 168, 1, 254), 80, "/c"}, true},
        UrlCase{"ColonInPath", "/a:b", HttpUrl{ip(192, 168, 1, 1), 5000, "/a:b"}, true},
        UrlCase{"PortOfFiveDigits", "http://192.168.1.1:00080/c", HttpUrl{ip(192, 168, 1, 1), 80, "/c"},
                true},
        UrlCase{"PortOfSixDigits", "http://192.168.1.1:000080/c", std::nullopt, false},
        UrlCase{"TildeInPath", "/c~", HttpUrl{ip(192, 168, 1, 1), 5000, "/c~"}, true},
        UrlCase{"DeleteInPath", "/c\x7F", std::nullopt, false},
        UrlCase{"LetterInAddress", "http://192.168.1.1a/c", std::nullopt, false},
        UrlCase{"SpaceInPath", "/c d", std::nullopt, false},
        UrlCase{"LineBreakInPath", "/c\r\nHost: x", std::nullopt, false}),
    [](const auto& info) { return info.param.name; });

std::string description(const std::string& url_base, const std::string& service_type,
                        const std::string& control, const std::string& wan_type = "WANDevice:1") {
    return "<?xml version=\"1.0\"?><root xmlns=\"urn:schemas-upnp-org:device-1-0\">" + url_base +
           "<device><deviceType>urn:schemas-upnp-org:device:InternetGatewayDevice:1</deviceType>"
           "<friendlyName>Home &amp; Garden</friendlyName><modelName><![CDATA[R<1>]]></modelName>"
           "<UDN>uuid:1234</UDN><serialNumber>SN9</serialNumber><deviceList><device>"
           "<deviceType>urn:schemas-upnp-org:device:" +
           wan_type +
           "</deviceType><serviceList><service><serviceType>urn:schemas-upnp-org:service:Other:1</"
           "serviceType>"
           "<controlURL>/other</controlURL></service><service><serviceType>" +
           service_type + "</serviceType><controlURL>" + control +
           "</controlURL></service></serviceList></device></deviceList></device></root>";
}

const std::string k_service(k_common_interface_config);

struct DescriptionCase {
    const char* name;
    std::string text;
    const char* control_path; // nullptr: no answer
};

class Descriptions : public testing::TestWithParam<DescriptionCase> {};

TEST_P(Descriptions, FindTheCountersOrNothing) {
    const std::optional<RouterDescription> read = read_description(GetParam().text, k_location);
    ASSERT_EQ(read.has_value(), GetParam().control_path != nullptr);
    if (read) {
        ASSERT_EQ(read->links.size(), 1u);
        EXPECT_EQ(read->links[0].common.path, GetParam().control_path);
        EXPECT_EQ(read->friendly_name, "Home & Garden");
        EXPECT_EQ(read->model_name, "R<1>");
        EXPECT_EQ(read->udn, "uuid:1234");
        EXPECT_EQ(read->serial_number, "SN9");
    }
}

std::string replaced(std::string text, const std::string& what, const std::string& with) {
    const size_t at = text.find(what);
    return at == std::string::npos ? "" : text.replace(at, what.size(), with);
}

std::string without_last(std::string text, const std::string& what) {
    const size_t at = text.rfind(what);
    return at == std::string::npos ? "" : text.erase(at, what.size());
}

std::string padded(const std::string& text, size_t size) {
    return text + "<!--" + std::string(size - text.size() - 7, ' ') + "-->";
}

std::string nested(int depth) {
    std::string open, close;
    for (int i = 0; i < depth; ++i) {
        open += "<a>";
        close += "</a>";
    }
    return open + close;
}

INSTANTIATE_TEST_SUITE_P(
    Table, Descriptions,
    testing::Values(
        DescriptionCase{"Igd1", description("", k_service, " /ctl/CmnIfCfg "), "/ctl/CmnIfCfg"},
        DescriptionCase{"Igd2WanDevice2", description("", k_service, "/c", "WANDevice:2"), "/c"},
        DescriptionCase{"WanDeviceMisspelt", description("", k_service, "/c", "WANDevicX:1"), nullptr},
        DescriptionCase{"UrlBaseOnTheNetwork",
                        description("<URLBase>http://192.168.1.1:80/base/</URLBase>", k_service, "c"),
                        "/base/c"},
        // Another host of the same network is still another host.
        DescriptionCase{"UrlBaseElsewhere",
                        description("<URLBase>http://192.168.1.2/</URLBase>", k_service, "c"), nullptr},
        DescriptionCase{"ControlElsewhere", description("", k_service, "http://192.168.1.2:5000/c"), nullptr},
        DescriptionCase{"ControlHttps", description("", k_service, "https://192.168.1.1/c"), nullptr},
        DescriptionCase{"ServiceMissing", description("", "urn:schemas-upnp-org:service:Other:2", "/c"),
                        nullptr},
        DescriptionCase{"ServiceUnderAnotherDevice",
                        description("", k_service, "/c", "WANConnectionDevice:1"), nullptr},
        DescriptionCase{"EmptyControl", description("", k_service, ""), nullptr},
        DescriptionCase{"NotADescription", "<html><body>hello</body></html>", nullptr},
        // Each of the next three differs from "Igd1" in one respect only.
        DescriptionCase{"Unclosed", without_last(description("", k_service, "/c"), "</root>"), nullptr},
        DescriptionCase{"MismatchedEnd", replaced(description("", k_service, "/c"), "</UDN>", "</UDn>"),
                        nullptr},
        DescriptionCase{"BareDoctype",
                        replaced(description("", k_service, "/c"), "?><root", "?><!DOCTYPE root><root"),
                        nullptr},
        DescriptionCase{"UnknownEntity", description("", k_service, "/c&nbsp;"), nullptr},
        DescriptionCase{"TwoDocumentElements", description("", k_service, "/c") + "<root/>", nullptr},
        DescriptionCase{"Of65536Bytes", padded(description("", k_service, "/c"), 65'536), "/c"},
        DescriptionCase{"Of65537Bytes", padded(description("", k_service, "/c"), 65'537), nullptr}),
    [](const auto& info) { return info.param.name; });

// The gateway's own fields, wherever they stand among its children; never a WANDevice's.
TEST(Descriptions, GatewayFieldsAfterItsDeviceListAreTheGateways) {
    std::string text = description("", k_service, "/c");
    const std::string fields = "<friendlyName>Home &amp; Garden</friendlyName><modelName><![CDATA[R<1>]]>"
                               "</modelName><UDN>uuid:1234</UDN><serialNumber>SN9</serialNumber>";
    text = replaced(text, fields, "");
    text = replaced(text, "</deviceList></device></root>", "</deviceList>" + fields + "</device></root>");
    text = replaced(text, "<deviceType>urn:schemas-upnp-org:device:WANDevice:1</deviceType>",
                    "<deviceType>urn:schemas-upnp-org:device:WANDevice:1</deviceType>"
                    "<friendlyName>WAN</friendlyName><serialNumber>W1</serialNumber>");
    const std::optional<RouterDescription> read = read_description(text, k_location);
    ASSERT_TRUE(read);
    EXPECT_EQ(read->friendly_name, "Home & Garden");
    EXPECT_EQ(read->serial_number, "SN9");
    EXPECT_EQ(read->udn, "uuid:1234");
}

std::string wan_device(const std::string& control, const std::string& connection_service) {
    return "<device><deviceType>urn:schemas-upnp-org:device:WANDevice:1</deviceType><serviceList><service>"
           "<serviceType>" +
           k_service + "</serviceType><controlURL>" + control +
           "</controlURL></service></serviceList><deviceList><device><deviceType>urn:schemas-upnp-org:"
           "device:WANConnectionDevice:1</deviceType><serviceList><service><serviceType>urn:schemas-upnp-org:"
           "service:WANEthernetLinkConfig:1</serviceType><controlURL>/link</controlURL></"
           "service><service><serviceType>" +
           connection_service + "</serviceType><controlURL>" + control +
           "/conn</controlURL></service></serviceList></device></deviceList></device>";
}

std::string gateway(const std::string& devices) {
    return "<root><device><deviceType>urn:schemas-upnp-org:device:InternetGatewayDevice:2</deviceType>"
           "<UDN>uuid:9</UDN><deviceList>" +
           devices + "</deviceList></device></root>";
}

// Dual WAN: every WANDevice with its counters and the connection whose uptime tells a reconnect.
TEST(Descriptions, EveryWanDeviceIsALink) {
    const std::string ip_service = "urn:schemas-upnp-org:service:WANIPConnection:2";
    const std::string ppp = "urn:schemas-upnp-org:service:WANPPPConnection:1";
    const std::optional<RouterDescription> read =
        read_description(gateway(wan_device("/a", ip_service) + wan_device("/b", ppp)), k_location);
    ASSERT_TRUE(read);
    const HttpUrl a{ip(192, 168, 1, 1), 5000, "/a"};
    const HttpUrl b{ip(192, 168, 1, 1), 5000, "/b"};
    EXPECT_EQ(read->links, (std::vector<WanLink>{{a, HttpUrl{a.address, a.port, "/a/conn"}, ip_service},
                                                 {b, HttpUrl{b.address, b.port, "/b/conn"}, ppp}}));
    // A connection service elsewhere makes the whole description another host's.
    EXPECT_FALSE(read_description(
        gateway(wan_device("/a", ip_service) + wan_device("http://192.168.1.9/b", ppp)), k_location));
    // Five WANDevices: the first four are read.
    std::string five;
    for (const char* path : {"/1", "/2", "/3", "/4", "/5"}) {
        five += wan_device(path, ip_service);
    }
    ASSERT_TRUE(read_description(gateway(five), k_location));
    EXPECT_EQ(read_description(gateway(five), k_location)->links.size(), 4u);
    EXPECT_EQ(read_description(gateway(five), k_location)->links.back().common.path, "/4");
}

std::string elements(int count) { // count elements in all
    std::string text = "<r>";
    for (int i = 1; i < count; ++i) {
        text += "<e/>";
    }
    return text + "</r>";
}

std::string with_text(size_t bytes) {
    return "<r>" + std::string(bytes, 'x') + "</r>";
}

struct XmlCase {
    const char* name;
    std::string text;
    bool read;
};

class XmlLimits : public testing::TestWithParam<XmlCase> {};

TEST_P(XmlLimits, HoldOrRefuse) {
    EXPECT_EQ(parse_xml(GetParam().text).has_value(), GetParam().read);
}

INSTANTIATE_TEST_SUITE_P(
    Table, XmlLimits,
    testing::Values(
        XmlCase{"Depth24", nested(24), true}, XmlCase{"Depth25", nested(25), false},
        XmlCase{"Elements2048", elements(2'048), true}, XmlCase{"Elements2049", elements(2'049), false},
        XmlCase{"Text4096Bytes", with_text(4'096), true}, XmlCase{"Text4097Bytes", with_text(4'097), false},
        XmlCase{"TextInTwoPiecesOf4097",
                "<r>" + std::string(2'048, 'x') + "<![CDATA[" + std::string(2'049, 'y') + "]]></r>", false},
        // What XmlLite refuses, each beside the same document that passes.
        XmlCase{"ReferenceToTab", "<r>a&#9;b</r>", true},
        XmlCase{"ReferenceToControl", "<r>a&#1;b</r>", false}, XmlCase{"RawTab", "<r>a\tb</r>", true},
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
        XmlCase{"Utf8FourBytes",
                "<r>a\xF0\x9F\x98\x80"
                "b</r>",
                true},
        XmlCase{"Utf8BeyondUnicode",
                "<r>a\xF4\x90\x80\x80"
                "b</r>",
                false},
        XmlCase{"BracketsInText", "<r>a]]b</r>", true}, XmlCase{"CdataEndInText", "<r>a]]>b</r>", false},
        XmlCase{"BlanksBeforeTheRoot", " \n<r>a</r>", true},
        XmlCase{"TextBeforeTheRoot", "x\n<r>a</r>", false},
        XmlCase{"CdataInTheRoot", "<r><![CDATA[x]]></r>", true},
        XmlCase{"CdataBeforeTheRoot", "<![CDATA[x]]><r>a</r>", false},
        XmlCase{"CdataUnterminated", "<r><![CDATA[a</r>", false},
        XmlCase{"EmptyProcessingInstruction", "<?><r>a</r>", false},
        XmlCase{"ReferenceInAttribute", "<r a='&amp;'>a</r>", true},
        XmlCase{"UnknownReferenceInAttribute", "<r a='&nbsp;'>a</r>", false},
        XmlCase{"ReferenceOfTenCharacters", "<r>&#x0000041;</r>", true},
        XmlCase{"EmptyComment", "<r><!----></r>", true},
        XmlCase{"CommentUnterminatedAfterTheRoot", "<r>a</r><!--", false},
        XmlCase{"InstructionUnterminatedAfterTheRoot", "<r>a</r><?x", false},
        XmlCase{"ReferenceOfElevenCharacters", "<r>&#x00000041;</r>", false},
        XmlCase{"NameOfEdgeCharacters", "<z9Z_-.>a</z9Z_-.>", true},
        XmlCase{"ByteOrderMark", "\xEF\xBB\xBF<r>a</r>", true},
        XmlCase{"Utf8LastPlane",
                "<r>a\xF4\x8F\xBF\xBD"
                "b</r>",
                true}),
    [](const auto& info) { return info.param.name; });

std::string answer(const std::string& response, const std::string& value) {
    return "<?xml version=\"1.0\"?>\r\n<s:Envelope "
           "xmlns:s=\"http://schemas.xmlsoap.org/soap/envelope/\"><s:Body><u:" +
           response + " xmlns:u=\"" + k_service + "\">" + value + "</u:" + response +
           "></s:Body></s:Envelope>";
}

struct AnswerCase {
    const char* name;
    std::string text;
    std::optional<uint64_t> received;
};

class Answers : public testing::TestWithParam<AnswerCase> {};

TEST_P(Answers, ReadANumberOrNothing) {
    EXPECT_EQ(read_total(GetParam().text, RouterAction::total_received), GetParam().received);
}

const std::string k_received = "GetTotalBytesReceivedResponse";

INSTANTIATE_TEST_SUITE_P(
    Table, Answers,
    testing::Values(
        AnswerCase{"Number", answer(k_received, "<NewTotalBytesReceived> 3005919\n</NewTotalBytesReceived>"),
                   3005919},
        AnswerCase{"Largest64Bit",
                   answer(k_received, "<NewTotalBytesReceived>18446744073709551615</NewTotalBytesReceived>"),
                   18446744073709551615u},
        AnswerCase{"OnePastIt",
                   answer(k_received, "<NewTotalBytesReceived>18446744073709551616</NewTotalBytesReceived>"),
                   std::nullopt},
        AnswerCase{"Negative", answer(k_received, "<NewTotalBytesReceived>-1</NewTotalBytesReceived>"),
                   std::nullopt},
        AnswerCase{"NotANumber", answer(k_received, "<NewTotalBytesReceived>12a</NewTotalBytesReceived>"),
                   std::nullopt},
        AnswerCase{"Empty", answer(k_received, "<NewTotalBytesReceived/>"), std::nullopt},
        AnswerCase{"NotAnEnvelope", "<NewTotalBytesReceived>7</NewTotalBytesReceived>", std::nullopt},
        AnswerCase{"TheOtherTotal",
                   answer("GetTotalBytesSentResponse", "<NewTotalBytesSent>5</NewTotalBytesSent>"),
                   std::nullopt},
        AnswerCase{
            "Fault",
            "<s:Envelope xmlns:s=\"x\"><s:Body><s:Fault><faultcode>s:Client</faultcode></s:Fault></s:Body>"
            "</s:Envelope>",
            std::nullopt},
        AnswerCase{"Of16384Bytes",
                   padded(answer(k_received, "<NewTotalBytesReceived>7</NewTotalBytesReceived>"), 16'384), 7},
        AnswerCase{"Of16385Bytes",
                   padded(answer(k_received, "<NewTotalBytesReceived>7</NewTotalBytesReceived>"), 16'385),
                   std::nullopt}),
    [](const auto& info) { return info.param.name; });

// References become UTF-8 of one to four bytes.
TEST(Xml, ResolvesReferences) {
    const std::optional<XmlTree> tree =
        parse_xml("<r>&#x7F;&#x80;&#233;&#x263a;&#x1F600;&#x10FFFD;&lt;&amp;&gt;&quot;&apos;</r>");
    ASSERT_TRUE(tree);
    EXPECT_EQ(tree->elements[0].text,
              "\x7F\xC2\x80\xC3\xA9\xE2\x98\xBA\xF0\x9F\x98\x80\xF4\x8F\xBF\xBD<&>\"'");
}

// Upper-case hexadecimal digits read as the lower-case ones.
TEST(Xml, ReadsUpperCaseHexDigits) {
    const std::optional<XmlTree> tree = parse_xml("<r>&#x4A;&#x4a;&#x4F;</r>");
    ASSERT_TRUE(tree);
    EXPECT_EQ(tree->elements[0].text, "JJO");
}

// A sequence cut off by the end of the text is not a character.
TEST(Xml, RefusesASequenceCutOffAtTheEnd) {
    EXPECT_TRUE(valid_xml_characters("a\xC3\xA9"));
    EXPECT_FALSE(valid_xml_characters("a\xC3"));
    EXPECT_FALSE(valid_xml_characters("a\xE2\x98"));
}

// Whoever feeds the builder, one refused event spoils the tree even when the caller goes on.
TEST(XmlBuilder, AnEventOutsideTheRootSpoilsTheTree) {
    for (const int spoiler : {0, 1}) {
        XmlTreeBuilder builder;
        EXPECT_FALSE(spoiler == 0 ? builder.text("x") : builder.end()) << spoiler;
        builder.start("r");
        builder.end();
        EXPECT_FALSE(builder.finish()) << spoiler;
    }
}

// An empty element adds nothing to its parent's text.
TEST(Xml, KeepsTheTextAroundAnEmptyElement) {
    const std::optional<XmlTree> tree = parse_xml("<r>a<e/>b<f a='1'/>c</r>");
    ASSERT_TRUE(tree);
    EXPECT_EQ(tree->elements[0].text, "abc");
}

// Names are kept up to 128 bytes, cut on a character boundary.
TEST(Descriptions, NamesAreCutAt128Bytes) {
    const auto named = [](const std::string& name) {
        return read_description(replaced(description("", k_service, "/c"), "Home &amp; Garden", name),
                                k_location);
    };
    const std::string name128 = std::string(126, 'n') + "\xC3\xA9";
    ASSERT_TRUE(named(name128));
    EXPECT_EQ(named(name128)->friendly_name, name128);
    EXPECT_EQ(named(std::string(127, 'n') + "\xC3\xA9")->friendly_name, std::string(127, 'n'));
}

TEST(Answers, LinkPropertiesAndUptime) {
    const std::string response = "GetCommonLinkPropertiesResponse";
    EXPECT_EQ(read_link_properties(
                  answer(response, "<NewPhysicalLinkStatus>Up</NewPhysicalLinkStatus>"
                                   "<NewLayer1UpstreamMaxBitRate>1000000</NewLayer1UpstreamMaxBitRate>"
                                   "<NewLayer1DownstreamMaxBitRate>8000000</NewLayer1DownstreamMaxBitRate>")),
              (LinkProperties{true, 8'000'000, 1'000'000}));
    EXPECT_EQ(read_link_properties(
                  answer(response, "<NewPhysicalLinkStatus>Down</NewPhysicalLinkStatus>"
                                   "<NewLayer1DownstreamMaxBitRate>fast</NewLayer1DownstreamMaxBitRate>")),
              (LinkProperties{false, 0, 0}));
    EXPECT_EQ(read_link_properties(answer(response, "<NewWANAccessType>DSL</NewWANAccessType>")),
              std::nullopt);
    const std::optional<XmlTree> status =
        parse_xml(answer("GetStatusInfoResponse", "<NewConnectionStatus>Connected</NewConnectionStatus>"
                                                  "<NewUptime>4012</NewUptime>"));
    ASSERT_TRUE(status);
    EXPECT_EQ(read_uptime(*status), 4012u);
    EXPECT_EQ(soap_action_header(RouterAction::status_info, "urn:schemas-upnp-org:service:WANIPConnection:1"),
              "\"urn:schemas-upnp-org:service:WANIPConnection:1#GetStatusInfo\"");
}

struct NetworkCase {
    const char* name;
    LocalNetwork network;
    uint32_t address;
    bool on;
};

class Networks : public testing::TestWithParam<NetworkCase> {};

TEST_P(Networks, HoldTheirHosts) {
    EXPECT_EQ(on_network(GetParam().network, GetParam().address), GetParam().on);
}

INSTANTIATE_TEST_SUITE_P(
    Table, Networks,
    testing::Values(
        NetworkCase{"Slash31Lower", {ip(10, 0, 0, 1), 31, std::nullopt}, ip(10, 0, 0, 0), true},
        NetworkCase{"Slash31Upper", {ip(10, 0, 0, 0), 31, std::nullopt}, ip(10, 0, 0, 1), true},
        NetworkCase{"Slash31Outside", {ip(10, 0, 0, 0), 31, std::nullopt}, ip(10, 0, 0, 2), false},
        NetworkCase{"Slash32Itself", {ip(10, 0, 0, 7), 32, std::nullopt}, ip(10, 0, 0, 7), true},
        NetworkCase{"Slash32Neighbour", {ip(10, 0, 0, 7), 32, std::nullopt}, ip(10, 0, 0, 6), false},
        NetworkCase{"Slash30LastHost", {ip(10, 0, 0, 1), 30, std::nullopt}, ip(10, 0, 0, 2), true},
        NetworkCase{"Slash30Broadcast", {ip(10, 0, 0, 1), 30, std::nullopt}, ip(10, 0, 0, 3), false},
        NetworkCase{"Slash8", {ip(10, 0, 0, 1), 8, std::nullopt}, ip(10, 200, 0, 1), true},
        NetworkCase{"Slash7", {ip(10, 0, 0, 1), 7, std::nullopt}, ip(10, 200, 0, 1), false}),
    [](const auto& info) { return info.param.name; });

// Who may be the router: one passing reply, and each row below it wrong in one respect.
struct GatewayCase {
    const char* name;
    uint32_t from;
    uint32_t location;
    std::optional<uint32_t> gateway;
    bool router;
};

class Gateways : public testing::TestWithParam<GatewayCase> {};

const std::vector<uint32_t> k_own = {ip(192, 168, 1, 20), ip(10, 8, 0, 2)};

TEST_P(Gateways, OnlyTheHomesGateway) {
    const GatewayCase& c = GetParam();
    const SsdpOrigin origin{
        c.from, HttpUrl{c.location, 5000, "/d.xml"}, {ip(192, 168, 1, 20), 24, c.gateway}};
    EXPECT_EQ(is_home_gateway(origin, k_own), c.router);
}

INSTANTIATE_TEST_SUITE_P(
    Table, Gateways,
    testing::Values(
        GatewayCase{"TheGateway", ip(192, 168, 1, 1), ip(192, 168, 1, 1), ip(192, 168, 1, 1), true},
        GatewayCase{"LocationOnAnotherHost", ip(192, 168, 1, 1), ip(192, 168, 1, 30), ip(192, 168, 1, 1),
                    false},
        GatewayCase{"AnotherHostAnswers", ip(192, 168, 1, 30), ip(192, 168, 1, 30), ip(192, 168, 1, 1),
                    false},
        GatewayCase{"NoGateway", ip(192, 168, 1, 1), ip(192, 168, 1, 1), std::nullopt, false},
        GatewayCase{"ThisPc", ip(192, 168, 1, 20), ip(192, 168, 1, 20), ip(192, 168, 1, 20), false},
        GatewayCase{"ThisPcsOtherAddress", ip(10, 8, 0, 2), ip(10, 8, 0, 2), ip(10, 8, 0, 2), false},
        GatewayCase{"GatewayOffTheNetwork", ip(10, 9, 0, 1), ip(10, 9, 0, 1), ip(10, 9, 0, 1), false}),
    [](const auto& info) { return info.param.name; });

// Replies are weighed over the whole search window: an impostor answering first does not win.
TEST(Gateways, ALaterReplyFromTheGatewayWins) {
    const LocalNetwork home{ip(192, 168, 1, 20), 24, ip(192, 168, 1, 1)};
    const SsdpOrigin impostor{ip(192, 168, 1, 30), HttpUrl{ip(192, 168, 1, 30), 80, "/"}, home};
    const SsdpOrigin router{ip(192, 168, 1, 1), HttpUrl{ip(192, 168, 1, 1), 5000, "/d"}, home};
    const std::optional<SsdpOrigin> chosen = choose_router({impostor, router}, k_own);
    ASSERT_TRUE(chosen);
    EXPECT_EQ(chosen->location, router.location);
    EXPECT_FALSE(choose_router({impostor}, k_own));
}

} // namespace
} // namespace tide
