// headless_test.cpp: the headless front end keeps its lists as Win32 list boxes do (kvxctl's
// device list is one); what it records for the page tests is theirs to check.
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "headless.h"
#include "ui.h"

namespace {

using Entries = std::vector<std::string>;
constexpr int kList = 1011;

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
