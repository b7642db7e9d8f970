// station_list_test.cpp: the station list file (exact output, tolerant reading), compaction and
// the rules a list passes before upload.
#include <cstring>
#include <iterator>

#include "file_checks.h"
#include "page_fixture.h"
#include "station_list.h"

namespace {

// Volume, default station and the stations that hold something, in one line.
std::string summary(const StationList& list) {
    std::string out = std::to_string(list.volume) + " " + std::to_string(list.default_station);
    for (int i = 0; i < kStationCount; ++i) {
        const std::string n = std::to_string(i + 1);
        out += list.name[i][0] ? " Name" + n + "=" + list.name[i] : "";
        out += list.url[i][0] ? " URL" + n + "=" + list.url[i] : "";
    }
    return out;
}

StationList named(std::initializer_list<std::pair<int, const char*>> names, const char* url = "") {
    StationList list{};
    for (const auto& station : names) {
        strcpy(list.name[station.first], station.second);
        strcpy(list.url[station.first], url);
    }
    return list;
}

TEST(StationFile, ClearedRecordIsWrittenAsFortyFiveCrLfLines) {
    const std::string path = testing::TempDir() + "station_list_test.cfg";
    const StationList list{};
    ASSERT_EQ(station_list_write(&list, path.c_str()), 1);
    std::string expected = "[Config]\r\nVolume=0\r\nDefaultStation=0\r\n\r\n[MusicStation]\r\n";
    for (int i = 1; i <= 20; ++i) {
        expected += "Name" + std::to_string(i) + "=\r\nURL" + std::to_string(i) + "=\r\n";
    }
    std::ifstream written(path, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(written), {}), expected);
    EXPECT_EQ(station_list_write(&list, (path + ".d/x.cfg").c_str()), -1);
}

TEST(StationFile, ReaderIsLooseAboutCaseOrderAndLineEndsAndSkipsUnusableLines) {
    const std::string n(200, 'n');
    const std::string u(280, 'u');
    const struct {
        std::string file;
        std::string read;
    } cases[] = {
        // An indented key does not count; a bare CR does not end a line; the last line may
        // lack its end.
        {"name3=abc\nURL3=http://x/?q=1\r\nName12=a b\rc\nName1= abc\n  Volume=5\nvolume = 9\n"
         "DEFAULTSTATION=-3\nURL20=abc",
         "9 -3 Name1= abc Name3=abc URL3=http://x/?q=1 Name12=a b\rc URL20=abc"},
        {"[MusicStation]\nName1=one\nVolume\nVolume=\nName=none\nName0=zero\nName21=over\n"
         "URL-1=neg\nName99999999999999999999=huge\nName2\nURL2",
         "0 0 Name1=one"},
        // Values are cut to their fields; a line over 299 characters is read in pieces.
        {"Name2=" + n + "\r\nURL2=" + u + "\r\n" + std::string(299, 'x') + "Name4=tail\n",
         "0 0 Name2=" + n.substr(0, 79) + " URL2=" + u.substr(0, 254) + " Name4=tail"},
        {"Name1=first\nName1=second\n", "0 0 Name1=second"},
    };
    for (const auto& c : cases) {
        StationList list;
        memset(&list, 0x55, sizeof list);
        EXPECT_EQ(station_list_read(&list, write_file("station_list_test.cfg", c.file).c_str()), 1);
        EXPECT_EQ(summary(list), c.read);
    }
    StationList untouched = named({{0, "kept"}});
    EXPECT_EQ(station_list_read(&untouched, (testing::TempDir() + "missing").c_str()), -1);
    EXPECT_STREQ(untouched.name[0], "kept");
    EXPECT_EQ(station_list_read(&untouched, testing::TempDir().c_str()), -1);  // a folder
}

TEST(StationList, CompactionMovesNamedStationsUpWithTheirUrls) {
    StationList list = named({{0, "A"}, {2, "C"}}, "http://u");
    strcpy(list.url[1], "http://nameless");  // lost
    strcpy(list.name[7], "H");               // a station with no URL survives
    EXPECT_EQ(station_list_compact(&list), 3);
    EXPECT_EQ(summary(list), "0 0 Name1=A URL1=http://u Name2=C URL2=http://u Name3=H");
}

TEST(StationList, UploadNeedsANamedStationAndHttpUrlsAndSetsDefault99) {
    StationList list = named({{0, "One"}, {2, "Three"}}, "http://x");
    list.volume = 6;
    list.default_station = 3;
    int shown = -1;
    EXPECT_EQ(station_list_prepare(&list, &shown).result, kCheckPassed);
    EXPECT_EQ(summary(list), "6 99 Name1=One URL1=http://x Name2=Three URL2=http://x");
    EXPECT_EQ(shown, -1);

    for (const char* url : {"", "HTTP://upper", "https://secure"}) {
        StationList bad = named({{0, "Good"}, {4, "Bad"}}, "http://good");
        strcpy(bad.url[4], url);
        const FileCheck check = station_list_prepare(&bad, &shown);
        EXPECT_EQ(check.result, kCheckRefused) << url;
        EXPECT_STREQ(check.message, "I/R only supports http protocol.");
        EXPECT_EQ(shown, 1);  // counted after compaction
        EXPECT_EQ(bad.default_station, 0);
    }
    StationList nameless{};
    strcpy(nameless.url[3], "http://nameless");
    EXPECT_STREQ(station_list_prepare(&nameless, &shown).message,
                 "You can not upload an empty list.");
}

}  // namespace
