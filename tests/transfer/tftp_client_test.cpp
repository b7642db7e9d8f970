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

// From the telephone's transfer port after polls empty waits, or from elsewhere.
ScriptedDatagram reply(Packet bytes, int polls = 0, Endpoint from = script_endpoint(kPhone, 4001)) {
    return {polls, from, std::move(bytes)};
}

Packet block(const Packet& file, int n) {
    const size_t from = (n - 1) * kTftpBlockSize;
    return tftp_make_data(static_cast<uint16_t>(n), file.data() + from,
                          std::min(kTftpBlockSize, file.size() - from));
}

// Three blocks, the last one short.
const Packet kFile = script_file(1500);
const Packet kData1 = block(kFile, 1), kData2 = block(kFile, 2), kData3 = block(kFile, 3);

Packet ack(size_t n) {
    return tftp_make_ack(static_cast<uint16_t>(n));
}

const Packet kRrq = tftp_make_request(kTftpRrq, "x");
const Packet kWrq = tftp_make_request(kTftpWrq, "x");
const Packet kClientError = tftp_make_error(4, "ERROR");

struct Client : testing::Test {
    std::string local = testing::TempDir() + "tftp_client_test." + std::to_string(getpid());

    void TearDown() override {
        remove(local.c_str());
    }
    void write_local(const Packet& bytes) {
        std::ofstream(local, std::ios::binary) << std::string(bytes.begin(), bytes.end());
    }
    Packet read_local() {
        std::ifstream in(local, std::ios::binary);
        return Packet(std::istreambuf_iterator<char>(in), {});
    }
    // The utility's upload of the local file, or download into it, against the script: what
    // the client sent. A download reports the size it saved.
    std::vector<Packet> transfer(bool upload, std::vector<ScriptedDatagram> script) {
        script_reset(1000, std::move(script));
        int32_t received = -1;
        EXPECT_EQ(upload ? tftp_upload(kPhone, local.c_str(), "x")
                         : tftp_download(kPhone, "x", local.c_str(), &received),
                  1);
        EXPECT_EQ(received, upload ? -1 : static_cast<int32_t>(read_local().size()));
        EXPECT_EQ(script_state().sent_to[0].port, script_endpoint(kPhone, 69).port);
        EXPECT_EQ(script_state().open_sockets, 0);
        return script_state().sent;
    }
    // How a transfer ends, as its own record tells it for kvxctl's reasons: a packet that ends it
    // gets the client's ERROR, a packet repeats only after three seconds of silence, and a failed
    // download leaves no file. detail: the peer's code, or the last block that went through.
    void expect_end(int end, int detail, const char* message, std::vector<ScriptedDatagram> script,
                    const std::vector<Packet>& expected, const char* device = kPhone,
                    int direction = 0) {
        SCOPED_TRACE(end);
        static uint8_t buffer[1024];
        const bool upload = !expected.empty() && expected[0] == kWrq;
        TftpTransfer t = {};
        t.device = device;
        t.direction = direction ? direction : upload ? kTftpUpload : kTftpDownload;
        t.remote = "x";
        t.mode = "octet";
        t.file = upload ? const_cast<uint8_t*>(kFile.data()) : buffer;  // an upload only reads
        t.capacity = sizeof buffer;
        t.size = upload ? 1500 : 0;
        t.local = end == kTftpUnwritable ? "/no/such/folder/x" : local.c_str();
        script_reset(1000, std::move(script), end != kTftpNoSocket);
        EXPECT_EQ(tftp_run(&t), -1);
        const ScriptState& s = script_state();
        EXPECT_EQ(s.sent, expected);
        for (size_t i = 1; i < s.sent.size(); ++i) {
            if (s.sent[i] == s.sent[i - 1]) {
                EXPECT_GT(s.sent_at_ms[i] - s.sent_at_ms[i - 1], 3000);
            }
        }
        EXPECT_EQ(t.end, end);
        EXPECT_EQ(end == kTftpStoppedAnswering ? t.blocks : t.peer_code, detail);
        EXPECT_STREQ(t.peer_message, message);
        EXPECT_EQ(script_state().open_sockets, 0);
        EXPECT_FALSE(std::ifstream(local).good());
    }
};

// The utility's transfers: every block in order, a full last block followed by an empty one,
// the exact bytes saved, and an upload's progress (only an upload's) as the percent sent.
TEST_F(Client, FilesGoBlockByBlockAndUploadsReportTheirProgress) {
    struct Case {
        bool upload;
        size_t size;
        std::vector<std::string> progress;
    };
    const Case cases[] = {
        {true, 1, {"create", "100"}},
        {true, 700, {"create", "73", "100"}},
        {true, 1024, {"create", "50", "100", "100"}},
        {false, 0, {"create"}},
        {false, 612, {"create"}},
        {false, 1024, {"create"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.size);
        const Packet file = script_file(c.size);
        std::vector<ScriptedDatagram> script;
        std::vector<Packet> expected = {c.upload ? kWrq : kRrq};
        for (size_t n = 1; n <= c.size / kTftpBlockSize + 1; ++n) {
            script.push_back(reply(c.upload ? ack(n - 1) : block(file, static_cast<int>(n))));
            expected.push_back(c.upload ? block(file, static_cast<int>(n)) : ack(n));
        }
        if (c.upload) {
            script.push_back(reply(ack(script.size())));
        }
        write_local(c.upload ? file : Packet{});
        progress_clear_record();
        progress_create(nullptr);
        EXPECT_EQ(transfer(c.upload, script), expected);
        EXPECT_EQ(progress_recorded(), c.progress);
        progress_destroy();
        EXPECT_EQ(read_local(), file);
    }
}

// A file that cannot be read is transfer_worker_test's.
TEST_F(Client, UploadsSendTheFirstFiveMillionBytesOfAFileThatHasAny) {
    write_local({});
    script_reset(1000, {});
    EXPECT_EQ(tftp_upload(kPhone, local.c_str(), "x"), -1);
    EXPECT_TRUE(script_state().sent.empty());
    const Packet file = script_file(5000001);
    write_local(file);
    std::vector<ScriptedDatagram> acks;
    for (size_t n = 0; n <= 9766; ++n) {
        acks.push_back(reply(ack(n)));
    }
    const std::vector<Packet> packets = transfer(true, acks);
    ASSERT_EQ(packets.size(), 9767u);
    EXPECT_EQ(packets.back(), tftp_make_data(9766, file.data() + 9765 * 512, 320));
}

// A repeated DATA is acknowledged again; a repeated ACK gets no DATA (the Sorcerer's
// Apprentice). Strangers (another host; another port of the telephone once its port is fixed)
// get "Unknown transfer ID" and change nothing; too long or too short datagrams are dropped.
TEST_F(Client, RepeatsAndStrangersDoNotDisturbTheTransfer) {
    const Endpoint stranger = script_endpoint("10.9.9.9", 4001);
    const Endpoint other_port = script_endpoint(kPhone, 4002);
    const Packet unknown = tftp_make_error(5, "Unknown transfer ID");
    EXPECT_EQ(transfer(false, {reply(kData1, 0, stranger), reply(kData1), reply(kData1),
                               reply(tftp_make_data(2, kFile.data(), 88), 0, other_port),
                               reply(tftp_make_data(2, Packet(1200).data(), 1200)),
                               reply({0, 3, 0}), reply(kData2), reply(kData3)}),
              (std::vector<Packet>{kRrq, unknown, ack(1), ack(1), unknown, ack(2), ack(3)}));
    EXPECT_EQ(read_local(), kFile);
    EXPECT_EQ(script_state().sent_to[1].address, stranger.address);
    EXPECT_EQ(script_state().sent_to[4].port, other_port.port);
    EXPECT_EQ(
        transfer(true, {reply(ack(0)), reply(ack(1)), reply(ack(1)), reply(ack(2)), reply(ack(3))}),
        (std::vector<Packet>{kWrq, kData1, kData2, kData3}));
}

TEST_F(Client, ARecordSaysHowItsTransferEnded) {
    expect_end(kTftpPeerError, 2, "Access?violation",
               {reply(tftp_make_error(2, "Access\tviolation"))}, {kRrq, kClientError});
    expect_end(kTftpUnexpected, 4, "", {reply(kData1), reply(ack(1))},
               {kRrq, ack(1), kClientError});
    expect_end(kTftpNoAnswer, 0, "", {}, {kRrq, kRrq, kRrq});
    // The expiries add up over the transfer: the third, after progress, ends it.
    expect_end(kTftpStoppedAnswering, 1, "", {reply(ack(0), 350), reply(ack(1), 350)},
               {kWrq, kWrq, kData1, kData1, kData2});
    // Past the room given: acknowledged, then refused.
    expect_end(kTftpTooLarge, 0, "", {reply(kData1), reply(kData2), reply(kData3)},
               {kRrq, ack(1), ack(2), ack(3), kClientError});
    expect_end(kTftpUnwritable, 0, "", {reply(tftp_make_data(1, kFile.data(), 10))},
               {kRrq, ack(1)});
    expect_end(kTftpNoSocket, 0, "", {}, {});
    // Nothing is sent for a request that cannot be made.
    expect_end(kTftpBadRequest, 0, "", {}, {}, "phone.invalid");
    expect_end(kTftpBadRequest, 0, "", {}, {}, kPhone, kTftpUpload + 1);
}

}  // namespace
