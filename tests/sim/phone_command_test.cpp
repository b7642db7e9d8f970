// phone_command_test.cpp: discovery replies and the admin and misc commands as a phone sees them.
#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
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

TEST(Discovery, DatagramsAreSortedByTheirFirstByte) {
    const uint8_t q[] = {'?'};
    const uint8_t at[] = {'@', ' '};
    const uint8_t hash[] = {'#'};
    const uint8_t other[] = {'!'};
    EXPECT_EQ(classify_datagram(q, 1), DatagramKind::kDiscovery);
    EXPECT_EQ(classify_datagram(at, 2), DatagramKind::kAdmin);
    EXPECT_EQ(classify_datagram(hash, 1), DatagramKind::kMisc);
    EXPECT_EQ(classify_datagram(other, 1), DatagramKind::kUnknown);
    EXPECT_EQ(classify_datagram(q, 0), DatagramKind::kUnknown);
}

TEST(Discovery, ReplyCarriesModelVersionMacNameAndAddress) {
    PhoneSettings settings;
    settings.name = "desk-7";
    const std::string reply = discovery_reply(settings, "192.168.77.10", FaultPlan{});
    EXPECT_EQ(reply,
              "?\r\ndevice KVX-350RT\r\nversion 2.1.4\r\nmac 02:4B:56:A8:4D:0A\r\n"
              "name desk-7\r\nip 192.168.77.10\r\n");
}

TEST(Discovery, FaultsChangeTheModelOrDropTheVersion) {
    PhoneSettings settings;
    FaultPlan faults;
    faults.model = "KVX-200";
    faults.no_version = true;
    const std::string reply = discovery_reply(settings, "10.0.0.1", faults);
    EXPECT_EQ(reply.rfind("?\r\ndevice KVX-200\r\n", 0), 0u);
    EXPECT_EQ(reply.find("version"), std::string::npos);
    EXPECT_EQ(reply.find("name"), std::string::npos);  // no name set
}

TEST(AdminCommand, RightCredentialsChangeNameAndPassword) {
    PhoneSettings settings;
    const CommandOutcome done =
        run(&settings, frame("@ ", "admin;!sep!;boss;!sep!;admin;!sep!;s3cret"));
    EXPECT_EQ(done.result, "OK");
    EXPECT_TRUE(done.changed);
    EXPECT_EQ(settings.admin_name, "boss");
    EXPECT_EQ(settings.admin_password, "s3cret");
    // The old credentials no longer work; the new ones do.
    EXPECT_EQ(run(&settings, frame("@ ", "admin;!sep!;x;!sep!;admin;!sep!;y")).result, "DENIED");
    EXPECT_EQ(run(&settings, frame("@ ", "boss;!sep!;boss;!sep!;s3cret;!sep!;new1")).result, "OK");
    EXPECT_EQ(settings.admin_password, "new1");
}

TEST(AdminCommand, WrongCredentialsAreDeniedAndChangeNothing) {
    PhoneSettings settings;
    for (const char* payload :
         {"admin;!sep!;x;!sep!;wrong;!sep!;y", "Admin;!sep!;x;!sep!;admin;!sep!;y"}) {
        const CommandOutcome denied = run(&settings, frame("@ ", payload));
        EXPECT_EQ(denied.result, "DENIED") << payload;
        EXPECT_FALSE(denied.changed);
    }
    EXPECT_EQ(settings.admin_name, "admin");
    EXPECT_EQ(settings.admin_password, "admin");
}

TEST(AdminCommand, MalformedPayloadsAreRefused) {
    const std::string long_name(32, 'a');
    const std::string long_password(12, 'p');
    for (const std::string& payload :
         {std::string("admin;!sep!;x;!sep!;admin"),                  // three fields
          std::string("admin;!sep!;x;!sep!;admin;!sep!;y;!sep!;z"),  // five
          std::string("admin;!sep!;;!sep!;admin;!sep!;y"),           // empty new name
          std::string("admin;!sep!;a b;!sep!;admin;!sep!;y"),        // blank
          std::string("admin;!sep!;a_b;!sep!;admin;!sep!;y"),        // underscore
          "admin;!sep!;" + long_name + ";!sep!;admin;!sep!;y",       // 32 characters
          "admin;!sep!;x;!sep!;admin;!sep!;" + long_password,        // 12 characters
          std::string("admin;!sep!;x\xE9;!sep!;admin;!sep!;y"),      // accented letter
          std::string()}) {
        PhoneSettings settings;
        const CommandOutcome refused = run(&settings, frame("@ ", payload));
        EXPECT_EQ(refused.result, "MALFORMED") << payload;
        EXPECT_FALSE(refused.changed);
        EXPECT_EQ(settings.admin_name, "admin");
    }
}

TEST(AdminCommand, BrokenFramesAreRefused) {
    PhoneSettings settings;
    const std::string good = frame("@ ", "admin;!sep!;x;!sep!;admin;!sep!;y");
    EXPECT_EQ(run(&settings, "@").result, "MALFORMED");
    EXPECT_EQ(run(&settings, "@ ").result, "MALFORMED");
    EXPECT_EQ(run(&settings, "@x" + good.substr(2)).result, "MALFORMED");
    EXPECT_EQ(run(&settings, "?" + good.substr(1)).result, "MALFORMED");
    EXPECT_EQ(run(&settings, good + std::string(300, 'x')).result, "MALFORMED");
    EXPECT_EQ(settings.admin_name, "admin");
}

TEST(AdminCommand, PayloadWhoseScrambledFormHoldsZeroBytesIsReadWhole) {
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
    EXPECT_EQ(run(&settings, bytes).result, "OK");
    EXPECT_EQ(settings.admin_name, name);
}

TEST(MiscCommand, RightCredentialsSetTheFourSwitches) {
    PhoneSettings settings;
    const CommandOutcome done = run(&settings, frame("# ", "admin;!sep!;admin;!sep!;8210"));
    EXPECT_EQ(done.result, "OK");
    EXPECT_TRUE(done.changed);
    EXPECT_EQ(settings.ringer_type, 8);
    EXPECT_EQ(settings.hold_tone, 2);
    EXPECT_EQ(settings.banner, 1);
    EXPECT_EQ(settings.internet_radio, 0);
    EXPECT_EQ(done.detail, "ringer_type=8 hold_tone=2 banner=1 internet_radio=0");
}

TEST(MiscCommand, CredentialsHoldingTheSeparatorAreMatchedWhole) {
    // The utility sends such names as typed; the payload is split from its end.
    PhoneSettings settings;
    EXPECT_EQ(run(&settings, frame("# ", "admin;!sep!;admin;!sep!;admin;!sep!;0001")).result,
              "DENIED");
    EXPECT_EQ(run(&settings, frame("# ", "a dmin;!sep!;admin;!sep!;0001")).result, "DENIED");
    EXPECT_EQ(run(&settings, frame("# ", "admin;!sep!;admin ;!sep!;0001")).result, "DENIED");
    EXPECT_EQ(settings.internet_radio, 1);
}

TEST(MiscCommand, DigitsOutOfRangeOrMissingAreMalformed) {
    for (const char* payload :
         {"admin;!sep!;admin;!sep!;9001", "admin;!sep!;admin;!sep!;0301",
          "admin;!sep!;admin;!sep!;0021", "admin;!sep!;admin;!sep!;0002",
          "admin;!sep!;admin;!sep!;001", "admin;!sep!;admin;!sep!;00011",
          "admin;!sep!;admin;!sep!;x001", "admin;!sep!;admin0001", ";!sep!;admin;!sep!;0001",
          "admin;!sep!;;!sep!;0001", "adminadmin;!sep!;0001", ""}) {
        PhoneSettings settings;
        EXPECT_EQ(run(&settings, frame("# ", payload)).result, "MALFORMED") << payload;
        EXPECT_EQ(settings.ringer_type, 0);
    }
}

TEST(CommandReply, CarriesTheResultUnlessTheFaultsSayOtherwise) {
    FaultPlan faults;
    EXPECT_EQ(command_reply("OK", faults), "@\r\nresult OK\r\n");
    faults.result_forced = true;
    faults.forced_result = "BUSY";
    EXPECT_EQ(command_reply("OK", faults), "@\r\nresult BUSY\r\n");
    faults.forced_result = "";
    EXPECT_EQ(command_reply("OK", faults), "@\r\n");
}

}  // namespace
