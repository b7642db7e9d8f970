// phone_faults.cpp: the fault switches acting on the phone's datagrams.
#include "phone_faults.h"

#include <algorithm>
#include <fstream>
#include <sstream>

#include "phone_record.h"
#include "phone_state.h"
#include "sim_clock.h"

namespace {

bool chosen(Phone* p, const PacketSelector& selector, uint32_t n) {
    return selector_matches(selector, n, &p->rng);
}

int transfer_socket(const Phone* p, const Transfer* t) {
    return t ? t->fd : p->tftp_fd;
}

void send_now(int fd, const sockaddr_in& to, const Packet& packet) {
    sim_send(fd, packet.data(), packet.size(), to);
}

}  // namespace

int load_faults_file(Phone* p, std::string* error) {
    std::ifstream in(state_path(p, kFaultsFile), std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    FaultPlan plan;
    if (fault_plan_parse(text.str(), &plan, error) != 0) {
        return -1;
    }
    p->faults = plan;
    p->rx_count = 0;
    p->tx_count = 0;
    p->rng.seed(p->faults.seeded ? p->faults.seed : ntohl(p->self.sin_addr.s_addr));
    std::string shown = text.str();
    std::replace_if(
        shown.begin(), shown.end(), [](char c) { return c == '\n' || c == '\r'; }, ',');
    log_event(&p->log, "faults loaded=%s", log_word(shown).c_str());
    return 0;
}

int open_transfer_socket(Phone* p, std::string* error) {
    sockaddr_in local = p->self;
    if (!p->faults.tftp_from.empty()) {
        sim_make_addr(p->faults.tftp_from, 0, &local);
    }
    local.sin_port = 0;
    return sim_udp_bind(local, error);
}

void send_device_reply(Phone* p, const sockaddr_in& to, const std::string& text,
                       const std::string& note) {
    const int copies = p->faults.duplicate_replies ? 2 : 1;
    const Packet bytes(text.begin(), text.end());
    for (int i = 0; i < copies; ++i) {
        if (p->faults.reply_delay_ms > 0) {
            p->delayed.push_back({sim_now_ms() + p->faults.reply_delay_ms, SendChannel::kCommand, 0,
                                  to, bytes,
                                  note + " delayed=" + std::to_string(p->faults.reply_delay_ms)});
            continue;
        }
        sim_send(p->command_fd, bytes.data(), bytes.size(), to);
        log_event(&p->log, "%s", note.c_str());
    }
}

void transmit(Phone* p, Transfer* t, const sockaddr_in& to, const Packet& packet) {
    const uint32_t n = ++p->tx_count;
    const std::string what = tftp_describe(packet.data(), packet.size());
    const std::string target = sim_addr_text(to);
    if (p->faults.trace) {
        log_event(&p->log, "tftp-tx n=%u local=%d to=%s %s", n,
                  sim_local_port(transfer_socket(p, t)), target.c_str(), what.c_str());
    }
    if (chosen(p, p->faults.drop_tx, n)) {
        log_event(&p->log, "fault drop-tx n=%u to=%s %s", n, target.c_str(), what.c_str());
        return;
    }
    std::string error;
    if (t && t->owns_fd && chosen(p, p->faults.move_port, n)) {
        const int moved = open_transfer_socket(p, &error);
        if (moved >= 0) {
            sim_close(t->old_fd);
            t->old_fd = t->fd;
            t->fd = moved;
            log_event(&p->log, "fault move-port n=%u id=%d port=%d", n, t->id,
                      sim_local_port(moved));
        }
    }
    const bool stray = t && chosen(p, p->faults.stray_tx, n);
    const int copies = chosen(p, p->faults.dup_tx, n) ? 2 : 1;
    if (copies == 2) {
        log_event(&p->log, "fault dup-tx n=%u to=%s %s", n, target.c_str(), what.c_str());
    }
    const bool late = p->faults.tftp_delay_ms > 0 && chosen(p, p->faults.delay_tx, n);
    if (late) {
        log_event(&p->log, "fault tftp-delay n=%u ms=%d %s", n, p->faults.tftp_delay_ms,
                  what.c_str());
    }
    for (int i = 0; i < copies; ++i) {
        if (late) {
            p->delayed.push_back({sim_now_ms() + p->faults.tftp_delay_ms,
                                  t ? SendChannel::kTransfer : SendChannel::kListen, t ? t->id : 0,
                                  to, packet, "tftp-delayed-sent n=" + std::to_string(n)});
        } else {
            send_now(transfer_socket(p, t), to, packet);
        }
    }
    if (stray) {
        if (t->stray_fd < 0) {
            t->stray_fd = open_transfer_socket(p, &error);
        }
        if (t->stray_fd >= 0) {
            send_now(t->stray_fd, to, packet);
            log_event(&p->log, "fault stray-tx n=%u id=%d port=%d %s", n, t->id,
                      sim_local_port(t->stray_fd), what.c_str());
        }
    }
}

int receive_times(Phone* p, int fd, const sockaddr_in& from, const std::string& described) {
    const uint32_t n = ++p->rx_count;
    if (p->faults.trace) {
        log_event(&p->log, "tftp-rx n=%u local=%d from=%s %s", n, sim_local_port(fd),
                  sim_addr_text(from).c_str(), described.c_str());
    }
    if (chosen(p, p->faults.drop_rx, n)) {
        log_event(&p->log, "fault drop-rx n=%u from=%s %s", n, sim_addr_text(from).c_str(),
                  described.c_str());
        return 0;
    }
    if (chosen(p, p->faults.dup_rx, n)) {
        log_event(&p->log, "fault dup-rx n=%u %s", n, described.c_str());
        return 2;
    }
    return 1;
}
