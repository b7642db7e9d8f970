// admin_command_test.cpp: the Admin fields' checks in their order, and the admin frame.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "admin_command.h"
#include "headless.h"
#include "ui.h"

namespace {

struct AdminFields {
    const char* old_name;
    bool change;
    const char* new_name;
    const char* old_password;
    const char* new_password;
    const char* confirm;
};

struct AdminFrame : testing::Test {
    PageWindow page = nullptr;
    CommandFrame frame;

    void SetUp() override {
        page = headless_page_create();
        headless_messages_clear();
        // A frame from an earlier press, which a failed check must not leave behind.
        memset(&frame, 0x55, sizeof frame);
        frame.length = 99;
    }
    void TearDown() override {
        headless_page_destroy(page);
    }
    int build(const AdminFields& f) {
        ui_set_text(page, IDC_ADMIN_OLD_NAME, f.old_name);
        ui_set_check(page, IDC_ADMIN_CHANGE, f.change);
        ui_set_text(page, IDC_ADMIN_NEW_NAME, f.new_name);
        ui_set_text(page, IDC_ADMIN_OLD_PASSWORD, f.old_password);
        ui_set_text(page, IDC_ADMIN_NEW_PASSWORD, f.new_password);
        ui_set_text(page, IDC_ADMIN_CONFIRM, f.confirm);
        return build_admin_frame(page, &frame);
    }
    // The one message the last build showed, or "" when it showed none.
    std::string message() const {
        HeadlessMessage m;
        if (headless_message_count() != 1 || headless_message_get(0, &m) != 0) {
            return headless_message_count() == 0 ? "" : "(several)";
        }
        EXPECT_EQ(m.page, page);
        EXPECT_STREQ(m.caption, "Invalid!");
        return m.text;
    }
    std::string payload() const {
        std::string bytes(reinterpret_cast<const char*>(frame.bytes) + 2,
                          static_cast<size_t>(frame.length - 2));
        rc4_crypt(reinterpret_cast<uint8_t*>(&bytes[0]), kModelId, static_cast<int>(bytes.size()));
        return bytes;
    }
};

TEST_F(AdminFrame, TheFirstFailingCheckDecidesTheMessage) {
    const struct {
        AdminFields fields;
        const char* message;
    } cases[] = {
        {{"", false, "", "", "", ""}, "Please input Administrator Name."},
        {{"", true, "new", "a1", "b2", "b2"}, "Please input Administrator Name."},
        {{"admin", true, "", "", "", ""}, "Administrator Name can not be blank."},
        {{"admin", false, "", "", "b2", "b2"}, "Administrator Password can not be blank."},
        {{"admin", false, "", "a1", "", ""}, "Administrator Password can not be blank."},
        {{"admin", false, "", "a1", "secret", "Secret"}, "Incorrect Administrator Password."},
        {{"admin", false, "", "a1", "secret", ""}, "Incorrect Administrator Password."},
        {{"ad min", false, "", "a1", "b2", "b2"}, "Name and Password only accepts A~Z, a~z, 0~9."},
        {{"admin", true, "new_name", "a1", "b2", "b2"},
         "Name and Password only accepts A~Z, a~z, 0~9."},
        {{"admin", false, "", "a-1", "b2", "b2"}, "Name and Password only accepts A~Z, a~z, 0~9."},
        {{"admin", false, "", "a1", "b\xE9", "b\xE9"},
         "Name and Password only accepts A~Z, a~z, 0~9."},
        {{"admin", false, "", "a1", "b;2", "b;2"}, "Name and Password only accepts A~Z, a~z, 0~9."},
    };
    for (const auto& c : cases) {
        headless_messages_clear();
        EXPECT_EQ(build(c.fields), -1) << c.message;
        EXPECT_EQ(message(), c.message);
        EXPECT_EQ(frame.length, 0);
        EXPECT_EQ(frame.bytes[0], 0);
    }
}

TEST_F(AdminFrame, WithoutChangeTheOldNameGoesTwiceWhateverTheNewNameEditHolds) {
    ASSERT_EQ(build({"admin", false, "bad name!", "old1", "New2", "New2"}), 0);
    EXPECT_EQ(message(), "");
    EXPECT_EQ(memcmp(frame.bytes, "@ ", 2), 0);
    EXPECT_EQ(payload(), "admin;!sep!;admin;!sep!;old1;!sep!;New2");
    ASSERT_EQ(build({"admin", true, "Boss7", "old1", "New2", "New2"}), 0);
    EXPECT_EQ(payload(), "admin;!sep!;Boss7;!sep!;old1;!sep!;New2");
}

TEST_F(AdminFrame, FieldsAtTheirLimitsMakeTheLongestPayload) {
    const std::string name(kAdminNameMax, 'N');
    const std::string other(kAdminNameMax, 'm');
    const std::string pw(kAdminPasswordMax, '7');
    const std::string pw2(kAdminPasswordMax, 'Z');
    ASSERT_EQ(build({name.c_str(), true, other.c_str(), pw.c_str(), pw2.c_str(), pw2.c_str()}), 0);
    const std::string expected = name + ";!sep!;" + other + ";!sep!;" + pw + ";!sep!;" + pw2;
    EXPECT_EQ(expected.size(), 105u);
    EXPECT_EQ(frame.length, 107);
    EXPECT_EQ(payload(), expected);
}

}  // namespace
