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

// Classic vectors, and RFC 6229's 40-bit key 0x0102030405 at several keystream offsets.
TEST(Rc4, PublishedVectors) {
    const struct {
        std::string key;
        std::string plain;
        size_t offset;
        Bytes cipher;
    } cases[] = {
        {"Key", "Plaintext", 0, {0xBB, 0xF3, 0x16, 0xE8, 0xD9, 0x40, 0xAF, 0x0A, 0xD3}},
        {"Wiki", "pedia", 0, {0x10, 0x21, 0xBF, 0x04, 0x20}},
        {"\1\2\3\4\5", std::string(272, '\0'), 0, {0xb2, 0x39, 0x63, 0x05, 0xf0, 0x3d, 0xc0, 0x27}},
        {"\1\2\3\4\5",
         std::string(272, '\0'),
         240,
         {0x28, 0xcb, 0x11, 0x32, 0xc9, 0x6c, 0xe2, 0x86}},
        {"\1\2\3\4\5",
         std::string(272, '\0'),
         256,
         {0x1c, 0xfc, 0xf6, 0x2b, 0x03, 0xed, 0xdb, 0x64}},
    };
    for (const auto& c : cases) {
        const Bytes out = crypt(c.key, Bytes(c.plain.begin(), c.plain.end()));
        EXPECT_EQ(Bytes(out.begin() + static_cast<long>(c.offset),
                        out.begin() + static_cast<long>(c.offset + c.cipher.size())),
                  c.cipher)
            << c.key.size() << " " << c.offset;
    }
}

TEST(CommandFrame, PrefixThenScrambledPayloadEvenWhenItHoldsAZeroByte) {
    // Choose the fourth payload byte equal to the keystream there, so it scrambles to 0.
    const Bytes stream = crypt(kModelId, Bytes(8, 0));
    std::string text = "abcdefgh";
    text[3] = static_cast<char>(stream[3]);
    const Bytes plain(text.begin(), text.end());
    CommandFrame frame;
    ASSERT_EQ(build_command_frame("# ", &text[0], &frame), 10);  // scrambles text in place
    EXPECT_EQ(memcmp(frame.bytes, "# ", 2), 0);
    EXPECT_EQ(frame.bytes[2 + 3], 0);
    EXPECT_EQ(Bytes(frame.bytes + 2, frame.bytes + 10), crypt(kModelId, plain));

    std::string longest(254, 'a');
    EXPECT_EQ(build_command_frame("@ ", &longest[0], &frame), 256);
    std::string too_long(255, 'a');
    EXPECT_EQ(build_command_frame("@ ", &too_long[0], &frame), -1);
    EXPECT_EQ(frame.length, 0);
}

}  // namespace
