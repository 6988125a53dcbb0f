#include "app/status_refresh.h"

#include <gtest/gtest.h>

namespace tide {
namespace {

const TextLookup k_english = [](std::string_view key) -> std::string {
    static const std::map<std::string, std::string, std::less<>> texts = {
        {"status.connected", "Connected"},
        {"status.measuring", "Measuring…"},
        {"status.unavailable", "No connection"},
        {"status.paused", "Paused"},
        {"label.download", "Download"},
        {"label.upload", "Upload"},
        {"tip.speed", "Download {0}, Upload {1}"},
        {"label.session_total", "Session total"},
        {"label.today", "Today"},
        {"label.week", "Last 7 days"},
        {"label.month", "This month"},
        {"stats.avg", "Average"},
        {"stats.min", "Minimum"},
        {"stats.max", "Maximum"},
        {"access.readout", "Download {0}, upload {1}"},
        {"access.limit_reached", "Data limit reached"},
        {"status.router_not_answering", "Router not answering"},
        {"status.no_router", "No router with UPnP found"},
        {"status.no_router_help", "Turn UPnP on."},
        {"source.adapters", "Every adapter of this PC"},
        {"source.router", "The whole home (router)"}};
    const auto it = texts.find(key);
    return it == texts.end() ? std::string(key) : it->second;
};

RateSample sample(MonitorStatus status, double down = 0, double up = 0) {
    RateSample s;
    s.status = status;
    s.download = down;
    s.upload = up;
    s.interface_name = "Ethernet";
    return s;
}

struct Fixture {
    Settings settings;
    NumberFormat main_format = main_number_format(settings, "en");
    NumberFormat compact_format = compact_number_format(settings, "en");

    RefreshInputs inputs(const RateSample& s, bool paused) const {
        return RefreshInputs{s, paused, settings, k_english, main_format, compact_format};
    }
};

struct StatusCase {
    MonitorStatus status;
    bool paused;
    const char* status_text;
    bool rates_shown;
    bool active;
    bool tooltip_is_status;
};

class StatusTextsTest : public testing::TestWithParam<StatusCase> {};

TEST_P(StatusTextsTest, FollowsStatusAndPause) {
    const StatusCase c = GetParam();
    Fixture f;
    const RateSample s = sample(c.status, 8'000'000, 1'000'000);
    const StatusTexts t = compose_status_texts(f.inputs(s, c.paused));
    EXPECT_EQ(t.status_text, c.status_text);
    EXPECT_EQ(t.active, c.active);
    EXPECT_EQ(t.download_label, "Download");
    EXPECT_EQ(t.upload_label, "Upload");
    if (c.rates_shown) {
        EXPECT_EQ(t.compact_download, format_speed(8'000'000, f.settings.compact_units, f.compact_format));
        EXPECT_NE(t.compact_download, std::string(k_no_value));
    } else {
        EXPECT_EQ(t.compact_download, std::string(k_no_value));
        EXPECT_EQ(t.compact_upload, std::string(k_no_value));
    }
    if (c.tooltip_is_status) {
        EXPECT_EQ(t.tooltip, c.status_text);
    } else {
        EXPECT_EQ(t.tooltip, "Download " + format_speed(8'000'000, f.settings.main_units, f.main_format) +
                                 ", Upload " + format_speed(1'000'000, f.settings.main_units, f.main_format));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, StatusTextsTest,
    testing::Values(StatusCase{MonitorStatus::connected, false, "Connected", true, true, false},
                    // paused keeps the last rates on the compact displays, but the tooltip says paused
                    StatusCase{MonitorStatus::connected, true, "Paused", true, true, true},
                    StatusCase{MonitorStatus::measuring, false, "Measuring…", false, true, true},
                    StatusCase{MonitorStatus::unavailable, false, "No connection", false, false, true},
                    StatusCase{MonitorStatus::unavailable, true, "Paused", false, false, true}));

// What each source's sample makes the tooltip, the dashboard and the recent errors say.
struct SourceCase {
    const char* name;
    MonitorSource source;
    SourceStatus source_status;
    MonitorStatus status;
    const char* router_name;
    const char* model;
    const char* status_text;
    const char* source_line;
    std::string_view lost_text;
};

class SourceTexts : public testing::TestWithParam<SourceCase> {};

TEST_P(SourceTexts, NameTheSourceAndItsStatus) {
    const SourceCase& c = GetParam();
    Fixture f;
    RateSample s = sample(c.status);
    s.source = c.source;
    s.source_status = c.source_status;
    s.source_name = c.router_name;
    s.source_model = c.model;
    EXPECT_EQ(compose_status_texts(f.inputs(s, false)).tooltip, c.status_text);
    EXPECT_EQ(compose_status_texts(f.inputs(s, false)).readout_name, c.status_text);
    EXPECT_EQ(compose_status_texts(f.inputs(s, true)).tooltip, "Paused");
    const DashboardTexts dashboard = compose_dashboard_texts(f.inputs(s, false), {}, 0, {});
    EXPECT_EQ(dashboard.status_text, c.status_text);
    EXPECT_EQ(dashboard.interface_text, c.source_line);
    EXPECT_EQ(dashboard.stats_line, c.source_status == SourceStatus::no_router ? "Turn UPnP on." : "");
    MonitorStatus book = MonitorStatus::connected;
    EXPECT_EQ(take_sample(book, s, 0).lost_text, c.lost_text);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Table, SourceTexts, testing::Values(
    SourceCase{"Interface", MonitorSource::interface_, SourceStatus::ok, MonitorStatus::unavailable, "", "",
               "No connection", "Ethernet", k_network_unavailable_text},
    SourceCase{"Adapters", MonitorSource::adapters, SourceStatus::ok, MonitorStatus::measuring, "", "",
               "Measuring…", "Every adapter of this PC", k_network_unavailable_text},
    SourceCase{"RouterWithNameAndModel", MonitorSource::router, SourceStatus::ok, MonitorStatus::measuring,
               "Living room", "Box 7590", "Measuring…", "The whole home (router): Living room (Box 7590)",
               k_network_unavailable_text},
    SourceCase{"RouterNamedByItsModel", MonitorSource::router, SourceStatus::ok, MonitorStatus::measuring,
               "Box 7590", "Box 7590", "Measuring…", "The whole home (router): Box 7590",
               k_network_unavailable_text},
    SourceCase{"RouterWithModelOnly", MonitorSource::router, SourceStatus::ok, MonitorStatus::measuring,
               "", "Box\n7590", "Measuring…", "The whole home (router): Box 7590", k_network_unavailable_text},
    SourceCase{"RouterNotAnswering", MonitorSource::router, SourceStatus::router_not_answering,
               MonitorStatus::unavailable, "Living room", "", "Router not answering",
               "The whole home (router): Living room", k_router_not_answering_text},
    SourceCase{"NoRouter", MonitorSource::router, SourceStatus::no_router, MonitorStatus::unavailable, "", "",
               "No router with UPnP found", "The whole home (router)", k_no_router_text}),
    [](const testing::TestParamInfo<SourceCase>& info) { return std::string(info.param.name); });
// clang-format on

// A read-out's name for a screen reader: the same figures as drawn, isolated in right-to-left text.
TEST(ReadoutName, RatesWhileConnectedOtherwiseTheStatus) {
    Fixture f;
    const std::string down = format_speed(8'000'000, f.settings.compact_units, f.compact_format);
    const std::string up = format_speed(1'000'000, f.settings.compact_units, f.compact_format);
    struct Case {
        MonitorStatus status;
        bool paused;
        bool rtl;
        std::string name;
    };
    for (const Case& c : {Case{MonitorStatus::connected, false, false, "Download " + down + ", upload " + up},
                          Case{MonitorStatus::connected, true, false, "Download " + down + ", upload " + up},
                          Case{MonitorStatus::connected, false, true,
                               "Download \u2066" + down + "\u2069, upload \u2066" + up + "\u2069"},
                          Case{MonitorStatus::measuring, false, false, "Measuring…"},
                          Case{MonitorStatus::unavailable, false, true, "No connection"}}) {
        const RateSample s = sample(c.status, 8'000'000, 1'000'000);
        RefreshInputs in = f.inputs(s, c.paused);
        in.rtl = c.rtl;
        EXPECT_EQ(compose_status_texts(in).readout_name, c.name) << static_cast<int>(c.status) << c.rtl;
    }
}

TEST(StateAnnouncement, OnceForEachChangeLostFirst) {
    struct Case {
        ReadoutState before;
        ReadoutState now;
        std::string said;
    };
    for (const Case& c : {Case{{true, false}, {true, false}, ""},
                          Case{{true, false}, {false, false}, "No connection"},
                          Case{{false, false}, {true, false}, "Connected"},
                          Case{{true, false}, {false, true}, "No connection"}, // both at once: the connection
                          Case{{true, false}, {true, true}, "Data limit reached"},
                          Case{{true, true}, {true, true}, ""}, // still used up: said once
                          Case{{true, true}, {true, false}, ""}}) {
        EXPECT_EQ(state_announcement(c.before, c.now, k_english), c.said)
            << c.before.active << c.before.used_up << c.now.active << c.now.used_up;
    }
}

TEST(DashboardTexts, SessionAndHistoryLines) {
    Fixture f;
    RateSample s = sample(MonitorStatus::connected, 1000, 2000);
    s.session_received = 1500;
    s.session_sent = 20;
    UsageStore usage;
    usage.add(100, 1000, 10);
    usage.add(98, 500, 5);

    DashboardTexts t = compose_dashboard_texts(f.inputs(s, false), usage, 100, {});
    const auto bytes = [&](uint64_t b) { return format_bytes(b, 0, 1, f.main_format); };
    EXPECT_EQ(t.session_line, "Session total:  ↓ " + bytes(1500) + "   ↑ " + bytes(20));
    EXPECT_EQ(t.history_line, "") << "no totals line unless the history is kept";
    EXPECT_EQ(t.stats_line, "");
    EXPECT_EQ(t.interface_text, "Ethernet");
    EXPECT_TRUE(t.connected);

    f.settings.history_mode = 1;
    t = compose_dashboard_texts(f.inputs(s, false), usage, 100, {});
    EXPECT_EQ(t.history_line, "Today: ↓ " + bytes(1000) + " ↑ " + bytes(10) + "    Last 7 days: ↓ " + bytes(1500) +
                                  " ↑ " + bytes(15) + "    This month: ↓ " + bytes(1500) + " ↑ " + bytes(15));
}

TEST(DashboardTexts, StatsLineOverValidPointsOnly) {
    Fixture f;
    const RateSample s = sample(MonitorStatus::measuring);
    const std::vector<GraphPoint> points = {{1, true, 1000, 10}, {2, false, 0, 0}, {3, true, 3000, 30}};
    const DashboardTexts t = compose_dashboard_texts(f.inputs(s, false), {}, 0, points);
    const auto speed = [&](double r) { return format_speed(r, f.settings.main_units, f.main_format); };
    EXPECT_EQ(t.stats_line, "Average: ↓ " + speed(2000) + " ↑ " + speed(20) + "    Minimum: ↓ " + speed(1000) +
                                " ↑ " + speed(10) + "    Maximum: ↓ " + speed(3000) + " ↑ " + speed(30));
    EXPECT_EQ(t.download_text, std::string(k_no_value));
    EXPECT_TRUE(t.connected) << "measuring still counts as connected for the colours";

    const std::vector<GraphPoint> only_invalid = {{1, false, 0, 0}};
    EXPECT_EQ(compose_dashboard_texts(f.inputs(s, false), {}, 0, only_invalid).stats_line, "");
}

TEST(NumberFormats, CompactUsesNativeDigitsOnlyWhenAskedFor) {
    Settings settings;
    settings.digit_style = 1;
    EXPECT_NE(main_number_format(settings, "ar").digit_set, DigitSet::ascii);
    EXPECT_EQ(compact_number_format(settings, "ar").digit_set, DigitSet::ascii);
    settings.native_digits_compact = true;
    EXPECT_NE(compact_number_format(settings, "ar").digit_set, DigitSet::ascii);
}

TEST(TakeSample, GraphPointsByStatus) {
    MonitorStatus book = MonitorStatus::measuring;
    EXPECT_FALSE(take_sample(book, sample(MonitorStatus::measuring), 10).point.has_value());
    const auto connected = take_sample(book, sample(MonitorStatus::connected, 5, 6), 11).point;
    ASSERT_TRUE(connected.has_value());
    EXPECT_EQ(connected->time, 11);
    EXPECT_TRUE(connected->valid);
    EXPECT_EQ(connected->download, 5);
    const auto lost = take_sample(book, sample(MonitorStatus::unavailable, 5, 6), 12).point;
    ASSERT_TRUE(lost.has_value());
    EXPECT_FALSE(lost->valid);
    EXPECT_EQ(lost->download, 0);
}

TEST(TakeSample, NetworkLossIsReportedOncePerTransition) {
    MonitorStatus book = MonitorStatus::measuring;
    const std::vector<std::pair<MonitorStatus, bool>> steps = {
        {MonitorStatus::unavailable, true}, // a first unavailable sample counts
        {MonitorStatus::unavailable, false}, {MonitorStatus::measuring, false},
        {MonitorStatus::unavailable, true},  {MonitorStatus::connected, false},
        {MonitorStatus::unavailable, true}};
    for (size_t i = 0; i < steps.size(); ++i) {
        EXPECT_EQ(take_sample(book, sample(steps[i].first), 0).network_lost, steps[i].second) << "step " << i;
    }
}

} // namespace
} // namespace tide

namespace tide {
namespace {

TEST(StatusTexts, RightToLeftIsolatesTheNumbersInTheTooltip) {
    Fixture f;
    const RateSample s = sample(MonitorStatus::connected, 8'000'000, 0);
    RefreshInputs in = f.inputs(s, false);
    in.rtl = true;
    const std::string down = format_speed(8'000'000, f.settings.main_units, f.main_format);
    const std::string up = format_speed(0, f.settings.main_units, f.main_format);
    EXPECT_EQ(compose_status_texts(in).tooltip, "Download \u2066" + down + "\u2069, Upload \u2066" + up + "\u2069");
    EXPECT_EQ(compose_status_texts(in).compact_download,
              format_speed(8'000'000, f.settings.compact_units, f.compact_format))
        << "the compact display lays out its own direction";
}

} // namespace
} // namespace tide
