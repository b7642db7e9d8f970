// phone_state.cpp: the phone's state folder.
#include "phone_state.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "phone_faults.h"
#include "phone_record.h"
#include "request_policy.h"

namespace {

constexpr char kSettingsFile[] = "settings.txt";
constexpr char kEventsFile[] = "events.log";

void default_stations(StationList* list) {
    *list = StationList{};
    list->volume = 5;
    list->default_station = 1;
    snprintf(list->name[0], kStationNameSize, "Sim Radio One");
    snprintf(list->url[0], kStationUrlSize, "http://radio.example.com/one");
    snprintf(list->name[1], kStationNameSize, "Sim Radio Two");
    snprintf(list->url[1], kStationUrlSize, "http://radio.example.com/two");
}

bool save_stations(Phone* p) {
    const std::string path = state_path(p, kStationListFile);
    const std::string fresh = path + ".new";
    if (station_list_write(&p->stations, fresh.c_str()) != 1 ||
        rename(fresh.c_str(), path.c_str()) != 0) {
        remove(fresh.c_str());
        return false;
    }
    return true;
}

}  // namespace

std::string state_path(const Phone* p, const std::string& name) {
    return p->config.folder + "/" + name;
}

std::string stored_file_path(const Phone* p, const std::string& name) {
    return p->config.folder + "/files/" + name;
}

bool prepare_state(Phone* p, std::string* error) {
    const PhoneConfig& config = p->config;
    std::error_code ec;
    std::filesystem::create_directories(config.folder + "/files", ec);
    if (ec) {
        *error = config.folder + ": " + ec.message();
        return false;
    }
    if (event_log_open(&p->log, state_path(p, kEventsFile)) != 0) {
        *error = "cannot open " + state_path(p, kEventsFile);
        return false;
    }
    p->settings = config.initial;
    if (p->settings.name.empty()) {
        p->settings.name = "sim-" + config.address;
        std::replace(p->settings.name.begin(), p->settings.name.end(), '.', '-');
    }
    const int loaded = settings_load(&p->settings, state_path(p, kSettingsFile), error);
    if (loaded < 0) {
        return false;
    }
    if (loaded == 0 && settings_save(p->settings, state_path(p, kSettingsFile)) != 0) {
        *error = "cannot write " + state_path(p, kSettingsFile);
        return false;
    }
    if (station_list_read(&p->stations, state_path(p, kStationListFile).c_str()) != 1) {
        default_stations(&p->stations);
        if (!save_stations(p)) {
            *error = "cannot write " + state_path(p, kStationListFile);
            return false;
        }
    }
    if (!(std::ofstream(state_path(p, kFaultsFile), std::ios::trunc) << config.faults << '\n')) {
        *error = "cannot write " + state_path(p, kFaultsFile);
        return false;
    }
    return true;
}

void save_settings(Phone* p) {
    if (settings_save(p->settings, state_path(p, kSettingsFile)) != 0) {
        log_event(&p->log, "settings-save-failed path=%s", state_path(p, kSettingsFile).c_str());
    }
}

void replace_stations(Phone* p, const std::string& path) {
    StationList list{};
    if (station_list_read(&list, path.c_str()) != 1) {
        return;
    }
    for (int i = p->faults.stations_kept; i < kStationCount; ++i) {
        list.name[i][0] = list.url[i][0] = '\0';
    }
    p->stations = list;
    const int count = station_list_compact(&list);
    log_event(&p->log, "stations count=%d volume=%d default=%d%s", count, p->stations.volume,
              p->stations.default_station, save_stations(p) ? "" : " save-failed");
}

bool read_whole_file(const std::string& path, std::vector<uint8_t>* out) {
    FILE* file = fopen(path.c_str(), "rb");
    if (!file) {
        return false;
    }
    out->clear();
    uint8_t chunk[65536];
    for (size_t n; (n = fread(chunk, 1, sizeof chunk, file)) > 0;) {
        out->insert(out->end(), chunk, chunk + n);
    }
    const bool failed = ferror(file) != 0;
    fclose(file);
    return !failed;
}

bool write_whole_file(const std::string& path, const std::vector<uint8_t>& data) {
    const std::string part = path + ".part";
    FILE* file = fopen(part.c_str(), "wb");
    if (!file) {
        return false;
    }
    const bool written = data.empty() || fwrite(data.data(), 1, data.size(), file) == data.size();
    if (fclose(file) != 0 || !written || rename(part.c_str(), path.c_str()) != 0) {
        remove(part.c_str());
        return false;
    }
    return true;
}
