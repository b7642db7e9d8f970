// file_checks_test.cpp: the MP3 size limits and the bitmap acceptance rule.
#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <string>

#include "file_checks.h"

namespace {

const std::string path = testing::TempDir() + "file_checks_test.bin";

void write(const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

TEST(FileChecks, Mp3LimitsAreInclusiveAndDependOnTheTone) {
    const char* const hold = "The maximum size of MP3 Hold file is 100 KB.";
    const char* const ring = "The maximum size of MP3 Ring file is 50 KB.";
    const struct {
        size_t size;
        int tone;
        const char* refusal;
    } cases[] = {
        {102400, kToneHold, nullptr},
        {102401, kToneHold, hold},
        {51200, kToneRing, nullptr},
        {51201, kToneRing, ring},
        {61440, kToneHold, nullptr},
        {0, kToneHold, nullptr},  // the content is not examined; the transfer then fails
    };
    for (const auto& c : cases) {
        write(std::string(c.size, '\xFF'));
        const FileCheck check = mp3_size_check(path.c_str(), c.tone);
        EXPECT_EQ(check.result, c.refusal ? kCheckRefused : kCheckPassed) << c.size;
        EXPECT_STREQ(check.message, c.refusal ? c.refusal : "");
    }
    EXPECT_EQ(mp3_size_check((path + ".none").c_str(), kToneHold).result, kCheckUnreadable);
    EXPECT_EQ(mp3_size_check(testing::TempDir().c_str(), kToneHold).result, kCheckUnreadable);
}

// A 128 x 64 monochrome bitmap (header, palette, pixels) with value written at offset.
std::string bitmap(size_t offset, int64_t value, int bytes, size_t length = 62 + 16 * 64) {
    std::string bmp(62 + 16 * 64, '\0');
    const struct {
        size_t offset;
        int64_t value;
        int bytes;
    } fields[] = {{0, 0x4D42, 2}, {2, 62 + 16 * 64, 4}, {10, 62, 4},
                  {14, 40, 4},    {18, 128, 4},         {22, 64, 4},
                  {26, 1, 2},     {28, 1, 2},           {offset, value, bytes}};
    for (const auto& f : fields) {
        for (int i = 0; i < f.bytes; ++i) {
            bmp[f.offset + static_cast<size_t>(i)] = static_cast<char>(f.value >> (8 * i));
        }
    }
    return bmp.substr(0, length);
}

TEST(FileChecks, BitmapRuleLooksAtFiveHeaderFieldsOnly) {
    const struct {
        std::string file;
        int result;
    } cases[] = {
        {bitmap(26, 7, 2, 54), kCheckPassed},       // planes; no palette, no pixels
        {bitmap(2, 99, 4), kCheckPassed},           // file size
        {bitmap(6, 0x1A0A0D, 4), kCheckPassed},     // CR, LF and 0x1A are read as bytes
        {bitmap(38, 0x0A0D1A0D, 4), kCheckPassed},  // likewise
        {bitmap(28, 4, 2), kCheckRefused},          // bits per pixel
        {bitmap(28, 24, 2), kCheckRefused},         // likewise
        {bitmap(30, 1, 4), kCheckRefused},          // RLE
        {bitmap(18, 64, 4), kCheckRefused},         // width
        {bitmap(22, -64, 4), kCheckRefused},        // top-down
        {bitmap(0, 0x4D41, 2), kCheckRefused},      // not "BM"
        {bitmap(0, 0x4D42, 2, 53), kCheckRefused},  // a short header
    };
    for (const auto& c : cases) {
        write(c.file);
        EXPECT_EQ(bitmap_check(path.c_str()).result, c.result) << &c - cases;
    }
    EXPECT_EQ(bitmap_check((path + ".none").c_str()).result, kCheckUnreadable);
}

}  // namespace
