// sim_options.cpp: parsing and checking kvxphone's command line.
#include "sim_options.h"

#include <arpa/inet.h>

#include <algorithm>
#include <cstdlib>

#include "fault_plan.h"

namespace {

constexpr long kMostPhones = 1000;

bool parse_long(const std::string& text, long low, long high, long* out) {
    if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos ||
        text.size() > 12) {
        return false;
    }
    const long value = strtol(text.c_str(), nullptr, 10);
    if (value < low || value > high) {
        return false;
    }
    *out = value;
    return true;
}

// count addresses from first upwards; none may end in .0 or .255.
bool expand_addresses(const std::string& first, long count, std::vector<std::string>* out,
                      std::string* error) {
    in_addr address;
    if (inet_pton(AF_INET, first.c_str(), &address) != 1) {
        *error = "not an IPv4 address: " + first;
        return false;
    }
    uint32_t host = ntohl(address.s_addr);
    for (long i = 0; i < count; ++i, ++host) {
        const uint32_t last = host & 0xFF;
        in_addr next;
        next.s_addr = htonl(host);
        char text[INET_ADDRSTRLEN];
        inet_ntop(AF_INET, &next, text, sizeof text);
        if (last == 0 || last == 255) {
            *error = "address " + std::string(text) + " (from " + first + " and --count " +
                     std::to_string(count) + ") ends in .0 or .255";
            return false;
        }
        out->push_back(text);
    }
    return true;
}

}  // namespace

int sim_parse_options(int argc, const char* const* argv, SimOptions* out, std::string* error) {
    SimOptions options;
    std::vector<std::string> firsts;
    long count = 1;
    for (int i = 1; i < argc; ++i) {
        const std::string option = argv[i];
        if (option == "-h" || option == "--help") {
            options.help = true;
            *out = options;
            return 0;
        }
        if (option == "--version") {
            options.version = true;
            *out = options;
            return 0;
        }
        if (i + 1 >= argc) {
            *error = option.rfind('-', 0) == 0 ? "option " + option + " needs a value"
                                               : "unexpected argument " + option;
            return -1;
        }
        const std::string value = argv[++i];
        long number = 0;
        FaultPlan check;
        std::string problem;
        if (option == "-a" || option == "--address") {
            firsts.push_back(value);
        } else if (option == "-n" || option == "--count") {
            if (!parse_long(value, 1, kMostPhones, &count)) {
                *error = "--count needs a number from 1 to " + std::to_string(kMostPhones);
                return -1;
            }
        } else if (option == "-s" || option == "--state") {
            options.state_dir = value;
        } else if (option == "-f" || option == "--faults") {
            if (fault_plan_parse(value, &check, &problem) != 0) {
                *error = "--faults: " + problem;
                return -1;
            }
            options.faults_all = value;
        } else if (option == "--fault") {
            const size_t equals = value.find('=');
            if (equals == std::string::npos) {
                *error = "--fault needs ADDRESS=SWITCHES";
                return -1;
            }
            if (fault_plan_parse(value.substr(equals + 1), &check, &problem) != 0) {
                *error = "--fault " + value.substr(0, equals) + ": " + problem;
                return -1;
            }
            options.faults_for.emplace_back(value.substr(0, equals), value.substr(equals + 1));
        } else if (option == "--admin-name") {
            if (!admin_word(value, kAdminNameLongest)) {
                *error = "--admin-name needs 1 to 31 letters and digits";
                return -1;
            }
            options.initial.admin_name = value;
        } else if (option == "--admin-password") {
            if (!admin_word(value, kAdminPasswordLongest)) {
                *error = "--admin-password needs 1 to 11 letters and digits";
                return -1;
            }
            options.initial.admin_password = value;
        } else if (option == "--command-port" || option == "--tftp-port") {
            if (!parse_long(value, 1, 65535, &number)) {
                *error = option + " needs a port number from 1 to 65535";
                return -1;
            }
            (option == "--command-port" ? options.command_port : options.tftp_port) =
                static_cast<int>(number);
        } else if (option == "--max-file-size") {
            if (!parse_long(value, 1, 64L * 1024 * 1024, &number)) {
                *error = "--max-file-size needs a number of bytes from 1 to 67108864";
                return -1;
            }
            options.max_file_size = static_cast<size_t>(number);
        } else if (option == "--ready-file") {
            options.ready_file = value;
        } else {
            *error = "unknown option " + option + " (see --help)";
            return -1;
        }
    }
    if (firsts.empty()) {
        *error = "no phone address given (use --address, see --help)";
        return -1;
    }
    for (const std::string& first : firsts) {
        if (!expand_addresses(first, count, &options.addresses, error)) {
            return -1;
        }
    }
    std::vector<std::string> sorted = options.addresses;
    std::sort(sorted.begin(), sorted.end());
    const auto twice = std::adjacent_find(sorted.begin(), sorted.end());
    if (twice != sorted.end()) {
        *error = "address " + *twice + " given twice";
        return -1;
    }
    for (const auto& entry : options.faults_for) {
        if (!std::binary_search(sorted.begin(), sorted.end(), entry.first)) {
            *error = "--fault names " + entry.first + ", which is not one of the phones";
            return -1;
        }
    }
    *out = options;
    return 0;
}

std::string sim_faults_of(const SimOptions& options, const std::string& address) {
    std::string faults = options.faults_all;
    for (const auto& entry : options.faults_for) {
        if (entry.first == address) {
            faults = entry.second;
        }
    }
    return faults;
}

std::string sim_usage() {
    return std::string(R"(Usage: kvxphone --address IP [options]

Simulates KVX-350RT IP telephones, each on its own IPv4 address of this host (or network
namespace): it answers discovery ("?") and command frames ("@ " admin, "# " misc) on UDP 9999
and serves TFTP (RFC 1350, octet mode) on UDP 69, keeping files, settings and an event log in a
state folder per phone. Runs until SIGINT or SIGTERM; SIGHUP re-reads every phone's faults file.

Options:
  -a, --address IP        first address of a run of phones; may be given several times
  -n, --count N           phones per --address, at consecutive addresses (default 1)
  -s, --state DIR         state root; each phone keeps DIR/<address>/ (default ./kvxphone-state)
  -f, --faults SWITCHES   fault switches for every phone (default none; see below)
      --fault IP=SWITCHES fault switches for the phone at IP instead; may be repeated
      --admin-name NAME   administrator name of a phone without settings yet (default admin)
      --admin-password PW administrator password of such a phone (default admin)
      --command-port N    discovery and command port (default 9999)
      --tftp-port N       TFTP port (default 69)
      --max-file-size N   largest file a write may bring, in bytes (default 16777216)
      --ready-file PATH   written once every phone is listening
  -h, --help              this text
      --version           print the version

State folder of a phone (DIR/<address>/):
  settings.txt   administrator name and password, ringer type, hold tone, banner, internet
                 radio, name and version, as key=value lines; kept across runs
  stations.cfg   the station list, in the station list file format; served as getmp3cfg.###
                 and replaced by an uploaded mp3.cfg
  files/         received files: hold.mp3, ring.mp3, 1.bmp to 6.bmp, mp3.cfg
  events.log     one line per request, reply, transfer and injected fault
  faults         the switches in force; edit and send SIGHUP to change them

Command results: OK, DENIED (wrong administrator name or password), MALFORMED.

)") + fault_plan_help();
}
