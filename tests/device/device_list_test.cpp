// device_list_test.cpp: the discovery and command handlers and list mirroring, on headless pages.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "channel.h"
#include "device_list.h"
#include "headless.h"
#include "list_entries.h"
#include "ui.h"

namespace {

constexpr int kAdminList = 1025;
const char kGoodReply[] = "?\r\ndevice KVX-350RT\r\nversion 1.2\r\n";

void fill(PageWindow page, int list, const Entries& items) {
    ui_list_clear(page, list);
    for (const std::string& item : items) {
        ui_list_insert(page, list, -1, item.c_str());  // in this order, as the pages insert
    }
}

// Hands the datagram to the handler as the receive thread does: a copy with a spare byte.
void deliver(ReceiveHandler handler, PageWindow page, int list, const char* from,
             std::string datagram) {
    const int length = static_cast<int>(datagram.size());
    datagram.push_back('\0');
    handler(page, list, from, &datagram[0], length);
}

struct DeviceLists : testing::Test {
    PageWindow master = headless_page_create();
    PageWindow admin = headless_page_create();

    DeviceLists() {
        set_master_list_page(master);
    }
    ~DeviceLists() override {
        set_master_list_page(nullptr);
        headless_page_destroy(master);
        headless_page_destroy(admin);
    }
};

TEST_F(DeviceLists, OnlyRepliesOfOurModelWithAVersionListTheirSender) {
    const std::pair<std::string, bool> cases[] = {
        {"?\ndevice KVX-350RT\nversion 1.2", true},
        {"?\rdevice KVX-350RT\rversion 1.2\r", true},
        {"? hello\r\n\r\n  device   KVX-350RT  extra\r\nmodel x\r\nversion 2.0 beta\r\n", true},
        {"?\n\vdevice\tKVX-350RT\f\nversion\v1.2", true},        // any blank separates
        {"?\ndevice OTHER\ndevice KVX-350RT\nversion 1", true},  // the last value wins
        {"?\r\ndevice KVX-350RT\r\nversion 1.2\r\ndevice OTHER\r\n", false},
        {"?\r\ndevice KVX-350RT\r\n", false},
        {"?\r\nversion 1.2\r\n", false},
        {"?\r\ndevice KVX-350RT\r\nversion\r\n", false},
        {"?\r\ndevice kvx-350rt\r\nversion 1.2\r\n", false},
        {"?\r\ndevice KVX-350\r\nversion 1.2\r\n", false},
        {"?\r\ndevice KVX-350RT-B\r\nversion 1.2\r\n", false},
        {"?\r\nDevice KVX-350RT\r\nversion 1.2\r\n", false},
        {"device KVX-350RT\r\nversion 1.2\r\n", false},
        {"", false},
    };
    for (const auto& [datagram, listed] : cases) {
        ui_list_clear(master, kMasterListId);
        deliver(on_discovery_reply, master, kMasterListId, "10.0.0.1", datagram);
        EXPECT_EQ(ui_list_count(master, kMasterListId), listed ? 1 : 0) << datagram;
    }
}

TEST_F(DeviceLists, ALookupFindsTheFirstEntryWhoseFirstTokenIsTheAddress) {
    const struct {
        Entries list;
        const char* address;
        int found;
    } cases[] = {
        {{"10.0.0.12", "10.0.0.1"}, "10.0.0.1", 1},
        {{"10.0.0.12 --- OK", "10.0.0.10", "10.0.0.1 --- FAIL"}, "10.0.0.1", 2},
        {{"10.0.0.2", "10.0.0.1 --- OK", "10.0.0.1"}, "10.0.0.1", 1},
        {{"10.0.0.2", "10.0.0.1", "10.0.0.1 --- OK"}, "10.0.0.1", 1},
        {{"10.0.0.1"}, "10.0.0.", -1},
        {{"10.0.0.1"}, "", -1},
        // The list box's own search ignores letter case; a lookup does not.
        {{"host-A --- OK", "host-a"}, "host-a", 1},
        {{"HOST-A"}, "host-a", -1},
    };
    for (const auto& c : cases) {
        fill(admin, kAdminList, c.list);
        EXPECT_EQ(find_device_entry(admin, kAdminList, c.address), c.found)
            << c.address << " in " << testing::PrintToString(c.list);
    }
    fill(master, kMasterListId, {"192.168.0.20 --- OK", "192.168.0.3"});
    copy_device_list(admin, kAdminList);
    EXPECT_EQ(entries(admin, kAdminList), (Entries{"192.168.0.20", "192.168.0.3"}));
}

// Each reply leaves the asking page's list as copy_device_list would, whatever else changed
// the lists in between; while nothing did, a reply changes at most the two lists' one entry.
TEST_F(DeviceLists, RepliesKeepTheAskingListAMirrorOfTheMasterList) {
    const PageWindow misc = headless_page_create();
    const PageWindow expected = headless_page_create();
    const auto mirrored = [&] {
        copy_device_list(expected, kAdminList);
        return entries(admin, kAdminList) == entries(expected, kAdminList);
    };
    const auto reply = [&](PageWindow page, int list, const char* from) {
        const uint32_t before = ui_list_changes();
        deliver(on_discovery_reply, page, list, from, kGoodReply);
        return ui_list_changes() - before;
    };
    for (const char* from : {"10.0.0.12", "10.0.0.3", "10.0.0.1", "10.0.0.3", "10.0.0.100"}) {
        reply(admin, kAdminList, from);
    }
    // Each sender once, in text order; an address that prefixes a listed one is its own entry.
    EXPECT_EQ(entries(master, kMasterListId),
              (Entries{"10.0.0.1", "10.0.0.100", "10.0.0.12", "10.0.0.3"}));
    EXPECT_TRUE(mirrored());  // a change of its own: the next reply rebuilds
    reply(admin, kAdminList, "10.0.0.6");
    EXPECT_EQ(reply(admin, kAdminList, "10.0.0.7"), 2u);  // one add to each list
    EXPECT_EQ(reply(admin, kAdminList, "10.0.0.7"), 0u);
    EXPECT_TRUE(mirrored());

    // Asked from the master page or refused, a reply leaves other lists alone.
    fill(admin, kAdminList, {"stale"});
    reply(master, kMasterListId, "10.0.0.30");
    deliver(on_discovery_reply, admin, kAdminList, "10.0.0.40", "?\ndevice OTHER\nversion 1");
    EXPECT_EQ(entries(admin, kAdminList), Entries{"stale"});

    // Changes from elsewhere (any change counts alike): an annotation (a chain), a Refresh,
    // another page asking; and what a late reply then leaves.
    const std::vector<std::pair<const char*, std::function<void()>>> meanwhile = {
        {"annotated",
         [&] {
             ui_list_delete(admin, kAdminList, 1);
             ui_list_insert(admin, kAdminList, 1, "10.0.0.100 --- OK");
         }},
        {"refresh",
         [&] {
             ui_list_clear(master, kMasterListId);
             ui_list_clear(admin, kAdminList);
         }},
        {"other page", [&] { reply(misc, 1031, "10.0.0.50"); }},
    };
    for (const auto& [what, change] : meanwhile) {
        for (const char* from : {"10.0.0.7", "10.0.0.8"}) {  // one listed already, one new
            change();
            reply(admin, kAdminList, from);
            EXPECT_TRUE(mirrored()) << what << ", then " << from;
        }
    }
    headless_page_destroy(misc);
    headless_page_destroy(expected);
}

TEST_F(DeviceLists, CommandRepliesRewriteTheirEntryAtItsIndex) {
    const std::pair<std::string, const char*> cases[] = {
        {"@\r\nresult OK\r\n", "192.168.0.20 --- OK"},
        {"@\nresult X\nother line\nresult DONE", "192.168.0.20 --- DONE"},  // the last wins
        {"@\r\nresult ABCDEFGHIJKLMNOPQRSTUVWXYZ\r\n", "192.168.0.20 --- ABCDEFGHIJK"},
        {"@\r\nstatus OK\r\n", "192.168.0.20 --- FAIL"},
        {"#\r\nresult OK\r\n", "192.168.0.20 --- FAIL"},
        {"@\r\nResult OK\r\nresult\r\n", "192.168.0.20 --- FAIL"},
        {"", "192.168.0.20 --- FAIL"},
    };
    for (const auto& [reply, entry] : cases) {
        fill(admin, kAdminList, {"192.168.0.10", "192.168.0.20", "192.168.0.30"});
        deliver(on_command_reply, admin, kAdminList, "192.168.0.20", reply);
        EXPECT_EQ(entries(admin, kAdminList), (Entries{"192.168.0.10", entry, "192.168.0.30"}))
            << reply;
    }
    // An unlisted sender gets an entry of its own, also beside an address it prefixes.
    deliver(on_command_reply, admin, kAdminList, "192.168.0.2", "@\r\nresult OK\r\n");
    EXPECT_EQ(entries(admin, kAdminList), (Entries{"192.168.0.10", "192.168.0.2 --- OK",
                                                   "192.168.0.20 --- FAIL", "192.168.0.30"}));
}

}  // namespace
