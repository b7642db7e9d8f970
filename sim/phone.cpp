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

<<<<<<< HEAD
// ------------------------------------------------------------------ TFTP sending

int open_transfer_socket(Phone* p, std::string* error) {
    sockaddr_in local = p->self;
    if (!p->faults.tftp_from.empty()) {
        sim_make_addr(p->faults.tftp_from, 0, &local);
    }
    local.sin_port = 0;
    return sim_udp_bind(local, error);
}

void send_now(int fd, const sockaddr_in& to, const Packet& packet) {
    sim_send(fd, packet.data(), packet.size(), to);
}

// Every TFTP datagram the phone sends passes here, where the faults act on it.
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
                                  t ? Channel::kTransfer : Channel::kListen, t ? t->id : 0, to,
                                  packet, "tftp-delayed-sent n=" + std::to_string(n)});
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

void transmit_all(Phone* p, Transfer* t, const std::vector<Packet>& packets) {
    for (const Packet& packet : packets) {
        transmit(p, t, t->peer, packet);
    }
}

// ------------------------------------------------------------------ TFTP transfers

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
        StationList list{};
        if (station_list_read(&list, path.c_str()) == 1) {
            for (int i = p->faults.stations_kept; i < kStationCount; ++i) {
                list.name[i][0] = list.url[i][0] = '\0';
            }
            p->stations = list;
            const int count = station_list_compact(&list);
            log_event(&p->log, "stations count=%d volume=%d default=%d%s", count,
                      p->stations.volume, p->stations.default_station,
                      save_stations(p) ? "" : " save-failed");
        }
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
    if (strcasecmp(request.mode.c_str(), "octet") != 0) {
        refuse(p, from, request, kTftpErrUndefined, "Only octet mode is supported", "mode");
        return;
    }
    Transfer t;
    t.session.writing = writing;
    if (writing) {
        if (p->faults.reject_writes) {
            refuse(p, from, request, kTftpErrAccess, "Writes are not allowed", "reject-writes");
            return;
        }
        if (!is_writable_name(request.file)) {
            refuse(p, from, request, kTftpErrAccess, "Unknown file name", "name");
            return;
        }
    } else {
        if (p->faults.reject_reads) {
            refuse(p, from, request, kTftpErrAccess, "Reads are not allowed", "reject-reads");
            return;
        }
        const bool found =
            request.file == kStationListName
                ? read_whole_file(path_in(p, "stations.cfg"), &t.session.data)
                : p->faults.serve_stored && is_writable_name(request.file) &&
                      read_whole_file(stored_file_path(p, request.file), &t.session.data);
        if (!found) {
            refuse(p, from, request, kTftpErrNotFound, "File not found", "not-found");
            return;
        }
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
        send_now(fd, from, error);
        return;
    }
    const uint32_t n = ++p->rx_count;
    if (p->faults.trace) {
        log_event(&p->log, "tftp-rx n=%u local=%d from=%s %s", n, sim_local_port(fd),
                  sim_addr_text(from).c_str(), describe.c_str());
    }
    if (chosen(p, p->faults.drop_rx, n)) {
        log_event(&p->log, "fault drop-rx n=%u from=%s %s", n, sim_addr_text(from).c_str(),
                  describe.c_str());
        return;
    }
    const int times = chosen(p, p->faults.dup_rx, n) ? 2 : 1;
    if (times == 2) {
        log_event(&p->log, "fault dup-rx n=%u %s", n, describe.c_str());
    }
    for (int i = 0; i < times; ++i) {
        dispatch_tftp(p, fd, t, from, g_datagram, length);
    }
}

void close_transfer(Transfer* t) {
    if (t->owns_fd) {
        sim_close(t->fd);
    }
    sim_close(t->old_fd);
    sim_close(t->stray_fd);
}

int load_faults_file(Phone* p, std::string* error) {
    std::ifstream in(path_in(p, "faults"), std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    FaultPlan plan;
    if (fault_plan_parse(text.str(), &plan, error) != 0) {
        return -1;
    }
    p->faults = plan;
    p->rx_count = 0;
    p->tx_count = 0;
    seed_rng(p);
    std::string shown = text.str();
    std::replace_if(
        shown.begin(), shown.end(), [](char c) { return c == '\n' || c == '\r'; }, ',');
    log_event(&p->log, "faults loaded=%s", log_word(shown).c_str());
    return 0;
}

// The folder, its event log, settings, station list and faults file.
bool prepare_state(Phone* p, std::string* error) {
    const PhoneConfig& config = p->config;
    std::error_code ec;
    if (!sim_make_addr(config.address, 0, &p->self)) {
        *error = "not an IPv4 address";
        return false;
    }
    std::filesystem::create_directories(config.folder + "/files", ec);
    if (ec) {
        *error = config.folder + ": " + ec.message();
        return false;
    }
    if (event_log_open(&p->log, path_in(p, "events.log")) != 0) {
        *error = "cannot open " + path_in(p, "events.log");
        return false;
    }
    p->settings = config.initial;
    if (p->settings.name.empty()) {
        p->settings.name = "sim-" + config.address;
        std::replace(p->settings.name.begin(), p->settings.name.end(), '.', '-');
    }
    const int loaded = settings_load(&p->settings, path_in(p, "settings.txt"), error);
    if (loaded < 0) {
        return false;
    }
    if (loaded == 0 && settings_save(p->settings, path_in(p, "settings.txt")) != 0) {
        *error = "cannot write " + path_in(p, "settings.txt");
        return false;
    }
    if (station_list_read(&p->stations, path_in(p, "stations.cfg").c_str()) != 1) {
        default_stations(&p->stations);
        if (!save_stations(p)) {
            *error = "cannot write " + path_in(p, "stations.cfg");
            return false;
        }
    }
    if (!(std::ofstream(path_in(p, "faults"), std::ios::trunc) << config.faults << '\n')) {
        *error = "cannot write " + path_in(p, "faults");
        return false;
    }
    std::string problem;
    if (load_faults_file(p, &problem) != 0) {
        *error = "faults: " + problem;
        return false;
    }
    return true;
}

=======
>>>>>>> main
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
