// headless_test.cpp: headless lists keep to Win32 list box rules (kvxctl's device list is one).
#include <thread>

#include "../pages/page_fixture.h"

namespace {

constexpr int kList = 1011;

struct Headless : testing::Test {
    PageWindow page = headless_page_create();
    ~Headless() override {
        headless_page_destroy(page);
    }
    // The indices the entries got, added one by one.
    std::vector<int> add(const Texts& texts) {
        std::vector<int> at;
        for (const std::string& text : texts) {
            at.push_back(ui_list_add(page, kList, text.c_str()));
        }
        return at;
    }
};

TEST_F(Headless, AddedEntriesSortWithoutRegardToCaseAndInsertedOnesKeepTheirPlace) {
    EXPECT_EQ(add({"b", "A", "c", "B2", "192.168.0.2", "192.168.0.10", "a"}),
              (std::vector<int>{0, 0, 2, 2, 0, 0, 2}));
    EXPECT_EQ(entries(page, kList),
              (Texts{"192.168.0.10", "192.168.0.2", "a", "A", "b", "B2", "c"}));
    ui_list_clear(page, kList);
    add({"a", "b", "c"});
    EXPECT_EQ(ui_list_insert(page, kList, 0, "zzz"), 0);
    EXPECT_EQ(ui_list_insert(page, kList, -1, "end"), 4);
    // A sorted list box searches by halving: "0" is compared with "b", then "zzz": the top.
    EXPECT_EQ(add({"0", "bb"}), (std::vector<int>{0, 4}));
    EXPECT_EQ(ui_list_insert(page, kList, 8, "x"), -1);
    EXPECT_EQ(ui_list_insert(page, kList, -2, "x"), -1);
    EXPECT_EQ(ui_list_insert(page, kList, 7, "x"), 7);
    EXPECT_EQ(entries(page, kList), (Texts{"0", "zzz", "a", "b", "bb", "c", "end", "x"}));
}

TEST_F(Headless, TheSelectionStaysWithItsEntry) {
    add({"b", "c", "d"});
    EXPECT_EQ(ui_list_selection(page, kList), -1);
    EXPECT_EQ(ui_list_select(page, kList, 1), 1);  // "c"
    add({"a"});
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
            ui_list_add(page, kList, (tag + std::to_string(1000 + i)).c_str());
        }
    };
    std::thread a(writer, 'a');
    std::thread b(writer, 'B');
    for (int i = 0; i < kEach; ++i) {
        char text[64];
        ui_list_get(page, kList, ui_list_count(page, kList) - 1, text, sizeof text);
    }
    a.join();
    b.join();
    const Texts all = entries(page, kList);
    ASSERT_EQ(all.size(), 2u * kEach);
    EXPECT_EQ(all.front(), "a1000");
    EXPECT_EQ(all[kEach], "B1000");
    EXPECT_EQ(all.back(), "B" + std::to_string(1000 + kEach - 1));
}

// A page that is gone (closed while a reply or a transfer was on its way) answers as for a
// control that does not exist; so do entries out of range.
TEST_F(Headless, AClosedPageAndEntriesOutOfRangeAnswerMinusOne) {
    add({"a"});
    const PageWindow gone = headless_page_create();
    headless_page_destroy(gone);
    ui_enable(gone, kList, 0);
    ui_set_check(gone, kList, 1);
    ui_set_read_only(gone, kList, 1);
    ui_list_clear(gone, kList);
    ui_combo_clear(gone, kList);
    char out[8] = "x";
    EXPECT_EQ(ui_get_text(gone, kList, out, sizeof out) + ui_get_check(gone, kList), 0);
    EXPECT_STREQ(out, "");
    for (const int answer :
         {ui_set_text(gone, kList, "a"), ui_list_count(gone, kList),
          ui_list_get(gone, kList, 0, out, 8), ui_list_add(gone, kList, "a"),
          ui_list_insert(gone, kList, 0, "a"), ui_list_delete(gone, kList, 0),
          ui_list_find_exact(gone, kList, "a"), ui_list_find_prefix(gone, kList, "a"),
          ui_list_selection(gone, kList), ui_list_select(gone, kList, 0),
          ui_combo_count(gone, kList), ui_combo_add(gone, kList, "a"),
          ui_combo_selection(gone, kList), ui_combo_select(gone, kList, 0),
          ui_list_get(page, kList, 1, out, 8), ui_list_get(page, kList, -1, out, 8),
          ui_list_delete(page, kList, 1), ui_combo_select(page, kList, 0)}) {
        EXPECT_EQ(answer, -1);
    }
    EXPECT_EQ(entries(page, kList), Texts{"a"});
}

}  // namespace
