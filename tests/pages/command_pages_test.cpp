// command_pages_test.cpp: the Banner page's slot memory and the Admin and Misc. pages' flows.
#include <cstdint>
#include <vector>

#include "page_common.h"
#include "page_fixture.h"
#include "pages.h"
#include "resource.h"

namespace {

// A 128 x 64 monochrome bitmap header: all the banner check reads.
void write_banner(const std::string& path, int bits_per_pixel) {
    std::vector<unsigned char> bmp(62, 0);
    bmp[0] = 'B';
    bmp[1] = 'M';
    bmp[18] = 128;
    bmp[22] = 64;
    bmp[26] = 1;
    bmp[28] = static_cast<unsigned char>(bits_per_pixel);
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bmp.data()), static_cast<std::streamsize>(bmp.size()));
}

struct BannerPage : PageTest {
    PageWindow page = nullptr;
    void SetUp() override {
        PageTest::SetUp();
        page = headless_page_create();
        banner_page_init(page);
        fill_master({"10.0.0.1", "10.0.0.2"});
        banner_page_activate(page);
    }
    void TearDown() override {
        headless_page_destroy(page);
        PageTest::TearDown();
    }
    void press(int id) {
        dispatch_command(banner_page_command, page, id, 0);
    }
};

TEST_F(BannerPage, SlotIsRememberedOnlyWhenAnUploadGetsPastTheCheck) {
    EXPECT_EQ(ui_combo_count(page, IDC_BANNER_SLOT), 6);
    EXPECT_EQ(ui_combo_selection(page, IDC_BANNER_SLOT), 0);
    EXPECT_EQ(entries(page, IDC_BANNER_LIST), (Texts{"10.0.0.1", "10.0.0.2"}));

    write_banner(path("banner.bmp"), 1);
    ui_set_text(page, IDC_BANNER_PATH, path("banner.bmp").c_str());
    ui_list_select(page, IDC_BANNER_LIST, 1);
    ui_combo_select(page, IDC_BANNER_SLOT, 3);
    press(IDC_BANNER_UPLOAD);
    ASSERT_EQ(recorded_job_count(), 1);
    EXPECT_EQ(recorded_job(0).second_name, "4.bmp");
    EXPECT_EQ(recorded_job(0).device, "10.0.0.2");
    finish_job(1);
    EXPECT_EQ(messages(), Texts{"Upload: Upgrade 10.0.0.2 OK!\n"});

    ui_combo_select(page, IDC_BANNER_SLOT, 4);  // chosen, but never uploaded
    banner_page_activate(page);
    EXPECT_EQ(ui_combo_selection(page, IDC_BANNER_SLOT), 3);

    // A refused bitmap keeps the slot and says why.
    headless_messages_clear();
    write_banner(path("banner.bmp"), 24);
    fill_master({"10.0.0.1"});
    banner_page_activate(page);
    ui_list_select(page, IDC_BANNER_LIST, 0);
    ui_combo_select(page, IDC_BANNER_SLOT, 5);
    press(IDC_BANNER_UPLOAD_ALL);
    EXPECT_EQ(messages(), Texts{"Error Format!: Only support monochrome, uncompressed bitmap "
                                "file.\n\tWidth = 128, Height = 64."});
    EXPECT_EQ(recorded_job_count(), 1);
    banner_page_activate(page);
    EXPECT_EQ(ui_combo_selection(page, IDC_BANNER_SLOT), 3);
    EXPECT_STREQ(banner_remote_name(), "4.bmp");
}

TEST_F(BannerPage, UploadToAllWithNoDeviceStillStoresTheSlot) {
    ui_list_clear(page, IDC_BANNER_LIST);
    write_banner(path("banner.bmp"), 1);
    ui_set_text(page, IDC_BANNER_PATH, path("banner.bmp").c_str());
    ui_combo_select(page, IDC_BANNER_SLOT, 1);
    press(IDC_BANNER_UPLOAD_ALL);
    EXPECT_EQ(messages(), Texts{"Upload to All: no file be uploaded!"});
    banner_page_activate(page);
    EXPECT_EQ(ui_combo_selection(page, IDC_BANNER_SLOT), 1);
    EXPECT_STREQ(banner_remote_name(), "2.bmp");
}

struct AdminPage : PageTest {
    PageWindow page = nullptr;
    void SetUp() override {
        PageTest::SetUp();
        page = headless_page_create();
        admin_page_init(page);
        fill_master({"10.0.0.1 --- OK"});
        admin_page_activate(page);
    }
    void TearDown() override {
        headless_page_destroy(page);
        PageTest::TearDown();
    }
};

TEST_F(AdminPage, MirrorsBareAddressesAndChangeUnlocksTheNewName) {
    EXPECT_EQ(entries(page, IDC_ADMIN_LIST), Texts{"10.0.0.1"});
    EXPECT_EQ(headless_is_read_only(page, IDC_ADMIN_NEW_NAME), 1);
    ui_set_check(page, IDC_ADMIN_CHANGE, 1);
    dispatch_command(admin_page_command, page, IDC_ADMIN_CHANGE, 0);
    EXPECT_EQ(headless_is_read_only(page, IDC_ADMIN_NEW_NAME), 0);
    ui_set_check(page, IDC_ADMIN_CHANGE, 0);
    dispatch_command(admin_page_command, page, IDC_ADMIN_CHANGE, 0);
    EXPECT_EQ(headless_is_read_only(page, IDC_ADMIN_NEW_NAME), 1);
}

TEST_F(AdminPage, UpgradeWithoutASelectionWarnsBeforeValidating) {
    dispatch_command(admin_page_command, page, IDC_ADMIN_UPGRADE, 0);
    EXPECT_EQ(messages(), Texts{"Warning!: Please select a target device."});
    headless_messages_clear();
    dispatch_command(admin_page_command, page, IDC_ADMIN_UPGRADE_ALL, 0);
    EXPECT_EQ(messages(), Texts{"Invalid!: Please input Administrator Name."});
    EXPECT_EQ(ui_busy.load(), 0);
    EXPECT_TRUE(enabled(page, IDC_ADMIN_UPGRADE));
}

struct MiscPage : PageTest {
    PageWindow page = nullptr;
    void SetUp() override {
        PageTest::SetUp();
        page = headless_page_create();
        misc_page_init(page);
        misc_page_activate(page);
    }
    void TearDown() override {
        headless_page_destroy(page);
        PageTest::TearDown();
    }
    std::vector<int> selections() const {
        std::vector<int> out;
        for (int id : {IDC_MISC_RINGER, IDC_MISC_HOLD_TONE, IDC_MISC_BANNER, IDC_MISC_RADIO}) {
            out.push_back(ui_combo_selection(page, id));
        }
        return out;
    }
};

TEST_F(MiscPage, SelectionsComeBackToTheLastFrameBuilt) {
    EXPECT_EQ(selections(), (std::vector<int>{0, 0, 0, 1}));
    ui_combo_select(page, IDC_MISC_RINGER, 8);
    misc_page_activate(page);  // not sent: forgotten
    EXPECT_EQ(selections(), (std::vector<int>{0, 0, 0, 1}));

    ui_combo_select(page, IDC_MISC_RINGER, 8);
    ui_set_text(page, IDC_MISC_NAME, "admin");
    dispatch_command(misc_page_command, page, IDC_MISC_UPGRADE_ALL, 0);  // empty password
    EXPECT_EQ(messages(), Texts{"Invalid!: Administrator Password can not be blank."});
    misc_page_activate(page);
    EXPECT_EQ(selections(), (std::vector<int>{0, 0, 0, 1}));

    // Built with an empty list: nothing is sent, but the selections are kept.
    ui_combo_select(page, IDC_MISC_RINGER, 8);
    ui_combo_select(page, IDC_MISC_HOLD_TONE, 2);
    ui_combo_select(page, IDC_MISC_RADIO, 0);
    ui_set_text(page, IDC_MISC_PASSWORD, "secret");
    dispatch_command(misc_page_command, page, IDC_MISC_UPGRADE_ALL, 0);
    misc_page_activate(page);
    EXPECT_EQ(selections(), (std::vector<int>{8, 2, 0, 0}));
    EXPECT_EQ(ui_busy.load(), 0);
}

}  // namespace
