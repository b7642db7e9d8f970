// mp3_page_test.cpp: the shared page flows, seen through the MP3 Hold/Ring page.
#include "page_fixture.h"

namespace {

struct Mp3Page : PageTest {
    void press(int id) {
        dispatch_command(mp3_page_command, master, id, 0);
    }
};

TEST_F(Mp3Page, AnEmptyPathOpensThePickerInsteadOfUploading) {
    fill_master({"10.0.0.2"});
    const std::string hold = write_file("hold.mp3", "x");
    ui_list_select(master, IDC_MP3_LIST, 0);
    headless_open_file_answer(hold.c_str());
    press(IDC_MP3_UPLOAD);
    HeadlessFileRequest request;
    ASSERT_EQ(headless_last_file_request(&request), 0);
    EXPECT_EQ(std::string(request.description) + " " + request.pattern, "MP3 File *.mp3");
    EXPECT_EQ(shown_text(master, IDC_MP3_PATH), hold);
    EXPECT_TRUE(recorded_jobs.empty());  // picking a file does not start the upload
    EXPECT_TRUE(messages().empty());
}

// The limits themselves are the file checks'; here the tone chooses the check.
TEST_F(Mp3Page, SingleUploadChecksTheFileForItsToneThenReportsAndRefreshes) {
    const struct {
        int tone;
        const char* file;
        int result;  // 0: no upload
        const char* message;
    } cases[] = {
        {IDC_MP3_HOLD, "tone.mp3", 1, "Upload: Upgrade 192.168.77.2 OK!\n"},
        {IDC_MP3_HOLD, "tone.mp3", -1, "Upload: Upgrade 192.168.77.2 FAIL!\n"},
        {IDC_MP3_RING, "tone.mp3", 0, "Error!: The maximum size of MP3 Ring file is 50 KB."},
        {IDC_MP3_HOLD, "no-such.mp3", 0, nullptr},
    };
    write_file("tone.mp3", std::string(61440, 'x'));
    for (const auto& c : cases) {
        recorded_jobs.clear();
        ui_list_clear(master, IDC_MP3_LIST);
        fill_master({"192.168.77.10", "192.168.77.2"});
        ui_list_select(master, IDC_MP3_LIST, 1);  // sorted: .10 before .2
        press(c.tone);
        ui_set_text(master, IDC_MP3_PATH, (testing::TempDir() + c.file).c_str());
        press(IDC_MP3_UPLOAD);
        if (c.result != 0) {
            ASSERT_EQ(recorded_jobs.size(), 1u);
            EXPECT_EQ(recorded_jobs[0].names,
                      "192.168.77.2 " + testing::TempDir() + c.file + " hold.mp3");
            EXPECT_EQ(ui_busy.load(), 1);
            EXPECT_EQ(headless_is_enabled(master, IDC_MP3_UPLOAD), 0);
            press(IDC_MP3_UPLOAD_ALL);  // ignored while busy
            EXPECT_EQ(recorded_jobs.size(), 1u);
            finish_job(c.result);
            EXPECT_TRUE(entries(master, IDC_MP3_LIST).empty());  // re-discovery empties it
        }
        EXPECT_EQ(recorded_jobs.size(), c.result != 0 ? 1u : 0u);
        EXPECT_EQ(messages(), c.message ? Texts{c.message} : Texts{});
        EXPECT_EQ(ui_busy.load(), 0);
        EXPECT_EQ(headless_is_enabled(master, IDC_MP3_UPLOAD), 1);
    }
}

TEST_F(Mp3Page, UploadToAllAnnotatesEachDeviceInPlaceAndGoesOnAfterAFailure) {
    ui_set_text(master, IDC_MP3_PATH, write_file("hold.mp3", "x").c_str());
    fill_master({"10.0.0.1", "10.0.0.2", "10.0.0.3"});
    press(IDC_MP3_UPLOAD_ALL);
    for (int i = 0; i < 3; ++i) {
        ASSERT_EQ(recorded_jobs.size(), i + 1u);
        EXPECT_EQ(recorded_jobs[i].names.find("10.0.0." + std::to_string(i + 1) + " "), 0u);
        EXPECT_EQ(ui_busy.load(), 1);
        finish_job(i == 1 ? -1 : 1);
    }
    EXPECT_EQ(recorded_jobs.size(), 3u);
    EXPECT_EQ(entries(master, IDC_MP3_LIST),
              (Texts{"10.0.0.1 --- OK", "10.0.0.2 --- FAIL", "10.0.0.3 --- OK"}));
    EXPECT_EQ(messages(), Texts{"Upload to All: Upload to All Complete!"});
    EXPECT_EQ(ui_busy.load(), 0);
    EXPECT_EQ(headless_is_enabled(master, IDC_MP3_UPLOAD_ALL), 1);
}

TEST_F(Mp3Page, ToneSurvivesActivationAndBusyActivationKeepsItsName) {
    press(IDC_MP3_RING);
    mp3_page_activate(master);
    EXPECT_EQ(ui_get_check(master, IDC_MP3_RING), 1);
    EXPECT_EQ(ui_get_check(master, IDC_MP3_HOLD), 0);
    EXPECT_STREQ(mp3_remote_name(), "ring.mp3");
    set_busy();
    mp3_page_activate(master);
    EXPECT_STREQ(mp3_remote_name(), "ring.mp3");
    EXPECT_EQ(headless_is_enabled(master, IDC_MP3_HOLD), 0);
}

}  // namespace
