// phone_settings.cpp: the phone's settings as "key=value" text.
#include "phone_settings.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "ascii_text.h"

namespace {

bool parse_digit(const std::string& value, int high, int* out) {
    if (value.size() != 1 || value[0] < '0' || value[0] - '0' > high) {
        return false;
    }
    *out = value[0] - '0';
    return true;
}

// Names and passwords hold only what the admin command may set; the name and version are
// single words because discovery replies split values at blanks.
bool is_word(const std::string& value, size_t longest) {
    if (value.empty() || value.size() > longest) {
        return false;
    }
    for (const char c : value) {
        if (c <= ' ' || c > '~') {
            return false;
        }
    }
    return true;
}

bool apply_line(PhoneSettings* s, const std::string& key, const std::string& value) {
    if (key == "admin_name") {
        s->admin_name = value;
        return admin_word(value, kAdminNameLongest);
    }
    if (key == "admin_password") {
        s->admin_password = value;
        return admin_word(value, kAdminPasswordLongest);
    }
    if (key == "ringer_type") {
        return parse_digit(value, 8, &s->ringer_type);
    }
    if (key == "hold_tone") {
        return parse_digit(value, 2, &s->hold_tone);
    }
    if (key == "banner") {
        return parse_digit(value, 1, &s->banner);
    }
    if (key == "internet_radio") {
        return parse_digit(value, 1, &s->internet_radio);
    }
    if (key == "name") {
        s->name = value;
        return is_word(value, 63);
    }
    if (key == "version") {
        s->version = value;
        return is_word(value, 63);
    }
    return false;
}

}  // namespace

bool admin_word(const std::string& value, size_t longest) {
    return !value.empty() && value.size() <= longest &&
           letters_and_digits(value.data(), value.size());
}

int settings_load(PhoneSettings* settings, const std::string& path, std::string* error) {
    FILE* file = fopen(path.c_str(), "rb");
    if (!file) {
        if (errno == ENOENT) {
            return 0;
        }
        *error = path + ": " + strerror(errno);
        return -1;
    }
    PhoneSettings loaded = *settings;
    char* buffer = nullptr;
    size_t capacity = 0;
    ssize_t got;
    int number = 0;
    bool good = true;
    while (good && (got = getline(&buffer, &capacity, file)) >= 0) {
        ++number;
        std::string line(buffer, static_cast<size_t>(got));
        while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) {
            line.pop_back();
        }
        if (line.empty() || line[0] == '#') {
            continue;
        }
        const size_t equals = line.find('=');
        good = equals != std::string::npos &&
               apply_line(&loaded, line.substr(0, equals), line.substr(equals + 1));
        if (!good) {
            *error = path + ":" + std::to_string(number);
            *error += ": not a valid setting: " + line;
        }
    }
    free(buffer);
    fclose(file);
    if (!good) {
        return -1;
    }
    *settings = loaded;
    return 1;
}

int settings_save(const PhoneSettings& s, const std::string& path) {
    const std::string fresh = path + ".new";
    FILE* file = fopen(fresh.c_str(), "wb");
    if (!file) {
        return -1;
    }
    fprintf(file,
            "# Settings of a simulated KVX-350RT phone. Edit only while kvxphone is stopped.\n"
            "admin_name=%s\nadmin_password=%s\n"
            "# ringer_type 0-8: Tone 1-4, Melody 5-8, MP3_Ring 9\nringer_type=%d\n"
            "# hold_tone 0-2: Melody, Tone, MP3 Hold\nhold_tone=%d\n"
            "# banner, internet_radio: 0 Disable, 1 Enable\nbanner=%d\ninternet_radio=%d\n"
            "name=%s\nversion=%s\n",
            s.admin_name.c_str(), s.admin_password.c_str(), s.ringer_type, s.hold_tone, s.banner,
            s.internet_radio, s.name.c_str(), s.version.c_str());
    const bool failed = fflush(file) != 0 || ferror(file) != 0;
    if (fclose(file) != 0 || failed || rename(fresh.c_str(), path.c_str()) != 0) {
        remove(fresh.c_str());
        return -1;
    }
    return 0;
}
