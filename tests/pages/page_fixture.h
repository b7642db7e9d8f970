// page_fixture.h: headless pages, the recording worker and readable views of their state.
#pragma once

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "busy.h"
#include "headless.h"
#include "recording_worker.h"
#include "ui.h"

using Texts = std::vector<std::string>;

struct PageTest : testing::Test {
    PageWindow master = nullptr;  // the MP3 Hold/Ring page, holder of the master list
    std::string folder = testing::TempDir();

    void SetUp() override;
    void TearDown() override;

    Texts entries(PageWindow page, int list_id) const;
    void fill_master(const Texts& addresses) const;
    // Message boxes as "caption: text".
    Texts messages() const;
    void write_file(const std::string& name, size_t size) const;
    std::string path(const std::string& name) const {
        return folder + name;
    }
    bool enabled(PageWindow page, int id) const {
        return headless_is_enabled(page, id) == 1;
    }
};
