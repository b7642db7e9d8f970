// mp3_advice_test.cpp: the format read from MPEG audio frames made here, behind an ID3v2 tag,
// and data that is not MPEG audio.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "mp3_advice.h"

namespace {

using Bytes = std::vector<uint8_t>;

// A frame: its four header bytes, then zeros up to its length.
Bytes frame(uint8_t b1, uint8_t b2, uint8_t b3, size_t length) {
    Bytes bytes = {0xFF, b1, b2, b3};
    bytes.resize(length, 0);
    return bytes;
}

Bytes operator+(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

std::string mismatch(const Bytes& data) {
    return mp3_mismatch(data.data(), data.size());
}

TEST(Mp3Advice, FormatOfTheFirstFrame) {
    struct Row {
        uint8_t b1, b2, b3;  // header bytes after 0xFF: version and layer; bitrate and rate; mode
        size_t length;       // the frame's length, worked out by hand
        const char* says;
    };
    const Row rows[] = {
        {0xFB, 0x90, 0x00, 417, "44100 Hz stereo (MPEG-1 Layer III)"},        // 128 kbit/s
        {0xFB, 0x92, 0x40, 418, "44100 Hz joint stereo (MPEG-1 Layer III)"},  // padded
        {0xE3, 0x18, 0xC0, 72, ""},  // 8 kHz mono, 8 kbit/s
        {0xE3, 0x28, 0x00, 144, "8000 Hz stereo (MPEG-2.5 Layer III)"},
        {0xF3, 0x40, 0x40, 104, "22050 Hz joint stereo (MPEG-2 Layer III)"},
        {0xFD, 0xA4, 0xC0, 576, "48000 Hz mono (MPEG-1 Layer II)"},
        {0xFF, 0x18, 0x80, 48, "32000 Hz dual channel (MPEG-1 Layer I)"},
    };
    for (const Row& row : rows) {
        const Bytes one = frame(row.b1, row.b2, row.b3, row.length);
        // The next frame unpadded, so a wrong length for a padded frame shows.
        const Bytes next = frame(row.b1, static_cast<uint8_t>(row.b2 & ~2), row.b3, 600);
        EXPECT_EQ(mismatch(one + next), row.says) << row.says;
        EXPECT_EQ(mismatch(one), row.says) << "a file of one frame";
        EXPECT_EQ(mismatch(Bytes(40, 0) + one + next), row.says) << "after padding";
    }
}

TEST(Mp3Advice, TagsAndOtherData) {
    const Bytes mono8k = frame(0xE3, 0x18, 0xC0, 72) + frame(0xE3, 0x18, 0xC0, 72);
    // An ID3v2 tag of 600 bytes (size 0 0 4 88 in 7-bit bytes) whose contents look like a
    // 44.1 kHz frame: the frame that counts is the first after the tag.
    Bytes tag = {'I', 'D', '3', 3, 0, 0, 0, 0, 4, 88};
    Bytes body(600, 0);
    const Bytes fake = frame(0xFB, 0x90, 0x00, 4);
    std::copy(fake.begin(), fake.end(), body.begin() + 20);
    std::copy(fake.begin(), fake.end(), body.begin() + 20 + 417);
    EXPECT_EQ(mismatch(tag + body + mono8k), "");
    tag[5] = 0x10;  // a footer follows the tag: ten bytes more
    EXPECT_EQ(mismatch(tag + body + Bytes(10, 0) + mono8k), "");

    const char riff[] = "RIFF\x24\x08\0\0WAVEfmt ";
    EXPECT_EQ(mismatch(Bytes(riff, riff + sizeof riff - 1) + Bytes(2000, 0x11)), "not MPEG audio");
    // A lone sync pattern inside other data is no frame.
    EXPECT_EQ(mismatch(Bytes(10, 'x') + frame(0xFB, 0x90, 0x00, 4) + Bytes(900, 'x')),
              "not MPEG audio");
    // The reserved version, the bitrate index 15 and the sampling rate index 3.
    for (const auto& [b1, b2] : {std::pair{0xEB, 0x90}, {0xFB, 0xF0}, {0xFB, 0x9C}}) {
        const Bytes two = frame(b1, b2, 0x00, 417) + frame(b1, b2, 0x00, 417);
        EXPECT_EQ(mismatch(two), "not MPEG audio") << b1 << " " << b2;
    }
    EXPECT_EQ(mismatch(Bytes()), "not MPEG audio");
}

}  // namespace
