// sheet_test.cpp: kvxutil.exe end to end, driven through its windows on the private test LAN:
// phones .10 and .11 behave, .12 never answers a transfer, .13 answers transfers slowly.
#include <windows.h>
// windows.h first: the others build on it.
#include <commctrl.h>
#include <gtest/gtest.h>
#include <winsock.h>

#include <string>
#include <vector>

#include "resource.h"
#include "sheet_driver.h"

namespace {

using Texts = std::vector<std::string>;

const char* const kGood = "192.168.77.10";
const char* const kSilent = "192.168.77.12";
const char* const kSlow = "192.168.77.13";

std::string folder() {
    char temp[MAX_PATH] = "";
    GetTempPathA(sizeof temp, temp);
    const std::string path = std::string(temp) + "kvx_ui_e2e";
    CreateDirectoryA(path.c_str(), nullptr);
    return path;
}

std::string tone(size_t size) {
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<char>((i * 7919) >> 3);
    }
    return bytes;
}

struct Sheet : testing::Test {
    SheetDriver app;
    HWND mp3 = nullptr;

    void SetUp() override {
        ASSERT_EQ(lan_phones().size(), 4u) << "run on the test LAN with four phones";
        ASSERT_TRUE(app.start(folder()));
        mp3 = app.show_page(0);
        ASSERT_EQ(app.wait_list(mp3, IDC_MP3_LIST, 4, 10000).size(), 4u);
    }
    // Chooses the phone's entry, the file and uploads it; the message box that follows.
    MessageBoxSeen upload(const std::string& phone, const std::string& path) {
        const Texts entries = app.list(mp3, IDC_MP3_LIST);
        for (size_t i = 0; i < entries.size(); ++i) {
            if (entries[i].rfind(phone, 0) == 0) {
                app.select_entry(mp3, IDC_MP3_LIST, static_cast<int>(i));
            }
        }
        app.set_text(mp3, IDC_MP3_PATH, path);
        app.press(mp3, IDC_MP3_UPLOAD);
        MessageBoxSeen seen;
        EXPECT_TRUE(app.take_message(&seen, 30000));
        // The page is usable again once the completion has run to its end.
        EXPECT_TRUE(app.wait_enabled(app.control(mp3, IDC_MP3_UPLOAD), true, 10000));
        return seen;
    }
};

TEST_F(Sheet, ShowsFiveTabsInOrderWithoutSheetButtonsAndFindsEveryPhone) {
    const Texts titles = {"MP3 Hold/Ring", "Banner", "Admin", "I/R List", "Misc."};
    const char* const names[] = {"mp3", "banner", "admin", "irlist", "misc"};
    const HWND tabs = reinterpret_cast<HWND>(SendMessageA(app.sheet(), PSM_GETTABCONTROL, 0, 0));
    EXPECT_EQ(SendMessageA(tabs, TCM_GETITEMCOUNT, 0, 0), 5);
    for (int i = 0; i < 5; ++i) {
        const HWND page = app.show_page(i);
        EXPECT_EQ(app.text(page), titles[static_cast<size_t>(i)]);
        EXPECT_TRUE(app.screenshot(screenshot_path(names[i])));
    }
    EXPECT_EQ(app.text(app.sheet()), "Norvik KVX-350RT Utility - 1.0");
    for (int id : {IDOK, IDCANCEL, IDHELP, 0x3021 /* Apply */}) {
        const HWND button = GetDlgItem(app.sheet(), id);
        EXPECT_TRUE(!button || !IsWindowVisible(button)) << id;
    }
    EXPECT_EQ(GetWindowLongA(app.sheet(), GWL_EXSTYLE) & WS_EX_CONTEXTHELP, 0);
    const Texts phones = app.list(app.show_page(0), IDC_MP3_LIST);
    EXPECT_EQ(phones, (Texts{"192.168.77.10", "192.168.77.11", "192.168.77.12", "192.168.77.13"}));
    // Other pages mirror the master list.
    EXPECT_EQ(app.list(app.show_page(2), IDC_ADMIN_LIST), phones);
}

TEST_F(Sheet, HoldUploadArrivesWholeAndAFailureSaysFail) {
    const std::string bytes = tone(30000);
    const std::string path = folder() + "\\hold.mp3";
    write_file(path, bytes);
    MessageBoxSeen seen = upload(kGood, path);
    EXPECT_EQ(seen.caption, "Upload");
    EXPECT_EQ(seen.text, "Upgrade 192.168.77.10 OK!\n");
    EXPECT_EQ(read_file(phone_file(kGood, "files/hold.mp3")), bytes);
    // Every single upload ends with a fresh discovery.
    EXPECT_EQ(app.wait_list(mp3, IDC_MP3_LIST, 4, 10000).size(), 4u);

    seen = upload(kSilent, path);  // fails at its time-out
    EXPECT_EQ(seen.caption, "Upload");
    EXPECT_EQ(seen.text, "Upgrade 192.168.77.12 FAIL!\n");
}

TEST_F(Sheet, UploadToAllAnnotatesEveryPhoneAndGoesOnAfterAFailure) {
    const std::string bytes = tone(12000);
    const std::string path = folder() + "\\ring.mp3";
    write_file(path, bytes);
    app.press(mp3, IDC_MP3_RING);
    app.set_text(mp3, IDC_MP3_PATH, path);
    app.press(mp3, IDC_MP3_UPLOAD_ALL);
    MessageBoxSeen seen;
    ASSERT_TRUE(app.take_message(&seen, 60000));
    EXPECT_EQ(seen.caption, "Upload to All");
    EXPECT_EQ(seen.text, "Upload to All Complete!");
    EXPECT_EQ(app.list(mp3, IDC_MP3_LIST),
              (Texts{"192.168.77.10 --- OK", "192.168.77.11 --- OK", "192.168.77.12 --- FAIL",
                     "192.168.77.13 --- OK"}));
    for (const char* phone : {"192.168.77.10", "192.168.77.11", "192.168.77.13"}) {
        EXPECT_EQ(read_file(phone_file(phone, "files/ring.mp3")), bytes) << phone;
    }
    EXPECT_TRUE(app.screenshot(screenshot_path("mp3-after-upload-to-all")));
    // The annotations are the master list's own; another page shows bare addresses.
    EXPECT_EQ(app.list(app.show_page(1), IDC_BANNER_LIST).front(), "192.168.77.10");
}

TEST_F(Sheet, TooLargeAHoldFileIsRefusedWithTheLimit) {
    const std::string path = folder() + "\\big.mp3";
    write_file(path, tone(102401));
    const MessageBoxSeen seen = upload(kGood, path);
    EXPECT_EQ(seen.caption, "Error!");
    EXPECT_EQ(seen.text, "The maximum size of MP3 Hold file is 100 KB.");
    EXPECT_TRUE(IsWindowEnabled(app.control(mp3, IDC_MP3_UPLOAD)));
}

TEST_F(Sheet, PagesKeepTheirActionsDisabledWhileATransferRuns) {
    const std::string path = folder() + "\\slow.mp3";
    write_file(path, tone(20000));
    const Texts entries = app.list(mp3, IDC_MP3_LIST);
    app.select_entry(mp3, IDC_MP3_LIST, 3);
    ASSERT_EQ(entries[3], kSlow);
    app.set_text(mp3, IDC_MP3_PATH, path);
    app.press(mp3, IDC_MP3_UPLOAD);
    settle(500);
    EXPECT_TRUE(app.progress_window_shown());
    const HWND banner = app.show_page(1);
    EXPECT_FALSE(IsWindowEnabled(app.control(banner, IDC_BANNER_UPLOAD)));
    EXPECT_FALSE(IsWindowEnabled(app.control(banner, IDC_BANNER_REFRESH)));
    EXPECT_TRUE(IsWindowEnabled(app.control(banner, IDC_BANNER_LIST)));
    // Back on the busy page: its radio buttons are disabled too, and nothing hangs.
    app.show_page(0);
    EXPECT_FALSE(IsWindowEnabled(app.control(mp3, IDC_MP3_HOLD)));
    MessageBoxSeen seen;
    ASSERT_TRUE(app.take_message(&seen, 60000));
    EXPECT_EQ(seen.text, "Upgrade 192.168.77.13 OK!\n");
    EXPECT_FALSE(app.progress_window_shown());
    EXPECT_TRUE(app.wait_enabled(app.control(mp3, IDC_MP3_UPLOAD), true, 10000));
    EXPECT_TRUE(IsWindowEnabled(app.control(app.show_page(1), IDC_BANNER_UPLOAD)));
}

TEST_F(Sheet, ClosingTheSheetEndsTheProgramWithExitCodeZero) {
    DWORD took = 0;
    EXPECT_EQ(app.close(10000, &took), 0);
    printf("closing took %lu ms\n", static_cast<unsigned long>(took));
}

TEST(SheetWithoutChannel, OpensWhenPort10000IsTakenAndFindsNothing) {
    WSADATA data;
    WSAStartup(MAKEWORD(1, 1), &data);
    const SOCKET holder = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in local = {};
    local.sin_family = AF_INET;
    local.sin_port = htons(10000);
    ASSERT_EQ(bind(holder, reinterpret_cast<sockaddr*>(&local), sizeof local), 0);
    SheetDriver app;
    ASSERT_TRUE(app.start(folder()));
    const HWND mp3 = app.show_page(0);
    settle(2000);
    EXPECT_TRUE(app.list(mp3, IDC_MP3_LIST).empty());
    app.press(mp3, IDC_MP3_REFRESH);
    settle(1000);
    EXPECT_TRUE(app.list(mp3, IDC_MP3_LIST).empty());
    DWORD took = 0;
    EXPECT_EQ(app.close(10000, &took), 0);
    closesocket(holder);
    WSACleanup();
}

}  // namespace
