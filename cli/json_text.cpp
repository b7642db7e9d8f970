// json_text.cpp: JSON strings out, and string fields of kvxctl's own log lines in.
#include "json_text.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

std::string json_quote(const std::string& text) {
    std::string out = "\"";
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (byte < 0x20 || byte >= 0x7f) {
            // Bytes, not characters: file names in other encodings stay readable as escapes.
            char escape[8];
            snprintf(escape, sizeof escape, "\\u%04x", byte);
            out += escape;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

bool json_string_field(const std::string& line, const char* key, std::string* value) {
    const std::string name = json_quote(key);
    size_t at = 0;
    // A key is a string followed by a colon; the same text as a value is skipped.
    while ((at = line.find(name, at)) != std::string::npos) {
        at += name.size();
        while (at < line.size() && line[at] == ' ') {
            ++at;
        }
        if (at < line.size() && line[at] == ':') {
            break;
        }
    }
    if (at == std::string::npos) {
        return false;
    }
    ++at;
    while (at < line.size() && line[at] == ' ') {
        ++at;
    }
    if (at >= line.size() || line[at] != '"') {
        return false;
    }
    value->clear();
    for (++at; at < line.size(); ++at) {
        const char c = line[at];
        if (c == '"') {
            return true;
        }
        if (c != '\\') {
            *value += c;
            continue;
        }
        if (++at >= line.size()) {
            return false;
        }
        const char e = line[at];
        if (e == 'u') {
            if (at + 4 >= line.size()) {
                return false;
            }
            const std::string digits = line.substr(at + 1, 4);
            char* end = nullptr;
            const unsigned long code = strtoul(digits.c_str(), &end, 16);
            if (*end != '\0' || code > 0xff) {
                return false;
            }
            *value += static_cast<char>(code);
            at += 4;
        } else {
            const char* from = "\"\\/bfnrt";
            const char* to = "\"\\/\b\f\n\r\t";
            const char* found = strchr(from, e);
            if (!found || e == '\0') {
                return false;
            }
            *value += to[found - from];
        }
    }
    return false;
}
