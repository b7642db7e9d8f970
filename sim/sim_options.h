// sim_options.h: the command line of kvxphone.
#pragma once

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

#include "phone.h"

struct SimOptions {
    std::vector<std::string> addresses;  // one per phone, in order
    std::string state_dir = "kvxphone-state";
    std::string faults_all;                                       // for every phone
    std::vector<std::pair<std::string, std::string>> faults_for;  // address, switches
    PhoneSettings initial;
    int command_port = kCommandPort;
    int tftp_port = kTftpPort;
    size_t max_file_size = kDefaultMaxFileSize;
    std::string ready_file;
    bool help = false;
    bool version = false;
};

// 0 when the command line is valid (or asks for help or the version), -1 with a message otherwise.
int sim_parse_options(int argc, const char* const* argv, SimOptions* out, std::string* error);
// Switches of the phone at address: its own --fault text, else the --faults text.
std::string sim_faults_of(const SimOptions& options, const std::string& address);
// The --help text.
std::string sim_usage();
