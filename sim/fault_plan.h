// fault_plan.h: the fault and behaviour switches of one simulated phone, parsed from text such
// as "drop-tx=2+5,delay=300,model=KVX-200".
#pragma once

#include <cstdint>
#include <random>
#include <string>
#include <utility>
#include <vector>

// Chooses TFTP packets by their number (1, 2, ... counted per phone and direction since the
// switches were loaded) or a random share of them. Text: "3", "2+7", "4-9+12", "25%".
struct PacketSelector {
    std::vector<std::pair<uint32_t, uint32_t>> ranges;  // inclusive
    int percent = 0;                                    // 0 to 100
};

struct FaultPlan {
    // Device channel (UDP 9999).
    bool silent = false;             // answers nothing at all, TFTP included
    bool discovery_silent = false;   // ignores discovery requests only
    bool command_silent = false;     // ignores command frames only
    std::string model;               // device value in discovery replies; empty: the real one
    bool no_version = false;         // discovery replies without the version line
    std::string version;             // version value in discovery replies; empty: the settings'
    bool result_forced = false;      // command replies carry forced_result instead of the outcome
    std::string forced_result;       // empty: the reply has no result line at all
    int reply_delay_ms = 0;          // discovery and command replies wait this long
    bool duplicate_replies = false;  // discovery and command replies are sent twice

    // TFTP (UDP 69 and the transfer ports).
    PacketSelector drop_rx, drop_tx, dup_rx, dup_tx;
    PacketSelector delay_tx;  // which sent packets tftp_delay_ms holds back
    int tftp_delay_ms = 0;
    PacketSelector stray_tx;   // a copy also goes out from a foreign port
    PacketSelector move_port;  // this packet and the rest of its transfer use a new port
    bool from_port69 = false;  // transfers answer from port 69 instead of a fresh port
    std::string tftp_from;     // transfers answer from this local address instead
    int error_block = 0;       // ERROR instead of DATA or ACK of this block; 0: never
    bool reject_writes = false;
    bool reject_reads = false;
    bool serve_stored = false;  // received files can be read back under their own names
    int stations_kept = 20;     // an uploaded station list keeps only its first N; 20: all
    int tftp_timeout_ms = 1000;
    int tftp_retries = 5;
    bool trace = false;  // every TFTP packet in and out goes to the event log

    bool seeded = false;
    uint32_t seed = 0;
};

// 0 when every switch was understood (out is then replaced); -1 with a message in error
// (out untouched). An empty text gives the default plan.
int fault_plan_parse(const std::string& text, FaultPlan* out, std::string* error);

// Whether packet number n is chosen; the share is drawn from rng.
bool selector_matches(const PacketSelector& selector, uint32_t n, std::mt19937* rng);

// The switch names with a short description each, for --help.
const char* fault_plan_help();
