// mp3_page_test.cpp: the shared page flows, seen through the MP3 Hold/Ring page.
#include "page_common.h"
#include "page_fixture.h"
#include "pages.h"
#include "progress_recorder.h"
#include "resource.h"

namespace {

using Mp3Page = PageTest;

void press(PageWindow page, int id) {
    dispatch_command(mp3_page_command, page, id, 0);
}

TEST_F(Mp3Page, NothingSelectedWarnsAndEmptyPathOpensThePickerInstead) {
    fill_master({"10.0.0.2"});
    write_file("hold.mp3", 10);
    ui_set_text(master, IDC_MP3_PATH, path("hold.mp3").c_str());
    press(master, IDC_MP3_UPLOAD);
    EXPECT_EQ(messages(), Texts{"Warning!: Please select a target device."});
    EXPECT_EQ(recorded_job_count(), 0);

    headless_messages_clear();
    ui_list_select(master, IDC_MP3_LIST, 0);
    ui_set_text(master, IDC_MP3_PATH, "");
    headless_open_file_answer(path("hold.mp3").c_str());
    press(master, IDC_MP3_UPLOAD);
    HeadlessFileRequest request;
    ASSERT_EQ(headless_last_file_request(&request), 0);
    EXPECT_STREQ(request.description, "MP3 File");
    EXPECT_STREQ(request.pattern, "*.mp3");
    char shown[256];
    ui_get_text(master, IDC_MP3_PATH, shown, sizeof shown);
    EXPECT_EQ(shown, path("hold.mp3"));
    EXPECT_EQ(recorded_job_count(), 0);  // picking a file does not start the upload
    EXPECT_TRUE(messages().empty());
}

// The limits themselves are the file checks' own; here the tone chooses the check.
TEST_F(Mp3Page, SizeLimitsFollowTheToneAndAMissingFileDoesNothing) {
    struct {
        int tone;
        size_t size;
        const char* refusal;
    } cases[] = {
        {IDC_MP3_HOLD, 61440, nullptr},
        {IDC_MP3_RING, 61440, "Error!: The maximum size of MP3 Ring file is 50 KB."},
    };
    for (const auto& c : cases) {
        forget_jobs();
        headless_messages_clear();
        fill_master({"10.0.0.2"});  // each upload ends with a re-discovery that empties it
        ui_list_select(master, IDC_MP3_LIST, 0);
        press(master, c.tone);
        write_file("tone.mp3", c.size);
        ui_set_text(master, IDC_MP3_PATH, path("tone.mp3").c_str());
        press(master, IDC_MP3_UPLOAD);
        if (c.refusal) {
            EXPECT_EQ(messages(), Texts{c.refusal});
            EXPECT_EQ(recorded_job_count(), 0);
            EXPECT_EQ(ui_busy.load(), 0);
        } else {
            ASSERT_EQ(recorded_job_count(), 1) << c.size;
            EXPECT_EQ(recorded_job(0).second_name,
                      c.tone == IDC_MP3_HOLD ? "hold.mp3" : "ring.mp3");
            finish_job(1);
        }
    }
    forget_jobs();
    headless_messages_clear();
    fill_master({"10.0.0.2"});
    ui_list_select(master, IDC_MP3_LIST, 0);
    ui_set_text(master, IDC_MP3_PATH, path("no-such.mp3").c_str());
    press(master, IDC_MP3_UPLOAD);
    EXPECT_TRUE(messages().empty());
    EXPECT_EQ(recorded_job_count(), 0);
    EXPECT_EQ(ui_busy.load(), 0);
}

TEST_F(Mp3Page, SingleUploadReportsItsResultThenRefreshes) {
    for (int result : {1, -1}) {
        forget_jobs();
        headless_messages_clear();
        progress_clear_record();
        fill_master({"192.168.77.10", "192.168.77.2"});
        ui_list_select(master, IDC_MP3_LIST, 1);  // sorted: .10 before .2
        write_file("hold.mp3", 1000);
        ui_set_text(master, IDC_MP3_PATH, path("hold.mp3").c_str());
        press(master, IDC_MP3_UPLOAD);
        ASSERT_EQ(recorded_job_count(), 1);
        const RecordedJob job = recorded_job(0);
        EXPECT_EQ(job.device, "192.168.77.2");
        EXPECT_EQ(job.first_name, path("hold.mp3"));
        EXPECT_EQ(job.second_name, "hold.mp3");
        EXPECT_EQ(progress_recorded_page(), master);
        EXPECT_EQ(ui_busy.load(), 1);
        EXPECT_FALSE(enabled(master, IDC_MP3_UPLOAD));
        press(master, IDC_MP3_UPLOAD_ALL);  // ignored while busy
        EXPECT_EQ(recorded_job_count(), 1);

        finish_job(result);
        EXPECT_EQ(messages(), Texts{result == 1 ? "Upload: Upgrade 192.168.77.2 OK!\n"
                                                : "Upload: Upgrade 192.168.77.2 FAIL!\n"});
        EXPECT_EQ(ui_busy.load(), 0);
        EXPECT_TRUE(enabled(master, IDC_MP3_UPLOAD));
        EXPECT_TRUE(entries(master, IDC_MP3_LIST).empty());  // re-discovery empties the list
    }
}

TEST_F(Mp3Page, UploadToAllAnnotatesEachDeviceInPlaceAndGoesOnAfterAFailure) {
    fill_master({"10.0.0.1", "10.0.0.2", "10.0.0.3"});
    write_file("hold.mp3", 1000);
    ui_set_text(master, IDC_MP3_PATH, path("hold.mp3").c_str());
    press(master, IDC_MP3_UPLOAD_ALL);
    const int results[] = {1, -1, 1};
    for (int i = 0; i < 3; ++i) {
        ASSERT_EQ(recorded_job_count(), i + 1);
        EXPECT_EQ(recorded_job(i).device, "10.0.0." + std::to_string(i + 1));
        EXPECT_EQ(ui_busy.load(), 1);
        finish_job(results[i]);
    }
    EXPECT_EQ(recorded_job_count(), 3);
    EXPECT_EQ(entries(master, IDC_MP3_LIST),
              (Texts{"10.0.0.1 --- OK", "10.0.0.2 --- FAIL", "10.0.0.3 --- OK"}));
    EXPECT_EQ(messages(), Texts{"Upload to All: Upload to All Complete!"});
    EXPECT_EQ(ui_busy.load(), 0);
    EXPECT_TRUE(enabled(master, IDC_MP3_UPLOAD_ALL));
}

TEST_F(Mp3Page, UploadToAllWithoutDevicesSaysSoAndStaysUsable) {
    write_file("hold.mp3", 1000);
    ui_set_text(master, IDC_MP3_PATH, path("hold.mp3").c_str());
    press(master, IDC_MP3_UPLOAD_ALL);
    EXPECT_EQ(messages(), Texts{"Upload to All: no file be uploaded!"});
    EXPECT_EQ(recorded_job_count(), 0);
    EXPECT_EQ(ui_busy.load(), 0);
    EXPECT_TRUE(enabled(master, IDC_MP3_UPLOAD_ALL));
}

TEST_F(Mp3Page, ToneSurvivesActivationAndBusyActivationKeepsItsName) {
    press(master, IDC_MP3_RING);
    mp3_page_activate(master);
    EXPECT_EQ(ui_get_check(master, IDC_MP3_RING), 1);
    EXPECT_EQ(ui_get_check(master, IDC_MP3_HOLD), 0);
    EXPECT_STREQ(mp3_remote_name(), "ring.mp3");

    set_busy();
    mp3_page_activate(master);
    EXPECT_STREQ(mp3_remote_name(), "ring.mp3");
    EXPECT_FALSE(enabled(master, IDC_MP3_HOLD));
    EXPECT_FALSE(enabled(master, IDC_MP3_REFRESH));
    clear_busy();
    press(master, IDC_MP3_HOLD);
}

}  // namespace
