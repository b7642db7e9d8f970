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

// Longer texts are cut to the field on purpose.
void copy_cut(char* field, int size, const char* text) {
    const size_t n = strnlen(text, static_cast<size_t>(size) - 1);
    memcpy(field, text, n);
    field[n] = '\0';
}

}  // namespace

void set_master_list_page(PageWindow page) {
    master_page = page;
}

PageWindow master_list_page() {
    return master_page;
}

int find_device_entry(PageWindow page, int list_id, const char* address) {
    const int count = ui_list_count(page, list_id);
    for (int i = 0; i < count; ++i) {
        char entry[kEntrySize];
        char token[kEntrySize];
        if (ui_list_get(page, list_id, i, entry, sizeof entry) < 0) {
            continue;
        }
        first_token(entry, token, sizeof token);
        if (strcmp(token, address) == 0) {
            return i;
        }
    }
    return -1;
}

void copy_device_list(PageWindow page, int list_id) {
    const PageWindow master = master_list_page();
    ui_list_clear(page, list_id);
    const int count = ui_list_count(master, kMasterListId);
    for (int i = 0; i < count; ++i) {
        char entry[kEntrySize];
        if (ui_list_get(master, kMasterListId, i, entry, sizeof entry) <= 0) {
            continue;
        }
        char token[kEntrySize];
        first_token(entry, token, sizeof token);
        ui_list_add(page, list_id, token);
    }
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
    if (find_device_entry(master, kMasterListId, address) < 0) {
        ui_list_add(master, kMasterListId, address);
    }
    if (list_id != kMasterListId) {
        copy_device_list(page, list_id);
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
