// page_fixture.h: headless pages for the page tests, with a transfer worker that records each
// job and lets the test end it with the result it chooses.
#pragma once

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "../device/list_entries.h"
#include "busy.h"
#include "headless.h"
#include "page_common.h"
#include "pages.h"
#include "resource.h"
#include "ui.h"

using Texts = std::vector<std::string>;

struct RecordedJob {
    PageWindow page;
    CompletionCallback done;
    std::string names;  // device, then local and remote (upload) or remote and local (download)
};
inline std::vector<RecordedJob> recorded_jobs;
inline bool job_pending = false;

// Ends the pending job as the real worker does: frees the slot, then calls the completion
// callback (which may submit the next job).
inline void finish_job(int result) {
    job_pending = false;
    recorded_jobs.back().done(recorded_jobs.back().page, result);
}

// A 128 x 64 monochrome bitmap (header, palette, pixels) cut to size, value written at at.
inline std::string bitmap(size_t at = 28, int64_t value = 1, int bytes = 2, size_t size = 1086) {
    std::string bmp(1086, '\0');
    const struct {
        size_t offset;
        int64_t value;
        int bytes;
    } fields[] = {{0, 0x4D42, 2}, {2, 1086, 4}, {10, 62, 4}, {14, 40, 4},       {18, 128, 4},
                  {22, 64, 4},    {26, 1, 2},   {28, 1, 2},  {at, value, bytes}};
    for (const auto& f : fields) {
        for (int i = 0; i < f.bytes; ++i) {
            bmp[f.offset + static_cast<size_t>(i)] = static_cast<char>(f.value >> (8 * i));
        }
    }
    return bmp.substr(0, size);
}

// Writes the file of that name in the test folder; its path.
inline std::string write_file(const std::string& name, const std::string& bytes) {
    std::ofstream(testing::TempDir() + name, std::ios::binary) << bytes;
    return testing::TempDir() + name;
}

// Message boxes as "caption: text", taken: the next call sees only newer ones.
inline Texts messages() {
    Texts out;
    HeadlessMessage message;
    for (int i = 0; headless_message_get(i, &message) == 0; ++i) {
        out.push_back(std::string(message.caption) + ": " + message.text);
    }
    headless_messages_clear();
    return out;
}

inline std::string shown_text(PageWindow page, int id) {
    char text[300];
    ui_get_text(page, id, text, sizeof text);
    return text;
}

struct PageTest : testing::Test {
    PageWindow master = headless_page_create();  // the MP3 Hold/Ring page, holder of the list
    PageWindow opened = nullptr;

    PageTest() {
        clear_busy();
        recorded_jobs.clear();
        job_pending = false;
        headless_messages_clear();
        mp3_page_init(master);
        mp3_page_command(master, IDC_MP3_HOLD, 0);  // the tone lives as long as the program
        mp3_page_activate(master);
    }
    ~PageTest() override {
        headless_page_destroy(opened);
        headless_page_destroy(master);
    }
    // The page of the test: created, initialised and shown with the master list as given.
    PageWindow open(void (*init)(PageWindow), void (*activate)(PageWindow), const Texts& list) {
        opened = headless_page_create();
        init(opened);
        fill_master(list);
        activate(opened);
        return opened;
    }
    void fill_master(const Texts& addresses) const {
        for (const std::string& address : addresses) {
            ui_list_add(master, IDC_MP3_LIST, address.c_str());
        }
    }
};
