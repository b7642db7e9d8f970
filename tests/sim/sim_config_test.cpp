// sim_config_test.cpp: what a simulated phone reads as text: its fault switches, its settings
// file and the mistakes in kvxphone's command line. What each switch does is the phone test's.
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

// Blanks, commas, LF and CR LF separate switches; selectors take packet numbers, ranges and
// shares. What each switch does is the phone tests'.
TEST(FaultPlan, SwitchesAndTheirPacketSelectors) {
    FaultPlan plan;
    std::string error;
    ASSERT_EQ(fault_plan_parse("error-block=7 seed=42\nversion=3.0.1\r\nstations-keep=3,result=\n"
                               "dup-tx=2+4-6+10,dup-rx=0%,stray-tx=100%,drop-rx=25%",
                               &plan, &error),
              0)
        << error;
    EXPECT_EQ(std::tie(plan.error_block, plan.seed, plan.version, plan.stations_kept,
                       plan.result_forced, plan.forced_result),
              std::make_tuple(7, 42u, "3.0.1", 3, true, ""));
    std::mt19937 rng(7);
    int dropped = 0;
    for (uint32_t n = 1; n <= 1000; ++n) {
        const bool want = n == 2 || (n >= 4 && n <= 6) || n == 10;
        EXPECT_EQ(selector_matches(plan.dup_tx, n, &rng), want) << n;
        EXPECT_FALSE(selector_matches(plan.dup_rx, n, &rng));
        EXPECT_TRUE(selector_matches(plan.stray_tx, n, &rng));
        dropped += selector_matches(plan.drop_rx, n, &rng);
    }
    EXPECT_NEAR(dropped, 250, 60);  // about a quarter, drawn from the seeded generator
}

auto fields(const PhoneSettings& s) {
    return std::make_tuple(s.admin_name, s.admin_password, s.ringer_type, s.hold_tone, s.banner,
                           s.internet_radio, s.name, s.version);
}

// A missing file leaves the defaults; a hand-edited one may hold comments, CR LF and blank
// lines; a wrong line is refused with its number and changes nothing.
TEST(SettingsFile, HandEditedFilesAreReadAndMistakesRefused) {
    const std::string path = testing::TempDir() + "phone_settings_test." + std::to_string(getpid());
    const auto load = [&](const std::string& text, PhoneSettings* settings, std::string* error) {
        std::ofstream(path, std::ios::binary) << text;
        return settings_load(settings, path, error);
    };
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
    remove(path.c_str());
}

int parse(std::vector<const char*> args, SimOptions* options, std::string* error) {
    args.insert(args.begin(), "kvxphone");
    return sim_parse_options(static_cast<int>(args.size()), args.data(), options, error);
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
        {{"-a", "1.2.3.4", "--faults", "silent=1"}, "takes no value"},
        {{"-a", "1.2.3.4", "--faults", "drop-rx=5-3"}, "packet numbers such as"},
        {{"-a", "1.2.3.4", "--faults", "dup-tx=101%"}, "packet numbers such as"},
        {{"-a", "1.2.3.4", "--faults", "delay=600001"}, "from 0 to 600000"},
        {{"-a", "1.2.3.4", "--faults", "tftp-delay=5@x"}, "MS@PACKETS"},
        {{"-a", "1.2.3.4", "--faults", "model="}, "'model' needs one word"},
        {{"-a", "1.2.3.4", "--faults", "result=twelve_chars"}, "at most 11 characters"},
        {{"-a", "1.2.3.4", "--faults", "tftp-from=1.2.3"}, "needs an IPv4 address"},
        {{"-a", "1.2.3.4", "--faults", "seed=-1"}, "'seed' needs a number"},
        {{"-a", "1.2.3.4", "--fault", "silent"}, "ADDRESS=SWITCHES"},
        {{"-a", "1.2.3.4", "--fault", "1.2.3.5=silent"}, "not one of"},
        {{"-a", "1.2.3.4", "--fault", "1.2.3.4=nope"}, "--fault 1.2.3.4: unknown switch"},
        {{"-a", "1.2.3.4", "--max-file-size", "0"}, "--max-file-size needs a number of bytes"},
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

// Each phone gets its own switches, else those for all.
TEST(SimOptions, ValuesReachTheirPhones) {
    SimOptions o;
    std::string error;
    ASSERT_EQ(parse({"-a", "10.0.0.10", "-n", "3", "--faults", "silent", "--fault",
                     "10.0.0.11=dup-reply", "--admin-name", "boss", "--admin-password", "pw1",
                     "--command-port", "9998", "--max-file-size", "1000"},
                    &o, &error),
              0)
        << error;
    EXPECT_EQ(o.addresses, (std::vector<std::string>{"10.0.0.10", "10.0.0.11", "10.0.0.12"}));
    EXPECT_EQ(sim_faults_of(o, "10.0.0.11") + " " + sim_faults_of(o, "10.0.0.12"),
              "dup-reply silent");
    EXPECT_EQ(std::make_tuple(o.initial.admin_name, o.initial.admin_password, o.command_port,
                              o.max_file_size),
              std::make_tuple("boss", "pw1", 9998, size_t{1000}));
}

}  // namespace
