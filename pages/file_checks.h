// file_checks.h: the checks a local file passes before it is uploaded: the MP3 size limits,
// the banner bitmap acceptance rule and the station list rules. Shared by the pages and kvxctl.
#pragma once

#include "remote_names.h"
#include "station_list.h"

enum CheckResult {
    kCheckPassed = 0,
    kCheckUnreadable = -1,  // the file cannot be read; the pages say nothing
    kCheckRefused = -2,     // refused with the message and caption given
};

struct FileCheck {
    int result;
    const char* caption;
    const char* message;
};

// Hold files may have 102400 bytes, ring files 51200. The content is not examined.
FileCheck mp3_size_check(const char* path, int tone);
// A 128 x 64 bitmap, bottom-up, one bit per pixel, uncompressed, judged by its 54 header bytes.
FileCheck bitmap_check(const char* path);
// Compacts the list and checks it for upload: at least one named station, every one with an
// "http://" URL. On an http refusal, *station_shown is the index of the offending station.
// On success the default station becomes 99.
FileCheck station_list_prepare(StationList* list, int* station_shown);
