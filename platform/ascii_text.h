// ascii_text.h: the ASCII character rules of the telephones' protocol and files, the same
// whatever the C library's locale.
#pragma once

#include <cstddef>

// a against b over exactly n characters with ASCII letters folded to lower case: negative,
// 0 or positive, as memcmp. Neither may be shorter than n unless they differ before its end.
int compare_ignoring_case(const char* a, const char* b, size_t n);
// Whether the length characters at text are all ASCII letters and digits.
bool letters_and_digits(const char* text, size_t length);
