// reply_parse.cpp: line and token splitting of discovery and command replies.
#include "reply_parse.h"

namespace {

bool is_blank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

// Copies the token at text, at most size - 1 characters of it, and returns where it ends.
const char* take_token(const char* text, char* out, int size) {
    while (is_blank(*text)) {
        ++text;
    }
    int n = 0;
    for (; *text && !is_blank(*text); ++text) {
        if (n < size - 1) {
            out[n++] = *text;
        }
    }
    out[n] = '\0';
    return text;
}

}  // namespace

char* next_line(char* buffer, int length, int* position) {
    int at = *position;
    if (at >= length) {
        return nullptr;
    }
    char* line = buffer + at;
    while (at < length && buffer[at] != '\r' && buffer[at] != '\n') {
        ++at;
    }
    const bool pair = at + 1 < length && buffer[at] == '\r' && buffer[at + 1] == '\n';
    buffer[at] = '\0';
    *position = at + (pair ? 2 : 1);
    return line;
}

int line_key_value(const char* line, char* key, char* value) {
    take_token(take_token(line, key, kTokenSize), value, kTokenSize);
    return key[0] && value[0] ? 1 : 0;
}

int first_token(const char* text, char* out, int size) {
    if (size <= 0) {
        return 0;
    }
    take_token(text, out, size);
    int n = 0;
    while (out[n]) {
        ++n;
    }
    return n;
}
