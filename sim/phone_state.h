// phone_state.h: the phone's state folder: its settings, station list, received files, event
// log and faults file.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct Phone;

// A file of the folder itself, and a received file (kept in its "files" folder).
std::string state_path(const Phone* phone, const std::string& name);
std::string stored_file_path(const Phone* phone, const std::string& name);

// Creates the folder, opens the event log, loads the settings and station list or writes the
// initial ones, and writes the configured faults file. False with a message in error.
bool prepare_state(Phone* phone, std::string* error);
// Writes the settings; a failure is logged.
void save_settings(Phone* phone);
// The station list in the file at path, when it reads as one, becomes the phone's own.
void replace_stations(Phone* phone, const std::string& path);

bool read_whole_file(const std::string& path, std::vector<uint8_t>* out);
// Written beside the final name and renamed over it: a reader never sees half a file.
bool write_whole_file(const std::string& path, const std::vector<uint8_t>& data);
