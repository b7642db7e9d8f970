// page_fixture.h: headless pages for the page tests, with a transfer worker that records each
// job and lets the test end it with the result it chooses.
#pragma once

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

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
    std::string device;
    std::string first_name;   // upload: local path; download: remote name
    std::string second_name;  // upload: remote name; download: local path
};
extern std::vector<RecordedJob> recorded_jobs;
extern bool job_pending;
// Ends the pending job as the real worker does: frees the slot, then calls the completion
// callback (which may submit the next job).
void finish_job(int result);

// A 128 x 64 monochrome bitmap (header, palette, pixels), with value written at offset.
std::string bitmap(size_t offset = 28, int64_t value = 1, int bytes = 2, size_t length = 1086);
// Writes the file of that name in the test folder; its path.
std::string write_file(const std::string& name, const std::string& bytes);
Texts entries(PageWindow page, int list_id);
Texts messages();  // message boxes as "caption: text"
std::string shown_text(PageWindow page, int id);

struct PageTest : testing::Test {
    PageWindow master = nullptr;  // the MP3 Hold/Ring page, holder of the master list
    PageWindow opened = nullptr;

    void SetUp() override;
    void TearDown() override;
    // The page of the test: created, initialised and shown with the master list as given.
    PageWindow open(void (*init)(PageWindow), void (*activate)(PageWindow), const Texts& list);
    void fill_master(const Texts& addresses) const;
};
