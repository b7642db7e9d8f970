// file_checks_test.cpp: MP3 size limits, the bitmap acceptance rule and station list rules.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "file_checks.h"

namespace {

struct LocalFile : testing::Test {
    std::string path = testing::TempDir() + "file_checks_test.bin";
    void TearDown() override {
        remove(path.c_str());
    }
    void write(const std::vector<unsigned char>& bytes) {
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
    }
};

void put(std::vector<unsigned char>* at, size_t offset, int64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) {
        (*at)[offset + static_cast<size_t>(i)] = static_cast<unsigned char>(value >> (8 * i));
    }
}

// A valid 128 x 64 monochrome bitmap, header, palette and pixels.
std::vector<unsigned char> banner() {
    std::vector<unsigned char> bmp(62 + 16 * 64, 0);
    bmp[0] = 'B';
    bmp[1] = 'M';
    put(&bmp, 2, static_cast<int64_t>(bmp.size()), 4);
    put(&bmp, 10, 62, 4);
    put(&bmp, 14, 40, 4);
    put(&bmp, 18, 128, 4);
    put(&bmp, 22, 64, 4);
    put(&bmp, 26, 1, 2);
    put(&bmp, 28, 1, 2);
    put(&bmp, 30, 0, 4);
    return bmp;
}

TEST_F(LocalFile, Mp3LimitsAreInclusiveAndDependOnTheTone) {
    const struct {
        size_t size;
        int tone;
        int result;
    } cases[] = {
        {102400, kToneHold, kCheckPassed}, {102401, kToneHold, kCheckRefused},
        {51200, kToneRing, kCheckPassed},  {51201, kToneRing, kCheckRefused},
        {61440, kToneHold, kCheckPassed},  {61440, kToneRing, kCheckRefused},
        {0, kToneHold, kCheckPassed},  // the content is not examined; the transfer then fails
    };
    for (const auto& c : cases) {
        write(std::vector<unsigned char>(c.size, 0xFF));
        EXPECT_EQ(mp3_size_check(path.c_str(), c.tone).result, c.result) << c.size;
    }
    write(std::vector<unsigned char>(51201));
    const FileCheck ring = mp3_size_check(path.c_str(), kToneRing);
    EXPECT_STREQ(ring.caption, "Error!");
    EXPECT_STREQ(ring.message, "The maximum size of MP3 Ring file is 50 KB.");
    write(std::vector<unsigned char>(102401));
    EXPECT_STREQ(mp3_size_check(path.c_str(), kToneHold).message,
                 "The maximum size of MP3 Hold file is 100 KB.");
    EXPECT_EQ(mp3_size_check((path + ".none").c_str(), kToneHold).result, kCheckUnreadable);
    EXPECT_EQ(mp3_size_check(testing::TempDir().c_str(), kToneHold).result, kCheckUnreadable);
}

TEST_F(LocalFile, BitmapRuleLooksAtFiveHeaderFieldsOnly) {
    std::vector<unsigned char> odd = banner();
    put(&odd, 26, 7, 2);  // planes
    put(&odd, 2, 99, 4);  // file size
    odd.resize(54);       // no palette, no pixels
    write(odd);
    EXPECT_EQ(bitmap_check(path.c_str()).result, kCheckPassed);

    // A header holding CR LF and 0x1A bytes is read whole.
    std::vector<unsigned char> binary = banner();
    put(&binary, 6, 0x0A0D, 2);
    put(&binary, 8, 0x1A, 2);
    put(&binary, 38, 0x0A0D1A0D, 4);
    write(binary);
    EXPECT_EQ(bitmap_check(path.c_str()).result, kCheckPassed);

    const struct {
        size_t offset;
        int64_t value;
        int bytes;
    } refusals[] = {
        {28, 4, 2},     {28, 24, 2},  {30, 1, 4},  // 4 and 24 bits per pixel, RLE
        {18, 64, 4},    {22, -64, 4},              // portrait, top-down
        {0, 0x4D41, 2},                            // not "BM"
    };
    for (const auto& r : refusals) {
        std::vector<unsigned char> bad = banner();
        put(&bad, r.offset, r.value, r.bytes);
        if (r.offset == 18) {
            put(&bad, 22, 128, 4);
        }
        write(bad);
        const FileCheck check = bitmap_check(path.c_str());
        EXPECT_EQ(check.result, kCheckRefused) << r.offset << "=" << r.value;
        EXPECT_STREQ(check.caption, "Error Format!");
        EXPECT_STREQ(
            check.message,
            "Only support monochrome, uncompressed bitmap file.\n\tWidth = 128, Height = 64.");
    }

    std::vector<unsigned char> short_file = banner();
    short_file.resize(53);
    write(short_file);
    EXPECT_EQ(bitmap_check(path.c_str()).result, kCheckRefused);
    EXPECT_EQ(bitmap_check((path + ".none").c_str()).result, kCheckUnreadable);
}

TEST(StationPrepare, CompactsRefusesEmptyAndNonHttpListsAndSetsDefault99) {
    StationList list{};
    list.volume = 6;
    list.default_station = 3;
    strcpy(list.name[0], "One");
    strcpy(list.url[0], "http://one");
    strcpy(list.url[1], "ftp://lost");
    strcpy(list.name[2], "Three");
    strcpy(list.url[2], "http://three");
    int shown = -1;
    EXPECT_EQ(station_list_prepare(&list, &shown).result, kCheckPassed);
    EXPECT_STREQ(list.name[1], "Three");
    EXPECT_STREQ(list.url[1], "http://three");
    EXPECT_EQ(list.default_station, 99);
    EXPECT_EQ(list.volume, 6);
    EXPECT_EQ(shown, -1);

    for (const char* url : {"", "HTTP://upper", "https://secure", "rtsp://x"}) {
        StationList bad{};
        strcpy(bad.name[0], "Good");
        strcpy(bad.url[0], "http://good");
        strcpy(bad.name[4], "Bad");
        strcpy(bad.url[4], url);
        const FileCheck check = station_list_prepare(&bad, &shown);
        EXPECT_EQ(check.result, kCheckRefused) << url;
        EXPECT_STREQ(check.caption, "Warning!");
        EXPECT_STREQ(check.message, "I/R only supports http protocol.");
        EXPECT_EQ(shown, 1);  // counted after compaction
        EXPECT_EQ(bad.default_station, 0);
    }

    StationList empty{};
    strcpy(empty.url[3], "http://nameless");
    const FileCheck check = station_list_prepare(&empty, &shown);
    EXPECT_EQ(check.result, kCheckRefused);
    EXPECT_STREQ(check.message, "You can not upload an empty list.");
    EXPECT_STREQ(empty.url[3], "");
}

}  // namespace
