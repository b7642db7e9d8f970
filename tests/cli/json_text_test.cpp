// json_text_test.cpp: kvxctl reads back the string fields of its own log lines; a damaged line
// yields no field rather than a wrong one.
#include <gtest/gtest.h>

#include "json_text.h"

TEST(JsonText, EveryByteSurvivesTheRoundTrip) {
    std::string all;
    for (int byte = 1; byte < 256; ++byte) {
        all += static_cast<char>(byte);
    }
    std::string back;
    ASSERT_TRUE(json_string_field("{\"k\": " + json_quote(all) + "}", "k", &back));
    EXPECT_EQ(back, all);
}

TEST(JsonText, FieldsOfWellAndBadlyFormedLines) {
    const struct {
        const char* line;
        const char* value;  // nullptr: no field
    } rows[] = {
        {R"({"address": "10.0.0.1", "result": "ok"})", "ok"},
        {R"({"note": "result", "result":"FAIL"})", "FAIL"},  // the key's text as a value
        {R"({"result": "a\/b\n\u0041"})", "a/b\nA"},
        {R"({"result": 3})", nullptr},
        {R"({"other": "x"})", nullptr},
        {R"({"result": "cut short)", nullptr},
        {R"({"result": "bad \q escape"})", nullptr},
        {R"({"result": "\u01ff"})", nullptr},
        {R"({"result": "\u00zz"})", nullptr},
        {R"({"result": "\u00)", nullptr},
        {R"({"result": "ends in \)", nullptr},
        {R"({"result":)", nullptr},
    };
    for (const auto& row : rows) {
        std::string value = "untouched";
        const bool found = json_string_field(row.line, "result", &value);
        EXPECT_EQ(found, row.value != nullptr) << row.line;
        if (found && row.value) {
            EXPECT_EQ(value, row.value) << row.line;
        }
    }
}
