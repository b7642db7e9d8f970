// phone_command.cpp: discovery replies and the admin and misc commands of a simulated phone.
#include "phone_command.h"

#include <arpa/inet.h>

#include <cstdio>

#include "command_cipher.h"

namespace {

constexpr char kSeparator[] = ";!sep!;";
constexpr size_t kSeparatorLength = sizeof kSeparator - 1;

CommandOutcome outcome(const char* result, const std::string& detail, bool changed = false) {
    return CommandOutcome{result, detail, changed};
}

// Old name, new name, old password, new password, joined by the separator.
CommandOutcome apply_admin(PhoneSettings* s, const std::string& payload) {
    std::string field[4];
    size_t start = 0;
    for (int i = 0; i < 4; ++i) {
        const size_t end = i < 3 ? payload.find(kSeparator, start) : payload.size();
        if (end == std::string::npos) {
            return outcome(kResultMalformed, "reason=fields");
        }
        field[i] = payload.substr(start, end - start);
        start = end + kSeparatorLength;
    }
    const size_t longest[4] = {kAdminNameLongest, kAdminNameLongest, kAdminPasswordLongest,
                               kAdminPasswordLongest};
    for (int i = 0; i < 4; ++i) {
        if (!admin_word(field[i], longest[i])) {
            return outcome(kResultMalformed, "reason=field" + std::to_string(i + 1));
        }
    }
    if (field[0] != s->admin_name || field[2] != s->admin_password) {
        return outcome(kResultDenied, "reason=credentials");
    }
    s->admin_name = field[1];
    s->admin_password = field[3];
    return outcome(kResultOk, "admin_name=" + s->admin_name, true);
}

// Name and password may hold anything, the separator included, so the payload is split from
// its end: four digits, the separator, and then exactly "name;!sep!;password" of this phone.
CommandOutcome apply_misc(PhoneSettings* s, const std::string& payload) {
    const size_t digits_at = payload.size() >= 4 ? payload.size() - 4 : 0;
    if (payload.size() < 2 + 2 * kSeparatorLength + 4 ||
        payload.compare(digits_at - kSeparatorLength, kSeparatorLength, kSeparator) != 0) {
        return outcome(kResultMalformed, "reason=fields");
    }
    int value[4];
    const int highest[4] = {8, 2, 1, 1};
    for (int i = 0; i < 4; ++i) {
        value[i] = payload[digits_at + i] - '0';
        if (value[i] < 0 || value[i] > highest[i]) {
            return outcome(kResultMalformed, "reason=digit" + std::to_string(i + 1));
        }
    }
    const std::string account = payload.substr(0, digits_at - kSeparatorLength);
    const size_t inner = account.find(kSeparator);
    if (inner == 0 || inner == std::string::npos || inner + kSeparatorLength == account.size()) {
        return outcome(kResultMalformed, "reason=fields");
    }
    if (account != s->admin_name + kSeparator + s->admin_password) {
        return outcome(kResultDenied, "reason=credentials");
    }
    s->ringer_type = value[0];
    s->hold_tone = value[1];
    s->banner = value[2];
    s->internet_radio = value[3];
    char detail[96];
    snprintf(detail, sizeof detail, "ringer_type=%d hold_tone=%d banner=%d internet_radio=%d",
             value[0], value[1], value[2], value[3]);
    return outcome(kResultOk, detail, true);
}

}  // namespace

DatagramKind classify_datagram(const uint8_t* bytes, size_t length) {
    if (length == 0) {
        return DatagramKind::kUnknown;
    }
    switch (bytes[0]) {
        case '?':
            return DatagramKind::kDiscovery;
        case '@':
            return DatagramKind::kAdmin;
        case '#':
            return DatagramKind::kMisc;
        default:
            return DatagramKind::kUnknown;
    }
}

std::string discovery_reply(const PhoneSettings& settings, const std::string& address,
                            const FaultPlan& faults) {
    uint8_t bytes[4] = {};
    inet_pton(AF_INET, address.c_str(), bytes);
    char mac[32];
    snprintf(mac, sizeof mac, "02:4B:56:%02X:%02X:%02X", bytes[1], bytes[2], bytes[3]);
    std::string reply = "?\r\n";
    reply += "device " + (faults.model.empty() ? std::string(kModelId) : faults.model) + "\r\n";
    if (!faults.no_version) {
        reply += "version " + (faults.version.empty() ? settings.version : faults.version) + "\r\n";
    }
    reply += "mac " + std::string(mac) + "\r\n";
    if (!settings.name.empty()) {
        reply += "name " + settings.name + "\r\n";
    }
    reply += "ip " + address + "\r\n";
    return reply;
}

CommandOutcome apply_command(PhoneSettings* settings, const uint8_t* frame, size_t length) {
    const DatagramKind kind = classify_datagram(frame, length);
    if ((kind != DatagramKind::kAdmin && kind != DatagramKind::kMisc) || length < 3 ||
        frame[1] != ' ' || length > kFrameCapacity) {
        return outcome(kResultMalformed, "reason=frame");
    }
    uint8_t plain[kFrameCapacity];
    const size_t n = length - 2;
    for (size_t i = 0; i < n; ++i) {
        plain[i] = frame[2 + i];
    }
    rc4_crypt(plain, kModelId, static_cast<int>(n));
    const std::string payload(reinterpret_cast<const char*>(plain), n);
    return kind == DatagramKind::kAdmin ? apply_admin(settings, payload)
                                        : apply_misc(settings, payload);
}

std::string command_reply(const std::string& result, const FaultPlan& faults) {
    std::string reply = "@\r\n";
    const std::string& word = faults.result_forced ? faults.forced_result : result;
    if (!word.empty()) {
        reply += "result " + word + "\r\n";
    }
    return reply;
}
