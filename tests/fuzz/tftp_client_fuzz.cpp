// tftp_client_fuzz.cpp: the TFTP client's handling of received datagrams. The transfer tests'
// scripted socket, linked in place of the real back end, plays the telephone and anyone else
// on the network; the client uploads or downloads one file through it.
//
// Input: [setup] then records of [polls][sender][length high][length low][bytes]. Setup bit 0:
// upload, bits 1-3: the upload's size, bit 4: a clock about to wrap. A record's datagram
// arrives after polls * polls / 16 empty waits; its length is taken modulo 1101 and bytes
// missing at the end of the input are filled in, so full 516-byte blocks are cheap to make.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "progress.h"
#include "progress_recorder.h"
#include "scripted_socket.h"
#include "tftp_client.h"
#include "tftp_packet.h"

namespace {

constexpr char kPhone[] = "192.168.77.10";
constexpr size_t kMaxDatagram = 1100;
const int32_t kUploadSizes[8] = {1, 100, 511, 512, 513, 1024, 1500, 2049};

Endpoint endpoint(const char* address, int port) {
    Endpoint ep;
    sock_make_addr(&ep, address, port);
    return ep;
}

bool same(const Endpoint& a, const Endpoint& b) {
    return a.address == b.address && a.port == b.port;
}

uint8_t file_byte(size_t index) {
    return static_cast<uint8_t>(index * 7 + 3);
}

std::vector<ScriptedDatagram> parse_script(const uint8_t* data, size_t size, long* polls_total) {
    const Endpoint senders[4] = {endpoint(kPhone, 69), endpoint(kPhone, 4001),
                                 endpoint(kPhone, 4002), endpoint("10.9.9.9", 4001)};
    std::vector<ScriptedDatagram> script;
    for (size_t at = 0; at + 4 <= size;) {
        ScriptedDatagram datagram;
        datagram.polls_before = data[at] * data[at] / 16;
        datagram.from = senders[data[at + 1] & 3];
        const size_t length = ((data[at + 2] << 8) | data[at + 3]) % (kMaxDatagram + 1);
        at += 4;
        const size_t present = length < size - at ? length : size - at;
        datagram.bytes.assign(data + at, data + at + present);
        datagram.bytes.resize(length, 0x5A);
        at += present;
        *polls_total += datagram.polls_before;
        script.push_back(std::move(datagram));
    }
    return script;
}

// What the client sent: the request to port 69 first; to strangers only "Unknown transfer ID";
// to the telephone only its request, its ERROR, and ACKs (download) or DATA of the file (upload),
// blocks in order. The last block sent.
int check_sent(bool upload, int32_t size, const Endpoint& stranger) {
    const std::vector<SentDatagram>& sent = script_sent();
    const Packet request = tftp_make_request(upload ? kTftpWrq : kTftpRrq, "hold.mp3");
    fuzz_require(
        !sent.empty() && sent[0].bytes == request && same(sent[0].to, endpoint(kPhone, 69)),
        "the request goes to port 69 first");
    const Packet unknown_tid = tftp_make_error(kTftpErrUnknownTid, "Unknown transfer ID");
    int last = 0;
    int highest = 0;
    for (const SentDatagram& d : sent) {
        fuzz_require(
            d.bytes.size() >= kTftpHeaderSize && d.bytes.size() <= kTftpHeaderSize + kTftpBlockSize,
            "a sent packet has a header and at most one block");
        const size_t n = d.bytes.size() - kTftpHeaderSize;
        const int opcode = tftp_opcode(d.bytes.data(), d.bytes.size());
        const int block = tftp_block(d.bytes.data(), d.bytes.size());
        if (same(d.to, stranger)) {
            fuzz_require(d.bytes == unknown_tid, "a stranger gets ERROR 5");
            continue;
        }
        fuzz_require(d.to.address == endpoint(kPhone, 0).address, "packets go to the telephone");
        // unknown_tid: another port of the telephone's, once its port is fixed.
        if (d.bytes == request || d.bytes == unknown_tid ||
            d.bytes == tftp_make_error(kTftpErrIllegal, "ERROR")) {
            continue;
        }
        fuzz_require(opcode == (upload ? kTftpData : kTftpAck), "DATA goes up, ACKs come back");
        fuzz_require(block >= 1 && block <= highest + 1, "blocks are taken in order");
        highest = block > highest ? block : highest;
        last = block;
        if (!upload) {
            fuzz_require(n == 0, "an ACK is 4 bytes");
            continue;
        }
        const size_t from = (block - 1) * kTftpBlockSize;
        fuzz_require(from + n <= static_cast<size_t>(size) &&
                         (n == kTftpBlockSize || from + n == static_cast<size_t>(size)),
                     "a DATA block has its place in the file");
        for (size_t i = 0; i < n; ++i) {
            fuzz_require(d.bytes[kTftpHeaderSize + i] == file_byte(from + i),
                         "DATA carries the file");
        }
    }
    return last;
}

bool delivered(const std::vector<ScriptedDatagram>& script, const Endpoint& stranger, int block,
               const uint8_t* bytes, size_t n) {
    // The client reads only the low byte of the opcode.
    for (const ScriptedDatagram& d : script) {
        if (!same(d.from, stranger) && d.bytes.size() == kTftpHeaderSize + n &&
            d.bytes[1] == kTftpData && tftp_block(d.bytes.data(), d.bytes.size()) == block &&
            std::equal(bytes, bytes + n, d.bytes.begin() + kTftpHeaderSize)) {
            return true;
        }
    }
    return false;
}

// The saved file is made of blocks the telephone delivered as DATA 1, 2, ...: full ones, then
// one of any other length. The number of that last block.
int check_download(const std::vector<ScriptedDatagram>& script, const std::string& path,
                   int32_t size, const Endpoint& stranger) {
    FILE* file = fopen(path.c_str(), "rb");
    fuzz_require(file != nullptr, "a finished download is saved");
    std::vector<uint8_t> saved(static_cast<size_t>(size) + 1);
    const size_t got = fread(saved.data(), 1, saved.size(), file);
    fclose(file);
    fuzz_require(got == static_cast<size_t>(size), "the saved file has the reported size");
    for (size_t from = 0, block = 1;; from += kTftpBlockSize, ++block) {
        const size_t rest = got - from;
        const int n = static_cast<int>(block);
        if (rest != kTftpBlockSize && delivered(script, stranger, n, saved.data() + from, rest)) {
            return n;
        }
        fuzz_require(rest >= kTftpBlockSize &&
                         delivered(script, stranger, n, saved.data() + from, kTftpBlockSize),
                     "every saved block was delivered");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) {
        return -1;
    }
    const bool upload = data[0] & 1;
    const int32_t upload_size = kUploadSizes[(data[0] >> 1) & 7];
    long polls = 0;
    const std::vector<ScriptedDatagram> script = parse_script(data + 1, size - 1, &polls);
    const Endpoint stranger = endpoint("10.9.9.9", 4001);
    std::vector<uint8_t> content(upload ? static_cast<size_t>(upload_size) : 0);
    for (size_t i = 0; i < content.size(); ++i) {
        content[i] = file_byte(i);
    }
    const std::string local =
        fuzz_file(upload ? "upload.bin" : "download.bin", content.data(), content.size());
    if (!upload) {
        remove(local.c_str());
    }

    script_reset(data[0] & 0x10 ? INT32_MAX - 4000 : 1000, script);
    progress_clear_record();
    progress_create(nullptr);
    int32_t received = 0;
    const int result = upload ? tftp_upload(kPhone, local.c_str(), "hold.mp3")
                              : tftp_download(kPhone, "hold.mp3", local.c_str(), &received);
    progress_destroy();

    fuzz_require(result == 1 || result == -1, "the result is 1 or -1");
    fuzz_require(script_open_sockets() == 0, "the socket is closed");
    // Without datagrams the client gives up after three expiries of 3000 ms, 10 ms a wait;
    // strangers and repeats must not put that off.
    fuzz_require(script_waits() <= polls + static_cast<long>(script.size()) + 3 * 302,
                 "the transfer comes to an end");
    const int last_block = check_sent(upload, upload ? upload_size : received, stranger);

    if (upload) {
        int previous = 0;
        for (const std::string& event : progress_recorded()) {
            if (event != "create" && event != "destroy") {
                const int percent = std::stoi(event);
                fuzz_require(percent >= previous && percent <= 100, "progress only grows to 100");
                previous = percent;
            }
        }
        if (result == 1) {
            fuzz_require(last_block == upload_size / static_cast<int32_t>(kTftpBlockSize) + 1,
                         "a finished upload sent the last block");
            fuzz_require(previous == 100, "a finished upload shows 100 percent");
        }
    } else if (result == 1) {
        fuzz_require(check_download(script, local, received, stranger) == last_block,
                     "a finished download acknowledged its last block");
    } else {
        fuzz_require(fopen(local.c_str(), "rb") == nullptr, "a failed download leaves no file");
    }
    return 0;
}
