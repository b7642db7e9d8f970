// phone_command_fuzz.cpp: what a simulated phone makes of any datagram on UDP 9999: its kind,
// the admin or misc command it carries, and the reply.
//
// Input: [mode] then the datagram. Mode bit 0 set: the rest is a payload, scrambled and framed
// here as an admin (bit 1 clear) or misc command, so the payload readers are reached directly.
#include <string>
#include <vector>

#include "command_cipher.h"
#include "fuzz_support.h"
#include "phone_command.h"

namespace {

bool alphanumeric(const std::string& text, size_t longest) {
    if (text.empty() || text.size() > longest) {
        return false;
    }
    for (const char c : text) {
        if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'))) {
            return false;
        }
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1 || size > 2001) {
        return -1;  // the phone ignores datagrams over 2000 bytes
    }
    std::vector<uint8_t> datagram;
    if (data[0] & 1) {
        datagram = {static_cast<uint8_t>(data[0] & 2 ? '#' : '@'), ' '};
        datagram.insert(datagram.end(), data + 1, data + size);
        rc4_crypt(datagram.data() + 2, kModelId, static_cast<int>(size - 1));
    } else {
        datagram.assign(data + 1, data + size);
    }

    const DatagramKind kind = classify_datagram(datagram.data(), datagram.size());
    PhoneSettings settings;
    const PhoneSettings before = settings;
    const CommandOutcome outcome = apply_command(&settings, datagram.data(), datagram.size());
    const std::string& result = outcome.result;
    fuzz_require(result == kResultOk || result == kResultDenied || result == kResultMalformed,
                 "a command has one of three results");
    fuzz_require(outcome.changed == (result == kResultOk), "only a taken command changes");
    fuzz_require(result != kResultOk || kind == DatagramKind::kAdmin || kind == DatagramKind::kMisc,
                 "only command frames are taken");
    if (!outcome.changed) {
        fuzz_require(settings.admin_name == before.admin_name &&
                         settings.admin_password == before.admin_password &&
                         settings.ringer_type == before.ringer_type &&
                         settings.hold_tone == before.hold_tone &&
                         settings.banner == before.banner &&
                         settings.internet_radio == before.internet_radio,
                     "a refused command changes nothing");
    }
    fuzz_require(alphanumeric(settings.admin_name, 31) && alphanumeric(settings.admin_password, 11),
                 "the account stays valid");
    fuzz_require(settings.ringer_type >= 0 && settings.ringer_type <= 8 &&
                     settings.hold_tone >= 0 && settings.hold_tone <= 2 && settings.banner >= 0 &&
                     settings.banner <= 1 && settings.internet_radio >= 0 &&
                     settings.internet_radio <= 1,
                 "the settings stay in range");

    const FaultPlan faults;
    const std::string reply = command_reply(result, faults);
    fuzz_require(reply == "@\r\nresult " + result + "\r\n", "the reply carries the result");
    const std::string discovery = discovery_reply(settings, "192.168.77.10", faults);
    fuzz_require(discovery.rfind("?\r\ndevice KVX-350RT\r\nversion ", 0) == 0,
                 "a discovery reply names the model and version");
    return 0;
}
