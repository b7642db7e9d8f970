// command_cipher_test.cpp: RC4 against published vectors, and command framing.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "command_cipher.h"

namespace {

std::vector<uint8_t> bytes_of(const std::string& text) {
    return {text.begin(), text.end()};
}

std::vector<uint8_t> crypt(const char* key, std::vector<uint8_t> data) {
    EXPECT_EQ(rc4_crypt(data.data(), key, static_cast<int>(data.size())),
              static_cast<int>(data.size()));
    return data;
}

TEST(Rc4, ClassicShortVectors) {
    EXPECT_EQ(crypt("Key", bytes_of("Plaintext")),
              (std::vector<uint8_t>{0xBB, 0xF3, 0x16, 0xE8, 0xD9, 0x40, 0xAF, 0x0A, 0xD3}));
    EXPECT_EQ(crypt("Wiki", bytes_of("pedia")),
              (std::vector<uint8_t>{0x10, 0x21, 0xBF, 0x04, 0x20}));
    EXPECT_EQ(crypt("Secret", bytes_of("Attack at dawn")),
              (std::vector<uint8_t>{0x45, 0xA0, 0x1F, 0x64, 0x5F, 0xC3, 0x5B, 0x38, 0x35, 0x52,
                                    0x54, 0x4B, 0x9B, 0xF5}));
}

TEST(Rc4, Rfc6229FortyBitKeystreamAtSeveralOffsets) {
    const char key[] = {1, 2, 3, 4, 5, 0};
    const std::vector<uint8_t> stream = crypt(key, std::vector<uint8_t>(272, 0));
    const std::vector<std::pair<size_t, std::vector<uint8_t>>> expected = {
        {0,
         {0xb2, 0x39, 0x63, 0x05, 0xf0, 0x3d, 0xc0, 0x27, 0xcc, 0xc3, 0x52, 0x4a, 0x0a, 0x11, 0x18,
          0xa8}},
        {16,
         {0x69, 0x82, 0x94, 0x4f, 0x18, 0xfc, 0x82, 0xd5, 0x89, 0xc4, 0x03, 0xa4, 0x7a, 0x0d, 0x09,
          0x19}},
        {240,
         {0x28, 0xcb, 0x11, 0x32, 0xc9, 0x6c, 0xe2, 0x86, 0x42, 0x1d, 0xca, 0xad, 0xb8, 0xb6, 0x9e,
          0xae}},
        {256,
         {0x1c, 0xfc, 0xf6, 0x2b, 0x03, 0xed, 0xdb, 0x64, 0x1d, 0x77, 0xdf, 0xcf, 0x7f, 0x8d, 0x8c,
          0x93}},
    };
    for (const auto& [offset, block] : expected) {
        EXPECT_EQ(std::vector<uint8_t>(stream.begin() + static_cast<long>(offset),
                                       stream.begin() + static_cast<long>(offset + 16)),
                  block)
            << "offset " << offset;
    }
}

TEST(Rc4, IsItsOwnInverseAndIgnoresEmptyLengths) {
    const std::vector<uint8_t> plain = bytes_of("admin\nsecret\nnewadmin\nnewsecret");
    const std::vector<uint8_t> once = crypt(kModelId, plain);
    EXPECT_NE(once, plain);
    EXPECT_EQ(crypt(kModelId, once), plain);
    uint8_t untouched[2] = {1, 2};
    EXPECT_EQ(rc4_crypt(untouched, kModelId, 0), 0);
    EXPECT_EQ(rc4_crypt(untouched, kModelId, -5), 0);
    EXPECT_EQ(untouched[0], 1);
}

TEST(CommandFrame, PrefixThenScrambledPayloadEvenWhenItHoldsAZeroByte) {
    // Choose the fourth payload byte equal to the keystream there, so it scrambles to 0.
    std::vector<uint8_t> stream = crypt(kModelId, std::vector<uint8_t>(8, 0));
    ASSERT_NE(stream[3], 0);
    std::string text = "abcdefgh";
    text[3] = static_cast<char>(stream[3]);

    for (const char* prefix : {"@ ", "# "}) {
        std::vector<char> payload(text.begin(), text.end());
        payload.push_back('\0');
        CommandFrame frame;
        ASSERT_EQ(build_command_frame(prefix, payload.data(), &frame), 10);
        EXPECT_EQ(frame.length, 10);
        EXPECT_EQ(memcmp(frame.bytes, prefix, 2), 0);
        EXPECT_EQ(frame.bytes[2 + 3], 0);
        EXPECT_EQ(std::vector<uint8_t>(frame.bytes + 2, frame.bytes + 10),
                  crypt(kModelId, bytes_of(text)));

        // The same command built again gives the same bytes.
        std::vector<char> again(text.begin(), text.end());
        again.push_back('\0');
        CommandFrame second;
        build_command_frame(prefix, again.data(), &second);
        EXPECT_EQ(memcmp(frame.bytes, second.bytes, 10), 0);
    }
}

TEST(CommandFrame, PayloadTooLongForTheFrameLeavesItEmpty) {
    std::string longest(254, 'a');
    CommandFrame frame;
    EXPECT_EQ(build_command_frame("@ ", &longest[0], &frame), 256);
    std::string too_long(255, 'a');
    EXPECT_EQ(build_command_frame("@ ", &too_long[0], &frame), -1);
    EXPECT_EQ(frame.length, 0);
    EXPECT_EQ(frame.bytes[0], 0);
}

}  // namespace
