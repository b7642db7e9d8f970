// sim_options_test.cpp: kvxphone's command line.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "sim_options.h"

namespace {

int parse(std::vector<const char*> args, SimOptions* options, std::string* error) {
    args.insert(args.begin(), "kvxphone");
    return sim_parse_options(static_cast<int>(args.size()), args.data(), options, error);
}

std::string refusal(std::vector<const char*> args) {
    SimOptions options;
    std::string error;
    EXPECT_EQ(parse(args, &options, &error), -1);
    return error;
}

TEST(SimOptions, DefaultsAndHelp) {
    SimOptions options;
    std::string error;
    ASSERT_EQ(parse({"--address", "192.168.77.10"}, &options, &error), 0) << error;
    EXPECT_EQ(options.addresses, (std::vector<std::string>{"192.168.77.10"}));
    EXPECT_EQ(options.state_dir, "kvxphone-state");
    EXPECT_EQ(options.command_port, 9999);
    EXPECT_EQ(options.tftp_port, 69);
    EXPECT_EQ(options.initial.admin_name, "admin");
    EXPECT_EQ(options.initial.admin_password, "admin");
    EXPECT_EQ(options.max_file_size, 16u * 1024 * 1024);
    EXPECT_FALSE(options.help);
    SimOptions help;
    ASSERT_EQ(parse({"--help"}, &help, &error), 0) << "help needs no address";
    EXPECT_TRUE(help.help);
}

TEST(SimOptions, RunsOfAddressesAreExpanded) {
    SimOptions options;
    std::string error;
    ASSERT_EQ(parse({"-a", "192.168.77.250", "-a", "10.1.1.1", "-n", "3"}, &options, &error), 0)
        << error;
    EXPECT_EQ(options.addresses,
              (std::vector<std::string>{"192.168.77.250", "192.168.77.251", "192.168.77.252",
                                        "10.1.1.1", "10.1.1.2", "10.1.1.3"}));
    ASSERT_EQ(parse({"-a", "10.0.0.254", "-n", "3"}, &options, &error), -1);
    EXPECT_NE(error.find("10.0.0.255"), std::string::npos) << error;
}

TEST(SimOptions, FaultsGoToEveryPhoneOrToOne) {
    SimOptions options;
    std::string error;
    ASSERT_EQ(parse({"-a", "10.0.0.1", "-n", "3", "--faults", "delay=5", "--fault",
                     "10.0.0.2=drop-tx=1+2"},
                    &options, &error),
              0)
        << error;
    EXPECT_EQ(sim_faults_of(options, "10.0.0.1"), "delay=5");
    EXPECT_EQ(sim_faults_of(options, "10.0.0.2"), "drop-tx=1+2");
    EXPECT_EQ(sim_faults_of(options, "10.0.0.3"), "delay=5");
}

TEST(SimOptions, SettingsPortsAndFiles) {
    SimOptions options;
    std::string error;
    ASSERT_EQ(parse({"-a", "10.0.0.1", "--admin-name", "Boss", "--admin-password", "pw",
                     "--command-port", "19999", "--tftp-port", "6969", "--max-file-size", "100",
                     "--ready-file", "/tmp/r", "-s", "/tmp/s"},
                    &options, &error),
              0)
        << error;
    EXPECT_EQ(options.initial.admin_name, "Boss");
    EXPECT_EQ(options.initial.admin_password, "pw");
    EXPECT_EQ(options.command_port, 19999);
    EXPECT_EQ(options.tftp_port, 6969);
    EXPECT_EQ(options.max_file_size, 100u);
    EXPECT_EQ(options.ready_file, "/tmp/r");
    EXPECT_EQ(options.state_dir, "/tmp/s");
}

TEST(SimOptions, MistakesAreExplained) {
    const std::pair<std::vector<const char*>, const char*> cases[] = {
        {{}, "no phone address"},
        {{"-a", "1.2.3"}, "not an IPv4 address"},
        {{"-a", "1.2.3.4", "-a", "1.2.3.4"}, "given twice"},
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
        const std::string error = refusal(args);
        EXPECT_NE(error.find(says), std::string::npos) << says << ": " << error;
    }
}

}  // namespace
