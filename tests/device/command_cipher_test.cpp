// command_cipher_test.cpp: RC4 against published vectors, and command framing.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "command_cipher.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes crypt(const std::string& key, Bytes data) {
    EXPECT_EQ(rc4_crypt(data.data(), key.c_str(), static_cast<int>(data.size())),
              static_cast<int>(data.size()));
    return data;
}

// Classic vectors, and RFC 6229's 40-bit key 0x0102030405 at keystream offsets 0 and 256.
TEST(Rc4, PublishedVectors) {
    const struct {
        std::string key;
        std::string plain;
        size_t offset;
        const char* cipher;  // hexadecimal
    } cases[] = {
        {"Key", "Plaintext", 0, "bbf316e8d940af0ad3"},
        {"Wiki", "pedia", 0, "1021bf0420"},
        {"\1\2\3\4\5", std::string(272, '\0'), 0, "b2396305f03dc027"},
        {"\1\2\3\4\5", std::string(272, '\0'), 256, "1cfcf62b03eddb64"},
    };
    for (const auto& c : cases) {
        const Bytes out = crypt(c.key, Bytes(c.plain.begin(), c.plain.end()));
        for (size_t i = 0; i < strlen(c.cipher) / 2; ++i) {
            EXPECT_EQ(out[c.offset + i], std::stoi(std::string(c.cipher + 2 * i, 2), nullptr, 16))
                << c.key.size() << " " << c.offset + i;
        }
    }
}

// A payload that scrambles to a 0 byte is channel_test's (it is sent whole).
TEST(CommandFrame, PrefixThenScrambledPayloadOfAtMost254Bytes) {
    std::string text(8, 'a');
    CommandFrame frame;
    ASSERT_EQ(build_command_frame("# ", &text[0], &frame), 10);  // scrambles text in place
    EXPECT_EQ(memcmp(frame.bytes, "# ", 2), 0);
    EXPECT_EQ(Bytes(frame.bytes + 2, frame.bytes + 10), crypt(kModelId, Bytes(8, 'a')));

    std::string longest(254, 'a');
    EXPECT_EQ(build_command_frame("@ ", &longest[0], &frame), 256);
    std::string too_long(255, 'a');
    EXPECT_EQ(build_command_frame("@ ", &too_long[0], &frame), -1);
    EXPECT_EQ(frame.length, 0);
}

}  // namespace
