// phone_tftp_fuzz.cpp: the simulated phone's TFTP packet readers and one transfer of its
// server, fed any run of datagrams and time-outs.
//
// Input: [setup] then records of [control][length high][length low][bytes]. Setup bit 0: the
// peer writes to the phone, bits 1-3: the size of the file the peer reads, bits 4-7: the block
// that fails with ERROR (0: none). Control bit 0 set: the re-send interval passes instead of a
// datagram arriving. Lengths are taken modulo 1025 and bytes missing at the end of the input
// are filled in, so full 516-byte blocks are cheap to make.
#include <cstring>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "tftp_packet.h"
#include "tftp_session.h"

namespace {

const size_t kReadSizes[8] = {0, 1, 511, 512, 513, 1024, 1500, 2049};
constexpr size_t kWriteLimit = 3000;

uint8_t file_byte(size_t index) {
    return static_cast<uint8_t>(index * 13 + 1);
}

void check_readers(const uint8_t* bytes, size_t length) {
    TftpRequest request;
    if (tftp_parse_request(bytes, length, &request) == 0) {
        fuzz_require(!request.file.empty() && !request.mode.empty() &&
                         request.file.size() + request.mode.size() + 4 <= length,
                     "a request's texts lie inside it");
    }
    int code = -1;
    std::string message;
    if (tftp_parse_error(bytes, length, &code, &message) == 0) {
        fuzz_require(code >= 0 && code <= 0xFFFF && message.size() + 4 <= length,
                     "an error's text lies inside it");
    }
    fuzz_require(!tftp_describe(bytes, length).empty(), "every datagram can be described");
}

// What the phone sends: DATA of the file (read), ACKs (write), or an ERROR.
void check_out(const TftpSession& s, const std::vector<Packet>& out) {
    for (const Packet& p : out) {
        const int opcode = tftp_opcode(p.data(), p.size());
        const int block = tftp_block(p.data(), p.size());
        fuzz_require(block >= 0 && p.size() <= kTftpHeaderSize + kTftpBlockSize,
                     "a sent packet has a header and at most one block");
        if (opcode == kTftpError) {
            int code = -1;
            std::string message;
            fuzz_require(
                tftp_parse_error(p.data(), p.size(), &code, &message) == 0 && p.back() == 0,
                "an ERROR is well formed");
            continue;
        }
        if (s.writing) {
            fuzz_require(
                opcode == kTftpAck && p.size() == kTftpHeaderSize &&
                    static_cast<size_t>(block) * kTftpBlockSize <= s.data.size() + kTftpBlockSize,
                "an ACK follows received data");
            continue;
        }
        fuzz_require(opcode == kTftpData && block >= 1, "a read gets DATA");
        const size_t from = static_cast<size_t>(block - 1) * kTftpBlockSize;
        const size_t n = p.size() - kTftpHeaderSize;
        fuzz_require(
            from + n <= s.data.size() && (n == kTftpBlockSize || from + n == s.data.size()),
            "a DATA block has its place in the file");
        fuzz_require(n == 0 || memcmp(p.data() + kTftpHeaderSize, s.data.data() + from, n) == 0,
                     "DATA carries the file");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) {
        return -1;
    }
    TftpSession s;
    s.writing = data[0] & 1;
    s.error_block = data[0] >> 4;
    if (s.writing) {
        s.max_size = kWriteLimit;
    } else {
        s.data.resize(kReadSizes[(data[0] >> 1) & 7]);
        for (size_t i = 0; i < s.data.size(); ++i) {
            s.data[i] = file_byte(i);
        }
    }
    std::vector<Packet> out;
    session_start(&s, &out);
    check_out(s, out);

    bool completed = false;
    size_t at = 1;
    while (at + 3 <= size) {
        const uint8_t control = data[at];
        const size_t length = ((data[at + 1] << 8) | data[at + 2]) % 1025;
        at += 3;
        const size_t present = length < size - at ? length : size - at;
        // A copy of its own, so that a read past the datagram's end is seen.
        std::vector<uint8_t> datagram(data + at, data + at + present);
        datagram.resize(length, 0x5A);
        at += present;
        check_readers(datagram.data(), datagram.size());

        const size_t had = s.data.size();
        out.clear();
        const SessionEvent event =
            control & 1 ? session_expire(&s, 5, &out)
                        : session_receive(&s, datagram.data(), datagram.size(), &out);
        check_out(s, out);
        fuzz_require(s.data.size() >= had && s.data.size() <= (s.writing ? kWriteLimit : had),
                     "a write only grows its file, up to the limit");
        fuzz_require(!completed || event != SessionEvent::kCompleted, "a transfer completes once");
        completed = completed || event == SessionEvent::kCompleted;
        if (event == SessionEvent::kCompleted && s.writing) {
            fuzz_require(s.data.size() % kTftpBlockSize == datagram.size() - kTftpHeaderSize,
                         "a write completes on its short last block");
        }
    }
    return 0;
}
