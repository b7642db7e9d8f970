// sheet_test.cpp: kvxutil.exe end to end, driven through its windows on the private test LAN
// (phones .10 and .11 behave, .12 never answers a transfer, .13 answers transfers slowly): each
// page's wiring once. The rules behind the pages are the page and check tests'.
#include <windows.h>
// windows.h first: the others build on it.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>

#include "resource.h"
#include "sheet_driver.h"

namespace {

using Texts = std::vector<std::string>;

enum PageIndex { kMp3 = 0, kBanner = 1, kAdmin = 2, kIrList = 3, kMisc = 4 };

std::string folder() {
    char temp[MAX_PATH] = "";
    GetTempPathA(sizeof temp, temp);
    const std::string path = std::string(temp) + "kvx_ui_e2e";
    CreateDirectoryA(path.c_str(), nullptr);
    return path;
}

// A file of the test's folder holding size bytes, head first, 0x0D, 0x0A and 0x1A among them.
std::string write_file(const std::string& name, size_t size, const std::string& head = "") {
    std::string bytes = head;
    for (size_t i = head.size(); i < size; ++i) {
        bytes += static_cast<char>((i * 7919) >> 3);
    }
    std::ofstream(folder() + "\\" + name, std::ios::binary) << bytes;
    return bytes;
}

// A file of a phone's state folder, as the phone keeps it.
std::string phone_file(const std::string& phone, const std::string& name) {
    std::ifstream in("Z:" + std::string(getenv("KVX_LAN_STATE")) + "/" + phone + "/" + name,
                     std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// The value of key in the phone's settings file.
std::string setting(const std::string& phone, const std::string& key) {
    const std::string text = phone_file(phone, "settings.txt");
    const size_t at = text.find("\n" + key + "=");
    const size_t start = at + key.size() + 2;
    return at == std::string::npos ? "" : text.substr(start, text.find('\n', start) - start);
}

struct Sheet : testing::Test {
    SheetDriver app;

    void SetUp() override {
        ASSERT_TRUE(getenv("KVX_LAN_STATE")) << "run on the test LAN with four phones";
        ASSERT_TRUE(app.start(folder()));
        ASSERT_EQ(app.wait_list(app.show_page(kMp3), IDC_MP3_LIST, 4, 10000).size(), 4u);
    }
    // Whether list id comes to hold entry within 10 s.
    bool shows(HWND page, int id, const std::string& entry) {
        return wait_until(
            [&] {
                const Texts now = app.list(page, id);
                return std::find(now.begin(), now.end(), entry) != now.end();
            },
            10000);
    }
    // The next message box, once the page is usable again.
    std::string message(HWND page, int upload_id, int ms = 30000) {
        MessageBoxSeen seen;
        EXPECT_TRUE(app.take_message(&seen, ms));
        EXPECT_TRUE(
            wait_until([&] { return IsWindowEnabled(app.control(page, upload_id)); }, 10000));
        return seen.caption + ": " + seen.text;
    }
};

TEST_F(Sheet, ShowsFiveTabsWithoutSheetButtonsAndFindsEveryPhoneWithItsPort) {
    const Texts titles = {"MP3 Hold/Ring", "Banner", "Admin", "I/R List", "Misc."};
    const char* const names[] = {"mp3", "banner", "admin", "irlist", "misc"};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(app.text(app.show_page(i)), titles[static_cast<size_t>(i)]);
        EXPECT_TRUE(app.screenshot(screenshot_path(names[i])));
    }
    for (int id : {IDOK, IDCANCEL, IDHELP, 0x3021 /* Apply */}) {
        const HWND button = GetDlgItem(app.sheet(), id);
        EXPECT_TRUE(!button || !IsWindowVisible(button)) << id;
    }
    EXPECT_EQ(GetWindowLongA(app.sheet(), GWL_EXSTYLE) & WS_EX_CONTEXTHELP, 0);
    EXPECT_EQ(app.list(app.show_page(kMp3), IDC_MP3_LIST),
              (Texts{"192.168.77.10", "192.168.77.11", "192.168.77.12", "192.168.77.13"}));
    // A second utility finds port 10000 taken by the first: it opens all the same, with no phones.
    SheetDriver second;
    ASSERT_TRUE(second.start(folder()));
    EXPECT_TRUE(second.list(second.show_page(kMp3), IDC_MP3_LIST).empty());
    EXPECT_EQ(second.close(10000), 0);
    EXPECT_EQ(app.close(10000), 0);
}

TEST_F(Sheet, UploadToAllGoesOnAfterAFailureAndABannerGoesIntoItsSlot) {
    const std::string bytes = write_file("ring.mp3", 12000);
    const HWND mp3 = app.show_page(kMp3);
    app.press(mp3, IDC_MP3_RING);
    app.set_text(mp3, IDC_MP3_PATH, folder() + "\\ring.mp3");
    app.press(mp3, IDC_MP3_UPLOAD_ALL);
    settle(500);
    EXPECT_TRUE(app.progress_window_shown());
    EXPECT_FALSE(IsWindowEnabled(app.control(app.show_page(kBanner), IDC_BANNER_UPLOAD)));
    EXPECT_EQ(message(mp3, IDC_MP3_UPLOAD_ALL, 60000), "Upload to All: Upload to All Complete!");
    EXPECT_EQ(app.list(app.show_page(kMp3), IDC_MP3_LIST),
              (Texts{"192.168.77.10 --- OK", "192.168.77.11 --- OK", "192.168.77.12 --- FAIL",
                     "192.168.77.13 --- OK"}));
    EXPECT_EQ(phone_file("192.168.77.13", "files/ring.mp3"), bytes);

    // A 128 x 64 monochrome bitmap, its header then a picture, into the chosen slot.
    const unsigned char header[34] = {'B', 'M', 0, 0, 0, 0,  0, 0, 0, 0, 62, 0, 0, 0, 40, 0, 0,
                                      0,   128, 0, 0, 0, 64, 0, 0, 0, 1, 0,  1, 0, 0, 0,  0, 0};
    const std::string bitmap =
        write_file("banner.bmp", 62 + 16 * 64, std::string(header, header + sizeof header));
    const HWND banner = app.show_page(kBanner);
    app.select_choice(banner, IDC_BANNER_SLOT, 3);
    app.select_entry(banner, IDC_BANNER_LIST, "192.168.77.10");
    app.set_text(banner, IDC_BANNER_PATH, folder() + "\\banner.bmp");
    app.press(banner, IDC_BANNER_UPLOAD);
    EXPECT_EQ(message(banner, IDC_BANNER_UPLOAD), "Upload: Upgrade 192.168.77.10 OK!\n");
    EXPECT_EQ(phone_file("192.168.77.10", "files/4.bmp"), bitmap);
}

TEST_F(Sheet, AdminAndMiscCommandsReachTheirPhonesAndTheAnswersShow) {
    const HWND admin = app.show_page(kAdmin);
    app.set_text(admin, IDC_ADMIN_OLD_NAME, "admin");
    app.set_text(admin, IDC_ADMIN_OLD_PASSWORD, "admin");
    app.set_text(admin, IDC_ADMIN_NEW_PASSWORD, "secret1");
    app.set_text(admin, IDC_ADMIN_CONFIRM, "secret1");
    app.select_entry(admin, IDC_ADMIN_LIST, "192.168.77.11");
    app.press(admin, IDC_ADMIN_UPGRADE);
    EXPECT_TRUE(shows(admin, IDC_ADMIN_LIST, "192.168.77.11 --- OK"));
    EXPECT_EQ(setting("192.168.77.11", "admin_password"), "secret1");

    const HWND misc = app.show_page(kMisc);
    app.set_text(misc, IDC_MISC_NAME, "admin");
    app.set_text(misc, IDC_MISC_PASSWORD, "admin");
    app.select_choice(misc, IDC_MISC_RINGER, 8);
    app.select_choice(misc, IDC_MISC_HOLD_TONE, 2);
    app.select_choice(misc, IDC_MISC_BANNER, 1);
    app.press(misc, IDC_MISC_UPGRADE_ALL);
    EXPECT_TRUE(shows(misc, IDC_MISC_LIST, "192.168.77.10 --- OK"));
    EXPECT_TRUE(shows(misc, IDC_MISC_LIST, "192.168.77.11 --- DENIED"));
    EXPECT_EQ(setting("192.168.77.10", "ringer_type"), "8");
    EXPECT_EQ(setting("192.168.77.10", "hold_tone"), "2");
    EXPECT_EQ(setting("192.168.77.10", "banner"), "1");
}

TEST_F(Sheet, StationListRoundTrips) {
    HWND ir = app.show_page(kIrList);
    app.select_entry(ir, IDC_IR_LIST, "192.168.77.10");
    app.press(ir, IDC_IR_DOWNLOAD);
    EXPECT_EQ(message(ir, IDC_IR_UPLOAD), "Download: Receive from 192.168.77.10 OK!\n");
    EXPECT_EQ(app.text(app.control(ir, IDC_IR_URL)), "http://radio.example.com/one");
    app.set_text(ir, IDC_IR_NAME, "Jazz");
    app.select_choice(ir, IDC_IR_STATION, 1);
    EXPECT_EQ(app.text(app.control(ir, IDC_IR_NAME)), "Sim Radio Two");
    app.set_text(ir, IDC_IR_URL, "http://news.example/live?x=1");
    settle(1000);  // the download ends with a fresh discovery
    ASSERT_EQ(app.wait_list(ir, IDC_IR_LIST, 4, 10000).size(), 4u);
    app.select_entry(ir, IDC_IR_LIST, "192.168.77.11");
    app.press(ir, IDC_IR_UPLOAD);
    EXPECT_EQ(message(ir, IDC_IR_UPLOAD), "Upload: Upgrade 192.168.77.11 OK!\n");
    EXPECT_NE(phone_file("192.168.77.11", "stations.cfg")
                  .find("Name1=Jazz\r\nURL1=http://radio.example.com/one\r\nName2=Sim Radio Two\r\n"
                        "URL2=http://news.example/live?x=1\r\n"),
              std::string::npos);
}

}  // namespace
