// reply_parse.h: cutting a reply datagram into lines, and a line into its key and value.
#pragma once

constexpr int kTokenSize = 64;  // a key or value field: at most 63 characters

// The next line of buffer[0..length) from *position, or null at the end. The line is cut in
// place: a terminator goes where the line break (or the data) ends, so buffer needs one
// writable byte beyond length. A CR LF pair counts as one break; *position moves past it.
char* next_line(char* buffer, int length, int* position);

// The line's first two whitespace-delimited tokens, each cut to its field (kTokenSize bytes);
// the rest of the line is ignored. 1 when the line has both, 0 when it has fewer.
int line_key_value(const char* line, char* key, char* value);

// The first whitespace-delimited token of text, cut to size - 1 characters. Its length.
int first_token(const char* text, char* out, int size);
