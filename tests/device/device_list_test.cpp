// device_list_test.cpp: the discovery and command handlers and list mirroring, on headless pages.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "channel.h"
#include "device_list.h"
#include "headless.h"
#include "ui.h"

namespace {

using Entries = std::vector<std::string>;

constexpr int kAdminList = 1025;
const char kGoodReply[] = "?\r\ndevice KVX-350RT\r\nversion 1.2\r\n";

struct DeviceLists : testing::Test {
    PageWindow master = nullptr;
    PageWindow admin = nullptr;

    void SetUp() override {
        master = headless_page_create();
        admin = headless_page_create();
        set_master_list_page(master);
    }
    void TearDown() override {
        set_master_list_page(nullptr);
        headless_page_destroy(master);
        headless_page_destroy(admin);
    }

    // Hands the datagram to the handler as the receive thread does: a copy with a spare byte.
    static void deliver(ReceiveHandler handler, PageWindow page, int list, const char* from,
                        const std::string& datagram) {
        std::vector<char> buffer(datagram.begin(), datagram.end());
        buffer.push_back('\0');
        handler(page, list, from, buffer.data(), static_cast<int>(datagram.size()));
    }
    void discovery(PageWindow page, int list, const char* from, const std::string& datagram) {
        deliver(on_discovery_reply, page, list, from, datagram);
    }
    void command(const char* from, const std::string& datagram) {
        deliver(on_command_reply, admin, kAdminList, from, datagram);
    }
    static Entries entries(PageWindow page, int list) {
        Entries out;
        for (int i = 0; i < ui_list_count(page, list); ++i) {
            char text[kEntrySize];
            ui_list_get(page, list, i, text, sizeof text);
            out.emplace_back(text);
        }
        return out;
    }
    static void fill(PageWindow page, int list, const Entries& items) {
        ui_list_clear(page, list);
        for (const std::string& item : items) {
            ui_list_add(page, list, item.c_str());
        }
    }
};

TEST_F(DeviceLists, AcceptedReplyAddsItsSenderOnce) {
    discovery(master, kMasterListId, "192.168.0.20", kGoodReply);
    EXPECT_EQ(entries(master, kMasterListId), Entries{"192.168.0.20"});
    discovery(master, kMasterListId, "192.168.0.20", kGoodReply);
    EXPECT_EQ(entries(master, kMasterListId), Entries{"192.168.0.20"});
}

TEST_F(DeviceLists, RepliesThatAreNotFromOurModelAddNothing) {
    const std::string refused[] = {
        "?\r\ndevice KVX-350RT\r\n",                   // no version
        "?\r\nversion 1.2\r\n",                        // no device
        "?\r\ndevice kvx-350rt\r\nversion 1.2\r\n",    // other letter case
        "?\r\ndevice KVX-350\r\nversion 1.2\r\n",      // other model
        "?\r\ndevice KVX-350RT-B\r\nversion 1.2\r\n",  // longer model name
        "?\r\nDevice KVX-350RT\r\nversion 1.2\r\n",    // keys are compared exactly
        "?\r\ndevice KVX-350RT\r\nversion\r\n",        // version line without a value
        "@\r\ndevice KVX-350RT\r\nversion 1.2\r\n",    // not a discovery reply
        "device KVX-350RT\r\nversion 1.2\r\n",         // marker missing
        "?\r\ndevice KVX-350RT" + std::string(60, 'X') + "\r\nversion 1.2\r\n",
        "?\r\ndevice KVX-350RT\r\nversion 1.2\r\ndevice OTHER\r\n",  // the last value wins
        "",
    };
    for (const std::string& datagram : refused) {
        discovery(master, kMasterListId, "192.168.0.20", datagram);
        EXPECT_EQ(ui_list_count(master, kMasterListId), 0) << datagram;
    }
}

TEST_F(DeviceLists, BareLfBareCrAndExtraWordsAreReadAlike) {
    discovery(master, kMasterListId, "10.0.0.1", "?\ndevice KVX-350RT\nversion 1.2");
    discovery(master, kMasterListId, "10.0.0.2", "?\rdevice KVX-350RT\rversion 1.2\r");
    discovery(master, kMasterListId, "10.0.0.3",
              "? hello\r\n\r\n  device   KVX-350RT  extra\r\nmodel x\r\nversion 2.0 beta\r\n");
    discovery(master, kMasterListId, "10.0.0.4", "?\ndevice OTHER\ndevice KVX-350RT\nversion 1");
    EXPECT_EQ(entries(master, kMasterListId),
              (Entries{"10.0.0.1", "10.0.0.2", "10.0.0.3", "10.0.0.4"}));
}

TEST_F(DeviceLists, AnAddressThatPrefixesAListedOneIsAnEntryOfItsOwn) {
    discovery(admin, kAdminList, "10.0.0.12", kGoodReply);
    discovery(admin, kAdminList, "10.0.0.1", kGoodReply);
    EXPECT_EQ(entries(master, kMasterListId), (Entries{"10.0.0.1", "10.0.0.12"}));
    EXPECT_EQ(entries(admin, kAdminList), (Entries{"10.0.0.1", "10.0.0.12"}));
}

TEST_F(DeviceLists, AddedAddressesTakeTheirPlaceInTextOrder) {
    for (const char* from : {"192.168.0.2", "192.168.0.10", "192.168.0.1", "10.1.1.1"}) {
        discovery(master, kMasterListId, from, kGoodReply);
    }
    EXPECT_EQ(entries(master, kMasterListId),
              (Entries{"10.1.1.1", "192.168.0.1", "192.168.0.10", "192.168.0.2"}));
}

TEST_F(DeviceLists, OnlyAnotherPagesListIsRefreshedFromTheMasterList) {
    fill(admin, kAdminList, {"stale"});
    discovery(master, kMasterListId, "192.168.0.30", kGoodReply);
    EXPECT_EQ(entries(admin, kAdminList), Entries{"stale"});

    // Asked from the Admin page, each accepted reply mirrors the whole master list.
    discovery(admin, kAdminList, "192.168.0.20", kGoodReply);
    EXPECT_EQ(entries(admin, kAdminList), (Entries{"192.168.0.20", "192.168.0.30"}));
    fill(admin, kAdminList, {"stale"});
    discovery(admin, kAdminList, "192.168.0.20", kGoodReply);  // already listed: still mirrored
    EXPECT_EQ(entries(admin, kAdminList), (Entries{"192.168.0.20", "192.168.0.30"}));
    fill(admin, kAdminList, {"stale"});
    discovery(admin, kAdminList, "192.168.0.40", "?\r\ndevice OTHER\r\nversion 1\r\n");
    EXPECT_EQ(entries(admin, kAdminList), Entries{"stale"});  // a refused reply mirrors nothing
}

TEST_F(DeviceLists, AnnotatedMasterEntriesAreFoundByAddressAndCopiedBare) {
    fill(master, kMasterListId, {"192.168.0.20 --- OK", "192.168.0.3 --- FAIL", "192.168.0.4"});
    discovery(master, kMasterListId, "192.168.0.20", kGoodReply);
    EXPECT_EQ(ui_list_count(master, kMasterListId), 3);  // found by its first token
    fill(admin, kAdminList, {"10.0.0.1 --- OK"});
    copy_device_list(admin, kAdminList);
    EXPECT_EQ(entries(admin, kAdminList), (Entries{"192.168.0.20", "192.168.0.3", "192.168.0.4"}));
    EXPECT_EQ(find_device_entry(master, kMasterListId, "192.168.0.3"), 1);
    EXPECT_EQ(find_device_entry(master, kMasterListId, "192.168.0.2"), -1);
}

TEST_F(DeviceLists, ALookupFindsTheFirstEntryWhoseFirstTokenIsTheAddress) {
    struct Case {
        Entries list;  // in this order, as entries inserted at an index keep it
        const char* address;
        int found;
    };
    const Case cases[] = {
        {{}, "10.0.0.1", -1},
        {{"10.0.0.12"}, "10.0.0.1", -1},
        {{"10.0.0.12", "10.0.0.1"}, "10.0.0.1", 1},
        {{"10.0.0.12 --- OK", "10.0.0.10", "10.0.0.1 --- FAIL"}, "10.0.0.1", 2},
        {{"10.0.0.1 --- OK"}, "10.0.0.1", 0},
        {{"10.0.0.2", "10.0.0.1 --- OK", "10.0.0.1"}, "10.0.0.1", 1},
        {{"10.0.0.2", "10.0.0.1", "10.0.0.1 --- OK"}, "10.0.0.1", 1},
        {{"10.0.0.1"}, "10.0.0.", -1},
        {{"10.0.0.1"}, "0.0.1", -1},
        {{"10.0.0.1"}, "", -1},
        // The list box's own search ignores letter case; a lookup does not.
        {{"host-A --- OK", "host-a"}, "host-a", 1},
        {{"HOST-A"}, "host-a", -1},
    };
    for (const Case& c : cases) {
        ui_list_clear(admin, kAdminList);
        for (const std::string& entry : c.list) {
            ui_list_insert(admin, kAdminList, -1, entry.c_str());
        }
        EXPECT_EQ(find_device_entry(admin, kAdminList, c.address), c.found)
            << c.address << " in " << testing::PrintToString(c.list);
    }
}

// Each reply leaves the asking page's list as copy_device_list would, whatever else changed
// the lists in between; while nothing did, a reply changes at most the two lists' one entry.
TEST_F(DeviceLists, RepliesKeepTheAskingListAMirrorOfTheMasterList) {
    const PageWindow misc = headless_page_create();
    const PageWindow expected = headless_page_create();
    constexpr int kMiscList = 1031;
    const auto mirrored = [&](PageWindow page, int list) {
        copy_device_list(expected, kAdminList);
        return entries(page, list) == entries(expected, kAdminList);
    };
    const auto reply = [&](PageWindow page, int list, const char* from) {
        const uint32_t before = ui_list_changes();
        discovery(page, list, from, kGoodReply);
        return ui_list_changes() - before;
    };
    for (const char* from : {"10.0.0.12", "10.0.0.3", "10.0.0.1", "10.0.0.3", "10.0.0.100"}) {
        reply(admin, kAdminList, from);
    }
    EXPECT_TRUE(mirrored(admin, kAdminList));  // a change of its own: the next reply rebuilds
    reply(admin, kAdminList, "10.0.0.6");
    EXPECT_EQ(reply(admin, kAdminList, "10.0.0.7"), 2u);  // one add to each list
    EXPECT_EQ(reply(admin, kAdminList, "10.0.0.7"), 0u);
    EXPECT_TRUE(mirrored(admin, kAdminList));

    // Changes from elsewhere: an annotation (a chain), the master list annotated, the page
    // shown again, a Refresh, another page asking; and what a late reply then leaves.
    const std::vector<std::pair<const char*, std::function<void()>>> meanwhile = {
        {"annotated",
         [&] {
             ui_list_delete(admin, kAdminList, 1);
             ui_list_insert(admin, kAdminList, 1, "10.0.0.100 --- OK");
         }},
        {"master annotated",
         [&] {
             ui_list_delete(master, kMasterListId, 0);
             ui_list_insert(master, kMasterListId, 0, "10.0.0.1 --- OK");
         }},
        {"shown again", [&] { copy_device_list(admin, kAdminList); }},
        {"refresh",
         [&] {
             ui_list_clear(master, kMasterListId);
             ui_list_clear(admin, kAdminList);
         }},
        {"other page", [&] { reply(misc, kMiscList, "10.0.0.50"); }},
    };
    for (const auto& [what, change] : meanwhile) {
        for (const char* from : {"10.0.0.7", "10.0.0.8"}) {  // one listed already, one new
            change();
            reply(admin, kAdminList, from);
            EXPECT_TRUE(mirrored(admin, kAdminList)) << what << ", then " << from;
        }
    }
    headless_page_destroy(misc);
    headless_page_destroy(expected);
}

// Each command reply and what it writes into its sender's entry, which keeps its place.
TEST_F(DeviceLists, CommandRepliesRewriteTheirEntryAtItsIndex) {
    const std::pair<std::string, const char*> cases[] = {
        {"@\r\nresult OK\r\n", "192.168.0.20 --- OK"},
        {"@\r\nresult ERR\r\n", "192.168.0.20 --- ERR"},
        {"@\nresult X\nother line\nresult DONE", "192.168.0.20 --- DONE"},  // the last wins
        {"@\r\nresult ABCDEFGHIJKLMNOPQRSTUVWXYZ\r\n", "192.168.0.20 --- ABCDEFGHIJK"},
        {"@\r\nstatus OK\r\n", "192.168.0.20 --- FAIL"},
        {"#\r\nresult OK\r\n", "192.168.0.20 --- FAIL"},
        {kGoodReply, "192.168.0.20 --- FAIL"},
        {"@\r\nResult OK\r\nresult\r\n", "192.168.0.20 --- FAIL"},
        {"", "192.168.0.20 --- FAIL"},
    };
    for (const auto& [reply, entry] : cases) {
        fill(admin, kAdminList, {"192.168.0.10", "192.168.0.20", "192.168.0.30"});
        command("192.168.0.20", reply);
        EXPECT_EQ(entries(admin, kAdminList), (Entries{"192.168.0.10", entry, "192.168.0.30"}))
            << reply;
    }
}

TEST_F(DeviceLists, ACommandReplyFromAnUnlistedSenderAddsItsEntry) {
    fill(admin, kAdminList, {"10.0.0.1", "10.0.0.3"});
    command("10.0.0.2", "@\r\nresult OK\r\n");
    EXPECT_EQ(entries(admin, kAdminList), (Entries{"10.0.0.1", "10.0.0.2 --- OK", "10.0.0.3"}));
    command("10.0.0.12", "@\r\nresult OK\r\n");  // not taken for 10.0.0.1
    EXPECT_EQ(ui_list_count(admin, kAdminList), 4);
}

}  // namespace
