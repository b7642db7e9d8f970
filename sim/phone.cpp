// phone.cpp: a simulated phone on its own address: its sockets and device channel, around
// its state folder, TFTP server, faults and delayed sends.
#include "phone.h"

#include <algorithm>

#include "phone_command.h"
#include "phone_faults.h"
#include "phone_record.h"
#include "phone_state.h"
#include "sim_clock.h"

namespace {

constexpr size_t kDeviceDatagramLongest = 2000;

// One datagram at a time: the whole simulator runs on one thread.
uint8_t g_datagram[65536];

void on_device_datagram(Phone* p, int fd) {
    sockaddr_in from;
    const long got = sim_recv(fd, g_datagram, sizeof g_datagram, &from);
    if (got < 0) {
        return;
    }
    const auto length = static_cast<size_t>(got);
    const std::string sender = sim_addr_text(from);
    // Each request reaches one socket only (each is bound to its own destination address),
    // so a phone answers a request once, however it was addressed.
    const char* via = fd == p->broadcast_fd ? "broadcast"
                      : fd == p->subnet_fd  ? "subnet-broadcast"
                                            : "unicast";
    if (length > kDeviceDatagramLongest || length == 0) {
        log_event(&p->log, "ignored from=%s via=%s bytes=%zu reason=%s", sender.c_str(), via,
                  length, length == 0 ? "empty" : "oversized");
        return;
    }
    const DatagramKind kind = classify_datagram(g_datagram, length);
    if (kind == DatagramKind::kUnknown) {
        log_event(&p->log, "ignored from=%s via=%s bytes=%zu reason=unknown-marker first=0x%02X",
                  sender.c_str(), via, length, g_datagram[0]);
        return;
    }
    if (kind == DatagramKind::kDiscovery) {
        log_event(&p->log, "discovery from=%s via=%s bytes=%zu", sender.c_str(), via, length);
        if (p->faults.silent || p->faults.discovery_silent) {
            log_event(&p->log, "ignored from=%s reason=%s", sender.c_str(),
                      p->faults.silent ? "silent" : "discovery-silent");
            return;
        }
        const std::string reply = discovery_reply(p->settings, p->config.address, p->faults);
        send_device_reply(
            p, from, reply,
            "discovery-reply to=" + sender + " bytes=" + std::to_string(reply.size()));
        return;
    }
    const char* kind_name = kind == DatagramKind::kAdmin ? "admin" : "misc";
    log_event(&p->log, "command kind=%s from=%s via=%s bytes=%zu", kind_name, sender.c_str(), via,
              length);
    if (p->faults.silent || p->faults.command_silent) {
        log_event(&p->log, "ignored from=%s reason=%s", sender.c_str(),
                  p->faults.silent ? "silent" : "command-silent");
        return;
    }
    const CommandOutcome outcome = apply_command(&p->settings, g_datagram, length);
    if (outcome.changed) {
        save_settings(p);
    }
    log_event(&p->log, "command-result kind=%s result=%s %s", kind_name, outcome.result.c_str(),
              outcome.detail.c_str());
    const std::string reply = command_reply(outcome.result, p->faults);
    const std::string sent_result =
        p->faults.result_forced ? p->faults.forced_result : outcome.result;
    send_device_reply(p, from, reply,
                      "command-reply to=" + sender + " result=" + log_word(sent_result) +
                          " bytes=" + std::to_string(reply.size()));
}

bool open_sockets(Phone* p, std::string* error) {
    sockaddr_in local = p->self;
    local.sin_port = htons(static_cast<uint16_t>(p->config.command_port));
    p->command_fd = sim_udp_bind(local, error);
    if (p->command_fd < 0) {
        return false;
    }
    p->broadcast_fd = sim_udp_broadcast_listener(p->self, p->config.command_port, error);
    if (p->broadcast_fd < 0) {
        return false;
    }
    const int subnet = sim_udp_subnet_listener(p->self, p->config.command_port, error);
    if (subnet == -1) {
        return false;
    }
    p->subnet_fd = subnet >= 0 ? subnet : -1;
    local.sin_port = htons(static_cast<uint16_t>(p->config.tftp_port));
    p->tftp_fd = sim_udp_bind(local, error);
    return p->tftp_fd >= 0;
}

// The address, then the folder with its settings, station list and faults.
bool open_state(Phone* p, std::string* error) {
    if (!sim_make_addr(p->config.address, 0, &p->self)) {
        *error = "not an IPv4 address";
        return false;
    }
    if (!prepare_state(p, error)) {
        return false;
    }
    std::string problem;
    if (load_faults_file(p, &problem) != 0) {
        *error = "faults: " + problem;
        return false;
    }
    return true;
}

void send_due(Phone* p, int64_t now) {
    for (const DelayedSend& d : take_due_sends(&p->delayed, now)) {
        const int fd = d.channel == SendChannel::kCommand  ? p->command_fd
                       : d.channel == SendChannel::kListen ? p->tftp_fd
                                                           : transfer_fd(p, d.transfer_id);
        if (fd >= 0) {
            sim_send(fd, d.bytes.data(), d.bytes.size(), d.to);
        }
        if (d.channel == SendChannel::kCommand || p->faults.trace) {
            log_event(&p->log, "%s", d.note.c_str());
        }
    }
}

}  // namespace

Phone* phone_open(const PhoneConfig& config, std::string* error) {
    auto* p = new Phone;
    p->config = config;
    if (!open_state(p, error) || !open_sockets(p, error)) {
        *error = "phone " + config.address + ": " + *error;
        phone_close(p);
        return nullptr;
    }
    log_event(&p->log,
              "start address=%s name=%s version=%s admin_name=%s command_port=%d tftp_port=%d",
              config.address.c_str(), p->settings.name.c_str(), p->settings.version.c_str(),
              p->settings.admin_name.c_str(), config.command_port, config.tftp_port);
    return p;
}

void phone_close(Phone* p) {
    if (!p) {
        return;
    }
    stop_transfers(p);
    if (p->tftp_fd >= 0) {
        log_event(&p->log, "stop");
    }
    sim_close(p->command_fd);
    sim_close(p->broadcast_fd);
    sim_close(p->subnet_fd);
    sim_close(p->tftp_fd);
    event_log_close(&p->log);
    delete p;
}

void phone_sockets(const Phone* p, std::vector<int>* fds) {
    // Transfers first: a final ACK and the peer's next request arriving together must be
    // taken in that order.
    transfer_sockets(p, fds);
    for (const int fd : {p->command_fd, p->broadcast_fd, p->subnet_fd, p->tftp_fd}) {
        if (fd >= 0) {
            fds->push_back(fd);
        }
    }
}

void phone_readable(Phone* p, int fd) {
    if (fd == p->command_fd || fd == p->broadcast_fd || fd == p->subnet_fd) {
        on_device_datagram(p, fd);
    } else {
        on_tftp_datagram(p, fd);
    }
}

int64_t phone_next_deadline(const Phone* p) {
    return std::min(next_send_due(p->delayed), next_transfer_deadline(p));
}

void phone_timers(Phone* p) {
    const int64_t now = sim_now_ms();
    send_due(p, now);
    expire_transfers(p, now);
    remove_finished_transfers(p);
}

void phone_reload_faults(Phone* p) {
    std::string error;
    if (load_faults_file(p, &error) != 0) {
        log_event(&p->log, "faults-error %s (the earlier switches stay)", log_word(error).c_str());
    }
}
