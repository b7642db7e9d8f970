// file_checks_test.cpp: the MP3 size limits and the bitmap acceptance rule.
#include "file_checks.h"
#include "page_fixture.h"

namespace {

const char kFile[] = "file_checks_test.bin";

TEST(FileChecks, Mp3LimitsAreInclusiveAndDependOnTheTone) {
    const char* const hold = "The maximum size of MP3 Hold file is 100 KB.";
    const char* const ring = "The maximum size of MP3 Ring file is 50 KB.";
    // An empty file passes: the content is not examined; the transfer then fails.
    const struct {
        size_t size;
        int tone;
        const char* refusal;
    } cases[] = {{102400, kToneHold, nullptr}, {102401, kToneHold, hold},
                 {51200, kToneRing, nullptr},  {51201, kToneRing, ring},
                 {61440, kToneHold, nullptr},  {0, kToneHold, nullptr}};
    for (const auto& c : cases) {
        const FileCheck check =
            mp3_size_check(write_file(kFile, std::string(c.size, '\xFF')).c_str(), c.tone);
        EXPECT_EQ(check.result, c.refusal ? kCheckRefused : kCheckPassed) << c.size;
        EXPECT_STREQ(check.message, c.refusal ? c.refusal : "");
    }
    EXPECT_EQ(mp3_size_check((testing::TempDir() + "none").c_str(), kToneHold).result,
              kCheckUnreadable);
    EXPECT_EQ(mp3_size_check(testing::TempDir().c_str(), kToneHold).result, kCheckUnreadable);
}

TEST(FileChecks, BitmapRuleLooksAtFiveHeaderFieldsOnly) {
    const struct {
        std::string file;
        int result;
    } cases[] = {
        {bitmap(26, 7, 2, 54), kCheckPassed},    // planes; no palette, no pixels
        {bitmap(2, 99, 4), kCheckPassed},        // file size
        {bitmap(6, 0x1A0A0D, 4), kCheckPassed},  // CR, LF and 0x1A are read as bytes
        {bitmap(28, 24, 2), kCheckRefused},      // bits per pixel
        {bitmap(30, 1, 4), kCheckRefused},       // RLE
        {bitmap(18, 64, 4), kCheckRefused},      // width
        {bitmap(22, -64, 4), kCheckRefused},     // top-down
        {bitmap(0, 0x4D41, 2), kCheckRefused},   // not "BM"
        {bitmap(28, 1, 2, 53), kCheckRefused},   // a short header
    };
    for (const auto& c : cases) {
        EXPECT_EQ(bitmap_check(write_file(kFile, c.file).c_str()).result, c.result) << &c - cases;
    }
    EXPECT_EQ(bitmap_check((testing::TempDir() + "none").c_str()).result, kCheckUnreadable);
}

}  // namespace
