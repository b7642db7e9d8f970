// irlist_page_test.cpp: the station editor, the list file it sends and fetches, and tmp.cfg.
#include <filesystem>

#include "page_fixture.h"
#include "station_list.h"

namespace {

namespace fs = std::filesystem;

struct IrListPage : PageTest {
    PageWindow page = nullptr;
    fs::path previous_directory = fs::current_path();
    fs::path work = fs::path(testing::TempDir()) / "irlist";

    IrListPage() {
        fs::remove_all(work);
        fs::create_directories(work);
        fs::current_path(work);
        page = open(irlist_page_init, irlist_page_activate, {"10.0.0.1", "10.0.0.2", "10.0.0.3"});
    }
    ~IrListPage() override {
        fs::current_path(previous_directory);
        fs::remove_all(work);
    }
    void press(int id) {
        dispatch_command(irlist_page_command, page, id, kSelectionChanged);
    }
    void edit(int index, const char* name, const char* url) {
        ui_combo_select(page, IDC_IR_STATION, index);
        press(IDC_IR_STATION);
        ui_set_text(page, IDC_IR_NAME, name);
        ui_set_text(page, IDC_IR_URL, url);
    }
    // Plays the telephone's side of a download: the file arrives, then the worker reports.
    void download_from(int index, const char* file_text, int result) {
        ui_list_select(page, IDC_IR_LIST, index);
        press(IDC_IR_DOWNLOAD);
        ASSERT_TRUE(job_pending);
        EXPECT_EQ(recorded_jobs.back().names,
                  "10.0.0." + std::to_string(index + 1) + " getmp3cfg.### " + kStationListPath);
        if (file_text) {
            std::ofstream(kStationListPath, std::ios::binary) << file_text;
        }
        finish_job(result);
    }
};

TEST_F(IrListPage, UploadSendsTheTrimmedCompactedListWithDefault99AndTheDownloadedVolume) {
    download_from(0, "[Config]\r\nVolume=7\r\nDefaultStation=3\r\nName1=Old\r\nURL1=http://old\r\n",
                  1);
    EXPECT_EQ(messages(), Texts{"Download: Receive from 10.0.0.1 OK!\n"});
    EXPECT_EQ(shown_text(page, IDC_IR_NAME), "Old");
    EXPECT_FALSE(fs::exists(kStationListPath));  // deleted once read

    fill_master({"10.0.0.1", "10.0.0.2"});
    irlist_page_activate(page);
    edit(0, "One", "http://one");
    edit(2, "  Three  ", " http://three ");
    edit(1, "", "http://dropped");
    ui_list_select(page, IDC_IR_LIST, 1);
    press(IDC_IR_UPLOAD);
    ASSERT_EQ(recorded_jobs.size(), 2u);
    EXPECT_EQ(recorded_jobs[1].names, "10.0.0.2 " + std::string(kStationListPath) + " mp3.cfg");
    StationList sent{};
    ASSERT_EQ(station_list_read(&sent, kStationListPath), 1);
    EXPECT_EQ(sent.volume, 7);  // the rest of the file's rules are the station list's
    EXPECT_STREQ(sent.name[1], "Three");
    EXPECT_STREQ(sent.url[1], "http://three");
    finish_job(-1);
    EXPECT_EQ(messages(), Texts{"Upload: Upgrade 10.0.0.2 FAIL!\n"});
    EXPECT_FALSE(fs::exists(kStationListPath));
}

TEST_F(IrListPage, ARefusedOrUnwritableListIsNotSent) {
    edit(0, "Good", "http://good");
    edit(6, "Bad", "HTTP://bad");
    edit(0, "Good", "http://good");
    press(IDC_IR_UPLOAD_ALL);
    EXPECT_EQ(messages(), Texts{"Warning!: I/R only supports http protocol."});
    EXPECT_EQ(ui_combo_selection(page, IDC_IR_STATION), 1);  // its place after compaction
    EXPECT_EQ(shown_text(page, IDC_IR_NAME), "Bad");

    ui_set_text(page, IDC_IR_URL, "http://good");
    fs::create_directories(fs::path(kStationListPath) / "blocker");  // not a file, not removable
    press(IDC_IR_UPLOAD_ALL);
    EXPECT_EQ(messages(), Texts{"Warning!: The station list could not be written to tmp.cfg."});
    EXPECT_TRUE(recorded_jobs.empty());
    EXPECT_EQ(ui_busy.load(), 0);
}

TEST_F(IrListPage, FailedDownloadShowsAnEmptyListEvenWithAFileLeftOver) {
    edit(3, "Mine", "http://mine");
    std::ofstream(kStationListPath) << "Name1=Stale\r\n";  // left over from elsewhere
    download_from(1, nullptr, -1);
    EXPECT_EQ(messages(), Texts{"Download: Receive from 10.0.0.2 FAIL!\n"});
    EXPECT_EQ(ui_combo_selection(page, IDC_IR_STATION), 0);
    EXPECT_EQ(shown_text(page, IDC_IR_NAME), "");
    press(IDC_IR_UPLOAD_ALL);  // station 4 went with the rest
    EXPECT_EQ(messages(), Texts{"Warning!: You can not upload an empty list."});
    EXPECT_FALSE(fs::exists(kStationListPath));
    EXPECT_EQ(ui_busy.load(), 0);
}

TEST_F(IrListPage, UploadToAllSendsOneFileFromThePickersFolderToEveryDeviceThenDeletesIt) {
    const fs::path tones = work / "tones";
    fs::create_directories(tones);
    headless_open_file_answer((tones / "a.mp3").string().c_str());
    dispatch_command(mp3_page_command, master, IDC_MP3_FILE, 0);
    edit(0, "One", "http://one");
    press(IDC_IR_UPLOAD_ALL);
    for (int i = 0; i < 3; ++i) {
        ASSERT_EQ(recorded_jobs.size(), i + 1u);
        EXPECT_TRUE(fs::exists(tones / "tmp.cfg"));
        EXPECT_FALSE(fs::exists(work / "tmp.cfg"));
        finish_job(i == 1 ? -1 : 1);
    }
    EXPECT_FALSE(fs::exists(tones / "tmp.cfg"));
    // No device at all: the file just written goes too.
    headless_messages_clear();
    ui_list_clear(page, IDC_IR_LIST);
    press(IDC_IR_UPLOAD_ALL);
    EXPECT_EQ(messages(), Texts{"Upload to All: no file be uploaded!"});
    EXPECT_FALSE(fs::exists(tones / "tmp.cfg"));
}

}  // namespace
