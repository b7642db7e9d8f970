// phone_tftp.cpp: the phone's TFTP server around its per-transfer sessions.
#include "phone_tftp.h"

#include <algorithm>

#include "phone_faults.h"
#include "phone_record.h"
#include "phone_state.h"
#include "request_policy.h"
#include "sim_clock.h"
#include "tftp_packet.h"

namespace {

// Long enough for the client's two re-sends at 3-second intervals of a last DATA whose ACK
// was lost.
constexpr int64_t kDallyMs = 10000;

// One datagram at a time: the whole simulator runs on one thread.
uint8_t g_datagram[65536];

const char* op_name(bool writing) {
    return writing ? "write" : "read";
}

// The transfer that owns fd as its own, former or stray port; null for the port-69 socket.
Transfer* transfer_by_fd(Phone* p, int fd) {
    for (Transfer& t : p->transfers) {
        if ((t.owns_fd && t.fd == fd) || t.old_fd == fd || t.stray_fd == fd) {
            return &t;
        }
    }
    return nullptr;
}

bool transfer_active(const Transfer& t) {
    return t.session.state == SessionState::kRunning || t.session.state == SessionState::kDallying;
}

void transmit_all(Phone* p, Transfer* t, const std::vector<Packet>& packets) {
    for (const Packet& packet : packets) {
        transmit(p, t, t->peer, packet);
    }
}

void log_failure(Phone* p, const Transfer& t) {
    log_event(&p->log, "tftp-fail id=%d op=%s file=%s bytes=%zu reason=%s", t.id,
              op_name(t.session.writing), log_word(t.file).c_str(),
              t.session.writing ? t.session.data.size() : t.session.sent, t.session.reason.c_str());
}

// A write has gone through whole: store the file; a station list replaces the phone's own.
// False when the file could not be stored.
bool store_received(Phone* p, Transfer* t) {
    const std::string path = stored_file_path(p, t->file);
    if (!write_whole_file(path, t->session.data)) {
        return false;
    }
    log_event(&p->log, "tftp-done id=%d op=write file=%s bytes=%zu", t->id,
              log_word(t->file).c_str(), t->session.data.size());
    if (t->file == kStationUploadName) {
        replace_stations(p, path);
    }
    return true;
}

// Reports what one step of a transfer brought, sends its packets and sets the next timer. A
// received file is stored before its last ACK goes out, so a peer told "done" finds it there;
// one that cannot be stored gets ERROR 3 instead.
void complete_step(Phone* p, Transfer* t, SessionEvent event, std::vector<Packet> out) {
    if (event == SessionEvent::kCompleted && t->session.writing && !store_received(p, t)) {
        out = {tftp_make_error(kTftpErrDiskFull, "Cannot store the file")};
        t->session.state = SessionState::kFailed;
        t->session.reason = "store-failed";
        event = SessionEvent::kFailed;
    }
    if (event == SessionEvent::kCompleted) {
        if (!t->session.writing) {
            log_event(&p->log, "tftp-done id=%d op=read file=%s bytes=%zu", t->id,
                      log_word(t->file).c_str(), t->session.data.size());
        }
    } else if (event == SessionEvent::kFailed) {
        log_failure(p, *t);
    }
    transmit_all(p, t, out);
    if (!out.empty() || event == SessionEvent::kCompleted) {
        t->deadline =
            sim_now_ms() +
            (t->session.state == SessionState::kDallying ? kDallyMs : p->faults.tftp_timeout_ms);
    }
}

void transfer_receive(Phone* p, Transfer* t, const uint8_t* bytes, size_t length) {
    std::vector<Packet> out;
    const SessionEvent event = session_receive(&t->session, bytes, length, &out);
    complete_step(p, t, event, std::move(out));
}

void refuse(Phone* p, const sockaddr_in& to, const TftpRequest& request, int code,
            const std::string& message, const char* reason) {
    log_event(&p->log, "tftp-refused op=%s file=%s from=%s code=%d reason=%s",
              op_name(request.opcode == kTftpWrq), log_word(request.file).c_str(),
              sim_addr_text(to).c_str(), code, reason);
    transmit(p, nullptr, to, tftp_make_error(code, message));
}

// Whether the transfer has sent nothing yet that the peer answered: then a request again is
// the peer re-sending it because our first packet was lost.
bool at_first_packet(const Transfer& t) {
    return t.session.writing ? t.session.block == 0 : t.session.block == 1;
}

// A request again from the same peer for the same transfer, still at its first packet, is a
// re-send: answer it with that packet. Any other request from that peer means it has moved on,
// so its earlier transfers end (a read whose last DATA went out counts as done).
bool take_repeated_request(Phone* p, const sockaddr_in& from, const TftpRequest& request) {
    for (Transfer& t : p->transfers) {
        if (!transfer_active(t) || !sim_same_endpoint(t.peer, from)) {
            continue;
        }
        if (t.session.state == SessionState::kRunning && t.file == request.file &&
            t.session.writing == (request.opcode == kTftpWrq) && at_first_packet(t)) {
            log_event(&p->log, "tftp-repeat id=%d from=%s", t.id, sim_addr_text(from).c_str());
            transmit(p, &t, t.peer, t.session.last_sent);
            t.deadline = sim_now_ms() + p->faults.tftp_timeout_ms;
            return true;
        }
        const bool all_sent = !t.session.writing && t.session.sent == t.session.data.size() &&
                              t.session.last_sent.size() < kTftpHeaderSize + kTftpBlockSize;
        if (t.session.state == SessionState::kRunning && !all_sent) {
            t.session.state = SessionState::kFailed;
            t.session.reason = "superseded";
            log_failure(p, t);
            continue;
        }
        if (t.session.state == SessionState::kRunning) {
            log_event(&p->log, "tftp-done id=%d op=read file=%s bytes=%zu final-ack=missing", t.id,
                      log_word(t.file).c_str(), t.session.data.size());
        }
        t.session.state = SessionState::kDone;
    }
    return false;
}

// The data a read is served from. False when there is none.
bool read_source(Phone* p, RequestSource source, const std::string& file,
                 std::vector<uint8_t>* data) {
    switch (source) {
        case RequestSource::kStationList:
            return read_whole_file(state_path(p, kStationListFile), data);
        case RequestSource::kStoredFile:
            return read_whole_file(stored_file_path(p, file), data);
        default:
            return true;  // a write starts empty
    }
}

void on_request(Phone* p, const sockaddr_in& from, const TftpRequest& request) {
    const bool writing = request.opcode == kTftpWrq;
    std::string options;
    for (const std::string& option : request.options) {
        options += (options.empty() ? " options=" : ",") + log_word(option);
    }
    log_event(&p->log, "tftp-request op=%s file=%s mode=%s from=%s%s", op_name(writing),
              log_word(request.file).c_str(), log_word(request.mode).c_str(),
              sim_addr_text(from).c_str(), options.c_str());
    if (take_repeated_request(p, from, request)) {
        return;
    }
    const RequestVerdict verdict = judge_request(request, p->faults);
    if (verdict.source == RequestSource::kRefused) {
        refuse(p, from, request, verdict.code, verdict.message, verdict.reason);
        return;
    }
    Transfer t;
    t.session.writing = writing;
    if (!read_source(p, verdict.source, request.file, &t.session.data)) {
        refuse(p, from, request, kTftpErrNotFound, "File not found", "not-found");
        return;
    }
    std::string error;
    if (p->faults.from_port69) {
        t.fd = p->tftp_fd;
        t.owns_fd = false;
    } else if ((t.fd = open_transfer_socket(p, &error)) < 0) {
        log_event(&p->log, "tftp-socket-failed %s", log_word(error).c_str());
        refuse(p, from, request, kTftpErrUndefined, "No transfer port", "socket");
        return;
    }
    t.id = p->next_transfer_id++;
    t.file = request.file;
    t.peer = from;
    t.session.max_size = p->config.max_file_size;
    t.session.error_block = p->faults.error_block;
    sockaddr_in local{};
    sim_make_addr(p->faults.tftp_from.empty() ? p->config.address : p->faults.tftp_from,
                  sim_local_port(t.fd), &local);
    log_event(&p->log, "tftp-start id=%d op=%s file=%s peer=%s local=%s bytes=%zu", t.id,
              op_name(writing), log_word(t.file).c_str(), sim_addr_text(from).c_str(),
              sim_addr_text(local).c_str(), t.session.data.size());
    p->transfers.push_back(std::move(t));
    Transfer* running = &p->transfers.back();
    std::vector<Packet> out;
    session_start(&running->session, &out);
    complete_step(p, running,
                  running->session.state == SessionState::kFailed ? SessionEvent::kFailed
                                                                  : SessionEvent::kNone,
                  out);
}

void on_listen_datagram(Phone* p, const sockaddr_in& from, const uint8_t* bytes, size_t length) {
    TftpRequest request;
    if (tftp_parse_request(bytes, length, &request) == 0) {
        on_request(p, from, request);
        return;
    }
    if (p->faults.from_port69) {
        for (Transfer& t : p->transfers) {
            if (!t.owns_fd && transfer_active(t) && sim_same_endpoint(t.peer, from)) {
                transfer_receive(p, &t, bytes, length);
                return;
            }
        }
    }
    log_event(&p->log, "tftp-illegal from=%s %s", sim_addr_text(from).c_str(),
              tftp_describe(bytes, length).c_str());
    // An ERROR is never answered, lest two ends trade them for ever.
    if (length >= 2 && tftp_opcode(bytes, length) != kTftpError) {
        transmit(p, nullptr, from, tftp_make_error(kTftpErrIllegal, "Illegal TFTP operation"));
    }
}

void dispatch_tftp(Phone* p, int fd, Transfer* t, const sockaddr_in& from, const uint8_t* bytes,
                   size_t length) {
    if (p->faults.silent) {
        log_event(&p->log, "ignored from=%s reason=silent %s", sim_addr_text(from).c_str(),
                  tftp_describe(bytes, length).c_str());
        return;
    }
    if (!t) {
        on_listen_datagram(p, from, bytes, length);
        return;
    }
    if (!transfer_active(*t)) {
        return;
    }
    // RFC 1350: a packet from another port or address is answered with ERROR 5 and does not
    // disturb the transfer.
    if (!sim_same_endpoint(from, t->peer)) {
        log_event(&p->log, "tftp-foreign id=%d from=%s local=%d %s", t->id,
                  sim_addr_text(from).c_str(), sim_local_port(fd),
                  tftp_describe(bytes, length).c_str());
        if (tftp_opcode(bytes, length) != kTftpError) {
            transmit(p, t, from, tftp_make_error(kTftpErrUnknownTid, "Unknown transfer ID"));
        }
        return;
    }
    transfer_receive(p, t, bytes, length);
}

void close_transfer(Transfer* t) {
    if (t->owns_fd) {
        sim_close(t->fd);
    }
    sim_close(t->old_fd);
    sim_close(t->stray_fd);
}

}  // namespace

void on_tftp_datagram(Phone* p, int fd) {
    sockaddr_in from;
    const long got = sim_recv(fd, g_datagram, sizeof g_datagram, &from);
    if (got < 0) {
        return;
    }
    const auto length = static_cast<size_t>(got);
    Transfer* t = transfer_by_fd(p, fd);
    const std::string describe = tftp_describe(g_datagram, length);
    if (t && fd == t->stray_fd) {
        log_event(&p->log, "tftp-stray-rx id=%d from=%s local=%d %s", t->id,
                  sim_addr_text(from).c_str(), sim_local_port(fd), describe.c_str());
        const Packet error = tftp_make_error(kTftpErrUnknownTid, "Unknown transfer ID");
        sim_send(fd, error.data(), error.size(), from);
        return;
    }
    const int times = receive_times(p, fd, from, describe);
    for (int i = 0; i < times; ++i) {
        dispatch_tftp(p, fd, t, from, g_datagram, length);
    }
}

void transfer_sockets(const Phone* p, std::vector<int>* fds) {
    for (const Transfer& t : p->transfers) {
        for (const int fd : {t.owns_fd ? t.fd : -1, t.old_fd, t.stray_fd}) {
            if (fd >= 0) {
                fds->push_back(fd);
            }
        }
    }
}

int64_t next_transfer_deadline(const Phone* p) {
    int64_t next = INT64_MAX;
    for (const Transfer& t : p->transfers) {
        if (transfer_active(t)) {
            next = std::min(next, t.deadline);
        }
    }
    return next;
}

int transfer_fd(Phone* p, int transfer_id) {
    for (const Transfer& t : p->transfers) {
        if (t.id == transfer_id) {
            return t.fd;
        }
    }
    return -1;
}

void expire_transfers(Phone* p, int64_t now) {
    for (Transfer& t : p->transfers) {
        if (!transfer_active(t) || t.deadline > now) {
            continue;
        }
        std::vector<Packet> out;
        const SessionEvent event = session_expire(&t.session, p->faults.tftp_retries, &out);
        if (!out.empty()) {
            log_event(&p->log, "tftp-resend id=%d %s", t.id,
                      tftp_describe(out.front().data(), out.front().size()).c_str());
        }
        complete_step(p, &t, event, out);
    }
}

void remove_finished_transfers(Phone* p) {
    // A finished transfer stays until its held-back packets have gone out.
    p->transfers.remove_if([p](Transfer& t) {
        if (transfer_active(t) || sends_held_for(p->delayed, t.id)) {
            return false;
        }
        close_transfer(&t);
        return true;
    });
}

void stop_transfers(Phone* p) {
    for (Transfer& t : p->transfers) {
        if (t.session.state == SessionState::kRunning) {
            t.session.reason = "stopped";
            log_failure(p, t);
        }
        close_transfer(&t);
    }
}
