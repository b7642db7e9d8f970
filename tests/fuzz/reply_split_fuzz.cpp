// reply_split_fuzz.cpp: the reply splitter and the key/value reader of the device channel on
// any datagram the channel can receive.
#include <cstring>
#include <vector>

#include "channel.h"
#include "fuzz_support.h"
#include "reply_parse.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > static_cast<size_t>(kDatagramMax)) {
        return -1;  // the channel never hands over more
    }
    // The channel's buffer: the datagram and one spare byte for a terminator.
    std::vector<char> buffer(data, data + size);
    buffer.push_back('\0');
    const int length = static_cast<int>(size);
    const char* const blanks = " \t\r\n\v\f";
    int position = 0;
    int lines = 0;
    while (char* line = next_line(buffer.data(), length, &position)) {
        const long start = line - buffer.data();
        fuzz_require(start >= 0 && start <= length, "a line starts inside the datagram");
        fuzz_require(position > start && position <= length + 1, "the position moves forward");
        fuzz_require(start + static_cast<long>(strlen(line)) <= length, "a line ends inside");
        fuzz_require(strpbrk(line, "\r\n") == nullptr, "a line holds no break");
        fuzz_require(++lines <= length + 1, "the lines come to an end");

        char key[kTokenSize];
        char value[kTokenSize];
        const int both = line_key_value(line, key, value);
        fuzz_require(strlen(key) < sizeof key && strlen(value) < sizeof value, "fields fit");
        fuzz_require(!strpbrk(key, blanks) && !strpbrk(value, blanks), "tokens hold no blanks");
        fuzz_require(both == (key[0] && value[0] ? 1 : 0), "both tokens or none");
        fuzz_require(!key[0] || strncmp(line + strspn(line, blanks), key, strlen(key)) == 0,
                     "the key is the line's first token");

        for (const int room : {1, 2, 16, kTokenSize}) {
            std::vector<char> token(static_cast<size_t>(room));
            const int n = first_token(line, token.data(), room);
            fuzz_require(n >= 0 && n < room && strlen(token.data()) == static_cast<size_t>(n),
                         "the first token fits its room");
        }
    }
    fuzz_require(length == 0 || lines > 0, "a datagram has a line");
    return 0;
}
