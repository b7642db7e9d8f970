// tftp_client_fuzz.cpp: the TFTP client's handling of received datagrams. The transfer tests'
// scripted socket, in place of the real back end, plays the telephone and anyone else; the
// client uploads or downloads one file through it. The exchanges are the client test's; here,
// whatever arrives, the client ends, closes its socket, and sends and saves only the file.
//
// Input: [setup] then records of [polls][sender][length high][length low][bytes]. Setup bit 0:
// upload, bits 1-3: the upload's size, bit 4: a clock about to wrap. A record's datagram
// arrives after polls * polls / 16 empty waits; its length is taken modulo 1101 and bytes
// missing at the end of the input are filled in, so full 516-byte blocks are cheap to make.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "scripted_socket.h"
#include "tftp_client.h"
#include "tftp_packet.h"

namespace {

constexpr char kPhone[] = "192.168.77.10";
constexpr size_t kMaxDatagram = 1100;
const size_t kUploadSizes[8] = {1, 100, 511, 512, 513, 1024, 1500, 2049};

std::vector<ScriptedDatagram> parse_script(const uint8_t* data, size_t size, long* polls_total) {
    const Endpoint senders[4] = {script_endpoint(kPhone, 69), script_endpoint(kPhone, 4001),
                                 script_endpoint(kPhone, 4002), script_endpoint("10.9.9.9", 4001)};
    std::vector<ScriptedDatagram> script;
    for (size_t at = 0; at + 4 <= size;) {
        const size_t length = ((data[at + 2] << 8) | data[at + 3]) % (kMaxDatagram + 1);
        const uint8_t* bytes = data + at + 4;
        const size_t present = std::min(length, size - at - 4);
        script.push_back(
            {data[at] * data[at] / 16, senders[data[at + 1] & 3], {bytes, bytes + present}});
        script.back().bytes.resize(length, 0x5A);
        *polls_total += script.back().polls_before;
        at += 4 + present;
    }
    return script;
}

// Everything sent is a packet of at most one block; a DATA block (upload) carries the file's
// bytes at its place, so nothing is read from past the end of the file.
void check_sent(bool upload, const std::vector<uint8_t>& file) {
    for (const std::vector<uint8_t>& bytes : script_state().sent) {
        const size_t n = bytes.size() - kTftpHeaderSize;
        fuzz_require(bytes.size() >= kTftpHeaderSize && n <= kTftpBlockSize,
                     "a sent packet has a header and at most one block");
        if (!upload || tftp_opcode(bytes.data(), bytes.size()) != kTftpData) {
            continue;
        }
        const int block = tftp_block(bytes.data(), bytes.size());
        const size_t from = (block - 1) * kTftpBlockSize;
        fuzz_require(block >= 1 && from + n <= file.size() &&
                         (n == kTftpBlockSize || from + n == file.size()),
                     "a DATA block has its place in the file");
        fuzz_require(std::equal(bytes.begin() + kTftpHeaderSize, bytes.end(), file.begin() + from),
                     "DATA carries the file");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) {
        return -1;
    }
    const bool upload = data[0] & 1;
    long polls = 0;
    const std::vector<ScriptedDatagram> script = parse_script(data + 1, size - 1, &polls);
    const std::vector<uint8_t> content = script_file(upload ? kUploadSizes[(data[0] >> 1) & 7] : 0);
    const std::string local =
        fuzz_file(upload ? "upload.bin" : "download.bin", content.data(), content.size());
    if (!upload) {
        remove(local.c_str());
    }

    script_reset(data[0] & 0x10 ? INT32_MAX - 4000 : 1000, script);
    int32_t received = 0;
    const int result = upload ? tftp_upload(kPhone, local.c_str(), "hold.mp3")
                              : tftp_download(kPhone, "hold.mp3", local.c_str(), &received);

    fuzz_require(result == 1 || result == -1, "the result is 1 or -1");
    fuzz_require(script_state().open_sockets == 0, "the socket is closed");
    // Without datagrams the client gives up after three expiries of 3000 ms, 10 ms a wait;
    // strangers and repeats must not put that off.
    fuzz_require(script_state().waits <= polls + static_cast<long>(script.size()) + 3 * 302,
                 "the transfer comes to an end");
    check_sent(upload, content);
    if (!upload) {
        std::error_code missing;
        const uintmax_t saved = std::filesystem::file_size(local, missing);
        fuzz_require(!missing == (result == 1), "only a finished download is saved");
        fuzz_require(missing || saved == static_cast<uintmax_t>(received),
                     "the saved file has the reported size");
    }
    return 0;
}
