// station_list_test.cpp: the station list file: exact output, tolerant reading, compaction.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

#include "station_list.h"

namespace {

struct StationFile : testing::Test {
    std::string path = testing::TempDir() + "station_list_test.cfg";
    StationList list{};

    void TearDown() override {
        remove(path.c_str());
    }
    void write_raw(const std::string& bytes) {
        std::ofstream(path, std::ios::binary) << bytes;
    }
    std::string read_raw() {
        std::ifstream in(path, std::ios::binary);
        std::stringstream all;
        all << in.rdbuf();
        return all.str();
    }
    StationList read(const std::string& bytes) {
        write_raw(bytes);
        StationList got;
        memset(&got, 0x55, sizeof got);
        EXPECT_EQ(station_list_read(&got, path.c_str()), 1);
        return got;
    }
};

TEST_F(StationFile, ClearedRecordIsWrittenAsFortyFiveCrLfLines) {
    ASSERT_EQ(station_list_write(&list, path.c_str()), 1);
    std::string expected = "[Config]\r\nVolume=0\r\nDefaultStation=0\r\n\r\n[MusicStation]\r\n";
    for (int i = 1; i <= 20; ++i) {
        expected += "Name" + std::to_string(i) + "=\r\nURL" + std::to_string(i) + "=\r\n";
    }
    EXPECT_EQ(read_raw(), expected);
}

TEST_F(StationFile, ReaderIsLooseAboutCaseOrderHeadersAndLineEnds) {
    const StationList got = read(
        "name3=abc\nURL3=http://x/?q=1\r\nName12=a b\rignored\nName1= abc\n"
        "  Volume=5\nvolume = 9\nDEFAULTSTATION=-3\nURL20=abc");
    EXPECT_STREQ(got.name[2], "abc");
    EXPECT_STREQ(got.url[2], "http://x/?q=1");
    EXPECT_STREQ(got.name[0], " abc");
    EXPECT_EQ(got.volume, 9);  // the indented line does not count
    EXPECT_EQ(got.default_station, -3);
    EXPECT_STREQ(got.url[19], "abc");  // last line without a line end
    // A bare CR does not end a line: the value runs to the next LF.
    EXPECT_STREQ(got.name[11], "a b\rignored");
    EXPECT_STREQ(got.name[1], "");
}

TEST_F(StationFile, MissingKeysAndUnusableLinesLeaveFieldsCleared) {
    const StationList got = read(
        "[MusicStation]\nName1=one\nName5=five\nVolume\nVolume=\nName=none\nName0=zero\n"
        "Name21=over\nURL-1=neg\nName99999999999999999999=huge\nName2\nURL2");
    EXPECT_EQ(got.volume, 0);
    EXPECT_EQ(got.default_station, 0);
    EXPECT_STREQ(got.name[0], "one");
    EXPECT_STREQ(got.name[4], "five");
    for (int i = 5; i < 20; ++i) {
        EXPECT_STREQ(got.name[i], "") << i;
    }
    for (int i = 0; i < 20; ++i) {
        EXPECT_STREQ(got.url[i], "") << i;
    }
    EXPECT_STREQ(got.name[1], "");
}

TEST_F(StationFile, OverlongValuesAreCutToTheirFieldsAndLongLinesReadInPieces) {
    const std::string long_name(200, 'n');
    const std::string long_url(280, 'u');
    // A line longer than 299 characters is read in pieces, each handled as a line.
    const StationList got = read("Name2=" + long_name + "\r\nURL2=" + long_url + "\r\n" +
                                 std::string(299, 'x') + "Name4=tail\n");
    EXPECT_EQ(std::string(got.name[1]), long_name.substr(0, 79));
    EXPECT_EQ(std::string(got.url[1]), long_url.substr(0, 254));
    EXPECT_STREQ(got.name[3], "tail");
}

TEST_F(StationFile, LaterLinesWinAndUnreadableFileLeavesRecordUntouched) {
    EXPECT_STREQ(read("Name1=first\nName1=second\n").name[0], "second");
    StationList untouched;
    memset(&untouched, 0x33, sizeof untouched);
    EXPECT_EQ(station_list_read(&untouched, (path + ".missing").c_str()), -1);
    EXPECT_EQ(reinterpret_cast<unsigned char*>(&untouched)[0], 0x33);
    EXPECT_EQ(station_list_write(&list, (testing::TempDir() + "no/such/dir/x.cfg").c_str()), -1);
}

TEST(StationCompaction, NamedStationsMoveUpWithTheirUrls) {
    StationList list{};
    strcpy(list.name[0], "A");
    strcpy(list.url[0], "u1");
    strcpy(list.url[1], "u2");
    strcpy(list.name[2], "C");
    strcpy(list.url[2], "u3");
    strcpy(list.name[7], "H");  // a station with no URL survives
    EXPECT_EQ(station_list_compact(&list), 3);
    EXPECT_STREQ(list.name[0], "A");
    EXPECT_STREQ(list.url[0], "u1");
    EXPECT_STREQ(list.name[1], "C");
    EXPECT_STREQ(list.url[1], "u3");
    EXPECT_STREQ(list.name[2], "H");
    EXPECT_STREQ(list.url[2], "");
    for (int i = 3; i < 20; ++i) {
        EXPECT_STREQ(list.name[i], "") << i;
        EXPECT_STREQ(list.url[i], "") << i;
    }

    StationList nameless{};
    strcpy(nameless.url[4], "orphan");
    EXPECT_EQ(station_list_compact(&nameless), 0);
    EXPECT_STREQ(nameless.url[4], "");
}

}  // namespace
