// irlist_page_test.cpp: the station editor, the station list file it uploads and downloads,
// and what becomes of .\tmp.cfg.
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "page_common.h"
#include "page_fixture.h"
#include "pages.h"
#include "resource.h"
#include "station_list.h"

namespace {

namespace fs = std::filesystem;

struct IrListPage : PageTest {
    PageWindow page = nullptr;
    fs::path previous_directory;
    fs::path work;

    void SetUp() override {
        PageTest::SetUp();
        previous_directory = fs::current_path();
        work = fs::path(folder) / "irlist";
        fs::remove_all(work);
        fs::create_directories(work);
        fs::current_path(work);
        page = headless_page_create();
        irlist_page_init(page);
        fill_master({"10.0.0.1", "10.0.0.2", "10.0.0.3"});
        irlist_page_activate(page);
    }
    void TearDown() override {
        headless_page_destroy(page);
        fs::current_path(previous_directory);
        fs::remove_all(work);
        PageTest::TearDown();
    }
    void press(int id, int notification = 0) {
        dispatch_command(irlist_page_command, page, id, notification);
    }
    void choose_station(int index) {
        ui_combo_select(page, IDC_IR_STATION, index);
        press(IDC_IR_STATION, kSelectionChanged);
    }
    void edit(int index, const char* name, const char* url) {
        choose_station(index);
        ui_set_text(page, IDC_IR_NAME, name);
        ui_set_text(page, IDC_IR_URL, url);
    }
    std::string shown(int id) const {
        char text[300];
        ui_get_text(page, id, text, sizeof text);
        return text;
    }
    // The file as the recorded upload would have sent it.
    StationList uploaded() const {
        StationList list{};
        EXPECT_EQ(station_list_read(&list, kStationListPath), 1);
        return list;
    }
    // Plays the telephone's side of a download: the file arrives, then the worker reports.
    void download_from(int index, const char* file_text, int result) {
        ui_list_select(page, IDC_IR_LIST, index);
        press(IDC_IR_DOWNLOAD);
        ASSERT_TRUE(job_pending());
        const RecordedJob job = recorded_job(recorded_job_count() - 1);
        EXPECT_EQ(job.first_name, "getmp3cfg.###");
        EXPECT_EQ(job.second_name, kStationListPath);
        if (file_text) {
            std::ofstream(job.second_name, std::ios::binary) << file_text;
        }
        finish_job(result);
    }
};

TEST_F(IrListPage, ChangingStationStoresTheTrimmedEditsFirst) {
    EXPECT_EQ(ui_combo_count(page, IDC_IR_STATION), 20);
    edit(4, "  abc  ", " http://x ");
    choose_station(5);
    EXPECT_EQ(shown(IDC_IR_NAME), "");
    choose_station(4);
    EXPECT_EQ(shown(IDC_IR_NAME), "abc");
    EXPECT_EQ(shown(IDC_IR_URL), "http://x");
}

TEST_F(IrListPage, UploadSendsTheCompactedListWithDefaultStation99AndTheDownloadedVolume) {
    download_from(0, "[Config]\r\nVolume=7\r\nDefaultStation=3\r\nName1=Old\r\nURL1=http://old\r\n",
                  1);
    EXPECT_EQ(messages(), Texts{"Download: Receive from 10.0.0.1 OK!\n"});
    EXPECT_EQ(shown(IDC_IR_NAME), "Old");
    EXPECT_FALSE(fs::exists(kStationListPath));  // deleted once read
    headless_messages_clear();

    fill_master({"10.0.0.1", "10.0.0.2"});
    irlist_page_activate(page);
    edit(0, "One", "http://one");
    edit(2, "Three", "http://three");
    edit(1, "", "http://dropped");
    ui_list_select(page, IDC_IR_LIST, 1);
    press(IDC_IR_UPLOAD);
    ASSERT_EQ(recorded_job_count(), 2);
    const RecordedJob job = recorded_job(1);
    EXPECT_EQ(job.device, "10.0.0.2");
    EXPECT_EQ(job.first_name, kStationListPath);
    EXPECT_EQ(job.second_name, "mp3.cfg");
    const StationList sent = uploaded();
    EXPECT_EQ(sent.volume, 7);
    EXPECT_EQ(sent.default_station, 99);
    EXPECT_STREQ(sent.name[1], "Three");
    EXPECT_STREQ(sent.url[1], "http://three");
    EXPECT_STREQ(sent.name[2], "");
    EXPECT_STREQ(sent.url[2], "");
    finish_job(-1);
    EXPECT_EQ(messages(), Texts{"Upload: Upgrade 10.0.0.2 FAIL!\n"});
    EXPECT_FALSE(fs::exists(kStationListPath));
}

TEST_F(IrListPage, ARefusedListShowsTheOffendingStation) {
    edit(0, "Good", "http://good");
    edit(6, "Bad", "HTTP://bad");
    choose_station(0);
    press(IDC_IR_UPLOAD_ALL);
    EXPECT_EQ(messages(), Texts{"Warning!: I/R only supports http protocol."});
    EXPECT_EQ(ui_combo_selection(page, IDC_IR_STATION), 1);  // its place after compaction
    EXPECT_EQ(shown(IDC_IR_NAME), "Bad");
    EXPECT_EQ(recorded_job_count(), 0);
    EXPECT_FALSE(fs::exists(kStationListPath));
}

TEST_F(IrListPage, FailedDownloadShowsAnEmptyListEvenWithAFileLeftOver) {
    edit(3, "Mine", "http://mine");
    std::ofstream(kStationListPath) << "Name1=Stale\r\n";  // left over from elsewhere
    download_from(1, nullptr, -1);
    EXPECT_EQ(messages(), Texts{"Download: Receive from 10.0.0.2 FAIL!\n"});
    EXPECT_EQ(ui_combo_selection(page, IDC_IR_STATION), 0);
    EXPECT_EQ(shown(IDC_IR_NAME), "");
    choose_station(3);
    EXPECT_EQ(shown(IDC_IR_NAME), "");
    EXPECT_FALSE(fs::exists(kStationListPath));
    EXPECT_EQ(ui_busy.load(), 0);
    EXPECT_TRUE(entries(page, IDC_IR_LIST).empty());  // re-discovery
}

TEST_F(IrListPage, UploadToAllSendsOneFileToEveryDeviceThenDeletesIt) {
    edit(0, "One", "http://one");
    press(IDC_IR_UPLOAD_ALL);
    for (int i = 0; i < 3; ++i) {
        ASSERT_EQ(recorded_job_count(), i + 1);
        EXPECT_EQ(uploaded().default_station, 99);
        finish_job(i == 1 ? -1 : 1);
    }
    EXPECT_FALSE(fs::exists(kStationListPath));

    // No device at all: the file just written goes too.
    headless_messages_clear();
    ui_list_clear(page, IDC_IR_LIST);
    press(IDC_IR_UPLOAD_ALL);
    EXPECT_EQ(messages(), Texts{"Upload to All: no file be uploaded!"});
    EXPECT_FALSE(fs::exists(kStationListPath));
}

TEST_F(IrListPage, AnUnwritableStationFileStopsTheUploadWithAWarning) {
    fs::create_directories(fs::path(kStationListPath) / "blocker");  // not a file, not removable
    edit(0, "One", "http://one");
    ui_list_select(page, IDC_IR_LIST, 0);
    press(IDC_IR_UPLOAD);
    EXPECT_EQ(messages(), Texts{"Warning!: The station list could not be written to tmp.cfg."});
    EXPECT_EQ(recorded_job_count(), 0);
    EXPECT_EQ(ui_busy.load(), 0);
}

TEST_F(IrListPage, TheFileFollowsTheFolderThatThePickerChose) {
    const fs::path tones = work / "tones";
    fs::create_directories(tones);
    headless_open_file_answer((tones / "a.mp3").string().c_str());
    dispatch_command(mp3_page_command, master, IDC_MP3_FILE, 0);
    edit(0, "One", "http://one");
    ui_list_select(page, IDC_IR_LIST, 0);
    press(IDC_IR_UPLOAD);
    ASSERT_EQ(recorded_job_count(), 1);
    EXPECT_TRUE(fs::exists(tones / "tmp.cfg"));
    EXPECT_FALSE(fs::exists(work / "tmp.cfg"));
    finish_job(1);
    EXPECT_FALSE(fs::exists(tones / "tmp.cfg"));
}

}  // namespace
