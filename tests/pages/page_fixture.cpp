// page_fixture.cpp: set-up shared by the page tests.
#include "page_fixture.h"

#include <cstdio>

#include "pages.h"
#include "resource.h"

void PageTest::SetUp() {
    clear_busy();
    forget_jobs();
    headless_messages_clear();
    master = headless_page_create();
    mp3_page_init(master);
    mp3_page_command(master, IDC_MP3_HOLD, 0);  // the tone lives as long as the program
    mp3_page_activate(master);
}

void PageTest::TearDown() {
    headless_page_destroy(master);
}

Texts PageTest::entries(PageWindow page, int list_id) const {
    Texts out;
    for (int i = 0; i < ui_list_count(page, list_id); ++i) {
        char text[128];
        ui_list_get(page, list_id, i, text, sizeof text);
        out.emplace_back(text);
    }
    return out;
}

void PageTest::fill_master(const Texts& addresses) const {
    for (const std::string& address : addresses) {
        ui_list_add(master, IDC_MP3_LIST, address.c_str());
    }
}

Texts PageTest::messages() const {
    Texts out;
    for (int i = 0; i < headless_message_count(); ++i) {
        HeadlessMessage message;
        headless_message_get(i, &message);
        out.push_back(std::string(message.caption) + ": " + message.text);
    }
    return out;
}

void PageTest::write_file(const std::string& name, size_t size) const {
    std::ofstream(path(name), std::ios::binary) << std::string(size, 'x');
}
