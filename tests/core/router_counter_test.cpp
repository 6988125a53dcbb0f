// The router's counter rule in literal figures: each row is one run of samples of one link, and each
// step says what that sample counts. Received and sent go through the same steps, so both are checked.
#include "net/router_counter.h"

#include <gtest/gtest.h>

#include <vector>

#include "net/plausible.h"

namespace tide {
namespace {

struct Step {
    int64_t ms;
    uint64_t total;   // the router's counter
    uint64_t counted; // what this sample adds
    std::optional<uint64_t> uptime_s = std::nullopt;
    bool answered = true;
    LinkState state = LinkState::up;
    const char* udn = "A";
};

constexpr Step silent(int64_t ms) {
    return {ms, 0, 0, std::nullopt, false};
}

struct CounterCase {
    const char* name;
    uint64_t rate_bits; // the link's rate as the router states it
    std::vector<Step> steps;
};

class Counter : public testing::TestWithParam<CounterCase> {};

TEST_P(Counter, CountsWhatTheRouterCounted) {
    RouterCounter counter;
    RouterCounter::Result before;
    for (const Step& step : GetParam().steps) {
        SCOPED_TRACE(step.ms);
        RouterAnswer answer{step.answered, step.udn, {}, step.ms * 1'000'000};
        answer.links.push_back({true, step.total, step.total, step.state, GetParam().rate_bits,
                                GetParam().rate_bits, step.uptime_s});
        const RouterCounter::Result after = counter.update(answer);
        EXPECT_EQ(after.valid, step.answered);
        EXPECT_EQ(after.received - before.received, step.counted);
        EXPECT_EQ(after.sent - before.sent, step.counted);
        before = after;
    }
}

constexpr uint64_t k_4g = 4'294'967'296;

// clang-format off
const CounterCase k_counter_cases[] = {
    CounterCase{"TenGigabitsInOneSecond", 0, {{0, 1'000, 0}, {1'000, 1'250'001'000, 1'250'000'000}}},
    CounterCase{"OneByteMore", 0, {{0, 1'000, 0}, {1'000, 1'250'001'001, 0}}},
    // The router says 100,000 bits (it means kilobits): a rise still counts in full.
    CounterCase{"LinkStatedAsOneHundredThousand", 100'000,
                {{0, 0, 0}, {1'000, 50'000'000, 50'000'000}, {2'000, 100'000'000, 50'000'000}}},
    // Silences of 14, 15, 30 and 59 s with the same router: what the counter moved is counted.
    CounterCase{"Gap14s", 0, {{0, 1'000, 0}, silent(1'000), {14'000, 100'001'000, 100'000'000}}},
    CounterCase{"Gap15s", 0, {{0, 1'000, 0}, silent(1'000), {15'000, 100'001'000, 100'000'000}}},
    CounterCase{"Gap30s", 0, {{0, 1'000, 0}, silent(1'000), {30'000, 37'500'001'000, 37'500'000'000}}},
    CounterCase{"Gap30sOneByteMore", 0, {{0, 1'000, 0}, silent(1'000), {30'000, 37'500'001'001, 0}}},
    CounterCase{"Gap59s", 0, {{0, 1'000, 0}, silent(1'000), {59'000, 100'001'000, 100'000'000}}},
    CounterCase{"EightSecondsSilent", 0,
                {{0, 1'000, 0}, silent(1'000), silent(2'000), silent(3'000), silent(4'000), silent(5'000),
                 silent(6'000), silent(7'000), silent(8'000), {9'000, 80'001'000, 80'000'000}}},
    // A counter beyond 32 bits never wraps at 4 GiB: this drop is a restart, counted from 1500 on.
    CounterCase{"BeyondThirtyTwoBitsDropIsARestart", 10'000'000'000,
                {{0, k_4g + 1'000, 0}, {1'000, 1'500, 0}, {2'000, 2'000, 500}}},
    // miniupnpd answers 0 when it cannot read its counters: no link rate is needed to see it.
    CounterCase{"GlitchOfZero", 0,
                {{0, 1'000'001'000, 0}, {1'000, 0, 0}, {2'000, 1'000'002'000, 1'000}}},
    CounterCase{"GlitchOfZeroWhereAWrapWouldFit", 10'000'000'000,
                {{0, 1'000'001'000, 0}, {5'000, 0, 0}, {10'000, 1'000'002'000, 1'000}}},
    CounterCase{"GlitchOfZeroTwice", 10'000'000'000,
                {{0, 1'000'001'000, 0}, {5'000, 0, 0}, {10'000, 0, 0}, {15'000, 1'000'002'000, 1'000}}},
    CounterCase{"GlitchUpwards", 0, {{0, 1'000, 0}, {1'000, k_4g * 1'000, 0}, {2'000, 3'000, 2'000}}},
    CounterCase{"ResetUpwards", 0,
                {{0, 1'000, 0}, {1'000, k_4g * 1'000, 0}, {2'000, k_4g * 1'000 + 7, 7}}},
    // A WAN reconnect at a 5 s interval: 300 MB, then 1 MB. Never a wrap of almost 4 GB.
    CounterCase{"ReconnectWithoutRateOrUptime", 0,
                {{0, 300'000'000, 0}, {5'000, 1'000'000, 0}, {10'000, 1'500'000, 500'000}}},
    // At a stated 8 Gbit/s one wrap would fit those 5 s: the uptime of 4 s tells the reconnect.
    CounterCase{"ReconnectSeenByItsUptime", 8'000'000'000,
                {{0, 300'000'000, 0}, {5'000, 1'000'000, 0, 4}, {10'000, 1'500'000, 500'000}}},
    CounterCase{"OldConnectionWrapped", 1'000'000'000,
                {{0, 4'294'000'000, 0}, {5'000, 1'000'000, 0, 5}, {10'000, 1'500'000, 2'467'296}}},
    // A wrap fits the stated 8 Mbit/s (1,000,000 bytes a second) exactly; one byte more does not.
    CounterCase{"WrapAtTheStatedRate", 8'000'000,
                {{0, 4'293'968'296, 0}, {1'000, 1'000, 0}, {2'000, 1'100, 1'000'100}}},
    CounterCase{"WrapOneBytePastTheStatedRate", 8'000'000,
                {{0, 4'293'968'296, 0}, {1'000, 1'001, 0}, {2'000, 1'101, 100}}},
    CounterCase{"WrapAtOneMegabit", 1'000'000,
                {{0, 4'294'867'296, 0}, {1'000, 0, 0}, {2'000, 10, 100'010}}},
    CounterCase{"RateBelowOneMegabitIgnored", 999'999,
                {{0, 4'294'867'296, 0}, {1'000, 0, 0}, {2'000, 10, 10}}},
    // 8 s at 10 Gbit/s is room for two wraps: nobody can say how many there were.
    CounterCase{"TwoWrapsWouldFit", 10'000'000'000,
                {{0, 4'294'966'796, 0}, silent(1'000), {8'000, 500, 0}, {9'000, 600, 100}}},
    CounterCase{"OneWrapFits", 10'000'000'000,
                {{0, 4'294'966'796, 0}, silent(1'000), {3'000, 500, 0}, {4'000, 600, 1'100}}},
    // The link goes down and up: counting resumes with the first answer after it is up.
    CounterCase{"LinkDownAndUp", 0,
                {{0, 1'000, 0}, {1'000, 2'000, 0, std::nullopt, true, LinkState::down},
                 {2'000, 2'500, 500}}},
    CounterCase{"LinkUnknownCounts", 0,
                {{0, 1'000, 0}, {1'000, 2'000, 1'000, std::nullopt, true, LinkState::unknown}}},
    CounterCase{"AnotherRouter", 0,
                {{0, 1'000, 0}, {1'000, 5'000'000, 0, std::nullopt, true, LinkState::up, "B"},
                 {2'000, 5'000'400, 400, std::nullopt, true, LinkState::up, "B"}}}};
// clang-format on

INSTANTIATE_TEST_SUITE_P(Table, Counter, testing::ValuesIn(k_counter_cases),
                         [](const auto& info) { return info.param.name; });

// Dual WAN: each link has its own baseline, and one that is down counts nothing.
TEST(Counter, EveryLinkThatIsUpCounts) {
    RouterCounter counter;
    const auto answer = [](int64_t s, uint64_t a, LinkState a_state, uint64_t b) {
        return RouterAnswer{
            true,
            "A",
            {{true, a, 0, a_state, 0, 0, std::nullopt}, {b > 0, b, 0, LinkState::up, 0, 0, std::nullopt}},
            s * 1'000'000'000};
    };
    EXPECT_EQ(counter.update(answer(0, 100, LinkState::up, 5'000)).received, 0u);
    EXPECT_EQ(counter.update(answer(1, 300, LinkState::up, 5'050)).received, 250u);
    EXPECT_EQ(counter.update(answer(2, 900, LinkState::down, 5'100)).received, 300u);
    EXPECT_EQ(counter.update(answer(3, 1'000, LinkState::up, 5'100)).received, 400u);
    // The second link does not answer; the first counts, the second keeps its baseline.
    EXPECT_EQ(counter.update(answer(4, 1'100, LinkState::up, 0)).received, 500u);
    EXPECT_EQ(counter.update(answer(5, 1'100, LinkState::up, 5'300)).received, 700u);
}

struct BudgetCase {
    int64_t elapsed_ns;
    uint64_t bytes_per_second;
    uint64_t budget;
};

// What a link carries, without the overflow that lost 100 MB in 14.8 s and wrapped at 29.4 s.
TEST(LinkBudget, IsExactAndSaturates) {
    for (const BudgetCase& c :
         {BudgetCase{1'000'000'000, 1'250'000'000, 1'250'000'000},
          BudgetCase{14'800'000'000, 1'250'000'000, 18'500'000'000},
          BudgetCase{29'400'000'000, 1'250'000'000, 36'750'000'000},
          BudgetCase{60'000'000'000, 1'250'000'000, 75'000'000'000}, BudgetCase{1'500'000, 1'000'000, 1'500},
          BudgetCase{999, 1'000'000, 0}, BudgetCase{0, 1'250'000'000, 0},
          BudgetCase{2'000'000'000, 9'223'372'036'854'775'807, 18'446'744'073'709'551'614u},
          BudgetCase{-1'000'000'000, 1'250'000'000, 0},
          BudgetCase{9'223'372'036'854'775'807, 125'000'000'000, 18'446'744'073'709'551'615u}}) {
        EXPECT_EQ(link_budget(c.elapsed_ns, c.bytes_per_second), c.budget) << c.elapsed_ns;
    }
}

} // namespace
} // namespace tide
