// receive_handlers_fuzz.cpp: the discovery and command receive handlers on headless pages, fed
// a run of datagrams from a handful of senders, as the channel's receive thread feeds them.
//
// Input: records of [control][length][length bytes]. Control bit 0 picks the handler (as the
// latest request would), bits 1-3 the sender, bits 4-5 the asking page and its list.
#include <algorithm>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "channel.h"
#include "device_list.h"
#include "fuzz_support.h"
#include "headless.h"
#include "ui.h"

namespace {

// 10.0.0.1 is a prefix of 10.0.0.12: a lookup must not take one for the other.
const char* const kSenders[8] = {"10.0.0.1",      "10.0.0.12",    "10.0.0.123",  "192.168.0.20",
                                 "192.168.0.200", "172.16.0.255", "192.168.1.9", "10.0.0.2"};
constexpr int kAdminList = 1025;
constexpr int kMiscList = 1031;

// The list's entries, or only the address that starts each.
std::vector<std::string> entries(PageWindow page, int list, bool addresses = false) {
    std::vector<std::string> out;
    const int count = ui_list_count(page, list);
    for (int i = 0; i < count; ++i) {
        char text[256];
        fuzz_require(ui_list_get(page, list, i, text, sizeof text) >= 0, "an entry is readable");
        out.emplace_back(text, addresses ? strcspn(text, " ") : strlen(text));
    }
    return out;
}

// Every entry is a sender's address, bare or as "address --- result"; no address twice.
void check_list(const std::vector<std::string>& list, bool bare_only) {
    std::set<std::string> seen;
    for (const std::string& entry : list) {
        fuzz_require(entry.size() < static_cast<size_t>(kEntrySize), "an entry fits its size");
        const size_t blank = entry.find(' ');
        const std::string address = entry.substr(0, blank);
        fuzz_require(std::find(kSenders, kSenders + 8, address) != kSenders + 8,
                     "an entry names a sender");
        fuzz_require(seen.insert(address).second, "no address is listed twice");
        if (blank == std::string::npos) {
            continue;
        }
        fuzz_require(!bare_only, "the master list holds bare addresses");
        fuzz_require(entry.compare(blank, 5, " --- ") == 0, "a result follows \" --- \"");
        const std::string result = entry.substr(blank + 5);
        fuzz_require(!result.empty() && result.size() < static_cast<size_t>(kResultSize) &&
                         result.find_first_of(" \t\r\n\v\f") == std::string::npos,
                     "a result is one short word");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const PageWindow master = headless_page_create();
    const PageWindow admin = headless_page_create();
    const PageWindow misc = headless_page_create();
    set_master_list_page(master);
    const PageWindow pages[4] = {master, admin, misc, admin};
    const int lists[4] = {kMasterListId, kAdminList, kMiscList, kAdminList};

    size_t at = 0;
    while (at + 2 <= size) {
        const uint8_t control = data[at];
        const size_t length = data[at + 1] < size - at - 2 ? data[at + 1] : size - at - 2;
        // The receive buffer: the datagram and a spare byte.
        std::vector<char> datagram(data + at + 2, data + at + 2 + length);
        datagram.push_back('\0');
        at += 2 + length;

        const char* sender = kSenders[(control >> 1) & 7];
        const int which = (control >> 4) & 3;
        const std::vector<std::string> before = entries(pages[which], lists[which]);
        if (control & 1) {
            // Commands go out from the Admin and Misc. pages only.
            const int page = which == 2 ? 2 : 1;
            on_command_reply(pages[page], lists[page], sender, datagram.data(),
                             static_cast<int>(length));
            int annotated = 0;
            for (const std::string& entry : entries(pages[page], lists[page])) {
                annotated += entry.rfind(std::string(sender) + " --- ", 0) == 0;
            }
            fuzz_require(annotated == 1, "a command reply annotates its sender's entry");
        } else {
            on_discovery_reply(pages[which], lists[which], sender, datagram.data(),
                               static_cast<int>(length));
            // The asking page's list is either untouched or a fresh copy of the master list.
            fuzz_require(entries(pages[which], lists[which]) == before ||
                             entries(pages[which], lists[which], true) ==
                                 entries(master, kMasterListId, true),
                         "the asking list mirrors the master list");
        }
        check_list(entries(master, kMasterListId), true);
        check_list(entries(admin, kAdminList), false);
        check_list(entries(misc, kMiscList), false);
    }

    set_master_list_page(nullptr);
    headless_page_destroy(master);
    headless_page_destroy(admin);
    headless_page_destroy(misc);
    return 0;
}
