// ascii_text.cpp: ASCII case folding and character classes.
#include "ascii_text.h"

namespace {

int ascii_lower(unsigned char c) {
    return c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c;
}

}  // namespace

int compare_ignoring_case(const char* a, const char* b, size_t n) {
    for (size_t i = 0; i < n; ++i) {
        const int difference = ascii_lower(static_cast<unsigned char>(a[i])) -
                               ascii_lower(static_cast<unsigned char>(b[i]));
        if (difference != 0) {
            return difference;
        }
    }
    return 0;
}

bool letters_and_digits(const char* text, size_t length) {
    for (size_t i = 0; i < length; ++i) {
        const char c = text[i];
        if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'))) {
            return false;
        }
    }
    return true;
}
