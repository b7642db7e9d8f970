// station_list.cpp: reading, writing and compacting the station list file.
#include "station_list.h"

#include <cctype>
#include <cstdio>
#include <cstring>

#include "ascii_text.h"

namespace {

constexpr int kLineBuffer = 300;

// Decimal value as atoi reads it (leading blanks, one sign, digits up to the first other
// character, 0 without digits), but held to the 32-bit range instead of overflowing.
int32_t parse_decimal(const char* text) {
    while (isspace(static_cast<unsigned char>(*text))) {
        ++text;
    }
    const bool negative = *text == '-';
    if (*text == '-' || *text == '+') {
        ++text;
    }
    int64_t value = 0;
    for (; *text >= '0' && *text <= '9'; ++text) {
        value = value * 10 + (*text - '0');
        if (value > INT32_MAX) {
            value = int64_t{INT32_MAX} + 1;
        }
    }
    value = negative ? -value : value;
    return value > INT32_MAX ? INT32_MAX : static_cast<int32_t>(value);
}

// Value after the first '=' at or beyond from, or null when there is none or nothing follows.
char* value_after_equals(char* line, size_t from) {
    if (from >= strlen(line)) {
        return nullptr;
    }
    char* equals = strchr(line + from, '=');
    if (!equals || equals[1] == '\0') {
        return nullptr;
    }
    return equals + 1;
}

void strip_line_end(char* line) {
    size_t n = strlen(line);
    if (n > 0 && line[n - 1] == '\n') {
        line[--n] = '\0';
    }
    if (n > 0 && line[n - 1] == '\r') {
        line[n - 1] = '\0';
    }
}

// Copies value into a field, cut to the field's size.
void copy_field(char* field, size_t size, const char* value) {
    strncpy(field, value, size - 1);
    field[size - 1] = '\0';
}

// A "Name" or "URL" line: number right after the key, value after the first '=' that follows.
void read_station_field(char* line, size_t key_length, char (*fields)[kStationNameSize],
                        char (*urls)[kStationUrlSize]) {
    const int number = parse_decimal(line + key_length);
    char* value = value_after_equals(line, key_length + 1);
    // Numbers outside 1 to 20 (a missing one reads as 0) would address no station.
    if (!value || number < 1 || number > kStationCount) {
        return;
    }
    strip_line_end(value);
    if (fields) {
        copy_field(fields[number - 1], kStationNameSize, value);
    } else {
        copy_field(urls[number - 1], kStationUrlSize, value);
    }
}

void read_line(StationList* list, char* line) {
    if (key_compare("Volume", line, 6) == 0) {
        if (const char* value = value_after_equals(line, 6)) {
            list->volume = parse_decimal(value);
        }
    }
    if (key_compare("DefaultStation", line, 14) == 0) {
        if (const char* value = value_after_equals(line, 14)) {
            list->default_station = parse_decimal(value);
        }
    }
    if (key_compare("Name", line, 4) == 0) {
        read_station_field(line, 4, list->name, nullptr);
    }
    if (key_compare("URL", line, 3) == 0) {
        read_station_field(line, 3, nullptr, list->url);
    }
}

}  // namespace

int key_compare(const char* key, const char* text, int n) {
    return n > 0 ? compare_ignoring_case(key, text, static_cast<size_t>(n)) : 0;
}

int station_list_read(StationList* list, const char* path) {
    // Binary mode, so that CR LF and LF files read alike on every platform; the line end is
    // stripped below.
    FILE* file = fopen(path, "rb");
    if (!file) {
        return -1;
    }
    memset(list, 0, sizeof *list);
    char line[kLineBuffer];
    while (fgets(line, sizeof line, file)) {
        read_line(list, line);
    }
    // A read error (a folder, a failing disk) must not pass for the end of a shorter list.
    const bool failed = ferror(file) != 0;
    fclose(file);
    return failed ? -1 : 1;
}

int station_list_write(const StationList* list, const char* path) {
    FILE* file = fopen(path, "wb");
    if (!file) {
        return -1;
    }
    fprintf(file, "[Config]\r\nVolume=%d\r\nDefaultStation=%d\r\n\r\n[MusicStation]\r\n",
            static_cast<int>(list->volume), static_cast<int>(list->default_station));
    for (int i = 0; i < kStationCount; ++i) {
        fprintf(file, "Name%d=%s\r\nURL%d=%s\r\n", i + 1, list->name[i], i + 1, list->url[i]);
    }
    // A short write (a full disk) must not pass for a written list.
    const bool failed = fflush(file) != 0 || ferror(file) != 0;
    return fclose(file) == 0 && !failed ? 1 : -1;
}

int station_list_compact(StationList* list) {
    int count = 0;
    for (int read = 0; read < kStationCount; ++read) {
        if (list->name[read][0] == '\0') {
            list->url[read][0] = '\0';  // a URL without a name is lost
            continue;
        }
        char name[kStationNameSize];
        char url[kStationUrlSize];
        memcpy(name, list->name[read], sizeof name);
        memcpy(url, list->url[read], sizeof url);
        list->name[read][0] = '\0';
        list->url[read][0] = '\0';
        memcpy(list->name[count], name, sizeof name);
        memcpy(list->url[count], url, sizeof url);
        ++count;
    }
    return count;
}
