// progress_bar_test.cpp: kvxctl's progress bar as the transfer code drives it.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "progress.h"
#include "progress_bar.h"

namespace {

// What the bar wrote to a file that stands for the terminal.
struct Bar : testing::Test {
    FILE* out = nullptr;
    void SetUp() override {
        out = tmpfile();
        ASSERT_NE(out, nullptr);
    }
    void TearDown() override {
        progress_bar_setup(nullptr, 0);
        fclose(out);
    }
    std::string written() {
        fflush(out);
        std::string text;
        rewind(out);
        for (int c; (c = fgetc(out)) != EOF;) {
            text += static_cast<char>(c);
        }
        return text;
    }
};

std::string bar(const char* label, int hashes, int percent) {
    char text[128];
    snprintf(text, sizeof text, "\r%s [%s%s] %3d %%", label, std::string(hashes, '#').c_str(),
             std::string(40 - hashes, '-').c_str(), percent);
    return text;
}

TEST_F(Bar, OnATerminalEachNewPercentIsDrawnInPlaceAndTheLineWipedAtTheEnd) {
    progress_bar_setup(out, 1);
    progress_bar_label("10.0.0.7");
    progress_create(nullptr);
    EXPECT_EQ(progress_exists(), 1);
    progress_notify(51);
    progress_notify(51);  // taken, not drawn again
    progress_notify(100);
    progress_destroy();
    EXPECT_EQ(progress_exists(), 0);
    const std::string full = bar("10.0.0.7", 40, 100).substr(1);
    EXPECT_EQ(written(), bar("10.0.0.7", 0, 0) + bar("10.0.0.7", 20, 51) +
                             bar("10.0.0.7", 40, 100) + "\r" + std::string(full.size(), ' ') +
                             "\r");
}

TEST_F(Bar, ANewBarStartsAtZeroWithTheNewLabel) {
    progress_bar_setup(out, 1);
    progress_bar_label("10.0.0.7");
    progress_create(nullptr);
    progress_notify(100);
    progress_destroy();
    progress_bar_label("10.0.0.8");
    progress_create(nullptr);
    progress_notify(100);  // a change from the new bar's 0, so drawn
    const std::string text = written();
    EXPECT_NE(text.find(bar("10.0.0.8", 0, 0) + bar("10.0.0.8", 40, 100)), std::string::npos)
        << text;
    progress_destroy();
}

TEST_F(Bar, ElsewhereNothingIsDrawnButTheWindowStillExists) {
    progress_bar_setup(out, 0);
    progress_bar_label("10.0.0.7");
    progress_create(nullptr);
    EXPECT_EQ(progress_exists(), 1);
    progress_notify(73);
    progress_notify(100);
    progress_destroy();
    EXPECT_EQ(progress_exists(), 0);
    EXPECT_EQ(written(), "");
}

}  // namespace
