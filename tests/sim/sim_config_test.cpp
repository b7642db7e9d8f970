// sim_config_test.cpp: what a simulated phone reads as text: its fault switches, its settings
// file and kvxphone's command line. What each switch does to a phone is the phone test's.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "fault_plan.h"
#include "phone_settings.h"
#include "sim_options.h"

namespace {

FaultPlan plan_of(const std::string& text) {
    FaultPlan plan;
    std::string error;
    EXPECT_EQ(fault_plan_parse(text, &plan, &error), 0) << text << ": " << error;
    return plan;
}

// Blanks, commas, LF and CR LF separate switches; the phone tests see what each one does.
TEST(FaultPlan, SwitchesMaySitOnSeparateLinesOrBetweenBlanks) {
    const FaultPlan plan =
        plan_of("error-block=7 seed=42\nversion=3.0.1\r\nstations-keep=3,result=");
    EXPECT_EQ(plan.error_block, 7);
    EXPECT_EQ(plan.seed, 42u);
    EXPECT_EQ(plan.version, "3.0.1");
    EXPECT_EQ(plan.stations_kept, 3);
    EXPECT_TRUE(plan.result_forced);
    EXPECT_EQ(plan.forced_result, "");
}

TEST(FaultPlan, SelectorsTakeNumbersRangesAndShares) {
    std::mt19937 rng(7);
    const FaultPlan plan = plan_of("dup-tx=2+4-6+10,dup-rx=0%,stray-tx=100%");
    for (uint32_t n = 1; n <= 12; ++n) {
        const bool want = n == 2 || (n >= 4 && n <= 6) || n == 10;
        EXPECT_EQ(selector_matches(plan.dup_tx, n, &rng), want) << n;
        EXPECT_FALSE(selector_matches(plan.dup_rx, n, &rng));
        EXPECT_TRUE(selector_matches(plan.stray_tx, n, &rng));
    }
    // A share is drawn from the generator: the same seed chooses the same packets.
    const FaultPlan share = plan_of("drop-tx=30%");
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
    // Each switch with values it refuses; then names and lists that are wrong.
    const std::pair<const char*, std::vector<const char*>> mistakes[] = {
        {"drop-tx=", {"", "0", "3+", "5-2", "x", "101%", "-3"}},
        {"tftp-from=", {"1.2.3", "1.2.3.300", "+1.2.3.4", "1.2.03.4"}},
        {"", {"slient", "silent=1", "dup-rx=1++2", "delay=abc", "error-block=0", "tftp-delay=5@"}},
        {"", {"model=", "version=", "stations-keep=20", "result=TWELVECHARSX", "silent,bogus"}},
    };
    for (const auto& [name, values] : mistakes) {
        for (const char* value : values) {
            const std::string bad = std::string(name) + value;
            FaultPlan plan;
            plan.silent = true;
            std::string error;
            EXPECT_EQ(fault_plan_parse(bad, &plan, &error), -1) << bad;
            EXPECT_FALSE(error.empty()) << bad;
            EXPECT_TRUE(plan.silent) << bad;
        }
    }
}

auto fields(const PhoneSettings& s) {
    return std::make_tuple(s.admin_name, s.admin_password, s.ringer_type, s.hold_tone, s.banner,
                           s.internet_radio, s.name, s.version);
}

struct SettingsFile : testing::Test {
    std::string path = testing::TempDir() + "phone_settings_test." + std::to_string(getpid());

    void TearDown() override {
        remove(path.c_str());
    }
    int load(const std::string& text, PhoneSettings* settings, std::string* error) {
        std::ofstream(path, std::ios::binary) << text;
        return settings_load(settings, path, error);
    }
};

TEST_F(SettingsFile, SavedSettingsReadBackTheSameThroughARename) {
    const PhoneSettings saved = {"boss", "pw9", 8, 2, 1, 0, "desk-4", "3.0"};
    ASSERT_EQ(settings_save(saved, path), 0);
    PhoneSettings loaded;
    std::string error;
    ASSERT_EQ(settings_load(&loaded, path, &error), 1) << error;
    EXPECT_EQ(fields(loaded), fields(saved));
    EXPECT_FALSE(std::ifstream(path + ".new").good());
    EXPECT_EQ(settings_save(saved, testing::TempDir() + "no/such/folder/settings.txt"), -1);
}

// A missing file leaves the defaults; a hand-edited one may hold comments, CR LF and blank
// lines; a wrong line is refused with its number and changes nothing.
TEST_F(SettingsFile, HandEditedFilesAreReadAndMistakesRefused) {
    PhoneSettings settings;
    std::string error;
    EXPECT_EQ(settings_load(&settings, path + ".none", &error), 0);
    EXPECT_EQ(fields(settings), fields(PhoneSettings{}));
    ASSERT_EQ(load("# mine\r\nhold_tone=1\r\n\r\nadmin_name=Op1\r\n", &settings, &error), 1);
    EXPECT_EQ(settings.hold_tone, 1);
    EXPECT_EQ(settings.admin_name, "Op1");
    EXPECT_EQ(settings.admin_password, "admin");  // absent keys keep their value
    for (const char* line :
         {"ringer_type=9\n", "hold_tone=x\n", "banner=01\n", "colour=red\n", "admin_name=a b\n",
          "admin_password=twelve_chars\n", "admin_password=\n", "version=1 2\n", "just text\n"}) {
        PhoneSettings untouched;
        EXPECT_EQ(load(std::string("banner=1\n") + line, &untouched, &error), -1) << line;
        EXPECT_NE(error.find(":2: "), std::string::npos) << error;
        EXPECT_EQ(fields(untouched), fields(PhoneSettings{})) << line;
    }
}

int parse(std::vector<const char*> args, SimOptions* options, std::string* error) {
    args.insert(args.begin(), "kvxphone");
    return sim_parse_options(static_cast<int>(args.size()), args.data(), options, error);
}

// What the test LAN's phones leave out (they take one run, their faults and the defaults): two
// runs, the account and the ports; and --help, which needs no address.
TEST(SimOptions, AddressRunsSettingsAndPorts) {
    SimOptions options;
    std::string error;
    ASSERT_EQ(parse({"-a", "192.168.77.250", "-a", "10.0.0.1", "-n", "3", "--admin-name", "Boss",
                     "--admin-password", "pw", "--command-port", "19999", "--tftp-port", "6969",
                     "--max-file-size", "100"},
                    &options, &error),
              0)
        << error;
    EXPECT_EQ(options.addresses,
              (std::vector<std::string>{"192.168.77.250", "192.168.77.251", "192.168.77.252",
                                        "10.0.0.1", "10.0.0.2", "10.0.0.3"}));
    EXPECT_EQ(options.initial.admin_name, "Boss");
    EXPECT_EQ(options.initial.admin_password, "pw");
    EXPECT_EQ(options.command_port, 19999);
    EXPECT_EQ(options.tftp_port, 6969);
    EXPECT_EQ(options.max_file_size, 100u);
    ASSERT_EQ(parse({"--help"}, &options, &error), 0);
    EXPECT_TRUE(options.help);
}

TEST(SimOptions, MistakesAreExplained) {
    const std::pair<std::vector<const char*>, const char*> cases[] = {
        {{}, "no phone address"},
        {{"-a", "1.2.3"}, "not an IPv4 address"},
        {{"-a", "1.2.3.4", "-a", "1.2.3.4"}, "given twice"},
        {{"-a", "10.0.0.254", "-n", "3"}, "10.0.0.255"},
        {{"-a", "1.2.3.4", "-n", "0"}, "--count"},
        {{"-a", "1.2.3.4", "-n"}, "needs a value"},
        {{"-a", "1.2.3.4", "--bogus", "1"}, "unknown option --bogus"},
        {{"-a", "1.2.3.4", "stray"}, "unexpected argument"},
        {{"-a", "1.2.3.4", "--faults", "nope"}, "unknown switch"},
        {{"-a", "1.2.3.4", "--fault", "silent"}, "ADDRESS=SWITCHES"},
        {{"-a", "1.2.3.4", "--fault", "1.2.3.5=silent"}, "not one of"},
        {{"-a", "1.2.3.4", "--admin-name", "a b"}, "letters and digits"},
        {{"-a", "1.2.3.4", "--admin-password", "twelve012345"}, "1 to 11"},
        {{"-a", "1.2.3.4", "--tftp-port", "70000"}, "port number"},
    };
    for (const auto& [args, says] : cases) {
        SimOptions options;
        std::string error;
        EXPECT_EQ(parse(args, &options, &error), -1) << says;
        EXPECT_NE(error.find(says), std::string::npos) << says << ": " << error;
    }
}

}  // namespace
