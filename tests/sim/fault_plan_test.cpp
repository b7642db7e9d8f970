// fault_plan_test.cpp: fault switches as text, and which packets a selector chooses. What each
// switch does to a phone is the phone test's.
#include <gtest/gtest.h>

#include "fault_plan.h"

namespace {

FaultPlan parse_ok(const std::string& text) {
    FaultPlan plan;
    std::string error;
    EXPECT_EQ(fault_plan_parse(text, &plan, &error), 0) << text << ": " << error;
    return plan;
}

TEST(FaultPlan, SwitchesMaySitOnSeparateLinesOrBetweenBlanks) {
    const FaultPlan plan = parse_ok(
        "drop-rx=1 drop-tx=2+5\nerror-block=7\r\ntftp-from=192.168.77.11,result=,"
        "tftp-delay=300@3,seed=42 version=3.0.1,stations-keep=3");
    std::mt19937 rng(1);
    EXPECT_TRUE(selector_matches(plan.drop_rx, 1, &rng));
    EXPECT_FALSE(selector_matches(plan.drop_rx, 2, &rng));
    EXPECT_TRUE(selector_matches(plan.drop_tx, 5, &rng));
    EXPECT_EQ(plan.error_block, 7);
    EXPECT_EQ(plan.tftp_from, "192.168.77.11");
    EXPECT_TRUE(plan.result_forced);
    EXPECT_EQ(plan.forced_result, "");
    EXPECT_EQ(plan.tftp_delay_ms, 300);
    EXPECT_TRUE(selector_matches(plan.delay_tx, 3, &rng));
    EXPECT_FALSE(selector_matches(plan.delay_tx, 4, &rng));
    EXPECT_EQ(plan.seed, 42u);
    EXPECT_EQ(plan.version, "3.0.1");
    EXPECT_EQ(plan.stations_kept, 3);
    EXPECT_FALSE(parse_ok("").silent);
}

TEST(FaultPlan, SelectorsTakeNumbersRangesAndShares) {
    std::mt19937 rng(7);
    const FaultPlan plan = parse_ok("dup-tx=2+4-6+10,dup-rx=0%,stray-tx=100%");
    for (uint32_t n = 1; n <= 12; ++n) {
        const bool want = n == 2 || (n >= 4 && n <= 6) || n == 10;
        EXPECT_EQ(selector_matches(plan.dup_tx, n, &rng), want) << n;
        EXPECT_FALSE(selector_matches(plan.dup_rx, n, &rng));
        EXPECT_TRUE(selector_matches(plan.stray_tx, n, &rng));
    }
    // A share is drawn from the generator: the same seed chooses the same packets.
    const FaultPlan share = parse_ok("drop-tx=30%");
    std::mt19937 first(99);
    std::mt19937 second(99);
    int chosen = 0;
    for (uint32_t n = 1; n <= 2000; ++n) {
        const bool a = selector_matches(share.drop_tx, n, &first);
        EXPECT_EQ(a, selector_matches(share.drop_tx, n, &second));
        chosen += a;
    }
    EXPECT_GT(chosen, 450);
    EXPECT_LT(chosen, 750);
}

TEST(FaultPlan, MistakesAreRefusedAndChangeNothing) {
    for (const char* bad : {"slient",
                            "silent=1",
                            "drop-tx=",
                            "drop-tx=0",
                            "drop-tx=3+",
                            "drop-tx=5-2",
                            "drop-tx=x",
                            "drop-tx=101%",
                            "drop-tx=-3",
                            "dup-rx=1++2",
                            "delay=abc",
                            "error-block=0",
                            "tftp-delay=5@",
                            "tftp-from=192.168.77",
                            "tftp-from=192.168.77.300",
                            "tftp-from=+192.168.77.1",
                            "tftp-from=192.168.077.1",
                            "model=",
                            "version=",
                            "stations-keep=20",
                            "result=TWELVECHARSX",
                            "silent,bogus"}) {
        FaultPlan plan;
        plan.silent = true;
        std::string error;
        EXPECT_EQ(fault_plan_parse(bad, &plan, &error), -1) << bad;
        EXPECT_FALSE(error.empty()) << bad;
        EXPECT_TRUE(plan.silent) << bad;
    }
}

}  // namespace
