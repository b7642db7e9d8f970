// misc_command_test.cpp: the Misc. boxes, the checks in their order, remembered selections and
// the misc frame.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "headless.h"
#include "misc_command.h"
#include "ui.h"

namespace {

struct MiscFrame : testing::Test {
    PageWindow page = nullptr;
    CommandFrame frame;
    int32_t remembered[kMiscBoxCount] = {-7, -7, -7, -7};

    void SetUp() override {
        page = headless_page_create();
        headless_messages_clear();
        init_misc_boxes(page, remembered);
        memset(&frame, 0x55, sizeof frame);
        frame.length = 99;
    }
    void TearDown() override {
        headless_page_destroy(page);
    }
    int build(const char* name, const char* password) {
        ui_set_text(page, IDC_MISC_NAME, name);
        ui_set_text(page, IDC_MISC_PASSWORD, password);
        return build_misc_frame(page, &frame, remembered);
    }
    std::string only_message() const {
        HeadlessMessage m;
        EXPECT_EQ(headless_message_count(), 1);
        if (headless_message_get(0, &m) != 0) {
            return "";
        }
        EXPECT_EQ(m.page, page);
        EXPECT_STREQ(m.caption, "Invalid!");
        return m.text;
    }
    std::string payload() const {
        EXPECT_EQ(memcmp(frame.bytes, "# ", 2), 0);
        std::string bytes(reinterpret_cast<const char*>(frame.bytes) + 2,
                          static_cast<size_t>(frame.length - 2));
        rc4_crypt(reinterpret_cast<uint8_t*>(&bytes[0]), kModelId, static_cast<int>(bytes.size()));
        return bytes;
    }
};

TEST_F(MiscFrame, ChosenEntriesAreSentAsTheirIndicesAndRemembered) {
    ASSERT_EQ(build("admin", "secret"), 0);
    EXPECT_EQ(headless_message_count(), 0);
    EXPECT_EQ(payload(), "admin;!sep!;secret;!sep!;0001");  // the initial selections
    EXPECT_EQ(frame.length, static_cast<int32_t>(strlen("admin;!sep!;secret;!sep!;0001")) + 2);
    ui_combo_select(page, 1035, 8);  // MP3_Ring 9
    ui_combo_select(page, 1036, 2);  // MP3 Hold
    ui_combo_select(page, 1037, 1);  // Enable
    ui_combo_select(page, 1038, 0);  // Disable
    ASSERT_EQ(build("admin", "secret"), 0);
    EXPECT_EQ(payload(), "admin;!sep!;secret;!sep!;8210");
    EXPECT_EQ(remembered[0], 8);
    EXPECT_EQ(remembered[1], 2);
    EXPECT_EQ(remembered[2], 1);
    EXPECT_EQ(remembered[3], 0);
}

TEST_F(MiscFrame, EmptyNameComesFirstAndFailuresKeepTheRememberedSelections) {
    ui_combo_select(page, 1035, 4);
    EXPECT_EQ(build("", ""), -1);
    EXPECT_EQ(only_message(), "Please input Administrator Name.");
    EXPECT_EQ(frame.length, 0);
    EXPECT_EQ(frame.bytes[0], 0);
    headless_messages_clear();
    EXPECT_EQ(build("admin", ""), -1);
    EXPECT_EQ(only_message(), "Administrator Password can not be blank.");
    EXPECT_EQ(frame.length, 0);
    EXPECT_EQ(remembered[0], 0);
}

TEST_F(MiscFrame, NamesAndPasswordsGoAsTyped) {
    ASSERT_EQ(build("my admin;!sep!;x", "p w!#"), 0);
    EXPECT_EQ(payload(), "my admin;!sep!;x;!sep!;p w!#;!sep!;0001");
}

}  // namespace
