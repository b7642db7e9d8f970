// phone_settings.h: the settings of one simulated phone and their readable text file.
#pragma once

#include <cstddef>
#include <string>

constexpr const char kDefaultAdminName[] = "admin";
constexpr const char kDefaultAdminPassword[] = "admin";
constexpr const char kDefaultVersion[] = "2.1.4";
constexpr size_t kAdminNameLongest = 31;
constexpr size_t kAdminPasswordLongest = 11;

// Whether value may be an administrator name or password: 1 to longest letters and digits.
bool admin_word(const std::string& value, size_t longest);

struct PhoneSettings {
    std::string admin_name = kDefaultAdminName;
    std::string admin_password = kDefaultAdminPassword;
    int ringer_type = 0;     // 0 to 8: Tone 1 to 4, Melody 5 to 8, MP3_Ring 9
    int hold_tone = 0;       // 0 Melody, 1 Tone, 2 MP3 Hold
    int banner = 0;          // 0 Disable, 1 Enable
    int internet_radio = 1;  // 0 Disable, 1 Enable
    std::string name;        // reported in discovery replies
    std::string version = kDefaultVersion;
};

// Reads "key=value" lines; '#' starts a comment line, unknown keys are refused.
// 1 when read, 0 when the file does not exist (settings untouched), -1 with a message when it
// cannot be read or holds something wrong (settings untouched).
int settings_load(PhoneSettings* settings, const std::string& path, std::string* error);
// Writes a new file beside the old one and renames it over, so a crash never leaves half a
// file. 0, or -1 when it could not be written.
int settings_save(const PhoneSettings& settings, const std::string& path);
