// tftp_client.cpp: a lock-step TFTP client (RFC 1350) for one transfer at a time.
#include "tftp_client.h"

#include <cstdio>
#include <cstring>

#include "progress.h"

namespace {

constexpr int kBlockSize = 512;
constexpr int kPacketBuffer = 1000;
constexpr uint32_t kRetransmitMs = 3000;
constexpr int kTimeoutsToFail = 3;
constexpr int kReadChunk = 20000;

enum Opcode { kRrq = 1, kWrq = 2, kData = 3, kAck = 4, kError = 5 };

// One transfer at a time (the worker's single slot), so these can be static.
uint8_t transfer_buffer[kTftpFileLimit];
uint8_t last_packet[kPacketBuffer];
int32_t last_length = 0;
uint8_t received[kPacketBuffer];

struct Transfer {
    Socket socket;
    Endpoint peer;
    bool peer_fixed;  // the first reply fixes the telephone's transfer port
    int32_t expected;
    int timeouts;
    int32_t last_send;
    int32_t size;
    int32_t sent;
    int32_t last_block_length;
    const char* local;
};

void put16(uint8_t* at, int value) {
    at[0] = static_cast<uint8_t>(value >> 8);
    at[1] = static_cast<uint8_t>(value);
}

int get16(const uint8_t* at) {
    return (at[0] << 8) | at[1];
}

void send_last(Transfer* t) {
    udp_send_to(t->socket, last_packet, last_length, &t->peer);
}

// Makes the packet the one that retransmissions repeat, and sends it.
void send_new(Transfer* t, int length, int32_t now) {
    last_length = length;
    send_last(t);
    t->last_send = now;
}

int build_request(int opcode, const char* remote, const char* mode) {
    const size_t name_length = strlen(remote);
    const size_t mode_length = strlen(mode);
    if (4 + name_length + mode_length > sizeof last_packet) {
        return -1;
    }
    put16(last_packet, opcode);
    memcpy(last_packet + 2, remote, name_length + 1);
    memcpy(last_packet + 3 + name_length, mode, mode_length + 1);
    return static_cast<int>(4 + name_length + mode_length);
}

// RFC 1350: a datagram from another transfer is answered, and must not disturb this one.
void reject_stranger(Socket s, const Endpoint* stranger) {
    static const char kUnknownTid[] = "\0\5\0\5Unknown transfer ID";
    udp_send_to(s, kUnknownTid, sizeof kUnknownTid, stranger);
}

// Only the telephone may take part; the first answer it sends fixes its port.
bool accept_sender(Transfer* t, const Endpoint* from) {
    const int difference = sock_addr_cmp(from, &t->peer);
    if (difference == -1 || (difference == -2 && t->peer_fixed)) {
        reject_stranger(t->socket, from);
        return false;
    }
    t->peer = *from;
    t->peer_fixed = true;
    return true;
}

int finish(Transfer* t, int result) {
    sock_close(t->socket);
    return result;
}

int fail_with_error(Transfer* t) {
    tftp_send_error(t->socket, &t->peer);
    return finish(t, -1);
}

// One received DATA packet of a download. 0 to go on, else the transfer's result.
int on_download_packet(Transfer* t, int length, int32_t now) {
    if (received[1] != kData) {
        return fail_with_error(t);
    }
    if (get16(received + 2) != t->expected) {
        send_last(t);  // a repeated block: acknowledge it again
        t->last_send = now;
        return 0;
    }
    put16(last_packet, kAck);
    put16(last_packet + 2, t->expected);
    send_new(t, 4, now);
    ++t->expected;
    const int n = length - 4;
    if (t->size + n > kTftpFileLimit) {
        return fail_with_error(t);
    }
    memcpy(transfer_buffer + t->size, received + 4, static_cast<size_t>(n));
    t->size += n;
    if (n == kBlockSize) {
        return 0;
    }
    return finish(t, save_file(t->local, transfer_buffer, t->size) == t->size ? 1 : -1);
}

// One received ACK packet of an upload. 0 to go on, else the transfer's result.
int on_upload_packet(Transfer* t, int32_t now) {
    if (received[1] != kAck) {
        return fail_with_error(t);
    }
    const int block = get16(received + 2);
    if (block < t->expected) {
        // RFC 1123: answering a duplicate ACK with DATA again would double every packet
        // from then on (the Sorcerer's Apprentice); only the time-out re-sends.
        return 0;
    }
    if (block != t->expected) {
        send_last(t);
        t->last_send = now;
        return 0;
    }
    if (t->sent == t->size && t->last_block_length != kBlockSize) {
        return finish(t, 1);
    }
    const int n = t->size - t->sent < kBlockSize ? t->size - t->sent : kBlockSize;
    put16(last_packet, kData);
    put16(last_packet + 2, t->expected + 1);
    memcpy(last_packet + 4, transfer_buffer + t->sent, static_cast<size_t>(n));
    t->sent += n;
    ++t->expected;
    t->last_block_length = n;
    send_new(t, 4 + n, now);
    if (progress_exists()) {
        progress_notify(t->sent * 100 / t->size);
    }
    return 0;
}

}  // namespace

void tftp_send_error(Socket s, const Endpoint* to) {
    static const uint8_t kErrorPacket[10] = {0, kError, 0, 4, 'E', 'R', 'R', 'O', 'R', 0};
    udp_send_to(s, kErrorPacket, sizeof kErrorPacket, to);
}

int tftp_transfer(const char* device, int direction, const char* remote, const char* local,
                  const char* mode, int32_t* size) {
    if (direction != kTftpDownload && direction != kTftpUpload) {
        return -1;
    }
    Transfer t = {};
    t.local = local;
    t.size = direction == kTftpDownload ? 0 : *size;
    if (direction == kTftpDownload) {
        *size = 0;
    }
    const int request_length = build_request(direction, remote, mode);
    if (request_length < 0 || sock_make_addr(&t.peer, device, kTftpServerPort) != 0) {
        return -1;
    }
    t.socket = udp_open(kTftpLocalPort, 1);
    if (t.socket < 0) {
        return -1;
    }
    send_new(&t, request_length, clock_now());
    t.expected = direction == kTftpDownload ? 1 : 0;

    for (;;) {
        const int32_t now = clock_now();
        if (static_cast<uint32_t>(clock_elapsed(t.last_send, now)) > kRetransmitMs) {
            if (++t.timeouts == kTimeoutsToFail) {
                return finish(&t, -1);
            }
            send_last(&t);
            t.last_send = now;
        }
        // The answer is often there already; only when it is not, wait for a datagram, but no
        // longer than the polling pause.
        Endpoint from;
        int length = udp_recv_from(t.socket, received, sizeof received, &from);
        if (length < 0) {
            if (sock_wait_readable(t.socket, 10) < 0) {
                sleep_tick();
            }
            length = udp_recv_from(t.socket, received, sizeof received, &from);
        }
        // Too short to hold an opcode and a block number: not a packet of ours.
        if (length < 4 || !accept_sender(&t, &from)) {
            continue;
        }
        const int result = direction == kTftpDownload ? on_download_packet(&t, length, now)
                                                      : on_upload_packet(&t, now);
        if (direction == kTftpDownload) {
            *size = t.size;
        }
        if (result != 0) {
            return result;
        }
    }
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
