// fault_plan_test.cpp: fault switches as text, and which packets a selector chooses.
#include <gtest/gtest.h>

#include "fault_plan.h"

namespace {

FaultPlan parse_ok(const std::string& text) {
    FaultPlan plan;
    std::string error;
    EXPECT_EQ(fault_plan_parse(text, &plan, &error), 0) << text << ": " << error;
    return plan;
}

std::string parse_error(const std::string& text) {
    FaultPlan plan;
    plan.silent = true;
    std::string error;
    EXPECT_EQ(fault_plan_parse(text, &plan, &error), -1) << text;
    EXPECT_TRUE(plan.silent) << "a refused text must leave the plan alone: " << text;
    return error;
}

TEST(FaultPlan, EmptyTextGivesAWellBehavedPhone) {
    const FaultPlan plan = parse_ok("");
    EXPECT_FALSE(plan.silent);
    EXPECT_TRUE(plan.model.empty());
    EXPECT_FALSE(plan.result_forced);
    EXPECT_EQ(plan.tftp_timeout_ms, 1000);
    EXPECT_EQ(plan.tftp_retries, 5);
    EXPECT_EQ(plan.error_block, 0);
    std::mt19937 rng(1);
    for (uint32_t n = 1; n < 100; ++n) {
        EXPECT_FALSE(selector_matches(plan.drop_tx, n, &rng));
    }
}

TEST(FaultPlan, DeviceChannelSwitches) {
    const FaultPlan plan = parse_ok(
        "discovery-silent,command-silent,model=KVX-200,no-version,delay=250,dup-reply,"
        "version=3.0.1");
    EXPECT_TRUE(plan.discovery_silent);
    EXPECT_TRUE(plan.command_silent);
    EXPECT_FALSE(plan.silent);
    EXPECT_EQ(plan.model, "KVX-200");
    EXPECT_TRUE(plan.no_version);
    EXPECT_EQ(plan.version, "3.0.1");
    EXPECT_EQ(plan.reply_delay_ms, 250);
    EXPECT_TRUE(plan.duplicate_replies);
    EXPECT_TRUE(parse_ok("silent").silent);

    const FaultPlan forced = parse_ok("result=BUSY");
    EXPECT_TRUE(forced.result_forced);
    EXPECT_EQ(forced.forced_result, "BUSY");
    const FaultPlan none = parse_ok("result=");
    EXPECT_TRUE(none.result_forced);
    EXPECT_EQ(none.forced_result, "");
}

TEST(FaultPlan, TftpSwitchesMaySitOnSeparateLinesOrBetweenBlanks) {
    const FaultPlan plan = parse_ok(
        "drop-rx=1 drop-tx=2+5\nerror-block=7\r\ntftp-port69,tftp-from=192.168.77.11,"
        "reject-writes,reject-reads,serve-stored,trace,tftp-timeout=300,tftp-retries=0,seed=42");
    std::mt19937 rng(1);
    EXPECT_TRUE(selector_matches(plan.drop_rx, 1, &rng));
    EXPECT_FALSE(selector_matches(plan.drop_rx, 2, &rng));
    EXPECT_TRUE(selector_matches(plan.drop_tx, 5, &rng));
    EXPECT_EQ(plan.error_block, 7);
    EXPECT_TRUE(plan.from_port69);
    EXPECT_EQ(plan.tftp_from, "192.168.77.11");
    EXPECT_TRUE(plan.reject_writes && plan.reject_reads && plan.serve_stored && plan.trace);
    EXPECT_EQ(plan.tftp_timeout_ms, 300);
    EXPECT_EQ(plan.tftp_retries, 0);
    EXPECT_TRUE(plan.seeded);
    EXPECT_EQ(plan.seed, 42u);
}

TEST(FaultPlan, DelayOfSentPacketsAppliesToAllOrToChosenOnes) {
    std::mt19937 rng(1);
    const FaultPlan all = parse_ok("tftp-delay=4000");
    EXPECT_EQ(all.tftp_delay_ms, 4000);
    EXPECT_TRUE(selector_matches(all.delay_tx, 1, &rng));
    EXPECT_TRUE(selector_matches(all.delay_tx, 77, &rng));
    const FaultPlan chosen = parse_ok("tftp-delay=300@3+9");
    EXPECT_EQ(chosen.tftp_delay_ms, 300);
    EXPECT_FALSE(selector_matches(chosen.delay_tx, 1, &rng));
    EXPECT_TRUE(selector_matches(chosen.delay_tx, 3, &rng));
    EXPECT_TRUE(selector_matches(chosen.delay_tx, 9, &rng));
}

TEST(FaultPlan, SelectorsTakeNumbersRangesAndShares) {
    std::mt19937 rng(7);
    const FaultPlan plan = parse_ok("dup-tx=2+4-6+10,dup-rx=0%,stray-tx=100%,move-port=3");
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

TEST(FaultPlan, MistakesAreNamedAndChangeNothing) {
    EXPECT_NE(parse_error("slient").find("unknown switch 'slient'"), std::string::npos);
    EXPECT_NE(parse_error("silent=1").find("takes no value"), std::string::npos);
    for (const char* bad : {"drop-tx=", "drop-tx=0", "drop-tx=3+", "drop-tx=5-2", "drop-tx=x",
                            "drop-tx=101%", "drop-tx=-3", "dup-rx=1++2"}) {
        EXPECT_NE(parse_error(bad).find("packet numbers"), std::string::npos) << bad;
    }
    EXPECT_NE(parse_error("delay=abc").find("from 0 to"), std::string::npos);
    EXPECT_NE(parse_error("error-block=0").find("from 1 to 65535"), std::string::npos);
    EXPECT_NE(parse_error("tftp-delay=5@").find("MS@PACKETS"), std::string::npos);
    EXPECT_NE(parse_error("tftp-from=192.168.77").find("IPv4"), std::string::npos);
    EXPECT_NE(parse_error("tftp-from=192.168.77.300").find("IPv4"), std::string::npos);
    // Signs and leading zeros made no address the phone could bind; the switch did nothing.
    for (const char* bad : {"tftp-from=+192.168.77.1", "tftp-from=192.168.077.1"}) {
        EXPECT_NE(parse_error(bad).find("IPv4"), std::string::npos) << bad;
    }
    EXPECT_NE(parse_error("model=").find("one word"), std::string::npos);
    EXPECT_NE(parse_error("result=TWELVECHARSX").find("11 characters"), std::string::npos);
    // One bad switch refuses the whole text.
    parse_error("silent,bogus");
}

TEST(FaultPlan, HelpNamesEverySwitch) {
    // Each switch with a value it accepts.
    const std::pair<const char*, const char*> switches[] = {
        {"silent", ""},           {"discovery-silent", ""},   {"command-silent", ""},
        {"model=", "X"},          {"no-version", ""},         {"result=", "ERR"},
        {"delay=", "10"},         {"dup-reply", ""},          {"drop-rx=", "1"},
        {"drop-tx=", "1"},        {"dup-rx=", "1"},           {"dup-tx=", "1"},
        {"tftp-delay=", "10"},    {"stray-tx=", "1"},         {"move-port=", "1"},
        {"tftp-port69", ""},      {"tftp-from=", "10.0.0.1"}, {"error-block=", "1"},
        {"reject-writes", ""},    {"reject-reads", ""},       {"serve-stored", ""},
        {"tftp-timeout=", "100"}, {"tftp-retries=", "1"},     {"trace", ""},
        {"seed=", "1"},           {"version=", "1.0"},        {"stations-keep=", "3"},
    };
    const std::string help = fault_plan_help();
    for (const auto& entry : switches) {
        EXPECT_NE(help.find(std::string("    ") + entry.first), std::string::npos) << entry.first;
        FaultPlan plan;
        std::string error;
        const std::string text = std::string(entry.first) + entry.second;
        EXPECT_EQ(fault_plan_parse(text, &plan, &error), 0) << text << ": " << error;
    }
}

}  // namespace
