// station_list_fuzz.cpp: the station list reader on any file, and what the I/R List page then
// does with the record: write it back, read it again, compact and check it for upload.
#include <cstring>

#include "file_checks.h"
#include "fuzz_support.h"
#include "station_list.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const char* path = fuzz_file("stations.cfg", data, size);
    const char* copy = fuzz_file("stations-copy.cfg", nullptr, 0);

    static StationList list;
    fuzz_require(station_list_read(&list, path) == 1, "an existing file is read");
    int named = 0;
    for (int i = 0; i < kStationCount; ++i) {
        fuzz_require(memchr(list.name[i], 0, sizeof list.name[i]), "a name is terminated");
        fuzz_require(memchr(list.url[i], 0, sizeof list.url[i]), "a URL is terminated");
        named += list.name[i][0] != '\0';
    }

    // What is written reads back as the same record.
    static StationList again;
    fuzz_require(station_list_write(&list, copy) == 1, "the record is written");
    fuzz_require(station_list_read(&again, copy) == 1, "the written file is read");
    fuzz_require(memcmp(&list, &again, sizeof list) == 0, "the record survives a round trip");

    int shown = -1;
    const FileCheck check = station_list_prepare(&list, &shown);
    fuzz_require(check.caption && check.message, "a check has a caption and a message");
    for (int i = 0; i < kStationCount; ++i) {
        fuzz_require((list.name[i][0] != '\0') == (i < named), "named stations come first");
    }
    if (check.result == kCheckPassed) {
        fuzz_require(named > 0 && list.default_station == 99, "a passed list is ready to go");
    } else {
        fuzz_require(check.result == kCheckRefused, "a list is passed or refused");
        fuzz_require(named == 0 || (shown >= 0 && shown < named), "the shown station exists");
    }
    return 0;
}
