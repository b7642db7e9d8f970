// phone_settings_test.cpp: the phone's settings file: round trip, defaults, refusals.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "phone_settings.h"

namespace {

struct SettingsFile : testing::Test {
    std::string path = testing::TempDir() + "phone_settings_test." + std::to_string(getpid());

    void SetUp() override {
        remove(path.c_str());
    }
    void TearDown() override {
        remove(path.c_str());
    }
    void write(const std::string& text) {
        std::ofstream(path, std::ios::binary) << text;
    }
};

TEST_F(SettingsFile, MissingFileLeavesTheDefaults) {
    PhoneSettings settings;
    std::string error;
    EXPECT_EQ(settings_load(&settings, path, &error), 0);
    EXPECT_EQ(settings.admin_name, "admin");
    EXPECT_EQ(settings.admin_password, "admin");
    EXPECT_EQ(settings.internet_radio, 1);
}

TEST_F(SettingsFile, SavedSettingsReadBackTheSame) {
    PhoneSettings saved;
    saved.admin_name = "boss";
    saved.admin_password = "pw9";
    saved.ringer_type = 8;
    saved.hold_tone = 2;
    saved.banner = 1;
    saved.internet_radio = 0;
    saved.name = "desk-4";
    saved.version = "3.0";
    ASSERT_EQ(settings_save(saved, path), 0);
    PhoneSettings loaded;
    std::string error;
    ASSERT_EQ(settings_load(&loaded, path, &error), 1) << error;
    EXPECT_EQ(loaded.admin_name, "boss");
    EXPECT_EQ(loaded.admin_password, "pw9");
    EXPECT_EQ(loaded.ringer_type, 8);
    EXPECT_EQ(loaded.hold_tone, 2);
    EXPECT_EQ(loaded.banner, 1);
    EXPECT_EQ(loaded.internet_radio, 0);
    EXPECT_EQ(loaded.name, "desk-4");
    EXPECT_EQ(loaded.version, "3.0");
    std::ifstream in(path + ".new");
    EXPECT_FALSE(in.good()) << "the temporary file is renamed away";
}

TEST_F(SettingsFile, HandEditedFilesWithCommentsAndCrLfAreRead) {
    write("# mine\r\nhold_tone=1\r\n\r\nadmin_name=Op1\r\n");
    PhoneSettings settings;
    std::string error;
    ASSERT_EQ(settings_load(&settings, path, &error), 1) << error;
    EXPECT_EQ(settings.hold_tone, 1);
    EXPECT_EQ(settings.admin_name, "Op1");
    EXPECT_EQ(settings.admin_password, "admin");  // absent keys keep their value
}

TEST_F(SettingsFile, WrongLinesAreRefusedWithTheirNumberAndChangeNothing) {
    for (const char* text :
         {"ringer_type=9\n", "hold_tone=x\n", "banner=01\n", "colour=red\n", "admin_name=a b\n",
          "admin_password=twelve_chars\n", "admin_password=\n", "version=1 2\n", "just text\n"}) {
        write(std::string("banner=1\n") + text);
        PhoneSettings settings;
        std::string error;
        EXPECT_EQ(settings_load(&settings, path, &error), -1) << text;
        EXPECT_NE(error.find(":2: not a valid setting"), std::string::npos) << error;
        EXPECT_EQ(settings.banner, 0) << text;
        EXPECT_EQ(settings.admin_password, "admin") << text;
    }
}

TEST_F(SettingsFile, UnwritableFolderIsReported) {
    PhoneSettings settings;
    EXPECT_EQ(settings_save(settings, testing::TempDir() + "no/such/folder/settings.txt"), -1);
}

}  // namespace
