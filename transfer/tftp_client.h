// tftp_client.h: whole-file TFTP transfers ("octet" mode) between a local file and a
// telephone. Each transfer keeps its state in its own record, so several can run at once.
#pragma once

#include <cstdint>

#include "platform.h"

constexpr int kTftpServerPort = 69;
constexpr int kTftpLocalPort = 70;
constexpr int32_t kTftpFileLimit = 5000000;
constexpr int kTftpDownload = 1;
constexpr int kTftpUpload = 2;
constexpr int kTftpPacketBuffer = 1000;
constexpr int kTftpMessageSize = 128;

// How a transfer ended.
enum TftpEnd {
    kTftpDone = 0,
    kTftpNoAnswer,          // the request went three times and nothing came back
    kTftpStoppedAnswering,  // nothing came back for three intervals after block `blocks`
    kTftpPeerError,         // the peer sent ERROR peer_code with peer_message
    kTftpUnexpected,        // the peer sent another kind of packet (its opcode in peer_code)
    kTftpTooLarge,          // a download passed the room given for it
    kTftpNoSocket,          // the local port could not be bound
    kTftpBadRequest,        // a direction, names or an address that cannot make a request
    kTftpUnwritable,        // a download arrived whole but could not be written
};

// One transfer. The caller fills the first block (the rest zero) and calls tftp_run.
struct TftpTransfer {
    const char* device;  // dotted-quad address of the telephone
    int direction;       // kTftpDownload or kTftpUpload
    const char* remote;
    const char* mode;
    int local_port;     // kTftpLocalPort, or 0 for a port the system chooses
    uint8_t* file;      // an upload's bytes (only read), or where a download is assembled
    int32_t capacity;   // a download's room in file
    int32_t size;       // an upload's byte count (at least 1); a download's bytes received
    const char* local;  // where a download is written when it has arrived whole
    // Called after each new DATA packet of an upload, with sent updated; may be null.
    void (*on_sent)(const TftpTransfer* t);
    void* context;  // the caller's, for on_sent

    // The state of the transfer, kept by tftp_run.
    Socket socket;
    Endpoint peer;
    bool peer_fixed;  // the first reply fixes the telephone's transfer port
    int32_t expected;
    int timeouts;
    int32_t last_send;
    int32_t sent;
    int32_t last_block_length;
    int32_t last_length;
    uint8_t last_packet[kTftpPacketBuffer];  // what retransmissions repeat
    uint8_t received[kTftpPacketBuffer];

    // How it ended.
    int end;         // a TftpEnd
    int32_t blocks;  // kTftpStoppedAnswering: the last block that went through both ways
    int peer_code;
    char peer_message[kTftpMessageSize];  // printable characters only
};

// Runs the transfer to its end. 1 on success, -1 on any failure; t->end says which.
int tftp_run(TftpTransfer* t);

// The utility's transfers, one at a time from local port 70 with a shared 5,000,000-byte
// buffer, reporting upload progress to the progress window.
// 1 on success, -1 on any failure. size_out gets the bytes received.
int tftp_download(const char* device, const char* remote, const char* local, int32_t* size_out);
// Sends the first 5,000,000 bytes of the local file. 1 on success, -1 on any failure.
int tftp_upload(const char* device, const char* local, const char* remote);
// The routine behind both. size: bytes loaded for an upload, bytes received for a download.
int tftp_transfer(const char* device, int direction, const char* remote, const char* local,
                  const char* mode, int32_t* size);
// Sends the 10-byte ERROR packet (code 4, "ERROR").
void tftp_send_error(Socket s, const Endpoint* to);
// Bytes loaded (at most limit), 0 for an empty file, -1 when the file cannot be read.
int load_file(const char* path, uint8_t* buffer, int limit);
// length when every byte was written, -1 otherwise (no partial file is left behind).
int save_file(const char* path, const uint8_t* data, int length);
