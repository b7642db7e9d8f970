// tftp_client_test.cpp: the TFTP client's exchanges, packet by packet, against a scripted peer.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <future>
#include <iterator>
#include <string>

#include "progress.h"
#include "progress_recorder.h"
#include "scripted_peer.h"
#include "tftp_client.h"

namespace {

const char* const kDevice = "127.0.0.1";

struct TftpExchange : testing::Test {
    std::string local = testing::TempDir() + "tftp_client_test.bin";
    SocketLibrary library;
    ScriptedPeer peer;

    void SetUp() override {
        progress_clear_record();
        remove(local.c_str());
    }
    void TearDown() override {
        if (progress_exists()) {
            progress_destroy();
        }
        remove(local.c_str());
    }
    void write_local(const Bytes& bytes) {
        std::ofstream(local, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
    }
    Bytes read_local() {
        std::ifstream in(local, std::ios::binary);
        return Bytes(std::istreambuf_iterator<char>(in), {});
    }
    bool local_exists() {
        return std::ifstream(local).good();
    }
    std::future<int> upload(const std::string& remote) {
        return std::async(std::launch::async, [this, remote] {
            return tftp_upload(kDevice, local.c_str(), remote.c_str());
        });
    }
    std::future<int> download(const std::string& remote, int32_t* size) {
        return std::async(std::launch::async, [this, remote, size] {
            return tftp_download(kDevice, remote.c_str(), local.c_str(), size);
        });
    }
    // Plays a well-behaved server for an upload of file, checking every DATA packet.
    void serve_upload(const Bytes& file, const std::string& remote) {
        ASSERT_EQ(peer.receive_request(), tftp_make_request(2, remote));
        peer.send(tftp_make_ack(0));
        size_t offset = 0;
        for (int block = 1;; ++block) {
            const size_t n = std::min<size_t>(512, file.size() - offset);
            const Bytes expected(file.begin() + static_cast<long>(offset),
                                 file.begin() + static_cast<long>(offset + n));
            ASSERT_EQ(peer.receive_transfer(), data_packet(block, expected)) << "block " << block;
            peer.send(tftp_make_ack(block));
            offset += n;
            if (n < 512) {
                return;
            }
        }
    }
};

TEST_F(TftpExchange, UploadsSendEveryBlockAndReportPercentOfBytesSent) {
    struct Case {
        size_t size;
        std::vector<std::string> progress;
    };
    const Case cases[] = {
        {1, {"create", "100"}},
        {512, {"create", "100", "100"}},  // ends with an empty DATA packet
        {700, {"create", "73", "100"}},
        {1024, {"create", "50", "100", "100"}},
    };
    for (const Case& c : cases) {
        progress_clear_record();
        progress_create(nullptr);
        const Bytes file = file_bytes(c.size);
        write_local(file);
        auto result = upload("hold.mp3");
        serve_upload(file, "hold.mp3");
        EXPECT_EQ(result.get(), 1) << c.size;
        EXPECT_EQ(progress_recorded(), c.progress) << c.size;
        progress_destroy();
    }
}

TEST_F(TftpExchange, EmptyOrMissingFileSendsNothing) {
    write_local({});
    EXPECT_EQ(tftp_upload(kDevice, local.c_str(), "hold.mp3"), -1);
    EXPECT_EQ(tftp_upload(kDevice, (local + ".none").c_str(), "hold.mp3"), -1);
    EXPECT_TRUE(peer.receive_request(300).empty());
}

TEST_F(TftpExchange, UploadStopsAtTheFiveMillionByteLimit) {
    const Bytes file = file_bytes(5000001);
    write_local(file);
    auto result = upload("big.bin");
    serve_upload(Bytes(file.begin(), file.begin() + 5000000), "big.bin");
    EXPECT_EQ(result.get(), 1);
}

TEST_F(TftpExchange, DownloadsEndOnAShortOrEmptyBlockAndWriteTheExactBytes) {
    for (size_t size : {size_t{612}, size_t{1024}, size_t{0}}) {
        const Bytes file = file_bytes(size);
        int32_t received = -1;
        auto result = download("getmp3cfg.###", &received);
        ASSERT_EQ(peer.receive_request(), tftp_make_request(1, "getmp3cfg.###"));
        for (size_t offset = 0, block = 1;; offset += 512, ++block) {
            const size_t n = std::min<size_t>(512, size - offset);
            peer.send(data_packet(static_cast<int>(block),
                                  Bytes(file.begin() + static_cast<long>(offset),
                                        file.begin() + static_cast<long>(offset + n))));
            ASSERT_EQ(peer.receive_transfer(), tftp_make_ack(static_cast<int>(block)));
            if (n < 512) {
                break;
            }
        }
        EXPECT_EQ(result.get(), 1);
        EXPECT_EQ(received, static_cast<int32_t>(size));
        EXPECT_EQ(read_local(), file) << size;
    }
}

TEST_F(TftpExchange, SilentPeerGetsThreeRequestsThreeSecondsApart) {
    int32_t received = 0;
    auto result = download("getmp3cfg.###", &received);
    std::vector<int32_t> arrivals;
    for (int i = 0; i < 4; ++i) {
        const Bytes request = peer.receive_request(i == 0 ? 5000 : 4000);
        if (request.empty()) {
            break;
        }
        EXPECT_EQ(request, tftp_make_request(1, "getmp3cfg.###"));
        arrivals.push_back(clock_now());
    }
    EXPECT_EQ(result.get(), -1);
    ASSERT_EQ(arrivals.size(), 3u);
    EXPECT_GE(arrivals[1] - arrivals[0], 2900);
    EXPECT_GE(arrivals[2] - arrivals[1], 2900);
    EXPECT_FALSE(local_exists());
}

TEST_F(TftpExchange, TimeoutsAddUpOverOneTransfer) {
    const Bytes file = file_bytes(1500);
    write_local(file);
    auto result = upload("hold.mp3");
    // Two packets are answered only after their retransmission; the third expiry, on the
    // next packet, ends the transfer although progress was made in between.
    ASSERT_EQ(peer.receive_request(), tftp_make_request(2, "hold.mp3"));
    ASSERT_EQ(peer.receive_request(4000), tftp_make_request(2, "hold.mp3"));
    peer.send(tftp_make_ack(0));
    const Bytes first = peer.receive_transfer();
    ASSERT_EQ(peer.receive_transfer(4000), first);
    peer.send(tftp_make_ack(1));
    const Bytes second = peer.receive_transfer();
    ASSERT_EQ(second.size(), 516u);
    EXPECT_TRUE(peer.receive_transfer(4000).empty());  // no third send, and no ERROR
    EXPECT_EQ(result.get(), -1);
}

TEST_F(TftpExchange, ErrorFromThePeerIsAnsweredAndFailsWithoutAFile) {
    int32_t received = 0;
    auto result = download("getmp3cfg.###", &received);
    ASSERT_FALSE(peer.receive_request().empty());
    peer.send(tftp_make_error(1, "File not found"));
    EXPECT_EQ(peer.receive_transfer(), tftp_make_error(4, "ERROR"));
    EXPECT_EQ(result.get(), -1);
    EXPECT_FALSE(local_exists());
}

TEST_F(TftpExchange, DuplicateDataIsAcknowledgedAgainAndDuplicateAckIsIgnored) {
    const Bytes file = file_bytes(700);
    int32_t received = 0;
    auto fetched = download("getmp3cfg.###", &received);
    ASSERT_FALSE(peer.receive_request().empty());
    const Bytes block1 = data_packet(1, Bytes(file.begin(), file.begin() + 512));
    peer.send(block1);
    EXPECT_EQ(peer.receive_transfer(), tftp_make_ack(1));
    peer.send(block1);  // as if our ACK had been lost
    EXPECT_EQ(peer.receive_transfer(), tftp_make_ack(1));
    peer.send(data_packet(2, Bytes(file.begin() + 512, file.end())));
    EXPECT_EQ(peer.receive_transfer(), tftp_make_ack(2));
    EXPECT_EQ(fetched.get(), 1);
    EXPECT_EQ(read_local(), file);

    const Bytes upload_file = file_bytes(1500);
    write_local(upload_file);
    auto sent = upload("ring.mp3");
    ASSERT_FALSE(peer.receive_request().empty());
    peer.send(tftp_make_ack(0));
    ASSERT_EQ(peer.receive_transfer().size(), 516u);
    peer.send(tftp_make_ack(1));
    const Bytes data2 = peer.receive_transfer();
    ASSERT_EQ(data2.size(), 516u);
    peer.send(tftp_make_ack(1));  // a late duplicate: no DATA may follow it
    EXPECT_TRUE(peer.receive_transfer(500).empty());
    peer.send(tftp_make_ack(2));
    EXPECT_EQ(peer.receive_transfer().size(), 4u + 1500 - 1024);
    peer.send(tftp_make_ack(3));
    EXPECT_EQ(sent.get(), 1);
}

TEST_F(TftpExchange, StrangersAreTurnedAwayWithoutDisturbingTheTransfer) {
    const Bytes file = file_bytes(600);
    int32_t received = 0;
    auto result = download("x", &received);
    ASSERT_FALSE(peer.receive_request().empty());
#ifndef _WIN32
    // Another host answers first: it must not become the peer. (Wine ties a socket bound to
    // an interface address to that interface and sends with its own source address, so this
    // host cannot be played under Wine.)
    const Socket other_host = udp_bound_to("10.77.77.1");  // netns-isolated provides it
    peer.send_from(other_host, data_packet(1, Bytes(512, 0xEE)));
    const Bytes turned_away = peer.receive(other_host, 5000);
    ASSERT_GE(turned_away.size(), 4u);
    EXPECT_EQ(turned_away[1], 5);
    EXPECT_EQ(turned_away[3], 5);  // Unknown transfer ID
    sock_close(other_host);
#endif

    peer.send(data_packet(1, Bytes(file.begin(), file.begin() + 512)));
    EXPECT_EQ(peer.receive_transfer(), tftp_make_ack(1));
    // The same address from another port, once the port is fixed: refused.
    const Socket stray = udp_open(0, 1);
    peer.send_from(stray, data_packet(2, Bytes(88, 0xEE)));
    const Bytes refusal = peer.receive(stray, 5000);
    ASSERT_GE(refusal.size(), 4u);
    EXPECT_EQ(refusal[1], 5);
    EXPECT_EQ(refusal[3], 5);  // Unknown transfer ID
    sock_close(stray);
    // Oversized and undersized datagrams from the peer itself are dropped.
    peer.send(data_packet(2, Bytes(1200, 0xEE)));
    peer.send(Bytes{0, 3, 0});
    peer.send(data_packet(2, Bytes(file.begin() + 512, file.end())));
    EXPECT_EQ(peer.receive_transfer(), tftp_make_ack(2));
    EXPECT_EQ(result.get(), 1);
    EXPECT_EQ(read_local(), file);
}

TEST_F(TftpExchange, PortSeventyTakenFailsAtOnce) {
    const Socket holder = udp_open(kTftpLocalPort, 1);
    ASSERT_GE(holder, 0);
    int32_t received = 0;
    EXPECT_EQ(tftp_download(kDevice, "x", local.c_str(), &received), -1);
    EXPECT_TRUE(peer.receive_request(300).empty());
    sock_close(holder);
    EXPECT_EQ(tftp_transfer(kDevice, 3, "x", local.c_str(), "octet", &received), -1);
}

TEST_F(TftpExchange, DownloadPastTheLimitIsAcknowledgedThenRefusedAndNothingWritten) {
    int32_t received = 0;
    auto result = download("big", &received);
    ASSERT_FALSE(peer.receive_request().empty());
    const Bytes block(512, 0x5A);
    const int full_blocks = 5000000 / 512;  // 9765 blocks fit
    for (int b = 1; b <= full_blocks + 1; ++b) {
        peer.send(data_packet(b, block));
        ASSERT_EQ(peer.receive_transfer(), tftp_make_ack(b)) << b;
    }
    EXPECT_EQ(peer.receive_transfer(), tftp_make_error(4, "ERROR"));
    EXPECT_EQ(result.get(), -1);
    EXPECT_FALSE(local_exists());
}

TEST_F(TftpExchange, DownloadThatCannotBeSavedFails) {
    local = testing::TempDir() + "no/such/folder/file.cfg";
    int32_t received = 0;
    auto result = download("getmp3cfg.###", &received);
    ASSERT_FALSE(peer.receive_request().empty());
    peer.send(data_packet(1, Bytes(10, 1)));
    EXPECT_EQ(peer.receive_transfer(), tftp_make_ack(1));
    EXPECT_EQ(result.get(), -1);
}

// How a transfer ended, as its own record tells it, for the reasons that kvxctl prints.
TEST_F(TftpExchange, ARecordSaysHowItsTransferEnded) {
    struct Case {
        int direction;
        std::vector<Bytes> answers;  // after the request, one per packet the client sends
        int end;
        int32_t blocks;
        int code;
        const char* message;
    };
    const Bytes block1 = data_packet(1, Bytes(512, 7));
    const Case cases[] = {
        {kTftpDownload,
         {tftp_make_error(2, "Access\tviolation")},
         kTftpPeerError,
         0,
         2,
         "Access?violation"},
        {kTftpDownload, {block1, tftp_make_ack(1)}, kTftpUnexpected, 0, 4, ""},
        // Silence after ACK 1: three intervals, then the last block that went through.
        {kTftpUpload, {tftp_make_ack(0), tftp_make_ack(1)}, kTftpStoppedAnswering, 1, 0, ""},
    };
    static uint8_t buffer[2048];
    for (const Case& c : cases) {
        TftpTransfer t = {};
        t.device = kDevice;
        t.direction = c.direction;
        t.remote = "x";
        t.mode = "octet";
        t.file = buffer;
        t.capacity = sizeof buffer;
        t.size = c.direction == kTftpUpload ? 1500 : 0;
        t.local = local.c_str();
        auto result = std::async(std::launch::async, [&t] { return tftp_run(&t); });
        ASSERT_FALSE(peer.receive_request().empty());
        for (const Bytes& answer : c.answers) {
            peer.send(answer);
            peer.receive_transfer();
        }
        EXPECT_EQ(result.get(), -1);
        EXPECT_EQ(t.end, c.end);
        EXPECT_EQ(t.blocks, c.blocks);
        EXPECT_EQ(t.peer_code, c.code);
        EXPECT_STREQ(t.peer_message, c.message);
    }
}

}  // namespace
