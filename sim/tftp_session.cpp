// tftp_session.cpp: the phone's side of one TFTP read or write (RFC 1350, 512-byte blocks).
#include "tftp_session.h"

#include <algorithm>

namespace {

void send(TftpSession* s, Packet packet, std::vector<Packet>* out) {
    s->last_sent = packet;
    out->push_back(std::move(packet));
}

SessionEvent fail(TftpSession* s, const std::string& reason) {
    s->state = SessionState::kFailed;
    s->reason = reason;
    return SessionEvent::kFailed;
}

// Sends an ERROR in place of the next packet when the faults ask for it at this block.
bool inject_error(TftpSession* s, uint16_t block, std::vector<Packet>* out) {
    if (s->error_block == 0 || block != s->error_block) {
        return false;
    }
    out->push_back(tftp_make_error(kTftpErrUndefined, "Simulated failure"));
    fail(s, "injected-error");
    return true;
}

void send_next_data(TftpSession* s, std::vector<Packet>* out) {
    const uint16_t next = static_cast<uint16_t>(s->block + 1);
    if (inject_error(s, next, out)) {
        return;
    }
    const size_t n = std::min(kTftpBlockSize, s->data.size() - s->sent);
    send(s, tftp_make_data(next, s->data.data() + s->sent, n), out);
    s->sent += n;
    s->block = next;
}

SessionEvent receive_in_read(TftpSession* s, int opcode, int block, std::vector<Packet>* out) {
    if (opcode != kTftpAck) {
        out->push_back(tftp_make_error(kTftpErrIllegal, "Expected ACK"));
        return fail(s, "unexpected-opcode");
    }
    // A repeated ACK of an earlier block is not answered: re-sending DATA on it would double
    // every later packet (the Sorcerer's Apprentice bug, RFC 1123 4.2.3.1).
    if (block != s->block) {
        return SessionEvent::kNone;
    }
    s->expiries = 0;
    if (s->last_sent.size() < kTftpHeaderSize + kTftpBlockSize) {
        s->state = SessionState::kDone;
        return SessionEvent::kCompleted;
    }
    send_next_data(s, out);
    return s->state == SessionState::kFailed ? SessionEvent::kFailed : SessionEvent::kNone;
}

SessionEvent receive_in_write(TftpSession* s, int opcode, int block, const uint8_t* bytes,
                              size_t length, std::vector<Packet>* out) {
    if (opcode != kTftpData) {
        out->push_back(tftp_make_error(kTftpErrIllegal, "Expected DATA"));
        return fail(s, "unexpected-opcode");
    }
    const size_t n = length - kTftpHeaderSize;
    if (n > kTftpBlockSize) {
        out->push_back(tftp_make_error(kTftpErrIllegal, "Block larger than 512 bytes"));
        return fail(s, "oversized-block");
    }
    // The last block again: our ACK was lost, so acknowledge it again (also while dallying).
    if (block == s->block && s->block != 0) {
        out->push_back(s->last_sent);
        return SessionEvent::kNone;
    }
    const uint16_t next = static_cast<uint16_t>(s->block + 1);
    if (s->state != SessionState::kRunning || block != next) {
        return SessionEvent::kNone;
    }
    if (s->data.size() + n > s->max_size) {
        out->push_back(tftp_make_error(kTftpErrDiskFull, "File too large"));
        return fail(s, "too-large");
    }
    if (inject_error(s, next, out)) {
        return SessionEvent::kFailed;
    }
    s->data.insert(s->data.end(), bytes + kTftpHeaderSize, bytes + length);
    s->block = next;
    s->expiries = 0;
    send(s, tftp_make_ack(next), out);
    if (n < kTftpBlockSize) {
        s->state = SessionState::kDallying;
        return SessionEvent::kCompleted;
    }
    return SessionEvent::kNone;
}

}  // namespace

void session_start(TftpSession* s, std::vector<Packet>* out) {
    s->block = 0;
    s->sent = 0;
    s->expiries = 0;
    s->state = SessionState::kRunning;
    if (s->writing) {
        send(s, tftp_make_ack(0), out);
    } else {
        send_next_data(s, out);
    }
}

SessionEvent session_receive(TftpSession* s, const uint8_t* bytes, size_t length,
                             std::vector<Packet>* out) {
    if (s->state == SessionState::kDone || s->state == SessionState::kFailed) {
        return SessionEvent::kNone;
    }
    const int opcode = tftp_opcode(bytes, length);
    const int block = tftp_block(bytes, length);
    if (opcode == kTftpError) {
        if (s->state == SessionState::kDallying) {
            return SessionEvent::kNone;
        }
        return fail(s, "error-from-peer");
    }
    if (block < 0) {
        return SessionEvent::kNone;  // too short to be anything; the peer will re-send
    }
    return s->writing ? receive_in_write(s, opcode, block, bytes, length, out)
                      : receive_in_read(s, opcode, block, out);
}

SessionEvent session_expire(TftpSession* s, int retries, std::vector<Packet>* out) {
    if (s->state == SessionState::kDallying) {
        s->state = SessionState::kDone;
        return SessionEvent::kNone;
    }
    if (s->state != SessionState::kRunning) {
        return SessionEvent::kNone;
    }
    if (s->expiries >= retries) {
        return fail(s, "timeout");
    }
    ++s->expiries;
    out->push_back(s->last_sent);
    return SessionEvent::kNone;
}
