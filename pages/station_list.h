// station_list.h: the internet-radio station list record and its file format.
#pragma once

#include <cstdint>

#include "field_limits.h"

constexpr int kStationCount = 20;
constexpr int kStationNameSize = kStationNameMax + 1;
constexpr int kStationUrlSize = kStationUrlMax + 1;

struct StationList {
    int32_t volume;
    int32_t default_station;
    char name[kStationCount][kStationNameSize];  // entry 0 is station 1
    char url[kStationCount][kStationUrlSize];
};

// 1 when read; -1 when the file cannot be opened (the record is then untouched) or not read
// to its end.
int station_list_read(StationList* list, const char* path);
// 1 when written (CR LF line ends on every platform); -1 when the file cannot be created or
// not every byte reached it.
int station_list_write(const StationList* list, const char* path);
// Moves the named stations to the front in order and clears the rest; returns their count.
int station_list_compact(StationList* list);
// Compares the first n characters case-insensitively, not stopping at a terminator.
int key_compare(const char* key, const char* text, int n);
