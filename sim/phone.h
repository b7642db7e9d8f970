// phone.h: one simulated KVX-350RT phone: its sockets, settings, station list, received files,
// event log, fault switches and running TFTP transfers. Single-threaded: the caller waits on
// phone_sockets and calls phone_readable and phone_timers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "phone_settings.h"

constexpr int kCommandPort = 9999;
constexpr int kTftpPort = 69;
constexpr size_t kDefaultMaxFileSize = size_t{16} * 1024 * 1024;

struct PhoneConfig {
    std::string address;    // dotted quad, an address of this host (or namespace)
    std::string folder;     // state folder, created when missing
    std::string faults;     // switches, written to the folder's "faults" file at start
    PhoneSettings initial;  // settings of a phone whose folder holds none yet
    int command_port = kCommandPort;
    int tftp_port = kTftpPort;
    size_t max_file_size = kDefaultMaxFileSize;
};

struct Phone;

// Creates the folder, loads or creates the settings and station list, binds the sockets.
// Null with a message in error on any failure (nothing is left open).
Phone* phone_open(const PhoneConfig& config, std::string* error);
void phone_close(Phone* phone);
// Every socket of the phone that may have a datagram to read.
void phone_sockets(const Phone* phone, std::vector<int>* fds);
// Reads one datagram from fd, one of the phone's sockets, and answers it.
void phone_readable(Phone* phone, int fd);
// Time (sim_now_ms) of the phone's next timer; INT64_MAX when none is set.
int64_t phone_next_deadline(const Phone* phone);
// Delayed sends that are due, re-sends after silence, the end of finished transfers.
void phone_timers(Phone* phone);
// Reads the folder's "faults" file again; packet numbers count from 1 again.
void phone_reload_faults(Phone* phone);
