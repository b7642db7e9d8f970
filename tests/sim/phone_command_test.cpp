// phone_command_test.cpp: the admin and misc commands as a phone sees them. Its discovery reply
// is the phone test's.
#include <gtest/gtest.h>

#include <string>

#include "command_cipher.h"
#include "phone_command.h"

namespace {

// A frame as the utility builds it: prefix, then the payload scrambled under the model id.
std::string frame(const char* prefix, std::string payload) {
    rc4_crypt(reinterpret_cast<uint8_t*>(payload.data()), kModelId,
              static_cast<int>(payload.size()));
    return prefix + payload;
}

// Each frame against a phone with the default account admin/admin: the result, and the
// account and ringer afterwards.
TEST(Command, FramesAndTheirResults) {
    const std::string admin = "admin;!sep!;admin;!sep!;";
    const std::string fine = "admin;!sep!;x;!sep!;admin;!sep!;y";
    // Its X meets an X of the fixed keystream: the frame holds a 0 byte and is read whole.
    const std::string zero = "aaaaX";
    ASSERT_NE(frame("@ ", "admin;!sep!;" + zero).find('\0', 2), std::string::npos);
    struct Case {
        std::string bytes;
        const char* result;
        std::string name = "admin";  // afterwards
        int ringer = 0;
    };
    const Case cases[] = {
        {frame("@ ", "admin;!sep!;boss;!sep!;admin;!sep!;s3cret"), kResultOk, "boss"},
        {frame("@ ", "admin;!sep!;" + zero + ";!sep!;admin;!sep!;p"), kResultOk, zero},
        {frame("@ ", "admin;!sep!;x;!sep!;wrong;!sep!;y"), kResultDenied},
        {frame("@ ", "Admin;!sep!;x;!sep!;admin;!sep!;y"), kResultDenied},
        {frame("@ ", "admin;!sep!;x;!sep!;admin"), kResultMalformed},
        {frame("@ ", "admin;!sep!;x;!sep!;admin;!sep!;y;!sep!;z"), kResultMalformed},
        {frame("@ ", "admin;!sep!;;!sep!;admin;!sep!;y"), kResultMalformed},
        {frame("@ ", "admin;!sep!;a_b;!sep!;admin;!sep!;y"), kResultMalformed},
        {frame("@ ", "admin;!sep!;" + std::string(32, 'a') + ";!sep!;admin;!sep!;y"),
         kResultMalformed},
        {frame("@ ", "admin;!sep!;x;!sep!;admin;!sep!;" + std::string(12, 'p')), kResultMalformed},
        {frame("@ ", "admin;!sep!;x\xE9;!sep!;admin;!sep!;y"), kResultMalformed},
        {"@ ", kResultMalformed},
        {"@x" + frame("@ ", fine).substr(2), kResultMalformed},
        {frame("@ ", fine) + std::string(300, 'x'), kResultMalformed},
        {frame("# ", admin + "8210"), kResultOk, "admin", 8},
        // Credentials are matched whole: the payload is split from its end.
        {frame("# ", admin + "admin;!sep!;0001"), kResultDenied},
        {frame("# ", "admin;!sep!;admin ;!sep!;8001"), kResultDenied},
        {frame("# ", admin + "9001"), kResultMalformed},
        {frame("# ", admin + "0301"), kResultMalformed},
        {frame("# ", admin + "0021"), kResultMalformed},
        {frame("# ", admin + "0002"), kResultMalformed},
        {frame("# ", admin + "001"), kResultMalformed},
        {frame("# ", admin + "x001"), kResultMalformed},
        {frame("# ", "admin;!sep!;admin0001"), kResultMalformed},
        {frame("# ", ""), kResultMalformed},
    };
    for (const Case& c : cases) {
        PhoneSettings settings;
        const CommandOutcome outcome = apply_command(
            &settings, reinterpret_cast<const uint8_t*>(c.bytes.data()), c.bytes.size());
        EXPECT_EQ(outcome.result, c.result) << c.bytes;
        EXPECT_EQ(outcome.changed, outcome.result == kResultOk);
        EXPECT_EQ(settings.admin_name, c.name);
        EXPECT_EQ(settings.ringer_type, c.ringer);
    }
}

}  // namespace
