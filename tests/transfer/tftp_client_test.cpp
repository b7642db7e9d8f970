// tftp_client_test.cpp: the TFTP client's exchanges, packet by packet, against a scripted socket
// that plays the telephone and strangers on a clock of its own.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

#include "progress.h"
#include "progress_recorder.h"
#include "scripted_socket.h"
#include "tftp_client.h"
#include "tftp_packet.h"

namespace {

constexpr char kPhone[] = "192.168.77.10";

Endpoint at(const char* address, int port) {
    Endpoint ep;
    sock_make_addr(&ep, address, port);
    return ep;
}

// From the telephone's transfer port after polls empty waits, or from elsewhere.
ScriptedDatagram reply(Packet bytes, int polls = 0, Endpoint from = at(kPhone, 4001)) {
    return {polls, from, std::move(bytes)};
}

Packet file_bytes(size_t size) {
    Packet bytes(size);
    for (size_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<uint8_t>(i * 7 + i / 509);
    }
    return bytes;
}

Packet block(const Packet& file, int n) {
    const size_t from = (n - 1) * kTftpBlockSize;
    return tftp_make_data(static_cast<uint16_t>(n), file.data() + from,
                          std::min(kTftpBlockSize, file.size() - from));
}

const Packet kClientError = tftp_make_error(4, "ERROR");

struct Client : testing::Test {
    std::string local = testing::TempDir() + "tftp_client_test." + std::to_string(getpid());

    void SetUp() override {
        remove(local.c_str());
        progress_clear_record();
    }
    void TearDown() override {
        remove(local.c_str());
    }
    void write_local(const Packet& bytes) {
        std::ofstream(local, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
    }
    Packet read_local() {
        std::ifstream in(local, std::ios::binary);
        return Packet(std::istreambuf_iterator<char>(in), {});
    }
    static std::vector<Packet> sent() {
        std::vector<Packet> packets;
        for (const SentDatagram& d : script_sent()) {
            packets.push_back(d.bytes);
        }
        return packets;
    }
};

// The utility's transfers: every block in order, a full last block followed by an empty one,
// the exact bytes saved, and an upload's progress as the percent of bytes sent.
TEST_F(Client, FilesGoBlockByBlockAndUploadsReportTheirProgress) {
    struct Case {
        int direction;
        size_t size;
        std::vector<std::string> progress;
    };
    const Case cases[] = {
        {kTftpUpload, 1, {"create", "100"}},
        {kTftpUpload, 512, {"create", "100", "100"}},
        {kTftpUpload, 700, {"create", "73", "100"}},
        {kTftpUpload, 1024, {"create", "50", "100", "100"}},
        {kTftpDownload, 0, {}},
        {kTftpDownload, 612, {}},
        {kTftpDownload, 1024, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.size);
        const bool upload = c.direction == kTftpUpload;
        const Packet file = file_bytes(c.size);
        std::vector<ScriptedDatagram> script;
        std::vector<Packet> expected = {tftp_make_request(upload ? kTftpWrq : kTftpRrq, "x")};
        for (int n = 1; n <= static_cast<int>(c.size / kTftpBlockSize) + 1; ++n) {
            script.push_back(
                reply(upload ? tftp_make_ack(static_cast<uint16_t>(n - 1)) : block(file, n)));
            expected.push_back(upload ? block(file, n) : tftp_make_ack(static_cast<uint16_t>(n)));
        }
        if (upload) {
            script.push_back(reply(tftp_make_ack(static_cast<uint16_t>(script.size()))));
        }
        script_reset(1000, script);
        progress_clear_record();
        int32_t received = -1;
        if (upload) {
            write_local(file);
            progress_create(nullptr);
            EXPECT_EQ(tftp_upload(kPhone, local.c_str(), "x"), 1);
            EXPECT_EQ(progress_recorded(), c.progress);
            progress_destroy();
        } else {
            EXPECT_EQ(tftp_download(kPhone, "x", local.c_str(), &received), 1);
            EXPECT_EQ(received, static_cast<int32_t>(c.size));
            EXPECT_EQ(read_local(), file);
        }
        EXPECT_EQ(sent(), expected);
        EXPECT_EQ(script_sent()[0].to.port, at(kPhone, 69).port);
        EXPECT_EQ(script_open_sockets(), 0);
    }
}

TEST_F(Client, UploadsSendTheFirstFiveMillionBytesOfAFileThatHasAny) {
    for (const char* path : {local.c_str(), "/no/such/file"}) {
        write_local({});
        script_reset(1000, {});
        EXPECT_EQ(tftp_upload(kPhone, path, "x"), -1);
        EXPECT_TRUE(script_sent().empty());
    }
    const Packet file = file_bytes(5000001);
    write_local(file);
    std::vector<ScriptedDatagram> acks;
    for (int n = 0; n <= 9766; ++n) {
        acks.push_back(reply(tftp_make_ack(static_cast<uint16_t>(n))));
    }
    script_reset(1000, acks);
    EXPECT_EQ(tftp_upload(kPhone, local.c_str(), "x"), 1);
    ASSERT_EQ(script_sent().size(), 9767u);
    EXPECT_EQ(script_sent().back().bytes, tftp_make_data(9766, file.data() + 9765 * 512, 320));
}

// A repeated DATA is acknowledged again; a repeated ACK gets no DATA (the Sorcerer's
// Apprentice), only silence re-sends.
TEST_F(Client, RepeatedPacketsAreAnsweredAsTheRfcsSay) {
    const Packet file = file_bytes(1500);
    int32_t received = 0;
    script_reset(1000, {reply(block(file, 1)), reply(block(file, 1)), reply(block(file, 2)),
                        reply(block(file, 3))});
    EXPECT_EQ(tftp_download(kPhone, "x", local.c_str(), &received), 1);
    EXPECT_EQ(sent(), (std::vector<Packet>{tftp_make_request(kTftpRrq, "x"), tftp_make_ack(1),
                                           tftp_make_ack(1), tftp_make_ack(2), tftp_make_ack(3)}));
    write_local(file);
    script_reset(1000, {reply(tftp_make_ack(0)), reply(tftp_make_ack(1)), reply(tftp_make_ack(1)),
                        reply(tftp_make_ack(2)), reply(tftp_make_ack(3))});
    EXPECT_EQ(tftp_upload(kPhone, local.c_str(), "x"), 1);
    EXPECT_EQ(sent(), (std::vector<Packet>{tftp_make_request(kTftpWrq, "x"), block(file, 1),
                                           block(file, 2), block(file, 3)}));
}

// Strangers get "Unknown transfer ID" and change nothing: another host, then another port of the
// telephone once its port is fixed; datagrams too long or too short are dropped.
TEST_F(Client, StrangersAreTurnedAwayWithoutDisturbingTheTransfer) {
    const Packet file = file_bytes(600);
    const Endpoint stranger = at("10.9.9.9", 4001);
    const Endpoint other_port = at(kPhone, 4002);
    int32_t received = 0;
    script_reset(1000, {reply(block(file, 1), 0, stranger), reply(block(file, 1)),
                        reply(tftp_make_data(2, file.data(), 88), 0, other_port),
                        reply(tftp_make_data(2, Packet(1200).data(), 1200)), reply({0, 3, 0}),
                        reply(block(file, 2))});
    EXPECT_EQ(tftp_download(kPhone, "x", local.c_str(), &received), 1);
    EXPECT_EQ(read_local(), file);
    const Packet unknown = tftp_make_error(5, "Unknown transfer ID");
    EXPECT_EQ(sent(), (std::vector<Packet>{tftp_make_request(kTftpRrq, "x"), unknown,
                                           tftp_make_ack(1), unknown, tftp_make_ack(2)}));
    EXPECT_EQ(script_sent()[1].to.address, stranger.address);
    EXPECT_EQ(script_sent()[3].to.port, other_port.port);
}

// How a transfer ends, as its own record tells it for kvxctl's reasons: a packet that ends it
// gets the client's ERROR, a packet repeats only after three seconds of silence, and a failed
// download leaves no file. detail: the peer's code, or the last block that went through.
void expect_end(int end, int detail, const char* message, std::vector<ScriptedDatagram> script,
                const std::vector<Packet>& expected, const std::string& local) {
    SCOPED_TRACE(end);
    static Packet file = file_bytes(1500);
    static uint8_t buffer[1024];
    const bool upload = !expected.empty() && expected[0] == tftp_make_request(kTftpWrq, "x");
    TftpTransfer t = {};
    t.device = kPhone;
    t.direction = upload ? kTftpUpload : kTftpDownload;
    t.remote = "x";
    t.mode = "octet";
    t.file = upload ? file.data() : buffer;
    t.capacity = sizeof buffer;
    t.size = upload ? 1500 : 0;
    const std::string path = end == kTftpUnwritable ? "/no/such/folder/x" : local;
    t.local = path.c_str();
    script_reset(1000, std::move(script), end != kTftpNoSocket);
    EXPECT_EQ(tftp_run(&t), -1);
    EXPECT_EQ(Client::sent(), expected);
    const std::vector<SentDatagram>& sent = script_sent();
    for (size_t i = 1; i < sent.size(); ++i) {
        if (sent[i].bytes == sent[i - 1].bytes) {
            EXPECT_GT(sent[i].at_ms - sent[i - 1].at_ms, 3000);
        }
    }
    EXPECT_EQ(t.end, end);
    EXPECT_EQ(end == kTftpStoppedAnswering ? t.blocks : t.peer_code, detail);
    EXPECT_STREQ(t.peer_message, message);
    EXPECT_EQ(script_open_sockets(), 0);
    EXPECT_FALSE(std::ifstream(local).good());
}

TEST_F(Client, ARecordSaysHowItsTransferEnded) {
    const Packet file = file_bytes(1500);
    const Packet rrq = tftp_make_request(kTftpRrq, "x");
    const Packet wrq = tftp_make_request(kTftpWrq, "x");
    expect_end(kTftpPeerError, 2, "Access?violation",
               {reply(tftp_make_error(2, "Access\tviolation"))}, {rrq, kClientError}, local);
    expect_end(kTftpUnexpected, 4, "", {reply(block(file, 1)), reply(tftp_make_ack(1))},
               {rrq, tftp_make_ack(1), kClientError}, local);
    expect_end(kTftpNoAnswer, 0, "", {}, {rrq, rrq, rrq}, local);
    // The expiries add up over the transfer: the third, after progress, ends it.
    expect_end(kTftpStoppedAnswering, 1, "",
               {reply(tftp_make_ack(0), 350), reply(tftp_make_ack(1), 350)},
               {wrq, wrq, block(file, 1), block(file, 1), block(file, 2)}, local);
    // Past the room given: acknowledged, then refused.
    expect_end(kTftpTooLarge, 0, "",
               {reply(block(file, 1)), reply(block(file, 2)), reply(block(file, 3))},
               {rrq, tftp_make_ack(1), tftp_make_ack(2), tftp_make_ack(3), kClientError}, local);
    expect_end(kTftpUnwritable, 0, "", {reply(tftp_make_data(1, file.data(), 10))},
               {rrq, tftp_make_ack(1)}, local);
    expect_end(kTftpNoSocket, 0, "", {}, {}, local);
    // Nothing is sent for a request that cannot be made.
    for (const char* device : {kPhone, "phone.invalid"}) {
        TftpTransfer t = {};
        t.device = device;
        t.direction = device == kPhone ? kTftpUpload + 1 : kTftpDownload;
        t.remote = "x";
        t.mode = "octet";
        script_reset(1000, {});
        EXPECT_EQ(tftp_run(&t), -1);
        EXPECT_EQ(t.end, kTftpBadRequest);
        EXPECT_TRUE(script_sent().empty());
    }
}

}  // namespace
