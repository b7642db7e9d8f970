// tftp_packet.h: TFTP (RFC 1350) packets of the simulated phone, packed and unpacked byte by byte.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

constexpr int kTftpRrq = 1;
constexpr int kTftpWrq = 2;
constexpr int kTftpData = 3;
constexpr int kTftpAck = 4;
constexpr int kTftpError = 5;

constexpr size_t kTftpBlockSize = 512;
constexpr size_t kTftpHeaderSize = 4;

// RFC 1350 error codes the phone sends.
constexpr int kTftpErrUndefined = 0;
constexpr int kTftpErrNotFound = 1;
constexpr int kTftpErrAccess = 2;
constexpr int kTftpErrDiskFull = 3;
constexpr int kTftpErrIllegal = 4;
constexpr int kTftpErrUnknownTid = 5;

using Packet = std::vector<uint8_t>;

struct TftpRequest {
    int opcode;                        // kTftpRrq or kTftpWrq
    std::string file;                  // as sent, without its terminator
    std::string mode;                  // as sent
    std::vector<std::string> options;  // RFC 2347 option names, which the phone ignores
};

// Opcode of a datagram (both bytes, big-endian), or -1 when it is shorter than 2 bytes.
int tftp_opcode(const uint8_t* bytes, size_t length);
// Block number of a DATA or ACK datagram, or -1 when it is shorter than 4 bytes.
int tftp_block(const uint8_t* bytes, size_t length);
// 0 when the datagram is a read or write request with a non-empty name and mode, each ended
// by a NUL inside the datagram; -1 otherwise.
int tftp_parse_request(const uint8_t* bytes, size_t length, TftpRequest* out);
// Error code and message of an ERROR datagram; -1 when it is not one. A missing terminator is
// tolerated: the message then ends with the datagram.
int tftp_parse_error(const uint8_t* bytes, size_t length, int* code, std::string* message);

// The phone only reads requests; the clients of the tests pack theirs here too.
Packet tftp_make_request(int opcode, const std::string& file, const std::string& mode = "octet");
Packet tftp_make_data(uint16_t block, const uint8_t* data, size_t length);
Packet tftp_make_ack(uint16_t block);
Packet tftp_make_error(int code, const std::string& message);

// One-line description for the event log, such as "DATA block=3 data=512".
std::string tftp_describe(const uint8_t* bytes, size_t length);
