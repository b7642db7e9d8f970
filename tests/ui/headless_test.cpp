// headless_test.cpp: the headless front end keeps lists, boxes and dialogs as Win32 does.
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "headless.h"
#include "ui.h"

namespace {

using Entries = std::vector<std::string>;
constexpr int kList = 1011;
constexpr int kBox = 1035;

struct Headless : testing::Test {
    PageWindow page = nullptr;
    void SetUp() override {
        page = headless_page_create();
        headless_messages_clear();
    }
    void TearDown() override {
        headless_page_destroy(page);
    }
    Entries entries() const {
        Entries out;
        for (int i = 0; i < ui_list_count(page, kList); ++i) {
            char text[128];
            ui_list_get(page, kList, i, text, sizeof text);
            out.emplace_back(text);
        }
        return out;
    }
};

TEST_F(Headless, AddedEntriesSortWithoutRegardToCase) {
    EXPECT_EQ(ui_list_add(page, kList, "b"), 0);
    EXPECT_EQ(ui_list_add(page, kList, "A"), 0);
    EXPECT_EQ(ui_list_add(page, kList, "c"), 2);
    EXPECT_EQ(ui_list_add(page, kList, "B2"), 2);
    EXPECT_EQ(ui_list_add(page, kList, "192.168.0.2"), 0);
    EXPECT_EQ(ui_list_add(page, kList, "192.168.0.10"), 0);
    EXPECT_EQ(entries(), (Entries{"192.168.0.10", "192.168.0.2", "A", "b", "B2", "c"}));
}

TEST_F(Headless, InsertedEntriesKeepTheirIndexAndLaterAdditionsHalveAroundThem) {
    for (const char* text : {"a", "b", "c"}) {
        ui_list_add(page, kList, text);
    }
    EXPECT_EQ(ui_list_insert(page, kList, 0, "zzz"), 0);
    EXPECT_EQ(ui_list_insert(page, kList, -1, "end"), 4);
    EXPECT_EQ(entries(), (Entries{"zzz", "a", "b", "c", "end"}));
    // A sorted list box searches by halving: "0" is compared with "b", then "zzz": the top.
    EXPECT_EQ(ui_list_add(page, kList, "0"), 0);
    EXPECT_EQ(ui_list_add(page, kList, "bb"), 4);
    EXPECT_EQ(entries(), (Entries{"0", "zzz", "a", "b", "bb", "c", "end"}));
    EXPECT_EQ(ui_list_insert(page, kList, 8, "x"), -1);
    EXPECT_EQ(ui_list_insert(page, kList, -2, "x"), -1);
    EXPECT_EQ(ui_list_insert(page, kList, 7, "x"), 7);
}

TEST_F(Headless, DeletingReturnsWhatIsLeft) {
    for (const char* text : {"a", "b", "c"}) {
        ui_list_add(page, kList, text);
    }
    EXPECT_EQ(ui_list_delete(page, kList, 1), 2);
    EXPECT_EQ(ui_list_delete(page, kList, 2), -1);
    EXPECT_EQ(ui_list_delete(page, kList, -1), -1);
    EXPECT_EQ(entries(), (Entries{"a", "c"}));
    ui_list_clear(page, kList);
    EXPECT_EQ(ui_list_count(page, kList), 0);
}

TEST_F(Headless, TheSelectionStaysWithItsEntry) {
    for (const char* text : {"b", "c", "d"}) {
        ui_list_add(page, kList, text);
    }
    EXPECT_EQ(ui_list_selection(page, kList), -1);
    EXPECT_EQ(ui_list_select(page, kList, 1), 1);  // "c"
    ui_list_add(page, kList, "a");
    EXPECT_EQ(ui_list_selection(page, kList), 2);
    ui_list_insert(page, kList, 3, "x");
    EXPECT_EQ(ui_list_selection(page, kList), 2);
    ui_list_delete(page, kList, 0);
    EXPECT_EQ(ui_list_selection(page, kList), 1);
    EXPECT_EQ(ui_list_select(page, kList, 9), -1);
    EXPECT_EQ(ui_list_selection(page, kList), 1);
    // Rewriting the selected entry (delete, insert) loses the selection, as on Win32.
    ui_list_delete(page, kList, 1);
    EXPECT_EQ(ui_list_selection(page, kList), -1);
    ui_list_select(page, kList, 0);
    EXPECT_EQ(ui_list_select(page, kList, -1), -1);
    EXPECT_EQ(ui_list_selection(page, kList), -1);
    ui_list_select(page, kList, 0);
    ui_list_clear(page, kList);
    EXPECT_EQ(ui_list_selection(page, kList), -1);
}

TEST_F(Headless, TextsAreCutToTheCallersBuffer) {
    ui_list_add(page, kList, "192.168.0.20 --- OK");
    char small[5] = "????";
    EXPECT_EQ(ui_list_get(page, kList, 0, small, sizeof small), 4);
    EXPECT_STREQ(small, "192.");
    EXPECT_EQ(ui_list_get(page, kList, 1, small, sizeof small), -1);
    EXPECT_EQ(ui_set_text(page, 1019, "administrator"), 0);
    EXPECT_EQ(ui_get_text(page, 1019, small, sizeof small), 4);
    EXPECT_STREQ(small, "admi");
    char whole[32];
    EXPECT_EQ(ui_get_text(page, 1019, whole, sizeof whole), 13);
    EXPECT_STREQ(whole, "administrator");
    EXPECT_EQ(ui_get_text(page, 1020, whole, sizeof whole), 0);
    EXPECT_STREQ(whole, "");
}

TEST_F(Headless, SelectionBoxesKeepTheOrderOfAddition) {
    EXPECT_EQ(ui_combo_add(page, kBox, "Tone 2"), 0);
    EXPECT_EQ(ui_combo_add(page, kBox, "Tone 1"), 1);
    EXPECT_EQ(ui_combo_count(page, kBox), 2);
    EXPECT_EQ(ui_combo_selection(page, kBox), -1);
    EXPECT_EQ(ui_combo_select(page, kBox, 1), 1);
    EXPECT_EQ(ui_combo_selection(page, kBox), 1);
    EXPECT_EQ(ui_combo_select(page, kBox, 2), -1);  // out of range selects nothing
    EXPECT_EQ(ui_combo_selection(page, kBox), -1);
    ui_combo_select(page, kBox, 0);
    ui_combo_clear(page, kBox);
    EXPECT_EQ(ui_combo_count(page, kBox), 0);
    EXPECT_EQ(ui_combo_selection(page, kBox), -1);
}

TEST_F(Headless, PagesThatDoNotExistHaveNoControls) {
    const PageWindow gone = headless_page_create();
    headless_page_destroy(gone);
    for (const PageWindow p : {gone, static_cast<PageWindow>(nullptr)}) {
        EXPECT_EQ(ui_list_add(p, kList, "a"), -1);
        EXPECT_EQ(ui_list_count(p, kList), -1);
        EXPECT_EQ(ui_list_insert(p, kList, 0, "a"), -1);
        EXPECT_EQ(ui_list_selection(p, kList), -1);
        EXPECT_EQ(ui_set_text(p, 1019, "a"), -1);
        EXPECT_EQ(ui_combo_add(p, kBox, "a"), -1);
        EXPECT_EQ(headless_is_enabled(p, 1019), -1);
    }
}

TEST_F(Headless, MessageBoxesAreRecordedInOrder) {
    const PageWindow other = headless_page_create();
    ui_message_box(page, "Please select a target device.", "Warning!");
    ui_message_box(other, "Upgrade 10.0.0.1 OK!\n", "Upload");
    ASSERT_EQ(headless_message_count(), 2);
    HeadlessMessage m;
    ASSERT_EQ(headless_message_get(0, &m), 0);
    EXPECT_EQ(m.page, page);
    EXPECT_STREQ(m.caption, "Warning!");
    EXPECT_STREQ(m.text, "Please select a target device.");
    ASSERT_EQ(headless_message_get(1, &m), 0);
    EXPECT_EQ(m.page, other);
    EXPECT_STREQ(m.text, "Upgrade 10.0.0.1 OK!\n");
    EXPECT_EQ(headless_message_get(2, &m), -1);
    headless_messages_clear();
    EXPECT_EQ(headless_message_count(), 0);
    headless_page_destroy(other);
}

TEST_F(Headless, TheOpenFileDialogAnswersFromItsQueue) {
    headless_open_file_answer("D:\\tones\\hold.mp3");
    headless_open_file_answer(nullptr);
    headless_open_file_answer("C:\\a\\very\\long\\path.bmp");
    char path[256] = "unchanged";
    EXPECT_EQ(ui_open_file(page, "MP3 File", "*.mp3", "C:\\work", path, sizeof path), 0);
    EXPECT_STREQ(path, "D:\\tones\\hold.mp3");
    HeadlessFileRequest request;
    ASSERT_EQ(headless_last_file_request(&request), 0);
    EXPECT_EQ(request.page, page);
    EXPECT_STREQ(request.description, "MP3 File");
    EXPECT_STREQ(request.pattern, "*.mp3");
    EXPECT_STREQ(request.initial_dir, "C:\\work");

    EXPECT_EQ(ui_open_file(page, nullptr, "*.bmp", "C:\\", path, sizeof path), -1);  // cancelled
    ASSERT_EQ(headless_last_file_request(&request), 0);
    EXPECT_STREQ(request.description, "");
    EXPECT_STREQ(request.pattern, "");
    char small[8];
    EXPECT_EQ(ui_open_file(page, nullptr, nullptr, "C:\\", small, sizeof small), -1);  // too long
    EXPECT_EQ(ui_open_file(page, nullptr, nullptr, "C:\\", path, sizeof path), -1);    // empty
    EXPECT_STREQ(path, "D:\\tones\\hold.mp3");
}

TEST_F(Headless, ListsStayWholeUnderConcurrentWriters) {
    constexpr int kEach = 400;
    auto writer = [this](char tag) {
        for (int i = 0; i < kEach; ++i) {
            const std::string text = tag + std::to_string(1000 + i);
            ui_list_add(page, kList, text.c_str());
        }
    };
    auto reader = [this] {
        char text[64];
        for (int i = 0; i < kEach; ++i) {
            const int count = ui_list_count(page, kList);
            if (count > 0) {
                ui_list_get(page, kList, count - 1, text, sizeof text);
            }
        }
    };
    std::thread a(writer, 'a');
    std::thread b(writer, 'B');
    std::thread c(reader);
    a.join();
    b.join();
    c.join();
    const Entries all = entries();
    ASSERT_EQ(all.size(), 2u * kEach);
    EXPECT_EQ(all.front(), "a1000");
    EXPECT_EQ(all[kEach], "B1000");
    EXPECT_EQ(all.back(), "B" + std::to_string(1000 + kEach - 1));
}

}  // namespace
