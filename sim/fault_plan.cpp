// fault_plan.cpp: parsing of fault and behaviour switches and the packet selectors.
#include "fault_plan.h"

#include <arpa/inet.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace {

// Decimal number without sign in [low, high]; false on anything else.
bool parse_number(const std::string& text, long low, long high, long* out) {
    if (text.empty() || text.size() > 10 ||
        text.find_first_not_of("0123456789") != std::string::npos) {
        return false;
    }
    const long value = strtol(text.c_str(), nullptr, 10);
    if (value < low || value > high) {
        return false;
    }
    *out = value;
    return true;
}

bool parse_selector(const std::string& text, PacketSelector* out) {
    PacketSelector selector;
    if (!text.empty() && text.back() == '%') {
        long percent;
        if (!parse_number(text.substr(0, text.size() - 1), 0, 100, &percent)) {
            return false;
        }
        selector.percent = static_cast<int>(percent);
        *out = selector;
        return true;
    }
    size_t start = 0;
    while (start <= text.size()) {
        const size_t end = std::min(text.find('+', start), text.size());
        const std::string item = text.substr(start, end - start);
        const size_t dash = item.find('-');
        long first;
        long last;
        if (dash == std::string::npos) {
            if (!parse_number(item, 1, UINT32_MAX, &first)) {
                return false;
            }
            last = first;
        } else if (!parse_number(item.substr(0, dash), 1, UINT32_MAX, &first) ||
                   !parse_number(item.substr(dash + 1), first, UINT32_MAX, &last)) {
            return false;
        }
        selector.ranges.emplace_back(static_cast<uint32_t>(first), static_cast<uint32_t>(last));
        start = end + 1;
    }
    *out = selector;
    return true;
}

bool parse_address(const std::string& text) {
    in_addr address;
    return inet_pton(AF_INET, text.c_str(), &address) == 1;
}

// One "name" or "name=value" switch; false with a message on anything unknown or malformed.
bool apply_switch(const std::string& name, const std::string& value, bool has_value,
                  FaultPlan* plan, std::string* error) {
    struct Flag {
        const char* name;
        bool FaultPlan::*field;
    };
    static const Flag flags[] = {
        {"silent", &FaultPlan::silent},
        {"discovery-silent", &FaultPlan::discovery_silent},
        {"command-silent", &FaultPlan::command_silent},
        {"no-version", &FaultPlan::no_version},
        {"dup-reply", &FaultPlan::duplicate_replies},
        {"tftp-port69", &FaultPlan::from_port69},
        {"reject-writes", &FaultPlan::reject_writes},
        {"reject-reads", &FaultPlan::reject_reads},
        {"serve-stored", &FaultPlan::serve_stored},
        {"trace", &FaultPlan::trace},
    };
    for (const Flag& flag : flags) {
        if (name == flag.name) {
            if (has_value) {
                *error = "switch '" + name + "' takes no value";
                return false;
            }
            plan->*flag.field = true;
            return true;
        }
    }
    struct Selector {
        const char* name;
        PacketSelector FaultPlan::*field;
    };
    static const Selector selectors[] = {
        {"drop-rx", &FaultPlan::drop_rx},   {"drop-tx", &FaultPlan::drop_tx},
        {"dup-rx", &FaultPlan::dup_rx},     {"dup-tx", &FaultPlan::dup_tx},
        {"stray-tx", &FaultPlan::stray_tx}, {"move-port", &FaultPlan::move_port},
    };
    for (const Selector& selector : selectors) {
        if (name == selector.name) {
            if (!parse_selector(value, &(plan->*selector.field))) {
                *error = "switch '" + name +
                         "' needs packet numbers such as 3, 2+7, 4-9 or a share such as 25%";
                return false;
            }
            return true;
        }
    }
    struct Number {
        const char* name;
        int FaultPlan::*field;
        long low;
        long high;
    };
    static const Number numbers[] = {
        {"delay", &FaultPlan::reply_delay_ms, 0, 600000},
        {"error-block", &FaultPlan::error_block, 1, 65535},
        {"tftp-timeout", &FaultPlan::tftp_timeout_ms, 10, 600000},
        {"tftp-retries", &FaultPlan::tftp_retries, 0, 1000},
        {"stations-keep", &FaultPlan::stations_kept, 0, 19},
    };
    long number;
    for (const Number& entry : numbers) {
        if (name == entry.name) {
            if (!parse_number(value, entry.low, entry.high, &number)) {
                *error = "switch '" + name + "' needs a number from " + std::to_string(entry.low) +
                         " to " + std::to_string(entry.high);
                return false;
            }
            plan->*entry.field = static_cast<int>(number);
            return true;
        }
    }
    if (name == "tftp-delay") {
        // MS or MS@SELECTOR
        const size_t at = value.find('@');
        PacketSelector chosen;
        chosen.percent = 100;
        if (!parse_number(value.substr(0, at), 0, 600000, &number) ||
            (at != std::string::npos && !parse_selector(value.substr(at + 1), &chosen))) {
            *error = "switch 'tftp-delay' needs MS or MS@PACKETS, such as 4000@3";
            return false;
        }
        plan->tftp_delay_ms = static_cast<int>(number);
        plan->delay_tx = chosen;
        return true;
    }
    if (name == "model" || name == "version") {
        if (value.empty() || value.find_first_of(" \t\r\n") != std::string::npos ||
            value.size() > 63) {
            *error = "switch '" + name + "' needs one word of at most 63 characters";
            return false;
        }
        (name == "model" ? plan->model : plan->version) = value;
        return true;
    }
    if (name == "result") {
        if (value.size() > 11 || value.find_first_of(" \t\r\n") != std::string::npos) {
            *error = "switch 'result' needs one word of at most 11 characters, or nothing";
            return false;
        }
        plan->result_forced = true;
        plan->forced_result = value;
        return true;
    }
    if (name == "tftp-from") {
        if (!parse_address(value)) {
            *error = "switch 'tftp-from' needs an IPv4 address";
            return false;
        }
        plan->tftp_from = value;
        return true;
    }
    if (name == "seed") {
        if (!parse_number(value, 0, UINT32_MAX, &number)) {
            *error = "switch 'seed' needs a number";
            return false;
        }
        plan->seeded = true;
        plan->seed = static_cast<uint32_t>(number);
        return true;
    }
    *error = "unknown switch '" + name + "'";
    return false;
}

}  // namespace

int fault_plan_parse(const std::string& text, FaultPlan* out, std::string* error) {
    FaultPlan plan;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find_first_of(", \t\r\n", start);
        if (end == std::string::npos) {
            end = text.size();
        }
        const std::string item = text.substr(start, end - start);
        start = end + 1;
        if (item.empty()) {
            continue;
        }
        const size_t equals = item.find('=');
        const bool has_value = equals != std::string::npos;
        if (!apply_switch(item.substr(0, equals), has_value ? item.substr(equals + 1) : "",
                          has_value, &plan, error)) {
            return -1;
        }
    }
    *out = plan;
    return 0;
}

bool selector_matches(const PacketSelector& selector, uint32_t n, std::mt19937* rng) {
    for (const auto& range : selector.ranges) {
        if (n >= range.first && n <= range.second) {
            return true;
        }
    }
    if (selector.percent >= 100) {
        return true;
    }
    if (selector.percent <= 0) {
        return false;
    }
    return std::uniform_int_distribution<int>(0, 99)(*rng) < selector.percent;
}

const char* fault_plan_help() {
    return R"(Switches, separated by commas (NAME or NAME=VALUE):
  Device channel (UDP 9999):
    silent               answer nothing at all (TFTP included); requests are still logged
    discovery-silent     ignore discovery requests only
    command-silent       ignore command frames only
    model=WORD           report this device value in discovery replies
    no-version           leave the version line out of discovery replies
    version=WORD         report this version in discovery replies
    result=WORD          answer every command with this result word (empty: no result line)
    delay=MS             send discovery and command replies MS milliseconds late
    dup-reply            send every discovery and command reply twice
  TFTP (UDP 69 and a fresh port per transfer). PACKETS are numbers counted per phone and
  direction from 1 since the switches were loaded (the first request received is rx 1, the
  first ACK or DATA sent is tx 1), as in 3, 2+7, 4-9+12, or a random share such as 25%:
    drop-rx=PACKETS      lose these received packets (requests included)
    drop-tx=PACKETS      lose these sent packets
    dup-rx=PACKETS       handle these received packets twice
    dup-tx=PACKETS       send these packets twice
    tftp-delay=MS[@PACKETS]  hold sent packets back MS milliseconds (all, or the chosen ones)
    stray-tx=PACKETS     also send a copy of these packets from a foreign port, which answers
                         whatever reaches it with ERROR 5 (unknown transfer ID)
    move-port=PACKETS    send this packet and the rest of its transfer from a new port
    tftp-port69          answer transfers from port 69 itself instead of a fresh port
    tftp-from=IP         answer transfers from this local address (another phone's, say)
    error-block=N        send ERROR 0 instead of DATA N (read) or ACK N (write)
    reject-writes        answer every write request with ERROR 2
    reject-reads         answer every read request with ERROR 2
    serve-stored         let received files be read back under their own names
    stations-keep=N      store only the first N stations of an uploaded station list
    tftp-timeout=MS      re-send the last packet after MS milliseconds of silence (1000)
    tftp-retries=N       give a transfer up after N re-sends in a row (5)
    trace                log every TFTP packet in and out
    seed=N               seed of the random shares (default: from the phone's address)
)";
}
