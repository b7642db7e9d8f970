// tftp_packet.cpp: TFTP packets packed and unpacked byte by byte, every read bounds-checked.
#include "tftp_packet.h"

#include <cstring>

namespace {

void put16(Packet* p, unsigned value) {
    p->push_back(static_cast<uint8_t>((value >> 8) & 0xFF));
    p->push_back(static_cast<uint8_t>(value & 0xFF));
}

unsigned get16(const uint8_t* bytes) {
    return (static_cast<unsigned>(bytes[0]) << 8) | bytes[1];
}

// The NUL-terminated text starting at *pos; false when no NUL follows inside the datagram.
bool take_text(const uint8_t* bytes, size_t length, size_t* pos, std::string* out) {
    const auto* start = bytes + *pos;
    const auto* end = static_cast<const uint8_t*>(memchr(start, 0, length - *pos));
    if (!end) {
        return false;
    }
    out->assign(reinterpret_cast<const char*>(start), static_cast<size_t>(end - start));
    *pos += out->size() + 1;
    return true;
}

}  // namespace

int tftp_opcode(const uint8_t* bytes, size_t length) {
    return length < 2 ? -1 : static_cast<int>(get16(bytes));
}

int tftp_block(const uint8_t* bytes, size_t length) {
    return length < kTftpHeaderSize ? -1 : static_cast<int>(get16(bytes + 2));
}

int tftp_parse_request(const uint8_t* bytes, size_t length, TftpRequest* out) {
    const int opcode = tftp_opcode(bytes, length);
    if (opcode != kTftpRrq && opcode != kTftpWrq) {
        return -1;
    }
    size_t pos = 2;
    TftpRequest request{opcode, {}, {}, {}};
    if (!take_text(bytes, length, &pos, &request.file) || request.file.empty() ||
        !take_text(bytes, length, &pos, &request.mode) || request.mode.empty()) {
        return -1;
    }
    // Options come in name/value pairs; an incomplete pair at the end is ignored.
    std::string name;
    std::string value;
    while (pos < length && take_text(bytes, length, &pos, &name) && pos < length &&
           take_text(bytes, length, &pos, &value)) {
        request.options.push_back(name);
    }
    *out = request;
    return 0;
}

int tftp_parse_error(const uint8_t* bytes, size_t length, int* code, std::string* message) {
    if (tftp_opcode(bytes, length) != kTftpError || length < kTftpHeaderSize) {
        return -1;
    }
    *code = static_cast<int>(get16(bytes + 2));
    const auto* text = reinterpret_cast<const char*>(bytes + kTftpHeaderSize);
    const size_t room = length - kTftpHeaderSize;
    const auto* end = static_cast<const char*>(memchr(text, 0, room));
    message->assign(text, end ? static_cast<size_t>(end - text) : room);
    return 0;
}

Packet tftp_make_data(uint16_t block, const uint8_t* data, size_t length) {
    Packet p;
    p.reserve(kTftpHeaderSize + length);
    put16(&p, kTftpData);
    put16(&p, block);
    p.insert(p.end(), data, data + length);
    return p;
}

Packet tftp_make_ack(uint16_t block) {
    Packet p;
    put16(&p, kTftpAck);
    put16(&p, block);
    return p;
}

Packet tftp_make_request(int opcode, const std::string& file, const std::string& mode) {
    Packet p;
    put16(&p, static_cast<unsigned>(opcode));
    p.insert(p.end(), file.begin(), file.end());
    p.push_back(0);
    p.insert(p.end(), mode.begin(), mode.end());
    p.push_back(0);
    return p;
}

Packet tftp_make_error(int code, const std::string& message) {
    Packet p;
    put16(&p, kTftpError);
    put16(&p, static_cast<unsigned>(code));
    p.insert(p.end(), message.begin(), message.end());
    p.push_back(0);
    return p;
}

std::string tftp_describe(const uint8_t* bytes, size_t length) {
    const int opcode = tftp_opcode(bytes, length);
    const int block = tftp_block(bytes, length);
    TftpRequest request;
    int code;
    std::string message;
    switch (opcode) {
        case kTftpRrq:
        case kTftpWrq:
            if (tftp_parse_request(bytes, length, &request) == 0) {
                return std::string(opcode == kTftpRrq ? "RRQ" : "WRQ") +
                       " len=" + std::to_string(length);
            }
            break;
        case kTftpData:
            if (block >= 0) {
                return "DATA block=" + std::to_string(block) +
                       " data=" + std::to_string(length - kTftpHeaderSize);
            }
            break;
        case kTftpAck:
            if (block >= 0) {
                return "ACK block=" + std::to_string(block) + " len=" + std::to_string(length);
            }
            break;
        case kTftpError:
            if (tftp_parse_error(bytes, length, &code, &message) == 0) {
                return "ERROR code=" + std::to_string(code);
            }
            break;
        default:
            break;
    }
    return "OTHER opcode=" + std::to_string(opcode) + " len=" + std::to_string(length);
}
