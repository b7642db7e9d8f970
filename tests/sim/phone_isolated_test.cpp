// phone_isolated_test.cpp: a whole simulated phone on 127.0.0.1 as the utility meets it:
// discovery, commands and TFTP, under each fault switch. Runs in a namespace of its own with
// nothing but loopback (scripts/netns-isolated), so the fixed ports 9999 and 69 are ours.
#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "command_cipher.h"
#include "phone.h"
#include "sim_socket.h"
#include "tftp_packet.h"

namespace {

constexpr char kPhone[] = "127.0.0.1";
constexpr char kDiscoveryReply[] =
    "?\r\ndevice KVX-350RT\r\nversion 2.1.4\r\nmac 02:4B:56:00:00:01\r\nname desk-7\r\n"
    "ip 127.0.0.1\r\n";
constexpr char kOk[] = "@\r\nresult OK\r\n";

struct Datagram {
    Packet bytes;
    sockaddr_in from{};
    int port = 0, opcode = -1, block = -1;  // port 0: nothing arrived
    int error() const {
        return opcode == kTftpError ? block : -1;
    }
};

sockaddr_in phone_port(int port) {
    sockaddr_in addr;
    sim_make_addr(kPhone, port, &addr);
    return addr;
}

std::vector<uint8_t> pattern(size_t size) {
    std::vector<uint8_t> bytes(size);
    for (size_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<uint8_t>(i * 31 + i / 509);
    }
    return bytes;
}

// Old and new name, old and new password, scrambled as the utility sends them.
const std::string kAdmin = [] {
    std::string payload = "admin;!sep!;boss;!sep!;admin;!sep!;pw1";
    rc4_crypt(reinterpret_cast<uint8_t*>(payload.data()), kModelId,
              static_cast<int>(payload.size()));
    return "@ " + payload;
}();

struct Rig : testing::Test {
    // Per process: test programs of other builds may run at the same time.
    std::string folder = testing::TempDir() + "kvx_phone_isolated." + std::to_string(getpid());
    std::string error;  // why the phone or a client socket did not open
    Phone* phone = nullptr;
    int client = sim_udp_bind(phone_port(0), &error);  // on the phone's address
    sockaddr_in peer{};  // where the last transfer's packets came from
    Datagram refusal;    // what ended the last download early

    Rig() {
        std::filesystem::remove_all(folder);
    }
    ~Rig() override {
        phone_close(phone);
        close(client);
        std::filesystem::remove_all(folder);
    }
    Phone* open(const std::string& faults, const char* address = kPhone) {
        phone_close(phone);
        PhoneConfig config;
        config.address = address;
        config.folder = folder;
        config.faults = faults;
        config.max_file_size = 100000;
        config.initial.name = "desk-7";
        return phone = phone_open(config, &error);
    }
    void start(const std::string& faults = "") {
        ASSERT_NE(open(faults), nullptr) << error;
    }
    void set_faults(const std::string& faults) {
        std::ofstream(folder + "/faults", std::ios::trunc) << faults;
        phone_reload_faults(phone);
    }
    void send_to(const Packet& bytes, int port) {
        sim_send(client, bytes.data(), bytes.size(), phone_port(port));
    }
    // The next datagram that reaches the socket within ms, while the phone handles what
    // arrives for it and what falls due.
    Datagram next(int ms = 2000) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        uint8_t buffer[2048];
        sockaddr_in from{};
        do {
            const long n = sim_recv(client, buffer, sizeof buffer, &from);
            if (n >= 0) {
                return {Packet(buffer, buffer + n), from, ntohs(from.sin_port),
                        tftp_opcode(buffer, n), tftp_block(buffer, n)};
            }
            std::vector<int> fds;
            phone_sockets(phone, &fds);
            std::vector<pollfd> entries;
            for (const int fd : fds) {
                entries.push_back({fd, POLLIN, 0});
            }
            poll(entries.data(), entries.size(), 5);
            for (const pollfd& entry : entries) {
                if (entry.revents) {
                    phone_readable(phone, entry.fd);
                }
            }
            phone_timers(phone);
        } while (std::chrono::steady_clock::now() < end);
        return {};
    }
    // Every datagram until ms pass in silence.
    std::vector<Datagram> replies(int ms) {
        std::vector<Datagram> all;
        for (Datagram got = next(ms); got.port; got = next(ms)) {
            all.push_back(got);
        }
        return all;
    }
    // A lock-step upload as the utility makes it, re-sending after 300 ms of silence. The
    // phone's last answer: the ACK of the last block, or the first packet that is not an ACK.
    Datagram upload(const std::string& name, const std::vector<uint8_t>& bytes) {
        peer = phone_port(kTftpPort);
        Datagram got;
        for (size_t block = 0; block <= bytes.size() / kTftpBlockSize + 1; ++block) {
            const size_t at = block ? (block - 1) * kTftpBlockSize : 0;
            const Packet packet =
                block ? tftp_make_data(static_cast<uint16_t>(block), bytes.data() + at,
                                       std::min(kTftpBlockSize, bytes.size() - at))
                      : tftp_make_request(kTftpWrq, name);
            for (int tries = 0; tries < 10; ++tries) {
                sim_send(client, packet.data(), packet.size(), peer);
                got = next(300);
                if (got.port && (got.opcode != kTftpAck || got.block == static_cast<int>(block))) {
                    break;
                }
                got = {};
            }
            if (got.opcode != kTftpAck) {
                return got;
            }
            peer = block ? peer : got.from;
        }
        return got;
    }
    // A download that takes each block once, wherever it comes from, and acknowledges it
    // there; stops at the first packet that is not DATA, which goes to refusal.
    std::vector<uint8_t> download(const std::string& name) {
        send_to(tftp_make_request(kTftpRrq, name), kTftpPort);
        std::vector<uint8_t> bytes;
        for (int block = 1;;) {
            const Datagram got = next();
            if (got.opcode != kTftpData) {
                refusal = got;
                break;
            }
            const Packet ack = tftp_make_ack(static_cast<uint16_t>(got.block));
            peer = got.from;
            sim_send(client, ack.data(), ack.size(), peer);
            if (got.block == block) {
                bytes.insert(bytes.end(), got.bytes.begin() + kTftpHeaderSize, got.bytes.end());
                ++block;
                if (got.bytes.size() < kTftpHeaderSize + kTftpBlockSize) {
                    break;
                }
            }
        }
        return bytes;
    }
    std::vector<uint8_t> stored(const std::string& name) {
        std::ifstream in(folder + "/files/" + name, std::ios::binary);
        return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
    }
};

TEST_F(Rig, DeviceChannelSwitches) {
    struct Case {
        const char* faults;
        std::string datagram;
        std::vector<std::string> replies;  // each a prefix of what arrives, in order
    };
    const Case cases[] = {
        {"", "?", {kDiscoveryReply}},
        {"", kAdmin, {kOk}},
        {"", "hello", {}},
        {"", std::string(2001, '?'), {}},  // longer than any datagram of the utility
        {"silent", "?", {}},
        {"silent", kAdmin, {}},
        {"discovery-silent", "?", {}},
        {"discovery-silent", kAdmin, {kOk}},
        {"command-silent", kAdmin, {}},
        {"command-silent", "?", {kDiscoveryReply}},
        {"dup-reply,result=BUSY", kAdmin, {"@\r\nresult BUSY\r\n", "@\r\nresult BUSY\r\n"}},
        {"result=", kAdmin, {"@\r\n"}},
        {"model=KVX-100,no-version", "?", {"?\r\ndevice KVX-100\r\nmac "}},
        {"delay=200", "?", {kDiscoveryReply}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.faults) + " " + c.datagram.substr(0, 2));
        std::filesystem::remove_all(folder);
        start(c.faults);
        const auto sent = std::chrono::steady_clock::now();
        send_to(Packet(c.datagram.begin(), c.datagram.end()), kCommandPort);
        const std::vector<Datagram> got = replies(300);
        ASSERT_EQ(got.size(), c.replies.size());
        for (size_t i = 0; i < got.size(); ++i) {
            const std::string text(got[i].bytes.begin(), got[i].bytes.end());
            EXPECT_EQ(text.rfind(c.replies[i], 0), 0u) << text;
            EXPECT_EQ(got[i].port, kCommandPort);
        }
        if (std::string(c.faults) == "delay=200") {
            EXPECT_GE(std::chrono::steady_clock::now() - sent, std::chrono::milliseconds(200));
        }
    }
}

TEST_F(Rig, RefusedRequestsGetTheirErrorCode) {
    struct Case {
        const char* faults;
        Packet packet;
        int code;
    };
    const Case cases[] = {
        {"", Packet{0, 9, 0, 1}, kTftpErrIllegal},
        {"", tftp_make_request(kTftpWrq, "evil.txt"), kTftpErrAccess},
        {"", tftp_make_request(kTftpWrq, "../hold.mp3"), kTftpErrAccess},
        {"", tftp_make_request(kTftpWrq, "7.bmp"), kTftpErrAccess},
        {"", tftp_make_request(kTftpRrq, "hold.mp3"), kTftpErrNotFound},
        {"", tftp_make_request(kTftpRrq, "getmp3cfg"), kTftpErrNotFound},
        {"", tftp_make_request(kTftpWrq, "hold.mp3", "netascii"), kTftpErrUndefined},
        {"", tftp_make_ack(1), kTftpErrIllegal},
        {"reject-writes", tftp_make_request(kTftpWrq, "hold.mp3"), kTftpErrAccess},
        {"reject-reads", tftp_make_request(kTftpRrq, "getmp3cfg.###"), kTftpErrAccess},
    };
    for (const Case& c : cases) {
        start(c.faults);
        send_to(c.packet, kTftpPort);
        EXPECT_EQ(next().error(), c.code)
            << c.faults << " " << std::string(c.packet.begin() + 2, c.packet.end());
    }
    EXPECT_FALSE(std::filesystem::exists(folder + "/files/evil.txt"));
    // Options are ignored (the phone takes 512-byte blocks only), not refused.
    Packet request = tftp_make_request(kTftpWrq, "hold.mp3");
    const std::string options = std::string("blksize") + '\0' + "1024" + '\0';
    request.insert(request.end(), options.begin(), options.end());
    send_to(request, kTftpPort);
    EXPECT_EQ(next().opcode, kTftpAck);
}

// Files of every size, and packet faults that a careful client rides out: the file arrives
// whole, both ways, and each switch did act (moved ports, another address, stray copies).
TEST_F(Rig, FilesGetThroughEachPacketFault) {
    const std::pair<std::string, size_t> cases[] = {
        {"", 0},
        {"drop-tx=1", 1},
        {"drop-rx=2", 511},
        {"dup-tx=2", 512},
        {"dup-rx=3", 513},
        {"tftp-delay=300@1", 5000},
        {"stray-tx=2", 1500},
        {"tftp-port69", 1024},
        {"move-port=2", 1500},
        {"tftp-from=127.0.0.2", 700},
    };
    for (const auto& [faults, size] : cases) {
        SCOPED_TRACE(faults);
        const std::vector<uint8_t> bytes = pattern(size);
        close(client);  // nothing left over from the last case
        client = sim_udp_bind(phone_port(0), &error);
        std::filesystem::remove_all(folder);
        start(faults + ",serve-stored,tftp-timeout=200");
        EXPECT_EQ(upload("2.bmp", bytes).opcode, kTftpAck);
        EXPECT_EQ(stored("2.bmp"), bytes);
        replies(250);  // late and doubled packets of the upload
        set_faults(faults + ",serve-stored,tftp-timeout=200");
        EXPECT_EQ(download("2.bmp"), bytes);
        replies(250);  // the phone reads our last ACK
        const std::string name = faults.substr(0, faults.find('='));
        std::ifstream log(folder + "/events.log");
        int acted = 0;
        for (std::string line; std::getline(log, line);) {
            acted += line.find("fault " + name + " ") != std::string::npos;
        }
        if (!name.empty() && name.rfind("tftp-", 0) != 0) {
            EXPECT_EQ(acted, 2);
        }
        EXPECT_EQ(sim_host_text(peer), name == "tftp-from" ? "127.0.0.2" : kPhone);
    }
}

TEST_F(Rig, InjectedErrorsAndFullDisksEndATransferAndKeepTheOldFile) {
    start("serve-stored");
    ASSERT_EQ(upload("6.bmp", pattern(10)).opcode, kTftpAck);
    ASSERT_EQ(upload("5.bmp", pattern(1500)).opcode, kTftpAck);
    set_faults("error-block=2,serve-stored");
    EXPECT_EQ(upload("6.bmp", pattern(1500)).error(), kTftpErrUndefined);
    set_faults("error-block=x");  // refused: the switches before it stay
    EXPECT_EQ(download("5.bmp").size(), 512u);
    EXPECT_EQ(refusal.opcode, kTftpError);

    start();
    EXPECT_EQ(upload("6.bmp", pattern(100352)).error(), kTftpErrDiskFull);  // past 100000
    EXPECT_EQ(stored("6.bmp"), pattern(10));

    std::filesystem::create_directories(folder + "/files/hold.mp3/in-the-way");
    EXPECT_EQ(upload("hold.mp3", pattern(3)).error(), kTftpErrDiskFull);
    EXPECT_FALSE(std::filesystem::exists(folder + "/files/hold.mp3.part"));
}

TEST_F(Rig, APhoneThatCannotStartSaysWhy) {
    EXPECT_EQ(open("", "10.9.9.9"), nullptr);
    EXPECT_EQ(error, "phone 10.9.9.9: bind 10.9.9.9:9999: Cannot assign requested address");
    std::filesystem::remove_all(folder);
    std::ofstream(folder) << "not a folder";
    EXPECT_EQ(open(""), nullptr);
    EXPECT_EQ(error, "phone 127.0.0.1: " + folder + ": Not a directory");
}

// A transfer is known by its client's port: a packet from another port is refused and changes
// nothing.
TEST_F(Rig, ARepeatedRequestJoinsItsTransferAndOtherPortsAreRefused) {
    start();
    send_to(tftp_make_request(kTftpWrq, "hold.mp3"), kTftpPort);
    const Datagram first = next();
    ASSERT_EQ(first.opcode, kTftpAck);
    send_to(tftp_make_request(kTftpWrq, "hold.mp3"), kTftpPort);  // our ACK 0 seemed lost
    const Datagram again = next();
    EXPECT_EQ(again.port, first.port);
    EXPECT_EQ(again.bytes, first.bytes);

    int other = sim_udp_bind(phone_port(0), &error);
    std::swap(client, other);
    send_to(tftp_make_data(1, pattern(7).data(), 7), first.port);
    EXPECT_EQ(next().error(), kTftpErrUnknownTid);
    std::swap(client, other);
    close(other);
    send_to(tftp_make_data(1, pattern(5).data(), 5), first.port);
    EXPECT_EQ(next().opcode, kTftpAck);
    EXPECT_EQ(stored("hold.mp3"), pattern(5));
}

}  // namespace
