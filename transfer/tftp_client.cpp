// tftp_client.cpp: a lock-step TFTP client (RFC 1350); each transfer keeps its state in its
// own record.
#include "tftp_client.h"

#include <cstdio>
#include <cstring>

#include "progress.h"

namespace {

constexpr int kBlockSize = 512;
constexpr uint32_t kRetransmitMs = 3000;
constexpr int kTimeoutsToFail = 3;
constexpr int kReadChunk = 20000;
constexpr int kPollMs = 10;

enum Opcode { kRrq = 1, kWrq = 2, kData = 3, kAck = 4, kError = 5 };

// The utility's transfers run one at a time (the worker's single slot), so they share these.
uint8_t transfer_buffer[kTftpFileLimit];
TftpTransfer utility_transfer;

void put16(uint8_t* at, int value) {
    at[0] = static_cast<uint8_t>(value >> 8);
    at[1] = static_cast<uint8_t>(value);
}

int get16(const uint8_t* at) {
    return (at[0] << 8) | at[1];
}

void send_last(TftpTransfer* t, int32_t now) {
    udp_send_to(t->socket, t->last_packet, t->last_length, &t->peer);
    t->last_send = now;
}

// Makes the packet the one that retransmissions repeat, and sends it.
void send_new(TftpTransfer* t, int length, int32_t now) {
    t->last_length = length;
    send_last(t, now);
}

int build_request(TftpTransfer* t) {
    const size_t name_length = strlen(t->remote);
    const size_t mode_length = strlen(t->mode);
    if (4 + name_length + mode_length > sizeof t->last_packet) {
        return -1;
    }
    put16(t->last_packet, t->direction);
    memcpy(t->last_packet + 2, t->remote, name_length + 1);
    memcpy(t->last_packet + 3 + name_length, t->mode, mode_length + 1);
    return static_cast<int>(4 + name_length + mode_length);
}

// RFC 1350: a datagram from another transfer is answered, and must not disturb this one.
void reject_stranger(Socket s, const Endpoint* stranger) {
    static const char kUnknownTid[] = "\0\5\0\5Unknown transfer ID";
    udp_send_to(s, kUnknownTid, sizeof kUnknownTid, stranger);
}

// Only the telephone may take part; the first answer it sends fixes its port.
bool accept_sender(TftpTransfer* t, const Endpoint* from) {
    const int difference = sock_addr_cmp(from, &t->peer);
    if (difference == -1 || (difference == -2 && t->peer_fixed)) {
        reject_stranger(t->socket, from);
        return false;
    }
    t->peer = *from;
    t->peer_fixed = true;
    return true;
}

int finish(TftpTransfer* t, int end) {
    sock_close(t->socket);
    t->end = end;
    return end == kTftpDone ? 1 : -1;
}

// An unexpected packet ends the transfer with the client's own ERROR; the peer's ERROR code and
// text are kept for the caller to show.
int fail_unexpected(TftpTransfer* t, int length) {
    tftp_send_error(t->socket, &t->peer);
    if (t->received[1] != kError) {
        t->peer_code = t->received[1];
        return finish(t, kTftpUnexpected);
    }
    t->peer_code = get16(t->received + 2);
    int n = 0;
    for (int i = 4; i < length && t->received[i] != 0 && n < kTftpMessageSize - 1; ++i) {
        const uint8_t c = t->received[i];
        t->peer_message[n++] = c >= 0x20 && c < 0x7f ? static_cast<char>(c) : '?';
    }
    t->peer_message[n] = '\0';
    return finish(t, kTftpPeerError);
}

// One received DATA packet of a download. 0 to go on, else the transfer's result.
int on_download_packet(TftpTransfer* t, int length, int32_t now) {
    if (t->received[1] != kData) {
        return fail_unexpected(t, length);
    }
    if (get16(t->received + 2) != t->expected) {
        send_last(t, now);  // a repeated block: acknowledge it again
        return 0;
    }
    put16(t->last_packet, kAck);
    put16(t->last_packet + 2, t->expected);
    send_new(t, 4, now);
    ++t->expected;
    const int n = length - 4;
    if (t->size + n > t->capacity) {
        tftp_send_error(t->socket, &t->peer);
        return finish(t, kTftpTooLarge);
    }
    memcpy(t->file + t->size, t->received + 4, static_cast<size_t>(n));
    t->size += n;
    if (n == kBlockSize) {
        return 0;
    }
    return finish(t,
                  save_file(t->local, t->file, t->size) == t->size ? kTftpDone : kTftpUnwritable);
}

// One received ACK packet of an upload. 0 to go on, else the transfer's result.
int on_upload_packet(TftpTransfer* t, int length, int32_t now) {
    if (t->received[1] != kAck) {
        return fail_unexpected(t, length);
    }
    const int block = get16(t->received + 2);
    if (block < t->expected) {
        // RFC 1123: answering a duplicate ACK with DATA again would double every packet
        // from then on (the Sorcerer's Apprentice); only the time-out re-sends.
        return 0;
    }
    if (block != t->expected) {
        send_last(t, now);
        return 0;
    }
    if (t->sent == t->size && t->last_block_length != kBlockSize) {
        return finish(t, kTftpDone);
    }
    const int n = t->size - t->sent < kBlockSize ? t->size - t->sent : kBlockSize;
    put16(t->last_packet, kData);
    put16(t->last_packet + 2, t->expected + 1);
    memcpy(t->last_packet + 4, t->file + t->sent, static_cast<size_t>(n));
    t->sent += n;
    ++t->expected;
    t->last_block_length = n;
    send_new(t, 4 + n, now);
    if (t->on_sent) {
        t->on_sent(t);
    }
    return 0;
}

void notify_progress_window(const TftpTransfer* t) {
    if (progress_exists()) {
        progress_notify(t->sent * 100 / t->size);
    }
}

}  // namespace

void tftp_send_error(Socket s, const Endpoint* to) {
    static const uint8_t kErrorPacket[10] = {0, kError, 0, 4, 'E', 'R', 'R', 'O', 'R', 0};
    udp_send_to(s, kErrorPacket, sizeof kErrorPacket, to);
}

int tftp_run(TftpTransfer* t) {
    const int direction = t->direction;
    t->end = kTftpBadRequest;
    if (direction != kTftpDownload && direction != kTftpUpload) {
        return -1;
    }
    if (direction == kTftpDownload) {
        t->size = 0;
    }
    const int request_length = build_request(t);
    if (request_length < 0 || sock_make_addr(&t->peer, t->device, kTftpServerPort) != 0) {
        return -1;
    }
    // Blocking, with the polling pause as receive time-out: a block then costs one receive
    // and one send, the fewest socket calls a lock-step exchange can make (under Wine each is a
    // round trip to the wineserver).
    t->socket = udp_open(t->local_port, 0);
    if (t->socket < 0) {
        t->end = kTftpNoSocket;
        return -1;
    }
    if (sock_recv_timeout(t->socket, kPollMs) != 0) {
        return finish(t, kTftpNoSocket);
    }
    send_new(t, request_length, clock_now());
    t->expected = direction == kTftpDownload ? 1 : 0;

    for (;;) {
        const int32_t now = clock_now();
        if (static_cast<uint32_t>(clock_elapsed(t->last_send, now)) > kRetransmitMs) {
            if (++t->timeouts == kTimeoutsToFail) {
                t->blocks = t->expected - 1;
                return finish(t, t->peer_fixed ? kTftpStoppedAnswering : kTftpNoAnswer);
            }
            send_last(t, now);
        }
        Endpoint from;
        const int length = udp_recv_from(t->socket, t->received, sizeof t->received, &from);
        // Too short to hold an opcode and a block number: not a packet of ours.
        if (length < 4 || !accept_sender(t, &from)) {
            continue;
        }
        const int result = direction == kTftpDownload ? on_download_packet(t, length, now)
                                                      : on_upload_packet(t, length, now);
        if (result != 0) {
            return result;
        }
    }
}

int tftp_transfer(const char* device, int direction, const char* remote, const char* local,
                  const char* mode, int32_t* size) {
    TftpTransfer* t = &utility_transfer;
    memset(t, 0, sizeof *t);
    t->device = device;
    t->direction = direction;
    t->remote = remote;
    t->mode = mode;
    t->local_port = kTftpLocalPort;
    t->file = transfer_buffer;
    t->capacity = kTftpFileLimit;
    t->size = direction == kTftpDownload ? 0 : *size;
    t->local = local;
    t->on_sent = notify_progress_window;
    if (direction == kTftpDownload) {
        *size = 0;
    }
    const int result = tftp_run(t);
    if (direction == kTftpDownload) {
        *size = t->size;
    }
    return result;
}

int tftp_download(const char* device, const char* remote, const char* local, int32_t* size_out) {
    return tftp_transfer(device, kTftpDownload, remote, local, "octet", size_out);
}

int tftp_upload(const char* device, const char* local, const char* remote) {
    int32_t size = load_file(local, transfer_buffer, kTftpFileLimit);
    if (size <= 0) {
        return -1;
    }
    return tftp_transfer(device, kTftpUpload, remote, local, "octet", &size);
}

int load_file(const char* path, uint8_t* buffer, int limit) {
    FILE* file = fopen(path, "rb");
    if (!file) {
        return -1;
    }
    int total = 0;
    bool failed = false;
    // Chunks never reach past the limit, whatever the limit is.
    while (total < limit) {
        const int chunk = limit - total < kReadChunk ? limit - total : kReadChunk;
        const size_t got = fread(buffer + total, 1, static_cast<size_t>(chunk), file);
        total += static_cast<int>(got);
        // A short read (the end of the file, or an error) is possible, whatever cppcheck says.
        // cppcheck-suppress knownConditionTrueFalse
        if (got < static_cast<size_t>(chunk)) {
            failed = ferror(file) != 0;
            break;
        }
    }
    fclose(file);
    return failed ? -1 : total;
}

int save_file(const char* path, const uint8_t* data, int length) {
    FILE* file = fopen(path, "wb");
    if (!file) {
        return -1;
    }
    const size_t written = fwrite(data, 1, static_cast<size_t>(length), file);
    const bool complete = written == static_cast<size_t>(length) && fflush(file) == 0;
    if (fclose(file) != 0 || !complete) {
        remove(path);  // a cut-short file must not pass for the downloaded one
        return -1;
    }
    return length;
}
