// file_checks.cpp: local file checks before an upload.
#include "file_checks.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace {

constexpr uintmax_t kHoldLimit = 102400;
constexpr uintmax_t kRingLimit = 51200;
constexpr int kBitmapHeaderBytes = 54;

const FileCheck kPassed = {kCheckPassed, "", ""};
const FileCheck kUnreadable = {kCheckUnreadable, "", ""};

int32_t little_endian(const unsigned char* at, int bytes) {
    uint32_t value = 0;
    for (int i = bytes - 1; i >= 0; --i) {
        value = (value << 8) | at[i];
    }
    return static_cast<int32_t>(value);
}

}  // namespace

FileCheck mp3_size_check(const char* path, int tone) {
    std::error_code error;
    const uintmax_t size = std::filesystem::file_size(path, error);
    if (error) {
        return kUnreadable;
    }
    if (tone == kToneRing && size > kRingLimit) {
        return {kCheckRefused, "Error!", "The maximum size of MP3 Ring file is 50 KB."};
    }
    if (tone != kToneRing && size > kHoldLimit) {
        return {kCheckRefused, "Error!", "The maximum size of MP3 Hold file is 100 KB."};
    }
    return kPassed;
}

FileCheck bitmap_check(const char* path) {
    // Binary mode: text mode on Windows would turn CR LF into LF and stop at a 0x1A byte.
    FILE* file = fopen(path, "rb");
    if (!file) {
        return kUnreadable;
    }
    unsigned char header[kBitmapHeaderBytes];
    const size_t got = fread(header, 1, sizeof header, file);
    fclose(file);
    const bool passes = got == sizeof header && little_endian(header, 2) == 0x4D42 &&
                        little_endian(header + 18, 4) == 128 &&
                        little_endian(header + 22, 4) == 64 && little_endian(header + 28, 2) == 1 &&
                        little_endian(header + 30, 4) == 0;
    if (!passes) {
        return {kCheckRefused, "Error Format!",
                "Only support monochrome, uncompressed bitmap file.\n\tWidth = 128, Height = 64."};
    }
    return kPassed;
}

FileCheck station_list_prepare(StationList* list, int* station_shown) {
    if (station_list_compact(list) == 0) {
        return {kCheckRefused, "Warning!", "You can not upload an empty list."};
    }
    for (int i = 0; i < kStationCount && list->name[i][0] != '\0'; ++i) {
        if (strncmp(list->url[i], "http://", 7) != 0) {
            *station_shown = i;
            return {kCheckRefused, "Warning!", "I/R only supports http protocol."};
        }
    }
    list->default_station = 99;
    return kPassed;
}
