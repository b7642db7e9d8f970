// phone_command_test.cpp: the admin and misc commands as a phone sees them. Its discovery reply
// is the phone test's.
#include <gtest/gtest.h>

#include <cctype>
#include <string>

#include "command_cipher.h"
#include "phone_command.h"

namespace {

// A frame as the utility builds it: prefix, then the payload scrambled under the model id.
std::string frame(const char* prefix, const std::string& payload) {
    std::string scrambled = payload;
    rc4_crypt(reinterpret_cast<uint8_t*>(scrambled.data()), kModelId,
              static_cast<int>(scrambled.size()));
    return prefix + scrambled;
}

CommandOutcome run(PhoneSettings* settings, const std::string& bytes) {
    return apply_command(settings, reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}

// Each frame against a phone with the default account admin/admin: the result, and the
// account and ringer afterwards.
TEST(Command, FramesAndTheirResults) {
    const std::string admin = "admin;!sep!;admin;!sep!;";
    struct Case {
        std::string bytes;
        const char* result;
        const char* name;  // afterwards
        int ringer;
    };
    const Case cases[] = {
        {frame("@ ", "admin;!sep!;boss;!sep!;admin;!sep!;s3cret"), kResultOk, "boss", 0},
        {frame("@ ", "admin;!sep!;x;!sep!;wrong;!sep!;y"), kResultDenied, "admin", 0},
        {frame("@ ", "Admin;!sep!;x;!sep!;admin;!sep!;y"), kResultDenied, "admin", 0},
        {frame("@ ", "admin;!sep!;x;!sep!;admin"), kResultMalformed, "admin", 0},
        {frame("@ ", "admin;!sep!;x;!sep!;admin;!sep!;y;!sep!;z"), kResultMalformed, "admin", 0},
        {frame("@ ", "admin;!sep!;;!sep!;admin;!sep!;y"), kResultMalformed, "admin", 0},
        {frame("@ ", "admin;!sep!;a_b;!sep!;admin;!sep!;y"), kResultMalformed, "admin", 0},
        {frame("@ ", "admin;!sep!;" + std::string(32, 'a') + ";!sep!;admin;!sep!;y"),
         kResultMalformed, "admin", 0},
        {frame("@ ", "admin;!sep!;x;!sep!;admin;!sep!;" + std::string(12, 'p')), kResultMalformed,
         "admin", 0},
        {frame("@ ", "admin;!sep!;x\xE9;!sep!;admin;!sep!;y"), kResultMalformed, "admin", 0},
        {"@ ", kResultMalformed, "admin", 0},
        {"@x" + frame("@ ", "admin;!sep!;x;!sep!;admin;!sep!;y").substr(2), kResultMalformed,
         "admin", 0},
        {frame("@ ", "admin;!sep!;x;!sep!;admin;!sep!;y") + std::string(300, 'x'), kResultMalformed,
         "admin", 0},
        {frame("# ", admin + "8210"), kResultOk, "admin", 8},
        // Credentials are matched whole: the payload is split from its end.
        {frame("# ", admin + "admin;!sep!;0001"), kResultDenied, "admin", 0},
        {frame("# ", "admin;!sep!;admin ;!sep!;8001"), kResultDenied, "admin", 0},
        {frame("# ", admin + "9001"), kResultMalformed, "admin", 0},
        {frame("# ", admin + "0301"), kResultMalformed, "admin", 0},
        {frame("# ", admin + "0021"), kResultMalformed, "admin", 0},
        {frame("# ", admin + "0002"), kResultMalformed, "admin", 0},
        {frame("# ", admin + "001"), kResultMalformed, "admin", 0},
        {frame("# ", admin + "x001"), kResultMalformed, "admin", 0},
        {frame("# ", "admin;!sep!;admin0001"), kResultMalformed, "admin", 0},
        {frame("# ", ""), kResultMalformed, "admin", 0},
    };
    for (const Case& c : cases) {
        PhoneSettings settings;
        const CommandOutcome outcome = run(&settings, c.bytes);
        EXPECT_EQ(outcome.result, c.result) << c.bytes;
        EXPECT_EQ(outcome.changed, outcome.result == kResultOk);
        EXPECT_EQ(settings.admin_name, c.name);
        EXPECT_EQ(settings.ringer_type, c.ringer);
    }
}

TEST(Command, PayloadWhoseScrambledFormHoldsZeroBytesIsReadWhole) {
    // The keystream is fixed, so a name character equal to its keystream byte scrambles to 0.
    uint8_t keystream[64] = {};
    rc4_crypt(keystream, kModelId, sizeof keystream);
    const std::string before = "admin;!sep!;";
    std::string name;
    for (size_t at = before.size(); at < before.size() + 31 && name.empty(); ++at) {
        if (isalnum(keystream[at])) {
            name = std::string(at - before.size(), 'a') + static_cast<char>(keystream[at]);
        }
    }
    ASSERT_FALSE(name.empty());
    const std::string bytes = frame("@ ", before + name + ";!sep!;admin;!sep!;p");
    ASSERT_NE(bytes.find('\0', 2), std::string::npos);
    PhoneSettings settings;
    EXPECT_EQ(run(&settings, bytes).result, kResultOk);
    EXPECT_EQ(settings.admin_name, name);
}

}  // namespace
