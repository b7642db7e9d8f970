// command_pages_test.cpp: the Admin and Misc. frames (checks in their order, payloads), the
// flows of their pages, and the Banner page's slot memory.
#include <cstring>

#include "admin_command.h"
#include "misc_command.h"
#include "page_fixture.h"

namespace {

int32_t remembered[kMiscBoxCount];

// The message of a refused frame, or the frame's prefix and deciphered payload.
std::string outcome(FrameBuilder build, PageWindow page) {
    CommandFrame frame;
    memset(&frame, 0x55, sizeof frame);  // a frame from an earlier press
    frame.length = 99;
    headless_messages_clear();
    if (build(page, &frame) != 0) {
        EXPECT_EQ(frame.length, 0);
        EXPECT_EQ(frame.bytes[0], 0);
        const Texts shown = messages();
        return shown.size() == 1 ? shown[0] : "(" + std::to_string(shown.size()) + " messages)";
    }
    EXPECT_TRUE(messages().empty());
    rc4_crypt(frame.bytes + 2, kModelId, frame.length - 2);
    return {reinterpret_cast<const char*>(frame.bytes), static_cast<size_t>(frame.length)};
}

TEST(CommandFrames, TheFirstFailingCheckDecidesTheMessageAndFieldsGoInOrder) {
    const std::string no_name = "Invalid!: Please input Administrator Name.";
    const std::string no_password = "Invalid!: Administrator Password can not be blank.";
    const std::string bad = "Invalid!: Name and Password only accepts A~Z, a~z, 0~9.";
    const std::string name(kAdminNameMax, 'N');
    const std::string pw(kAdminPasswordMax, '7');
    struct Case {
        Texts fields;
        std::string expected;
    };
    // Admin: old name, Change ("x" ticks it), new name, old, new and confirmed password.
    const Case admin_cases[] = {
        {{"", "", "", "", "", ""}, no_name},
        {{"admin", "x", "", "", "", ""}, "Invalid!: Administrator Name can not be blank."},
        {{"admin", "", "", "", "b2", "b2"}, no_password},
        {{"admin", "", "", "a1", "", ""}, no_password},
        {{"admin", "", "", "a1", "secret", "Secret"},
         "Invalid!: Incorrect Administrator Password."},
        {{"ad min", "", "", "a1", "b2", "b2"}, bad},
        {{"admin", "x", "new_name", "a1", "b2", "b2"}, bad},
        {{"admin", "", "", "a;1", "b2", "b2"}, bad},
        {{"admin", "", "", "a1", "b\xE9", "b\xE9"}, bad},
        // Without Change the old name goes twice, whatever the new name's edit holds.
        {{"admin", "", "bad name!", "old1", "New2", "New2"},
         "@ admin;!sep!;admin;!sep!;old1;!sep!;New2"},
        {{"admin", "x", "Boss7", "old1", "New2", "New2"},
         "@ admin;!sep!;Boss7;!sep!;old1;!sep!;New2"},
        {{name, "x", name, pw, pw, pw},
         "@ " + name + ";!sep!;" + name + ";!sep!;" + pw + ";!sep!;" + pw},
    };
    // Misc.: name, password and the four boxes' selections; the texts go as typed.
    const Case misc_cases[] = {
        {{"", "", "0", "0", "0", "1"}, no_name},
        {{"admin", "", "0", "0", "0", "1"}, no_password},
        {{"admin", "secret", "8", "2", "1", "0"}, "# admin;!sep!;secret;!sep!;8210"},
        {{"my admin;!sep!;x", "p w!#", "0", "0", "0", "1"},
         "# my admin;!sep!;x;!sep!;p w!#;!sep!;0001"},
    };
    const int admin_ids[] = {IDC_ADMIN_OLD_NAME,     IDC_ADMIN_CHANGE,       IDC_ADMIN_NEW_NAME,
                             IDC_ADMIN_OLD_PASSWORD, IDC_ADMIN_NEW_PASSWORD, IDC_ADMIN_CONFIRM};
    const PageWindow page = headless_page_create();
    for (const auto& c : admin_cases) {
        for (size_t i = 0; i < c.fields.size(); ++i) {
            ui_set_text(page, admin_ids[i], c.fields[i].c_str());
        }
        ui_set_check(page, IDC_ADMIN_CHANGE, c.fields[1] == "x");
        EXPECT_EQ(outcome(build_admin_frame, page), c.expected);
    }
    init_misc_boxes(page, remembered);
    const FrameBuilder build_misc = [](PageWindow p, CommandFrame* f) {
        return build_misc_frame(p, f, remembered);
    };
    for (const auto& c : misc_cases) {
        ui_set_text(page, IDC_MISC_NAME, c.fields[0].c_str());
        ui_set_text(page, IDC_MISC_PASSWORD, c.fields[1].c_str());
        for (int b = 0; b < kMiscBoxCount; ++b) {
            ui_combo_select(page, kMiscBoxes[b].id, std::stoi(c.fields[2 + b]));
        }
        EXPECT_EQ(outcome(build_misc, page), c.expected);
    }
    headless_page_destroy(page);
}

TEST_F(PageTest, AdminChangeUnlocksTheNewNameAndNothingIsSentWithoutATarget) {
    const PageWindow page = open(admin_page_init, admin_page_activate, {"10.0.0.1 --- OK"});
    for (int change : {1, 0}) {
        ui_set_check(page, IDC_ADMIN_CHANGE, change);
        dispatch_command(admin_page_command, page, IDC_ADMIN_CHANGE, 0);
        EXPECT_EQ(headless_is_read_only(page, IDC_ADMIN_NEW_NAME), !change);
    }
    dispatch_command(admin_page_command, page, IDC_ADMIN_UPGRADE, 0);
    EXPECT_EQ(messages(), Texts{"Warning!: Please select a target device."});
    dispatch_command(admin_page_command, page, IDC_ADMIN_UPGRADE_ALL, 0);
    EXPECT_EQ(messages(), Texts{"Invalid!: Please input Administrator Name."});
    EXPECT_EQ(ui_busy.load(), 0);
    EXPECT_EQ(headless_is_enabled(page, IDC_ADMIN_UPGRADE), 1);
}

TEST_F(PageTest, MiscSelectionsComeBackToTheLastFrameBuilt) {
    const PageWindow page = open(misc_page_init, misc_page_activate, {});
    EXPECT_EQ(ui_combo_selection(page, IDC_MISC_RADIO), 1);
    ui_set_text(page, IDC_MISC_NAME, "admin");
    for (const char* password : {"", "secret"}) {  // refused, then built for an empty list
        ui_set_text(page, IDC_MISC_PASSWORD, password);
        ui_combo_select(page, IDC_MISC_RINGER, 8);
        dispatch_command(misc_page_command, page, IDC_MISC_UPGRADE_ALL, 0);
        misc_page_activate(page);
        EXPECT_EQ(ui_combo_selection(page, IDC_MISC_RINGER), password[0] ? 8 : 0);
    }
    EXPECT_EQ(messages(), Texts{"Invalid!: Administrator Password can not be blank."});
    EXPECT_EQ(ui_busy.load(), 0);
}

TEST_F(PageTest, BannerSlotIsRememberedOnlyWhenAnUploadGetsPastTheCheck) {
    const PageWindow page = open(banner_page_init, banner_page_activate, {"10.0.0.1", "10.0.0.2"});
    auto upload = [&](int slot, const std::string& file, int id) {
        ui_set_text(page, IDC_BANNER_PATH, write_file("banner.bmp", file).c_str());
        ui_combo_select(page, IDC_BANNER_SLOT, slot);
        dispatch_command(banner_page_command, page, id, 0);
        banner_page_activate(page);
        return ui_combo_selection(page, IDC_BANNER_SLOT);
    };
    EXPECT_EQ(ui_combo_count(page, IDC_BANNER_SLOT), 6);
    ui_list_select(page, IDC_BANNER_LIST, 1);
    EXPECT_EQ(upload(3, bitmap(), IDC_BANNER_UPLOAD), 3);
    ASSERT_EQ(recorded_jobs.size(), 1u);
    EXPECT_EQ(recorded_jobs[0].names, "10.0.0.2 " + testing::TempDir() + "banner.bmp 4.bmp");
    finish_job(1);
    EXPECT_EQ(messages(), Texts{"Upload: Upgrade 10.0.0.2 OK!\n"});
    EXPECT_EQ(upload(5, bitmap(28, 24), IDC_BANNER_UPLOAD_ALL), 3);  // refused: the slot stays
    EXPECT_EQ(messages(), Texts{"Error Format!: Only support monochrome, uncompressed bitmap "
                                "file.\n\tWidth = 128, Height = 64."});
    EXPECT_EQ(upload(1, bitmap(), IDC_BANNER_UPLOAD_ALL), 1);  // no device, but past the check
    EXPECT_EQ(messages(), Texts{"Upload to All: no file be uploaded!"});
    EXPECT_EQ(recorded_jobs.size(), 1u);
    EXPECT_STREQ(banner_remote_name(), "2.bmp");
}

}  // namespace
