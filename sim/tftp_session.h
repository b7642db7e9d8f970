// tftp_session.h: one transfer of the phone's TFTP server as a lock-step state machine without
// sockets: packets go in, packets to send come out.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "tftp_packet.h"

enum class SessionState {
    kRunning,
    kDallying,  // a write is complete; a repeated last DATA is acknowledged again
    kDone,
    kFailed,
};

enum class SessionEvent { kNone, kCompleted, kFailed };

struct TftpSession {
    bool writing = false;       // the peer writes a file to the phone
    std::vector<uint8_t> data;  // read: the whole file; write: the bytes received so far
    size_t max_size = 0;        // write: the largest file accepted
    int error_block = 0;        // ERROR instead of DATA or ACK of this block; 0: never
    uint16_t block = 0;         // read: block of the last DATA sent; write: last block acked
    size_t sent = 0;            // read: file bytes put into DATA packets so far
    Packet last_sent;           // what a time-out re-sends
    int expiries = 0;           // re-sends in a row without progress
    SessionState state = SessionState::kRunning;
    std::string reason;  // why the transfer failed
};

// First packet of the transfer: DATA 1 for a read, ACK 0 for a write.
void session_start(TftpSession* session, std::vector<Packet>* out);
// One datagram from the peer. kCompleted when the file has gone through whole: a write then
// dallies, a read is done.
SessionEvent session_receive(TftpSession* session, const uint8_t* bytes, size_t length,
                             std::vector<Packet>* out);
// The re-send interval (or, while dallying, the dally time) has passed without progress.
SessionEvent session_expire(TftpSession* session, int retries, std::vector<Packet>* out);
