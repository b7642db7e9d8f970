// device_list.cpp: device list lookups and mirroring, and the discovery and command handlers.
#include "device_list.h"

#include <atomic>
#include <cstdio>
#include <cstring>

#include "command_cipher.h"
#include "reply_parse.h"
#include "ui.h"

namespace {

std::atomic<PageWindow> master_page{nullptr};

// The list that on_discovery_reply last left as copy_device_list makes it, and the count of
// list changes just after; while the count stays, no list has changed and it still is.
PageWindow mirror_page = nullptr;
int mirror_list = 0;
uint32_t mirror_changes = 0;

// Longer texts are cut to the field on purpose.
void copy_cut(char* field, int size, const char* text) {
    const size_t n = strnlen(text, static_cast<size_t>(size) - 1);
    memcpy(field, text, n);
    field[n] = '\0';
}

// The page's list made anew from the master list's first tokens. The list changes it made.
int mirror_master(PageWindow page, int list_id) {
    const PageWindow master = master_list_page();
    ui_list_clear(page, list_id);
    int changes = 1;
    const int count = ui_list_count(master, kMasterListId);
    for (int i = 0; i < count; ++i) {
        char token[kEntrySize];
        if (entry_address(master, kMasterListId, i, token, sizeof token) > 0) {
            ui_list_add(page, list_id, token);
            ++changes;
        }
    }
    return changes;
}

// Reads entry by entry: only for an address that the list box's own search cannot settle.
int scan_device_entry(PageWindow page, int list_id, const char* address) {
    const int count = ui_list_count(page, list_id);
    for (int i = 0; i < count; ++i) {
        char token[kEntrySize];
        if (entry_address(page, list_id, i, token, sizeof token) > 0 &&
            strcmp(token, address) == 0) {
            return i;
        }
    }
    return -1;
}

// After a discovery reply: the asking page's list as copy_device_list would leave it.
//
// Why adding one address is enough. copy_device_list adds each first token of the master list
// to an emptied sorted list; each sorted add keeps the list in order, so the result is the set
// of those tokens in the list's order, whatever order they were added in (the tokens are
// distinct: the master list holds each address once). If the page's list already equals that
// result and the master list gained one new address, adding that address to the page's list
// in its sorted place gives the result for the new set; a reply that added nothing leaves the
// result as it was. That holds only while nothing else changed either list, which the count
// of list changes tells: when the list was not the last one mirrored here, or another change
// was made since or meanwhile, the list is made anew.
void mirror_after_reply(PageWindow page, int list_id, const char* address, uint32_t before,
                        bool added) {
    const bool mirrored = page == mirror_page && list_id == mirror_list && before == mirror_changes;
    if (mirrored && added) {
        ui_list_add(page, list_id, address);
    }
    uint32_t expected = before + (added ? 2 : 0);
    if (!mirrored || ui_list_changes() != expected) {
        const uint32_t start = ui_list_changes();
        expected = start + static_cast<uint32_t>(mirror_master(page, list_id));
    }
    // A change by another thread while the list was made: made anew at the next reply.
    const bool kept = ui_list_changes() == expected;
    mirror_page = kept ? page : nullptr;
    mirror_list = list_id;
    mirror_changes = expected;
}

}  // namespace

void set_master_list_page(PageWindow page) {
    master_page = page;
}

PageWindow master_list_page() {
    return master_page;
}

int find_device_entry(PageWindow page, int list_id, const char* address) {
    if (!address || !*address) {
        return -1;
    }
    // Every entry whose first token is the address begins with it, so the first entry that
    // begins with it from the top is that entry or comes before it. Mostly it is that entry,
    // or there is none at all (a new phone): one search settles it, the cheapest the list box
    // has (it compares letters, not text in the locale's order as an exact search does).
    const int first_begins = ui_list_find_prefix(page, list_id, address);
    if (first_begins < 0) {
        return -1;
    }
    char token[kEntrySize];
    if (entry_address(page, list_id, first_begins, token, sizeof token) > 0 &&
        strcmp(token, address) == 0) {
        return first_begins;
    }
    // A longer address came first (10.0.0.12 for 10.0.0.1). The first token is the address
    // exactly when the entry equals it or begins with it and a space; the list box finds each
    // in one operation, from the top.
    char prefix[kEntrySize];
    snprintf(prefix, sizeof prefix, "%s ", address);
    const int bare = ui_list_find_exact(page, list_id, address);
    const int annotated = ui_list_find_prefix(page, list_id, prefix);
    const int first = bare < 0 || (annotated >= 0 && annotated < bare) ? annotated : bare;
    if (first < 0) {
        return -1;
    }
    // The list box ignores letter case; an entry that matched only that way is not the one.
    if (entry_address(page, list_id, first, token, sizeof token) > 0 &&
        strcmp(token, address) == 0) {
        return first;
    }
    return scan_device_entry(page, list_id, address);
}

int entry_address(PageWindow page, int list_id, int index, char* address, int size) {
    char entry[kEntrySize];
    if (ui_list_get(page, list_id, index, entry, sizeof entry) <= 0) {
        if (size > 0) {
            address[0] = '\0';
        }
        return 0;
    }
    return first_token(entry, address, size);
}

void copy_device_list(PageWindow page, int list_id) {
    mirror_master(page, list_id);
}

void on_discovery_reply(PageWindow page, int list_id, const char* address, char* data, int length) {
    if (length < 1 || data[0] != '?') {
        return;
    }
    char device[kTokenSize] = "";
    char version[kTokenSize] = "";
    int position = 0;
    while (const char* line = next_line(data, length, &position)) {
        char key[kTokenSize];
        char value[kTokenSize];
        if (!line_key_value(line, key, value)) {
            continue;
        }
        if (strcmp(key, "device") == 0) {
            copy_cut(device, sizeof device, value);
        } else if (strcmp(key, "version") == 0) {
            copy_cut(version, sizeof version, value);
        }
    }
    if (!device[0] || !version[0] || strcmp(device, kModelId) != 0) {
        return;
    }
    const PageWindow master = master_list_page();
    const uint32_t before = ui_list_changes();
    const bool added = find_device_entry(master, kMasterListId, address) < 0;
    if (added) {
        ui_list_add(master, kMasterListId, address);
    }
    if (list_id != kMasterListId) {
        mirror_after_reply(page, list_id, address, before, added);
    }
}

void on_command_reply(PageWindow page, int list_id, const char* address, char* data, int length) {
    char result[kResultSize] = "";
    if (length >= 1 && data[0] == '@') {
        int position = 0;
        while (const char* line = next_line(data, length, &position)) {
            char key[kTokenSize];
            char value[kTokenSize];
            if (line_key_value(line, key, value) && strcmp(key, "result") == 0) {
                copy_cut(result, sizeof result, value);
            }
        }
    }
    if (!result[0]) {
        copy_cut(result, sizeof result, "FAIL");
    }
    char entry[kEntrySize];
    snprintf(entry, sizeof entry, "%s --- %s", address, result);
    const int index = find_device_entry(page, list_id, address);
    if (index < 0) {
        ui_list_add(page, list_id, entry);
    } else {
        ui_list_delete(page, list_id, index);
        ui_list_insert(page, list_id, index, entry);
    }
}
