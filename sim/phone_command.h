// phone_command.h: what a simulated phone answers on UDP 9999: discovery replies and the
// admin ("@ ") and misc ("# ") command frames.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "fault_plan.h"
#include "phone_settings.h"

enum class DatagramKind { kDiscovery, kAdmin, kMisc, kUnknown };

// Result words of command replies.
constexpr const char kResultOk[] = "OK";
constexpr const char kResultDenied[] = "DENIED";        // wrong administrator name or password
constexpr const char kResultMalformed[] = "MALFORMED";  // the frame or payload is not valid

// '?' first: discovery; '@' or '#' first: a command (judged further by apply_command).
DatagramKind classify_datagram(const uint8_t* bytes, size_t length);

// "?" then the lines device, version, mac, name and ip, each ended by CR LF. The MAC address
// is made from the phone's IPv4 address, so it is stable and unique on the test LAN.
std::string discovery_reply(const PhoneSettings& settings, const std::string& address,
                            const FaultPlan& faults);

struct CommandOutcome {
    std::string result;  // kResultOk, kResultDenied or kResultMalformed
    std::string detail;  // what was changed or why not, as key=value words for the event log
    bool changed;        // the settings were changed and need saving
};

// Unscrambles an admin or misc frame, checks the administrator name and password against the
// settings and applies the change when they match.
CommandOutcome apply_command(PhoneSettings* settings, const uint8_t* frame, size_t length);

// "@" then "result WORD", each line ended by CR LF; forced by the faults when they say so.
std::string command_reply(const std::string& result, const FaultPlan& faults);
