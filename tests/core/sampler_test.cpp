// Rate computation over sequences of inventories.
#include "net/sampler.h"

#include <gtest/gtest.h>

#include <vector>

namespace tide {
namespace {

using S = MonitorStatus;
using R = RateResult;

struct Step {
    int64_t time_ms;
    uint64_t active; // routed interface (1 or 2); 0: none usable; k_unreadable: table unreadable
    uint64_t received;
    uint64_t sent;
    S status;
    R result;
};

constexpr uint64_t k_unreadable = ~uint64_t{0};

// Two ethernet interfaces; the active one carries the route and has the step's counters.
Inventory make_inventory(const Step& step) {
    Inventory inventory;
    if (step.active == k_unreadable) {
        return inventory;
    }
    inventory.valid = true;
    inventory.timestamp = step.time_ms * 1'000'000;
    for (uint64_t luid : {uint64_t{1}, uint64_t{2}}) {
        InterfaceInfo info;
        info.luid = luid;
        info.name = luid == 1 ? "Ethernet" : "Wi-Fi";
        info.kind = InterfaceKind::ethernet;
        info.hardware = true;
        info.usable = step.active != 0;
        info.routed = luid == step.active;
        inventory.interfaces.push_back(info);
        inventory.counters[luid] = luid == step.active ? InterfaceCounters{step.received, step.sent}
                                                       : InterfaceCounters{7'000'000'000, 9'000'000'000};
    }
    return inventory;
}

struct ComputeCase {
    const char* name;
    std::vector<Step> steps;
    double download; // of the last sample
    double upload;
    uint64_t session_received;
    uint64_t session_sent;
};

class ComputeSample : public testing::TestWithParam<ComputeCase> {};

TEST_P(ComputeSample, FollowsTheSequence) {
    const ComputeCase& c = GetParam();
    SamplerState state;
    RateSample sample;
    for (size_t i = 0; i < c.steps.size(); ++i) {
        const Step& step = c.steps[i];
        sample = compute_sample(state, make_inventory(step), SamplerSelection{});
        EXPECT_EQ(sample.status, step.status) << "step " << i;
        EXPECT_EQ(sample.result, step.result) << "step " << i;
        if (sample.result != R::ok) {
            EXPECT_EQ(sample.download, 0.0) << "step " << i;
            EXPECT_EQ(sample.upload, 0.0) << "step " << i;
        }
    }
    EXPECT_DOUBLE_EQ(sample.download, c.download);
    EXPECT_DOUBLE_EQ(sample.upload, c.upload);
    EXPECT_EQ(sample.session_received, c.session_received);
    EXPECT_EQ(sample.session_sent, c.session_sent);
}

// clang-format off
const ComputeCase k_compute_cases[] = {
    {"MegabyteInOneSecond",
     {{0, 1, 5'000, 300, S::measuring, R::first_sample},
      {1'000, 1, 1'005'000, 300, S::connected, R::ok}},
     8'000'000.0, 0.0, 1'000'000, 0},
    {"UnchangedOverTwoSeconds",
     {{0, 1, 777, 888, S::measuring, R::first_sample}, {2'000, 1, 777, 888, S::connected, R::ok}},
     0.0, 0.0, 0, 0},
    {"EarlyWakeGivesOneMeasuringSample",
     {{0, 1, 0, 0, S::measuring, R::first_sample},
      {1'000, 1, 1'000, 500, S::connected, R::ok},
      {1'040, 1, 1'100, 600, S::measuring, R::interval_out_of_range},
      {2'040, 1, 2'100, 700, S::connected, R::ok}},
     8'000.0, 800.0, 2'100, 700},
    {"CounterDecreased",
     {{0, 1, 100, 100, S::measuring, R::first_sample},
      {1'000, 1, 200, 200, S::connected, R::ok},
      {2'000, 1, 50, 300, S::measuring, R::counter_decreased},
      {3'000, 1, 150, 400, S::connected, R::ok}},
     800.0, 800.0, 200, 200},
    {"InterfaceSwitchWithoutJump",
     {{0, 1, 1'000, 1'000, S::measuring, R::first_sample},
      {1'000, 1, 2'000, 3'000, S::connected, R::ok},
      {2'000, 2, 10'000'000'000, 10'000'000'000, S::measuring, R::interface_changed},
      {3'000, 2, 10'000'000'500, 10'000'000'100, S::connected, R::ok}},
     4'000.0, 800.0, 1'500, 2'100},
    // A counter jump too large to be traffic is left out of the session totals (and so of the day's
    // usage); counting resumes from the new values.
    {"ImplausibleRateAddsNothing",
     {{0, 1, 0, 0, S::measuring, R::first_sample},
      {1'000, 1, 200'000'000'000, 7, S::measuring, R::implausible}},
     0.0, 0.0, 0, 0},
    {"CountingResumesAfterAnImplausibleJump",
     {{0, 1, 100, 0, S::measuring, R::first_sample},
      {1'000, 1, 200'000'000'000, 0, S::measuring, R::implausible},
      {2'000, 1, 200'000'001'000, 10, S::connected, R::ok}},
     8'000.0, 80.0, 1'000, 10},
    {"JustBelowTheRateLimit",
     {{0, 1, 0, 0, S::measuring, R::first_sample},
      {1'000, 1, 125'000'000'000, 0, S::connected, R::ok}},
     1e12, 0.0, 125'000'000'000, 0},
    {"PauseOverSixtySeconds",
     {{0, 1, 0, 0, S::measuring, R::first_sample},
      {1'000, 1, 1'000, 0, S::connected, R::ok},
      {121'000, 1, 9'000, 40, S::measuring, R::interval_out_of_range}},
     0.0, 0.0, 9'000, 40},
    {"PauseUnderSixtySecondsGivesTheAverage",
     {{0, 1, 0, 0, S::measuring, R::first_sample},
      {30'000, 1, 30'000'000, 3'000, S::connected, R::ok}},
     8'000'000.0, 800.0, 30'000'000, 3'000},
    {"UnreadableTableRestartsTheBaseline",
     {{0, 1, 100, 100, S::measuring, R::first_sample},
      {1'000, k_unreadable, 0, 0, S::unavailable, R::first_sample},
      {2'000, 1, 900, 900, S::measuring, R::first_sample},
      {3'000, 1, 1'000, 1'000, S::connected, R::ok}},
     800.0, 800.0, 100, 100},
    {"NoUsableInterface",
     {{0, 1, 100, 100, S::measuring, R::first_sample},
      {1'000, 0, 0, 0, S::unavailable, R::first_sample},
      {2'000, 1, 500, 500, S::measuring, R::first_sample}},
     0.0, 0.0, 0, 0},
};
// clang-format on

INSTANTIATE_TEST_SUITE_P(Table, ComputeSample, testing::ValuesIn(k_compute_cases),
                         [](const testing::TestParamInfo<ComputeCase>& info) { return info.param.name; });

TEST(ComputeSample, NamesTheChosenInterface) {
    SamplerState state;
    RateSample sample = compute_sample(state, make_inventory({0, 2, 1, 1, S::measuring, R::first_sample}),
                                       SamplerSelection{});
    EXPECT_EQ(sample.interface_luid, 2u);
    EXPECT_EQ(sample.interface_name, "Wi-Fi");
    EXPECT_EQ(state.previous_choice, 2u);

    sample = compute_sample(state, make_inventory({1'000, 0, 0, 0, S::unavailable, R::first_sample}),
                            SamplerSelection{});
    EXPECT_FALSE(sample.interface_luid.has_value());
    EXPECT_TRUE(sample.interface_name.empty());
    EXPECT_FALSE(state.previous_choice.has_value());
}

// A source's cumulative totals: the router (identity 7, then another router 8) over successive cycles.
struct ReadingStep {
    int64_t time_ms;
    uint64_t identity; // 0: no answer
    uint64_t received;
    uint64_t sent;
    S status;
    R result;
};

SourceReading make_reading(const ReadingStep& step) {
    SourceReading reading;
    reading.valid = step.identity != 0;
    reading.status = reading.valid ? SourceStatus::ok : SourceStatus::router_not_answering;
    reading.identity = step.identity;
    reading.received = step.received;
    reading.sent = step.sent;
    reading.timestamp = step.time_ms * 1'000'000;
    reading.name = "Home router";
    return reading;
}

struct ReadingCase {
    const char* name;
    std::vector<ReadingStep> steps;
    double download; // of the last sample
    uint64_t session_received;
    uint64_t session_sent;
};

class ComputeSourceSample : public testing::TestWithParam<ReadingCase> {};

TEST_P(ComputeSourceSample, FollowsTheSequence) {
    const ReadingCase& c = GetParam();
    SamplerState state;
    RateSample sample;
    for (size_t i = 0; i < c.steps.size(); ++i) {
        const ReadingStep& step = c.steps[i];
        sample = compute_source_sample(state, MonitorSource::router, make_reading(step));
        EXPECT_EQ(sample.source, MonitorSource::router) << "step " << i;
        EXPECT_EQ(sample.source_status,
                  step.identity == 0 ? SourceStatus::router_not_answering : SourceStatus::ok)
            << "step " << i;
        EXPECT_EQ(sample.status, step.status) << "step " << i;
        EXPECT_EQ(sample.result, step.result) << "step " << i;
        EXPECT_EQ(sample.source_name, "Home router") << "step " << i;
    }
    EXPECT_DOUBLE_EQ(sample.download, c.download);
    EXPECT_EQ(sample.session_received, c.session_received);
    EXPECT_EQ(sample.session_sent, c.session_sent);
}

// clang-format off
const ReadingCase k_reading_cases[] = {
    {"AnotherRouterIsANewBaseline",
     {{0, 7, 5'000, 100, S::measuring, R::first_sample},
      {1'000, 8, 90'000'000, 900, S::measuring, R::interface_changed},
      {2'000, 8, 90'000'100, 910, S::connected, R::ok}},
     800.0, 100, 10},
    // The source's running totals say what the silence was worth; the rate starts again after it.
    {"NoAnswerKeepsTheBaseline",
     {{0, 7, 1'000, 10, S::measuring, R::first_sample},
      {1'000, 7, 2'000, 20, S::connected, R::ok},
      {2'000, 0, 0, 0, S::unavailable, R::first_sample},
      {3'000, 0, 0, 0, S::unavailable, R::first_sample},
      {4'000, 7, 50'000, 500, S::measuring, R::first_sample},
      {5'000, 7, 50'500, 520, S::connected, R::ok}},
     4'000.0, 49'500, 510},
};
// clang-format on

INSTANTIATE_TEST_SUITE_P(Table, ComputeSourceSample, testing::ValuesIn(k_reading_cases),
                         [](const testing::TestParamInfo<ReadingCase>& info) { return info.param.name; });

// Switching between this PC's interface and another source keeps the session totals and counts the
// first cycle of each as a baseline, whatever their counters say.
TEST(ComputeSourceSample, AChangeOfSourceIsANewBaseline) {
    SamplerState state;
    compute_sample(state, make_inventory({0, 1, 1'000, 0, S::measuring, R::first_sample}), {});
    RateSample sample = compute_sample(state, make_inventory({1'000, 1, 3'000, 0, S::connected, R::ok}), {});
    ASSERT_EQ(sample.session_received, 2'000u);
    EXPECT_EQ(sample.source, MonitorSource::interface_);

    // The same identity as the interface's luid: still a baseline.
    sample = compute_source_sample(state, MonitorSource::adapters,
                                   make_reading({2'000, 1, 9'000, 0, S::measuring, R::first_sample}));
    EXPECT_EQ(sample.result, R::first_sample);
    sample = compute_source_sample(state, MonitorSource::adapters,
                                   make_reading({3'000, 1, 9'500, 0, S::connected, R::ok}));
    EXPECT_EQ(sample.session_received, 2'500u);

    sample = compute_sample(state, make_inventory({4'000, 1, 9'900, 0, S::measuring, R::first_sample}), {});
    EXPECT_EQ(sample.result, R::first_sample);
    EXPECT_EQ(sample.session_received, 2'500u);
}

} // namespace
} // namespace tide
