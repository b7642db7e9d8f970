// pages_test.cpp: the Banner, Admin, Misc. and I/R List pages end to end on the test LAN.
#include <windows.h>
// windows.h first: the others build on it.
#include <commctrl.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "resource.h"
#include "sheet_driver.h"

namespace {

using Texts = std::vector<std::string>;

enum PageIndex { kMp3 = 0, kBanner = 1, kAdmin = 2, kIrList = 3, kMisc = 4 };

std::string work_folder() {
    char temp[MAX_PATH] = "";
    GetTempPathA(sizeof temp, temp);
    const std::string path = std::string(temp) + "kvx_ui_pages";
    CreateDirectoryA(path.c_str(), nullptr);
    return path;
}

bool file_exists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// The value of key in the phone's settings file.
std::string setting(const std::string& phone, const std::string& key) {
    const std::string text = read_file(phone_file(phone, "settings.txt"));
    const size_t at = text.find("\n" + key + "=");
    if (at == std::string::npos) {
        return "";
    }
    const size_t start = at + key.size() + 2;
    return text.substr(start, text.find('\n', start) - start);
}

// A 128 x 64 bitmap with 1 or 24 bits per pixel and a picture in it.
std::string banner_bitmap(int bits_per_pixel) {
    const int row = ((128 * bits_per_pixel + 31) / 32) * 4;
    const int palette = bits_per_pixel == 1 ? 8 : 0;
    std::string bmp(static_cast<size_t>(54 + palette + row * 64), '\0');
    auto put = [&bmp](size_t at, uint32_t value, int bytes) {
        for (int i = 0; i < bytes; ++i) {
            bmp[at + static_cast<size_t>(i)] = static_cast<char>(value >> (8 * i));
        }
    };
    bmp[0] = 'B';
    bmp[1] = 'M';
    put(2, static_cast<uint32_t>(bmp.size()), 4);
    put(10, static_cast<uint32_t>(54 + palette), 4);
    put(14, 40, 4);
    put(18, 128, 4);
    put(22, 64, 4);
    put(26, 1, 2);
    put(28, static_cast<uint32_t>(bits_per_pixel), 2);
    for (size_t i = 54 + static_cast<size_t>(palette); i < bmp.size(); ++i) {
        bmp[i] = static_cast<char>(i * 37);  // 0x0D, 0x0A and 0x1A bytes among them
    }
    return bmp;
}

struct Pages : testing::Test {
    SheetDriver app;

    void SetUp() override {
        ASSERT_GE(lan_phones().size(), 4u) << "run on the test LAN";
        ASSERT_TRUE(app.start(work_folder()));
        ASSERT_EQ(app.wait_list(app.show_page(kMp3), IDC_MP3_LIST, 4, 10000).size(), 4u);
    }
    int index_of(HWND page, int list_id, const std::string& phone) {
        const Texts entries = app.list(page, list_id);
        for (size_t i = 0; i < entries.size(); ++i) {
            if (entries[i].rfind(phone, 0) == 0) {
                return static_cast<int>(i);
            }
        }
        return -1;
    }
    void select_phone(HWND page, int list_id, const std::string& phone) {
        app.select_entry(page, list_id, index_of(page, list_id, phone));
    }
    // Waits until the phone's entry carries a result; the entry.
    std::string wait_result(HWND page, int list_id, const std::string& phone) {
        for (int waited = 0; waited < 10000; waited += 100) {
            for (const std::string& entry : app.list(page, list_id)) {
                if (entry.rfind(phone + " --- ", 0) == 0) {
                    return entry;
                }
            }
            settle(100);
        }
        return "(no reply)";
    }
    MessageBoxSeen message(int ms = 30000) {
        MessageBoxSeen seen;
        EXPECT_TRUE(app.take_message(&seen, ms));
        return seen;
    }
};

TEST_F(Pages, BannerGoesIntoTheChosenSlotAndTheSlotIsRemembered) {
    const std::string bitmap = banner_bitmap(1);
    const std::string path = work_folder() + "\\banner.bmp";
    write_file(path, bitmap);
    HWND banner = app.show_page(kBanner);
    app.select_choice(banner, IDC_BANNER_SLOT, 3);
    select_phone(banner, IDC_BANNER_LIST, "192.168.77.10");
    app.set_text(banner, IDC_BANNER_PATH, path);
    app.press(banner, IDC_BANNER_UPLOAD);
    const MessageBoxSeen done = message();
    EXPECT_EQ(done.text, "Upgrade 192.168.77.10 OK!\n");
    EXPECT_EQ(read_file(phone_file("192.168.77.10", "files/4.bmp")), bitmap);
    app.show_page(kAdmin);
    banner = app.show_page(kBanner);
    EXPECT_EQ(SendMessageA(app.control(banner, IDC_BANNER_SLOT), CB_GETCURSEL, 0, 0), 3);

    write_file(path, banner_bitmap(24));
    ASSERT_TRUE(app.wait_enabled(app.control(banner, IDC_BANNER_UPLOAD), true, 10000));
    app.wait_list(banner, IDC_BANNER_LIST, 4, 10000);
    select_phone(banner, IDC_BANNER_LIST, "192.168.77.10");
    app.press(banner, IDC_BANNER_UPLOAD);
    const MessageBoxSeen refused = message();
    EXPECT_EQ(refused.caption, "Error Format!");
    EXPECT_EQ(refused.text,
              "Only support monochrome, uncompressed bitmap file.\n\tWidth = 128, Height = 64.");
}

TEST_F(Pages, AdminChangesTheAccountOnlyWithTheRightCredentials) {
    const HWND admin = app.show_page(kAdmin);
    app.set_text(admin, IDC_ADMIN_OLD_NAME, "admin");
    app.set_text(admin, IDC_ADMIN_OLD_PASSWORD, "admin");
    app.set_text(admin, IDC_ADMIN_NEW_PASSWORD, "secret1");
    app.set_text(admin, IDC_ADMIN_CONFIRM, "secret1");
    select_phone(admin, IDC_ADMIN_LIST, "192.168.77.11");
    app.press(admin, IDC_ADMIN_UPGRADE);
    EXPECT_EQ(wait_result(admin, IDC_ADMIN_LIST, "192.168.77.11"), "192.168.77.11 --- OK");
    EXPECT_EQ(setting("192.168.77.11", "admin_password"), "secret1");

    app.set_text(admin, IDC_ADMIN_OLD_PASSWORD, "wrong");
    select_phone(admin, IDC_ADMIN_LIST, "192.168.77.10");
    app.press(admin, IDC_ADMIN_UPGRADE);
    EXPECT_EQ(wait_result(admin, IDC_ADMIN_LIST, "192.168.77.10"), "192.168.77.10 --- DENIED");
    EXPECT_EQ(setting("192.168.77.10", "admin_password"), "admin");

    // To every phone: the one whose password changed refuses the old one.
    app.show_page(kMp3);
    const HWND again = app.show_page(kAdmin);  // bare addresses again
    app.set_text(again, IDC_ADMIN_OLD_PASSWORD, "admin");
    app.set_text(again, IDC_ADMIN_NEW_PASSWORD, "admin");
    app.set_text(again, IDC_ADMIN_CONFIRM, "admin");
    app.press(again, IDC_ADMIN_UPGRADE_ALL);
    EXPECT_EQ(wait_result(again, IDC_ADMIN_LIST, "192.168.77.10"), "192.168.77.10 --- OK");
    EXPECT_EQ(wait_result(again, IDC_ADMIN_LIST, "192.168.77.11"), "192.168.77.11 --- DENIED");
    EXPECT_EQ(wait_result(again, IDC_ADMIN_LIST, "192.168.77.12"), "192.168.77.12 --- OK");
    EXPECT_EQ(wait_result(again, IDC_ADMIN_LIST, "192.168.77.13"), "192.168.77.13 --- OK");
}

TEST_F(Pages, MiscSettingsArriveAsTheChosenIndicesAndTheBoxesRememberThem) {
    HWND misc = app.show_page(kMisc);
    app.set_text(misc, IDC_MISC_NAME, "admin");
    app.set_text(misc, IDC_MISC_PASSWORD, "admin");
    app.select_choice(misc, IDC_MISC_RINGER, 8);
    app.select_choice(misc, IDC_MISC_HOLD_TONE, 2);
    app.select_choice(misc, IDC_MISC_BANNER, 1);
    app.select_choice(misc, IDC_MISC_RADIO, 0);
    select_phone(misc, IDC_MISC_LIST, "192.168.77.10");
    app.press(misc, IDC_MISC_UPGRADE);
    EXPECT_EQ(wait_result(misc, IDC_MISC_LIST, "192.168.77.10"), "192.168.77.10 --- OK");
    EXPECT_EQ(setting("192.168.77.10", "ringer_type"), "8");
    EXPECT_EQ(setting("192.168.77.10", "hold_tone"), "2");
    EXPECT_EQ(setting("192.168.77.10", "banner"), "1");
    EXPECT_EQ(setting("192.168.77.10", "internet_radio"), "0");

    app.select_choice(misc, IDC_MISC_RINGER, 3);  // not sent
    app.show_page(kBanner);
    misc = app.show_page(kMisc);
    EXPECT_EQ(SendMessageA(app.control(misc, IDC_MISC_RINGER), CB_GETCURSEL, 0, 0), 8);
    EXPECT_EQ(SendMessageA(app.control(misc, IDC_MISC_HOLD_TONE), CB_GETCURSEL, 0, 0), 2);
    EXPECT_EQ(SendMessageA(app.control(misc, IDC_MISC_BANNER), CB_GETCURSEL, 0, 0), 1);
    EXPECT_EQ(SendMessageA(app.control(misc, IDC_MISC_RADIO), CB_GETCURSEL, 0, 0), 0);
}

TEST_F(Pages, StationListRoundTripsThroughEveryPhone) {
    HWND ir = app.show_page(kIrList);
    select_phone(ir, IDC_IR_LIST, "192.168.77.10");
    app.press(ir, IDC_IR_DOWNLOAD);
    EXPECT_EQ(message().text, "Receive from 192.168.77.10 OK!\n");
    ASSERT_TRUE(app.wait_enabled(app.control(ir, IDC_IR_UPLOAD), true, 10000));
    EXPECT_EQ(app.text(app.control(ir, IDC_IR_NAME)), "Sim Radio One");
    EXPECT_EQ(app.text(app.control(ir, IDC_IR_URL)), "http://radio.example.com/one");

    // Station 1 renamed, station 2 emptied, station 3 added: 3 moves up to 2 on upload.
    app.set_text(ir, IDC_IR_NAME, "  Jazz  ");
    app.select_choice(ir, IDC_IR_STATION, 1);
    app.set_text(ir, IDC_IR_NAME, "");
    app.select_choice(ir, IDC_IR_STATION, 2);
    app.set_text(ir, IDC_IR_NAME, "News");
    app.set_text(ir, IDC_IR_URL, "http://news.example/live?x=1");
    app.press(ir, IDC_IR_UPLOAD_ALL);  // .12 never answers: FAIL after its time-out
    const MessageBoxSeen all = message(90000);
    EXPECT_EQ(all.text, "Upload to All Complete!");
    EXPECT_EQ(app.list(ir, IDC_IR_LIST), (Texts{"192.168.77.10 --- OK", "192.168.77.11 --- OK",
                                                "192.168.77.12 --- FAIL", "192.168.77.13 --- OK"}));
    for (const char* phone : {"192.168.77.10", "192.168.77.11", "192.168.77.13"}) {
        const std::string list = read_file(phone_file(phone, "stations.cfg"));
        EXPECT_NE(list.find("DefaultStation=99\r\n"), std::string::npos) << phone;
        EXPECT_NE(list.find("Name1=Jazz\r\n"), std::string::npos) << phone;
        EXPECT_NE(list.find("Name2=News\r\nURL2=http://news.example/live?x=1\r\n"),
                  std::string::npos)
            << phone;
        EXPECT_NE(list.find("Name3=\r\nURL3=\r\n"), std::string::npos) << phone;
    }
    EXPECT_FALSE(file_exists(work_folder() + "\\tmp.cfg"));
    ASSERT_TRUE(app.wait_enabled(app.control(ir, IDC_IR_UPLOAD), true, 10000));

    // Read back from another phone, whatever station was shown before: station 1.
    app.show_page(kMp3);
    ir = app.show_page(kIrList);
    select_phone(ir, IDC_IR_LIST, "192.168.77.11");
    app.press(ir, IDC_IR_DOWNLOAD);
    EXPECT_EQ(message().text, "Receive from 192.168.77.11 OK!\n");
    ASSERT_TRUE(app.wait_enabled(app.control(ir, IDC_IR_UPLOAD), true, 10000));
    EXPECT_EQ(SendMessageA(app.control(ir, IDC_IR_STATION), CB_GETCURSEL, 0, 0), 0);
    EXPECT_EQ(app.text(app.control(ir, IDC_IR_NAME)), "Jazz");
    EXPECT_TRUE(app.screenshot(screenshot_path("irlist-downloaded")));
    EXPECT_FALSE(file_exists(work_folder() + "\\tmp.cfg"));
}

TEST_F(Pages, DownloadFromASilentPhoneFailsAfterItsTimeOut) {
    HWND ir = app.show_page(kIrList);
    select_phone(ir, IDC_IR_LIST, "192.168.77.12");
    const DWORD start = GetTickCount();
    app.press(ir, IDC_IR_DOWNLOAD);
    EXPECT_EQ(message(30000).text, "Receive from 192.168.77.12 FAIL!\n");
    ASSERT_TRUE(app.wait_enabled(app.control(ir, IDC_IR_UPLOAD), true, 10000));
    printf("silent phone reported after %lu ms\n",
           static_cast<unsigned long>(GetTickCount() - start));
    EXPECT_EQ(app.text(app.control(ir, IDC_IR_NAME)), "");
    EXPECT_FALSE(file_exists(work_folder() + "\\tmp.cfg"));
}

}  // namespace
