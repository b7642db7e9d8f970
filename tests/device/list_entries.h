// list_entries.h: a page's list as text, for the device tests to compare whole.
#pragma once

#include <string>
#include <vector>

#include "device_list.h"
#include "ui.h"

using Entries = std::vector<std::string>;

inline Entries entries(PageWindow page, int list) {
    Entries out;
    for (int i = 0; i < ui_list_count(page, list); ++i) {
        char text[kEntrySize];
        ui_list_get(page, list, i, text, sizeof text);
        out.emplace_back(text);
    }
    return out;
}
