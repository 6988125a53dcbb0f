// The router's protocol readers on good and hostile input, and the counter rule as one table.
#include "net/router.h"

#include <gtest/gtest.h>

#include <map>
#include <vector>

namespace tide {
namespace {

constexpr uint32_t ip(uint32_t a, uint32_t b, uint32_t c, uint32_t d) {
    return a << 24 | b << 16 | c << 8 | d;
}

const LocalNetwork k_home{ip(192, 168, 1, 20), 24};
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
    const std::optional<RouterDescription> read = read_description(GetParam().text, k_location, k_home);
    ASSERT_EQ(read.has_value(), GetParam().control_path != nullptr);
    if (read) {
        EXPECT_EQ(read->control.path, GetParam().control_path);
        EXPECT_EQ(read->friendly_name, "Home & Garden");
        EXPECT_EQ(read->model_name, "R<1>");
        EXPECT_EQ(read->udn, "uuid:1234");
        EXPECT_EQ(read->serial_number, "SN9");
    }
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
        DescriptionCase{"UrlBaseOnTheNetwork",
                        description("<URLBase>http://192.168.1.1:80/base/</URLBase>", k_service, "c"),
                        "/base/c"},
        DescriptionCase{"UrlBaseElsewhere",
                        description("<URLBase>http://10.0.0.1/</URLBase>", k_service, "c"), nullptr},
        DescriptionCase{"ControlElsewhere", description("", k_service, "http://8.8.8.8/c"), nullptr},
        DescriptionCase{"ControlHttps", description("", k_service, "https://192.168.1.1/c"), nullptr},
        DescriptionCase{"ServiceMissing", description("", "urn:schemas-upnp-org:service:Other:2", "/c"),
                        nullptr},
        DescriptionCase{"ServiceUnderAnotherDevice",
                        description("", k_service, "/c", "WANConnectionDevice:1"), nullptr},
        DescriptionCase{"EmptyControl", description("", k_service, ""), nullptr},
        DescriptionCase{"NotADescription", "<html><body>hello</body></html>", nullptr},
        DescriptionCase{"Unclosed", description("", k_service, "/c").substr(0, 300), nullptr},
        DescriptionCase{"MismatchedEnd", "<root><device></root></device>", nullptr},
        DescriptionCase{"DoctypeWithEntities",
                        "<!DOCTYPE r [<!ENTITY a \"aaaa\">]>" + description("", k_service, "/c&a;"), nullptr},
        DescriptionCase{"UnknownEntity", description("", k_service, "/c&nbsp;"), nullptr},
        DescriptionCase{"TwoDocumentElements", description("", k_service, "/c") + "<root/>", nullptr},
        DescriptionCase{
            "AtTheSizeLimit",
            description("", k_service, "/c") + "<!--" +
                std::string(k_max_description - description("", k_service, "/c").size() - 7, ' ') + "-->",
            "/c"},
        DescriptionCase{
            "OnePastTheSizeLimit",
            description("", k_service, "/c") + "<!--" +
                std::string(k_max_description - description("", k_service, "/c").size() - 6, ' ') + "-->",
            nullptr}),
    [](const auto& info) { return info.param.name; });

TEST(Xml, KeepsTheDepthLimit) {
    EXPECT_TRUE(parse_xml(nested(XmlTreeBuilder::k_max_depth)));
    EXPECT_FALSE(parse_xml(nested(XmlTreeBuilder::k_max_depth + 1)));
}

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
        AnswerCase{"TheOtherTotal",
                   answer("GetTotalBytesSentResponse", "<NewTotalBytesSent>5</NewTotalBytesSent>"),
                   std::nullopt},
        AnswerCase{
            "Fault",
            "<s:Envelope xmlns:s=\"x\"><s:Body><s:Fault><faultcode>s:Client</faultcode></s:Fault></s:Body>"
            "</s:Envelope>",
            std::nullopt},
        AnswerCase{
            "OnePastTheSizeLimit",
            answer(k_received, "<NewTotalBytesReceived>7</NewTotalBytesReceived>") +
                std::string(k_max_answer + 1 -
                                answer(k_received, "<NewTotalBytesReceived>7</NewTotalBytesReceived>").size(),
                            ' '),
            std::nullopt}),
    [](const auto& info) { return info.param.name; });

TEST(Answers, LinkStatus) {
    const std::string response = "GetCommonLinkPropertiesResponse";
    EXPECT_EQ(read_link_up(answer(response, "<NewPhysicalLinkStatus>Up</NewPhysicalLinkStatus>")), true);
    EXPECT_EQ(read_link_up(answer(response, "<NewPhysicalLinkStatus>Down</NewPhysicalLinkStatus>")), false);
    EXPECT_EQ(read_link_up(answer(response, "<NewWANAccessType>DSL</NewWANAccessType>")), std::nullopt);
}

// The counter rule over one run: each step is one sample; `day` collects what the step counted.
struct CounterStep {
    int64_t time_s;
    bool answered;
    const char* udn;
    uint64_t received;
    uint64_t sent;
    bool link_up;
    RouterCounter::Event event;
    int day;
};

using E = RouterCounter::Event;
constexpr uint64_t k_4g = uint64_t{1} << 32;
constexpr uint64_t k_second = RouterCounter::k_max_bytes_per_second;

TEST(RouterCounter, FollowsTheRouterOverOneRun) {
    const std::vector<CounterStep> steps = {
        {0, true, "A", k_4g - 3000, 500, true, E::baseline, 1},
        {1, true, "A", k_4g - 100, 600, true, E::counted, 1},
        // Wrap: 4 GiB - 100 to 50 within a second is 150 bytes.
        {2, true, "A", 50, 700, true, E::wrapped, 1},
        // A drop that a wrap cannot explain in the time: a restart, nothing counted.
        {3, true, "A", 10, 800, true, E::restarted, 1},
        {4, true, "A", 20, 900, true, E::counted, 1},
        // A rise beyond what the link could carry in the time is not traffic either.
        {5, true, "A", k_4g - 1000, 1000, true, E::restarted, 1},
        // A wrap of exactly the bytes the link can carry in a second counts (a tie); one more does not.
        {6, true, "A", k_second - 1000, 1000, true, E::wrapped, 1},
        {7, true, "A", k_4g - 1000, 1000, true, E::restarted, 1},
        {8, true, "A", k_second - 999, 1000, true, E::restarted, 1},
        // No answer twice, then back: nothing for the gap, and the first answer is a baseline.
        {9, false, "A", 0, 0, true, E::no_answer, 1},
        {10, false, "A", 0, 0, true, E::no_answer, 1},
        {11, true, "A", 5 * k_4g, 9000, true, E::baseline, 1},
        {12, true, "A", 5 * k_4g + 100, 9100, true, E::counted, 1},
        // A counter beyond 32 bits never wraps at 4 GiB: going down is a restart.
        {13, true, "A", 100, 9200, true, E::restarted, 1},
        // Another router: a new baseline, however its counters compare.
        {14, true, "B", 5'000'000, 1, true, E::baseline, 1},
        // The day changes between two samples: the sample after midnight counts for the new day.
        {15, true, "B", 5'000'400, 41, true, E::counted, 2},
        // The link went down: a baseline when it is up again (a reconnect resets some counters).
        {16, true, "B", 0, 0, false, E::baseline, 2},
        {17, true, "B", 70, 7, true, E::baseline, 2},
        {18, true, "B", 80, 9, true, E::counted, 2},
        // Sixty-one seconds without a sample: a baseline.
        {79, true, "B", 90, 10, true, E::baseline, 2},
        {80, true, "B", 95, 12, true, E::counted, 2},
    };
    RouterCounter counter;
    std::map<int, uint64_t> received_by_day;
    std::map<int, uint64_t> sent_by_day;
    RouterCounter::Result previous;
    for (const CounterStep& step : steps) {
        SCOPED_TRACE(step.time_s);
        const RouterCounter::Result result = counter.update(
            {step.answered, step.udn, step.received, step.sent, step.link_up, step.time_s * 1'000'000'000});
        EXPECT_EQ(result.event, step.event);
        EXPECT_EQ(result.valid, step.answered);
        EXPECT_GE(result.received, previous.received); // never back
        EXPECT_GE(result.sent, previous.sent);
        EXPECT_EQ(result.epoch != previous.epoch, step.event == E::baseline || step.event == E::restarted);
        if (result.epoch == previous.epoch) {
            received_by_day[step.day] += result.received - previous.received;
            sent_by_day[step.day] += result.sent - previous.sent;
        }
        previous = result;
    }
    EXPECT_EQ(received_by_day[1], 2900 + 150 + 10 + k_second + 100);
    EXPECT_EQ(sent_by_day[1], 100u + 100 + 100 + 100);
    EXPECT_EQ(received_by_day[2], 400u + 10 + 5);
    EXPECT_EQ(sent_by_day[2], 40u + 2 + 2);
}

} // namespace
} // namespace tide
