// reply_parse_test.cpp: cutting replies into lines, keys and values, and entries into tokens.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "reply_parse.h"

namespace {

// The lines next_line yields, from a buffer with the spare byte behind the data.
std::vector<std::string> lines_of(const std::string& data) {
    std::vector<char> buffer(data.begin(), data.end());
    buffer.push_back('#');  // the spare byte; next_line may overwrite it
    std::vector<std::string> lines;
    int position = 0;
    while (const char* line = next_line(buffer.data(), static_cast<int>(data.size()), &position)) {
        lines.emplace_back(line);
        EXPECT_LE(position, static_cast<int>(data.size()) + 1);
    }
    return lines;
}

using Lines = std::vector<std::string>;

TEST(NextLine, CrLfBareLfAndBareCrAllBreakLines) {
    const Lines expected = {"?", "device KVX-350RT", "version 1.2"};
    EXPECT_EQ(lines_of("?\r\ndevice KVX-350RT\r\nversion 1.2\r\n"), expected);
    EXPECT_EQ(lines_of("?\ndevice KVX-350RT\nversion 1.2\n"), expected);
    EXPECT_EQ(lines_of("?\rdevice KVX-350RT\rversion 1.2\r"), expected);
    EXPECT_EQ(lines_of("?\r\ndevice KVX-350RT\nversion 1.2"), expected);
}

TEST(NextLine, TwoBreaksInARowGiveAnEmptyLine) {
    EXPECT_EQ(lines_of("a\n\nb"), (Lines{"a", "", "b"}));
    EXPECT_EQ(lines_of("a\r\rb"), (Lines{"a", "", "b"}));
    EXPECT_EQ(lines_of("a\n\r\nb"), (Lines{"a", "", "b"}));
    EXPECT_EQ(lines_of("\n"), (Lines{""}));
    EXPECT_EQ(lines_of("\r\n\r\n"), (Lines{"", ""}));
}

TEST(NextLine, CutsInPlaceAndUsesTheSpareByteForTheLastLine) {
    char buffer[] = "ab\r\ncd!!";
    int position = 0;
    char* first = next_line(buffer, 6, &position);
    EXPECT_EQ(first, buffer);
    EXPECT_EQ(position, 4);  // past the CR LF pair
    EXPECT_EQ(buffer[2], '\0');
    EXPECT_EQ(buffer[3], '\n');
    char* second = next_line(buffer, 6, &position);
    EXPECT_EQ(second, buffer + 4);
    EXPECT_STREQ(second, "cd");
    EXPECT_EQ(position, 7);
    EXPECT_EQ(buffer[6], '\0');  // the spare byte
    EXPECT_EQ(buffer[7], '!');   // nothing beyond it
    EXPECT_EQ(next_line(buffer, 6, &position), nullptr);
}

TEST(NextLine, NothingAtOrBeyondTheEnd) {
    char buffer[] = "abc";
    int position = 3;
    EXPECT_EQ(next_line(buffer, 3, &position), nullptr);
    position = 9;
    EXPECT_EQ(next_line(buffer, 3, &position), nullptr);
    position = 0;
    EXPECT_EQ(next_line(buffer, 0, &position), nullptr);
    EXPECT_STREQ(buffer, "abc");
}

TEST(NextLine, ACrEndingTheDataIsOneBreak) {
    EXPECT_EQ(lines_of("result OK\r"), (Lines{"result OK"}));
}

// Fields followed by guard bytes, to see that nothing is written beyond a field.
struct Fields {
    char key[kTokenSize];
    char guard1[8];
    char value[kTokenSize];
    char guard2[8];
};

int split(const std::string& line, Fields* f) {
    memset(f, 'G', sizeof *f);
    return line_key_value(line.c_str(), f->key, f->value);
}

void expect_guards(const Fields& f) {
    EXPECT_EQ(std::string(f.guard1, 8), std::string(8, 'G'));
    EXPECT_EQ(std::string(f.guard2, 8), std::string(8, 'G'));
}

TEST(LineKeyValue, FirstTwoTokensWhateverTheBlanks) {
    Fields f;
    EXPECT_EQ(split("device KVX-350RT", &f), 1);
    EXPECT_STREQ(f.key, "device");
    EXPECT_STREQ(f.value, "KVX-350RT");
    EXPECT_EQ(split(" \tversion\t 1.2  and more words", &f), 1);
    EXPECT_STREQ(f.key, "version");
    EXPECT_STREQ(f.value, "1.2");
    expect_guards(f);
}

TEST(LineKeyValue, LinesWithFewerThanTwoTokensAreSkipped) {
    Fields f;
    EXPECT_EQ(split("?", &f), 0);
    EXPECT_EQ(split("", &f), 0);
    EXPECT_EQ(split(" \t ", &f), 0);
    EXPECT_EQ(split("result ", &f), 0);
    expect_guards(f);
}

TEST(LineKeyValue, LongTokensAreCutToTheirFields) {
    Fields f;
    const std::string long_key(70, 'k');
    const std::string long_value(200, 'v');
    EXPECT_EQ(split(long_key + " " + long_value, &f), 1);
    EXPECT_EQ(std::string(f.key), std::string(63, 'k'));
    EXPECT_EQ(std::string(f.value), std::string(63, 'v'));  // not the key's remainder
    expect_guards(f);
    EXPECT_EQ(split("device " + std::string(63, 'x'), &f), 1);
    EXPECT_EQ(std::string(f.value), std::string(63, 'x'));
    expect_guards(f);
}

TEST(FirstToken, TakesTheAddressOfAnEntry) {
    char token[16];
    EXPECT_EQ(first_token("192.168.0.20 --- OK", token, sizeof token), 12);
    EXPECT_STREQ(token, "192.168.0.20");
    EXPECT_EQ(first_token("  10.0.0.1", token, sizeof token), 8);
    EXPECT_STREQ(token, "10.0.0.1");
    EXPECT_EQ(first_token("", token, sizeof token), 0);
    EXPECT_STREQ(token, "");
    EXPECT_EQ(first_token("255.255.255.255.255", token, 8), 7);
    EXPECT_STREQ(token, "255.255");
}

}  // namespace
