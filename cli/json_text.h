// json_text.h: the little JSON that kvxctl writes and reads back: quoted strings and the string
// fields of its own one-line records.
#pragma once

#include <string>

// text as a JSON string, quotes included; control characters and non-ASCII bytes escaped.
std::string json_quote(const std::string& text);
// The string value of "key" in a one-line JSON object; false when it is not there, not a string
// or not well formed.
bool json_string_field(const std::string& line, const char* key, std::string* value);
