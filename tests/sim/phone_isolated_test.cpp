// phone_isolated_test.cpp: a whole simulated phone on 127.0.0.1, driven packet by packet,
// with its fault switches. Runs in a namespace of its own with nothing but loopback
// (scripts/netns-isolated), so the fixed ports 9999 and 69 are ours.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "command_cipher.h"
#include "phone.h"
#include "station_list.h"
#include "tftp_packet.h"

namespace {

constexpr char kPhone[] = "127.0.0.1";

struct Datagram {
    Packet bytes;
    sockaddr_in from{};
    int port() const {
        return ntohs(from.sin_port);
    }
    std::string host() const {
        char text[INET_ADDRSTRLEN];
        inet_ntop(AF_INET, &from.sin_addr, text, sizeof text);
        return text;
    }
    std::string text() const {
        return std::string(bytes.begin(), bytes.end());
    }
    int opcode() const {
        return tftp_opcode(bytes.data(), bytes.size());
    }
    int block() const {
        return tftp_block(bytes.data(), bytes.size());
    }
};

sockaddr_in endpoint(const char* host, int port) {
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<uint16_t>(port));
    inet_pton(AF_INET, host, &addr.sin_addr);
    return addr;
}

int open_client() {
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK, 0);
    const sockaddr_in any = endpoint(kPhone, 0);
    bind(fd, reinterpret_cast<const sockaddr*>(&any), sizeof any);
    return fd;
}

Packet request(int opcode, const std::string& file, const std::string& mode = "octet") {
    Packet p = {0, static_cast<uint8_t>(opcode)};
    p.insert(p.end(), file.begin(), file.end());
    p.push_back(0);
    p.insert(p.end(), mode.begin(), mode.end());
    p.push_back(0);
    return p;
}

std::vector<uint8_t> pattern(size_t size, int salt = 0) {
    std::vector<uint8_t> bytes(size);
    for (size_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<uint8_t>(i * 31 + salt + i / 509);
    }
    return bytes;
}

std::string frame(const char* prefix, std::string payload) {
    rc4_crypt(reinterpret_cast<uint8_t*>(payload.data()), kModelId,
              static_cast<int>(payload.size()));
    return prefix + payload;
}

struct Rig : testing::Test {
    // Per process: test programs of other builds may run at the same time.
    std::string folder = testing::TempDir() + "kvx_phone_isolated." + std::to_string(getpid());
    Phone* phone = nullptr;
    int client = -1;

    void SetUp() override {
        std::filesystem::remove_all(folder);
        client = open_client();
    }
    void TearDown() override {
        phone_close(phone);
        close(client);
        std::filesystem::remove_all(folder);
    }
    void start(const std::string& faults = "") {
        phone_close(phone);
        PhoneConfig config;
        config.address = kPhone;
        config.folder = folder;
        config.faults = faults;
        config.max_file_size = 100000;
        std::string error;
        phone = phone_open(config, &error);
        ASSERT_NE(phone, nullptr) << error;
    }
    void set_faults(const std::string& faults) {
        ASSERT_NE(phone, nullptr);
        std::ofstream(folder + "/faults", std::ios::trunc) << faults;
        phone_reload_faults(phone);
    }
    // Lets the phone handle what has arrived and what is due, waiting up to ms.
    void pump(int ms) {
        if (!phone) {
            return;
        }
        std::vector<int> fds;
        phone_sockets(phone, &fds);
        std::vector<pollfd> entries;
        for (const int fd : fds) {
            entries.push_back({fd, POLLIN, 0});
        }
        if (poll(entries.data(), entries.size(), ms) > 0) {
            for (const pollfd& entry : entries) {
                if (entry.revents) {
                    phone_readable(phone, entry.fd);
                }
            }
        }
        phone_timers(phone);
    }
    void send_to(const Packet& bytes, int port, const char* host = kPhone, int from = -1) {
        const sockaddr_in to = endpoint(host, port);
        sendto(from < 0 ? client : from, bytes.data(), bytes.size(), 0,
               reinterpret_cast<const sockaddr*>(&to), sizeof to);
    }
    void send_text(const std::string& text, int port) {
        send_to(Packet(text.begin(), text.end()), port);
    }
    // The next datagram that reaches the client socket, pumping the phone meanwhile.
    bool await(Datagram* got, int ms = 2000, int fd = -1) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        uint8_t buffer[2048];
        do {
            socklen_t size = sizeof got->from;
            const ssize_t n = recvfrom(fd < 0 ? client : fd, buffer, sizeof buffer, 0,
                                       reinterpret_cast<sockaddr*>(&got->from), &size);
            if (n >= 0) {
                got->bytes.assign(buffer, buffer + n);
                return true;
            }
            pump(5);
        } while (std::chrono::steady_clock::now() < end);
        return false;
    }
    bool quiet_for(int ms, int fd = -1) {
        Datagram ignored;
        return !await(&ignored, ms, fd);
    }
    std::vector<std::string> events() {
        std::ifstream in(folder + "/events.log");
        std::vector<std::string> lines;
        for (std::string line; std::getline(in, line);) {
            lines.push_back(line.substr(line.find(' ') + 1));  // without the time stamp
        }
        return lines;
    }
    int count_events(const std::string& part) {
        int n = 0;
        for (const std::string& line : events()) {
            n += line.find(part) != std::string::npos;
        }
        return n;
    }
    // A lock-step upload that re-sends after 300 ms of silence; the phone's port goes to
    // port_out.
    void upload(const std::string& name, const std::vector<uint8_t>& bytes,
                int* port_out = nullptr) {
        const Packet wrq = request(kTftpWrq, name);
        Datagram got;
        int port = 0;
        ASSERT_TRUE(exchange(wrq, kTftpPort, 0, &got));
        port = got.port();
        size_t at = 0;
        for (uint16_t block = 1;; ++block) {
            const size_t n = std::min<size_t>(512, bytes.size() - at);
            ASSERT_TRUE(exchange(tftp_make_data(block, bytes.data() + at, n), port, block, &got));
            at += n;
            if (n < 512) {
                break;
            }
        }
        if (port_out) {
            *port_out = port;
        }
    }
    // Sends packet until the ACK of block comes back, again after 300 ms of silence or an
    // earlier block's ACK.
    bool exchange(const Packet& packet, int port, int block, Datagram* got) {
        for (int tries = 0; tries < 10; ++tries) {
            send_to(packet, port);
            if (!await(got, 300)) {
                continue;
            }
            if (got->opcode() != kTftpAck) {
                ADD_FAILURE() << "expected ACK " << block << ": " << got->text();
                return false;
            }
            if (got->block() == block) {
                return true;
            }
        }
        ADD_FAILURE() << "no ACK " << block;
        return false;
    }
    std::vector<uint8_t> download(const std::string& name) {
        send_to(request(kTftpRrq, name), kTftpPort);
        std::vector<uint8_t> bytes;
        Datagram got;
        for (uint16_t block = 1;; ++block) {
            EXPECT_TRUE(await(&got)) << "no DATA " << block;
            EXPECT_EQ(got.opcode(), kTftpData) << got.text();
            EXPECT_EQ(got.block(), block);
            if (got.opcode() != kTftpData) {
                return bytes;
            }
            bytes.insert(bytes.end(), got.bytes.begin() + 4, got.bytes.end());
            send_to(tftp_make_ack(block), got.port());
            if (got.bytes.size() < 516) {
                return bytes;
            }
        }
    }
    std::vector<uint8_t> stored(const std::string& name) {
        std::ifstream in(folder + "/files/" + name, std::ios::binary);
        return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
    }
};

TEST_F(Rig, DiscoveryIsAnsweredFromTheCommandPortAndLogged) {
    start();
    send_text("?", kCommandPort);
    Datagram got;
    ASSERT_TRUE(await(&got));
    EXPECT_EQ(got.port(), kCommandPort);
    EXPECT_EQ(got.host(), kPhone);
    EXPECT_EQ(got.text().rfind("?\r\ndevice KVX-350RT\r\nversion 2.1.4\r\n", 0), 0u) << got.text();
    EXPECT_EQ(count_events("discovery from=127.0.0.1:"), 1);
    EXPECT_EQ(count_events("discovery-reply to=127.0.0.1:"), 1);
}

TEST_F(Rig, CommandsChangeTheSettingsFileWhichOutlivesTheProgram) {
    start();
    send_text(frame("@ ", "admin;!sep!;boss;!sep!;admin;!sep!;pw1"), kCommandPort);
    Datagram got;
    ASSERT_TRUE(await(&got));
    EXPECT_EQ(got.text(), "@\r\nresult OK\r\n");
    start();  // the same folder again
    send_text(frame("# ", "admin;!sep!;admin;!sep!;3111"), kCommandPort);
    ASSERT_TRUE(await(&got));
    EXPECT_EQ(got.text(), "@\r\nresult DENIED\r\n");
    send_text(frame("# ", "boss;!sep!;pw1;!sep!;3111"), kCommandPort);
    ASSERT_TRUE(await(&got));
    EXPECT_EQ(got.text(), "@\r\nresult OK\r\n");
    std::ifstream in(folder + "/settings.txt");
    std::stringstream text;
    text << in.rdbuf();
    for (const char* line : {"admin_name=boss\n", "admin_password=pw1\n", "ringer_type=3\n",
                             "hold_tone=1\n", "banner=1\n", "internet_radio=1\n"}) {
        EXPECT_NE(text.str().find(line), std::string::npos) << line;
    }
    EXPECT_EQ(count_events("command-result kind=misc result=OK ringer_type=3"), 1);
}

TEST_F(Rig, StrangeDatagramsAreLoggedAndIgnored) {
    start();
    send_text("hello", kCommandPort);
    send_to(Packet(2500, '?'), kCommandPort);
    send_to(Packet(), kCommandPort);
    EXPECT_TRUE(quiet_for(200));
    EXPECT_EQ(count_events("reason=unknown-marker first=0x68"), 1);
    EXPECT_EQ(count_events("reason=oversized"), 1);
    EXPECT_EQ(count_events("reason=empty"), 1);
}

TEST_F(Rig, RandomDatagramsOnEveryPortBreakNothing) {
    start();
    std::mt19937 rng(2024);
    const Packet prefixes[] = {{},     {'@', ' '}, {'#', ' '}, {'?'}, {0, 1},
                               {0, 2}, {0, 3},     {0, 4},     {0, 5}};
    for (int i = 0; i < 3000; ++i) {
        Packet p = prefixes[rng() % 9];
        const size_t extra = rng() % (i % 10 == 0 ? 2100 : 40);
        for (size_t k = 0; k < extra; ++k) {
            p.push_back(static_cast<uint8_t>(rng() % 4 == 0 ? 0 : rng()));
        }
        send_to(p, rng() % 2 ? kCommandPort : kTftpPort);
        if (i % 50 == 0) {
            pump(0);
        }
    }
    Datagram got;
    while (await(&got, 300)) {
    }
    send_text("?", kCommandPort);
    do {
        ASSERT_TRUE(await(&got)) << "the phone stopped answering";
    } while (got.text().rfind("?\r\ndevice", 0) != 0);
}

TEST_F(Rig, SilenceSwitchesKeepThePhoneQuietButLogged) {
    start("silent");
    send_text("?", kCommandPort);
    send_text(frame("@ ", "admin;!sep!;x;!sep!;admin;!sep!;y"), kCommandPort);
    send_to(request(kTftpRrq, "getmp3cfg.###"), kTftpPort);
    EXPECT_TRUE(quiet_for(300));
    EXPECT_EQ(count_events("reason=silent"), 3);

    set_faults("discovery-silent");
    send_text("?", kCommandPort);
    EXPECT_TRUE(quiet_for(200));
    send_text(frame("@ ", "admin;!sep!;x;!sep!;admin;!sep!;y"), kCommandPort);
    Datagram got;
    ASSERT_TRUE(await(&got));
    EXPECT_EQ(got.text(), "@\r\nresult OK\r\n");

    set_faults("command-silent");
    send_text(frame("@ ", "x;!sep!;x;!sep!;admin;!sep!;y"), kCommandPort);
    EXPECT_TRUE(quiet_for(200));
    EXPECT_EQ(count_events("reason=command-silent"), 1);
    send_text("?", kCommandPort);
    EXPECT_TRUE(await(&got));
}

TEST_F(Rig, RepliesCanComeTwiceLateOrWithAForcedResult) {
    start("dup-reply,result=BUSY");
    send_text(frame("@ ", "admin;!sep!;admin;!sep!;admin;!sep!;y"), kCommandPort);
    Datagram got;
    ASSERT_TRUE(await(&got));
    EXPECT_EQ(got.text(), "@\r\nresult BUSY\r\n");
    ASSERT_TRUE(await(&got));
    EXPECT_EQ(got.text(), "@\r\nresult BUSY\r\n");
    EXPECT_TRUE(quiet_for(100));
    EXPECT_EQ(count_events("command-result kind=admin result=OK"), 1);  // applied all the same

    set_faults("delay=400,result=,model=KVX-100,no-version");
    send_text(frame("@ ", "admin;!sep!;admin;!sep!;y;!sep!;y"), kCommandPort);
    EXPECT_TRUE(quiet_for(250));
    ASSERT_TRUE(await(&got));
    EXPECT_EQ(got.text(), "@\r\n");
    EXPECT_EQ(count_events("delayed=400"), 1);
    send_text("?", kCommandPort);
    ASSERT_TRUE(await(&got));
    EXPECT_NE(got.text().find("device KVX-100\r\n"), std::string::npos);
    EXPECT_EQ(got.text().find("version"), std::string::npos);
}

TEST_F(Rig, WrittenFilesAreStoredAndCanBeReadBackWhenAllowed) {
    start("serve-stored");
    for (const size_t size : {0, 1, 511, 512, 513, 5000}) {
        const std::vector<uint8_t> bytes = pattern(size, static_cast<int>(size));
        upload("ring.mp3", bytes);
        EXPECT_EQ(stored("ring.mp3"), bytes) << size;
        EXPECT_EQ(download("ring.mp3"), bytes) << size;
    }
    EXPECT_TRUE(quiet_for(100));
    EXPECT_EQ(count_events("tftp-done id=1 op=write file=ring.mp3 bytes=0"), 1);
    EXPECT_EQ(count_events("tftp-done"), 12);
}

TEST_F(Rig, StationListIsServedAndReplacedByAnUpload) {
    start();
    const std::vector<uint8_t> first = download("getmp3cfg.###");
    const std::string text(first.begin(), first.end());
    EXPECT_EQ(text.rfind("[Config]\r\nVolume=5\r\nDefaultStation=1\r\n\r\n[MusicStation]\r\n"
                         "Name1=Sim Radio One\r\n",
                         0),
              0u)
        << text;
    const std::string upload_text =
        "[Config]\r\nVolume=3\r\nDefaultStation=99\r\n\r\n[MusicStation]\r\n"
        "Name1=Jazz\r\nURL1=http://jazz.example/a=b\r\nName2=Talk\r\nURL2=http://talk.example\r\n";
    upload("mp3.cfg", std::vector<uint8_t>(upload_text.begin(), upload_text.end()));
    const std::vector<uint8_t> again = download("getmp3cfg.###");
    const std::string path = folder + "-list.cfg";
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(again.data()),
               static_cast<std::streamsize>(again.size()));
    StationList list{};
    ASSERT_EQ(station_list_read(&list, path.c_str()), 1);
    remove(path.c_str());
    EXPECT_EQ(list.volume, 3);
    EXPECT_EQ(list.default_station, 99);
    EXPECT_STREQ(list.name[0], "Jazz");
    EXPECT_STREQ(list.url[0], "http://jazz.example/a=b");
    EXPECT_STREQ(list.name[1], "Talk");
    EXPECT_STREQ(list.name[2], "");
    EXPECT_EQ(count_events("stations count=2 volume=3 default=99"), 1);
}

TEST_F(Rig, UnknownNamesModesAndRequestsGetTheirError) {
    start();
    struct Case {
        Packet packet;
        int code;
    };
    const Case cases[] = {
        {request(kTftpWrq, "evil.txt"), kTftpErrAccess},
        {request(kTftpWrq, "../hold.mp3"), kTftpErrAccess},
        {request(kTftpWrq, "7.bmp"), kTftpErrAccess},
        {request(kTftpRrq, "hold.mp3"), kTftpErrNotFound},  // not without serve-stored
        {request(kTftpRrq, "getmp3cfg"), kTftpErrNotFound},
        {request(kTftpWrq, "hold.mp3", "netascii"), kTftpErrUndefined},
        {request(kTftpRrq, "getmp3cfg.###", "mail"), kTftpErrUndefined},
        {tftp_make_ack(1), kTftpErrIllegal},
        {Packet{0, 2, 'a'}, kTftpErrIllegal},
    };
    for (const Case& c : cases) {
        send_to(c.packet, kTftpPort);
        Datagram got;
        ASSERT_TRUE(await(&got));
        EXPECT_EQ(got.opcode(), kTftpError);
        EXPECT_EQ(got.block(), c.code) << std::string(c.packet.begin() + 2, c.packet.end());
    }
    EXPECT_EQ(count_events("tftp-refused"), 7);
    EXPECT_EQ(count_events("tftp-illegal"), 2);
    EXPECT_FALSE(std::filesystem::exists(folder + "/files/evil.txt"));
}

TEST_F(Rig, ErrorsAreNeverAnswered) {
    start();
    send_to(tftp_make_error(0, "x"), kTftpPort);
    EXPECT_TRUE(quiet_for(100));
    send_to(request(kTftpWrq, "hold.mp3"), kTftpPort);
    Datagram got;
    ASSERT_TRUE(await(&got));
    const int intruder = open_client();
    send_to(tftp_make_error(0, "x"), got.port(), kPhone, intruder);
    EXPECT_TRUE(quiet_for(100, intruder));
    close(intruder);
    EXPECT_EQ(count_events("tftp-foreign id=1"), 1);
}

TEST_F(Rig, FileThatCannotBeStoredGetsDiskFullInsteadOfTheLastAck) {
    start();
    std::filesystem::create_directories(folder + "/files/hold.mp3/in-the-way");
    send_to(request(kTftpWrq, "hold.mp3"), kTftpPort);
    Datagram got;
    ASSERT_TRUE(await(&got));
    send_to(tftp_make_data(1, pattern(3).data(), 3), got.port());
    ASSERT_TRUE(await(&got));
    EXPECT_EQ(got.opcode(), kTftpError);
    EXPECT_EQ(got.block(), kTftpErrDiskFull);
    EXPECT_EQ(count_events("tftp-fail id=1 op=write file=hold.mp3 bytes=3 reason=store-failed"), 1);
    EXPECT_EQ(count_events("tftp-done"), 0);
    EXPECT_FALSE(std::filesystem::exists(folder + "/files/hold.mp3.part"));
}

TEST_F(Rig, RejectSwitchesRefuseWritesOrReads) {
    start("reject-writes");
    send_to(request(kTftpWrq, "hold.mp3"), kTftpPort);
    Datagram got;
    ASSERT_TRUE(await(&got));
    EXPECT_EQ(got.opcode(), kTftpError);
    EXPECT_EQ(got.block(), kTftpErrAccess);
    EXPECT_EQ(download("getmp3cfg.###").empty(), false);
    set_faults("reject-reads");
    send_to(request(kTftpRrq, "getmp3cfg.###"), kTftpPort);
    ASSERT_TRUE(await(&got));
    EXPECT_EQ(got.opcode(), kTftpError);
    upload("1.bmp", pattern(10));
    EXPECT_EQ(count_events("reason=reject-writes"), 1);
    EXPECT_EQ(count_events("reason=reject-reads"), 1);
}

TEST_F(Rig, FilesOverTheLimitAreRefusedAndTheOldFileStays) {
    start();
    upload("hold.mp3", pattern(700));
    send_to(request(kTftpWrq, "hold.mp3"), kTftpPort);
    Datagram got;
    ASSERT_TRUE(await(&got));
    const int port = got.port();
    const std::vector<uint8_t> big = pattern(100352);  // the limit is 100000
    bool refused = false;
    for (uint16_t block = 1; !refused && block <= 196; ++block) {
        send_to(tftp_make_data(block, big.data() + (block - 1) * 512, 512), port);
        ASSERT_TRUE(await(&got));
        refused = got.opcode() == kTftpError;
    }
    EXPECT_TRUE(refused);
    EXPECT_EQ(got.block(), kTftpErrDiskFull);
    EXPECT_EQ(stored("hold.mp3"), pattern(700));
    EXPECT_EQ(count_events("reason=too-large"), 1);
}

TEST_F(Rig, LostPacketsAreMadeGoodByThePhonesResend) {
    // tx 1 is ACK 0, re-sent by the phone after 100 ms; rx 1 is the request, rx 2 DATA 1 and
    // rx 3 DATA 2, which the client sends again.
    start("drop-tx=1,drop-rx=3,tftp-timeout=100,trace");
    upload("2.bmp", pattern(1500));
    EXPECT_EQ(stored("2.bmp"), pattern(1500));
    EXPECT_EQ(count_events("fault drop-tx n=1 "), 1);
    EXPECT_EQ(count_events("fault drop-rx n=3 "), 1);
    EXPECT_EQ(count_events("tftp-resend id=1 ACK block=0"), 1);
    EXPECT_GE(count_events("tftp-resend id=1 ACK block=1"), 1);
    EXPECT_EQ(count_events("tftp-rx n=3 "), 1);
    EXPECT_EQ(count_events("tftp-tx n=1 "), 1);
}

TEST_F(Rig, DuplicatesInBothDirections) {
    // rx 1 WRQ, rx 2 DATA 1, rx 3 DATA 2 (handled twice); tx 2 is ACK 1 (sent twice).
    start("dup-tx=2,dup-rx=3,serve-stored");
    const std::vector<uint8_t> bytes = pattern(1200);
    send_to(request(kTftpWrq, "3.bmp"), kTftpPort);
    Datagram got;
    ASSERT_TRUE(await(&got));
    const int port = got.port();
    send_to(tftp_make_data(1, bytes.data(), 512), port);
    for (int i = 0; i < 2; ++i) {
        ASSERT_TRUE(await(&got));
        EXPECT_EQ(got.block(), 1);  // sent twice
    }
    send_to(tftp_make_data(2, bytes.data() + 512, 512), port);
    for (int i = 0; i < 2; ++i) {
        ASSERT_TRUE(await(&got));
        EXPECT_EQ(got.block(), 2);  // the second handling acknowledges the repeat again
    }
    send_to(tftp_make_data(3, bytes.data() + 1024, 176), port);
    ASSERT_TRUE(await(&got));
    EXPECT_EQ(got.block(), 3);
    EXPECT_TRUE(quiet_for(100));
    EXPECT_EQ(count_events("fault dup-tx n=2 "), 1);
    EXPECT_EQ(count_events("fault dup-rx n=3 "), 1);
    EXPECT_EQ(stored("3.bmp"), bytes);

    set_faults("dup-tx=1,serve-stored");
    send_to(request(kTftpRrq, "3.bmp"), kTftpPort);
    ASSERT_TRUE(await(&got));
    Datagram twin;
    ASSERT_TRUE(await(&twin));
    EXPECT_EQ(got.bytes, twin.bytes);
    EXPECT_EQ(got.block(), 1);
    send_to(tftp_make_ack(1), got.port());
    send_to(tftp_make_ack(1), got.port());  // a repeated ACK must not double DATA 2
    ASSERT_TRUE(await(&got));
    EXPECT_EQ(got.block(), 2);
    EXPECT_TRUE(quiet_for(200));
}

TEST_F(Rig, TransfersCanAnswerFromPort69OrAnotherAddress) {
    start("tftp-port69");
    int port = 0;
    upload("4.bmp", pattern(600), &port);
    EXPECT_EQ(port, kTftpPort);
    EXPECT_EQ(stored("4.bmp"), pattern(600));

    set_faults("tftp-from=127.0.0.2");
    send_to(request(kTftpRrq, "getmp3cfg.###"), kTftpPort);
    Datagram got;
    ASSERT_TRUE(await(&got));
    EXPECT_EQ(got.host(), "127.0.0.2");
    EXPECT_EQ(got.opcode(), kTftpData);
    EXPECT_EQ(count_events("local=127.0.0.2:"), 1);
}

TEST_F(Rig, PortMovesAndStrayCopiesComeFromNewPorts) {
    start("move-port=2,stray-tx=1,serve-stored");
    const std::vector<uint8_t> bytes = pattern(1500);
    std::ofstream(folder + "/files/5.bmp", std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), 1500);
    send_to(request(kTftpRrq, "5.bmp"), kTftpPort);
    Datagram first;
    Datagram stray;
    ASSERT_TRUE(await(&first));
    ASSERT_TRUE(await(&stray));
    EXPECT_EQ(first.bytes, stray.bytes);
    EXPECT_EQ(first.block(), 1);
    const int transfer_port = first.port();
    const int stray_port = stray.port();
    EXPECT_NE(transfer_port, stray_port);
    // Whatever reaches the stray port is refused as an unknown transfer.
    send_to(tftp_make_ack(1), stray_port);
    Datagram got;
    ASSERT_TRUE(await(&got));
    EXPECT_EQ(got.opcode(), kTftpError);
    EXPECT_EQ(got.block(), kTftpErrUnknownTid);
    EXPECT_EQ(count_events("tftp-stray-rx"), 1);
    // DATA 2 (tx 2) and everything after it come from a new port.
    send_to(tftp_make_ack(1), transfer_port);
    ASSERT_TRUE(await(&got));
    EXPECT_EQ(got.block(), 2);
    EXPECT_NE(got.port(), transfer_port);
    EXPECT_NE(got.port(), stray_port);
    send_to(tftp_make_ack(2), got.port());
    Datagram last;
    ASSERT_TRUE(await(&last));
    EXPECT_EQ(last.block(), 3);
    EXPECT_EQ(last.port(), got.port());
    send_to(tftp_make_ack(3), last.port());
    EXPECT_TRUE(quiet_for(100));
    EXPECT_EQ(count_events("fault move-port n=2 id=1"), 1);
    EXPECT_EQ(count_events("tftp-done id=1 op=read file=5.bmp bytes=1500"), 1);
}

TEST_F(Rig, InjectedErrorEndsATransferMidWay) {
    start("error-block=2,serve-stored");
    send_to(request(kTftpWrq, "6.bmp"), kTftpPort);
    Datagram got;
    ASSERT_TRUE(await(&got));
    const std::vector<uint8_t> bytes = pattern(1500);
    send_to(tftp_make_data(1, bytes.data(), 512), got.port());
    ASSERT_TRUE(await(&got));
    EXPECT_EQ(got.opcode(), kTftpAck);
    send_to(tftp_make_data(2, bytes.data() + 512, 512), got.port());
    ASSERT_TRUE(await(&got));
    EXPECT_EQ(got.opcode(), kTftpError);
    EXPECT_EQ(got.block(), kTftpErrUndefined);
    EXPECT_EQ(count_events("reason=injected-error"), 1);
    EXPECT_FALSE(std::filesystem::exists(folder + "/files/6.bmp"));
}

TEST_F(Rig, ForeignSendersAreRefusedWithoutDisturbingTheTransfer) {
    start();
    send_to(request(kTftpWrq, "hold.mp3"), kTftpPort);
    Datagram got;
    ASSERT_TRUE(await(&got));
    const int port = got.port();
    const int intruder = open_client();
    const Packet data = tftp_make_data(1, pattern(5).data(), 5);
    send_to(data, port, kPhone, intruder);
    ASSERT_TRUE(await(&got, 2000, intruder));
    EXPECT_EQ(got.opcode(), kTftpError);
    EXPECT_EQ(got.block(), kTftpErrUnknownTid);
    close(intruder);
    send_to(data, port);
    ASSERT_TRUE(await(&got));
    EXPECT_EQ(got.opcode(), kTftpAck);
    EXPECT_EQ(got.block(), 1);
    EXPECT_EQ(stored("hold.mp3"), pattern(5));
    EXPECT_EQ(count_events("tftp-foreign id=1"), 1);
}

TEST_F(Rig, RepeatedRequestIsAnsweredByTheSameTransfer) {
    start();
    send_to(request(kTftpWrq, "ring.mp3"), kTftpPort);
    Datagram first;
    ASSERT_TRUE(await(&first));
    send_to(request(kTftpWrq, "ring.mp3"), kTftpPort);  // our ACK 0 seemed lost
    Datagram again;
    ASSERT_TRUE(await(&again));
    EXPECT_EQ(again.bytes, first.bytes);
    EXPECT_EQ(again.port(), first.port());
    EXPECT_EQ(count_events("tftp-start"), 1);
    EXPECT_EQ(count_events("tftp-repeat id=1"), 1);
    // Once the transfer has moved on, the same request starts a new one.
    send_to(tftp_make_data(1, pattern(600).data(), 512), first.port());
    ASSERT_TRUE(await(&again));
    EXPECT_EQ(again.block(), 1);
    send_to(request(kTftpWrq, "ring.mp3"), kTftpPort);
    ASSERT_TRUE(await(&again));
    EXPECT_EQ(again.block(), 0);
    EXPECT_NE(again.port(), first.port());
    EXPECT_EQ(count_events("tftp-fail id=1 op=write file=ring.mp3 bytes=512 reason=superseded"), 1);
}

TEST_F(Rig, NextRequestEndsAReadWhoseFinalAckWasLost) {
    start("drop-rx=3,serve-stored");  // rx 1 the request, rx 2 ACK 1, rx 3 ACK 2, the final one
    const std::vector<uint8_t> bytes = pattern(1000);
    std::ofstream(folder + "/files/hold.mp3", std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), 1000);
    EXPECT_EQ(download("hold.mp3"), bytes);
    EXPECT_TRUE(quiet_for(100));
    EXPECT_EQ(download("hold.mp3"), bytes);
    EXPECT_TRUE(quiet_for(100));
    EXPECT_EQ(count_events("fault drop-rx n=3 "), 1);
    EXPECT_EQ(count_events("tftp-done id=1 op=read file=hold.mp3 bytes=1000 final-ack=missing"), 1);
    EXPECT_EQ(count_events("tftp-done id=2 op=read file=hold.mp3 bytes=1000"), 1);
}

TEST_F(Rig, SilentPeerMakesThePhoneResendThenGiveUp) {
    start("tftp-timeout=50,tftp-retries=2");
    send_to(request(kTftpRrq, "getmp3cfg.###"), kTftpPort);
    Datagram got;
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(await(&got)) << i;
        EXPECT_EQ(got.block(), 1);
    }
    EXPECT_TRUE(quiet_for(300));
    EXPECT_EQ(count_events("tftp-fail id=1 op=read file=getmp3cfg.### bytes=460 reason=timeout"),
              1);
}

TEST_F(Rig, LostFinalAckIsGivenAgainWhileDallying) {
    start("drop-tx=2,tftp-timeout=5000");
    send_to(request(kTftpWrq, "hold.mp3"), kTftpPort);
    Datagram got;
    ASSERT_TRUE(await(&got));
    const Packet last = tftp_make_data(1, pattern(3).data(), 3);
    send_to(last, got.port());
    EXPECT_TRUE(quiet_for(200));  // tx 2, the final ACK, is lost
    EXPECT_EQ(stored("hold.mp3"), pattern(3));
    send_to(last, got.port());
    ASSERT_TRUE(await(&got));
    EXPECT_EQ(got.opcode(), kTftpAck);
    EXPECT_EQ(got.block(), 1);
    EXPECT_EQ(count_events("tftp-done"), 1);
}

TEST_F(Rig, HeldBackPacketsArriveLate) {
    start("tftp-delay=300@1");
    send_to(request(kTftpRrq, "getmp3cfg.###"), kTftpPort);
    EXPECT_TRUE(quiet_for(150));
    Datagram got;
    ASSERT_TRUE(await(&got));
    EXPECT_EQ(got.block(), 1);
    EXPECT_EQ(count_events("fault tftp-delay n=1 ms=300"), 1);
}

TEST_F(Rig, ReloadedFaultsCountAgainAndBadOnesAreRefused) {
    start("drop-tx=1,tftp-timeout=5000");
    send_to(request(kTftpRrq, "getmp3cfg.###"), kTftpPort);
    EXPECT_TRUE(quiet_for(200));  // DATA 1, tx 1, is lost
    set_faults("drop-tx=1,tftp-timeout=5000");
    const int other = open_client();
    send_to(request(kTftpRrq, "getmp3cfg.###"), kTftpPort, kPhone, other);
    EXPECT_TRUE(quiet_for(200, other));  // tx 1 again after the reload
    EXPECT_EQ(count_events("faults loaded=drop-tx=1,tftp-timeout=5000"), 2);
    EXPECT_EQ(count_events("fault drop-tx n=1 "), 2);
    set_faults("drop-tx=oops");
    EXPECT_EQ(count_events("faults-error"), 1);
    // The earlier switches stay and count on: tx 2 goes out.
    send_to(request(kTftpRrq, "getmp3cfg.###"), kTftpPort, kPhone, other);
    Datagram got;
    EXPECT_TRUE(await(&got, 2000, other));
    EXPECT_EQ(got.opcode(), kTftpData);
    close(other);
}

// ------------------------------------------------------------------ the program itself

std::string read_text(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream all;
    all << in.rdbuf();
    return all.str();
}

// Runs kvxphone with arguments; its exit status, and its output in output.
int run_program(const std::string& arguments, std::string* output) {
    FILE* pipe = popen((std::string(KVXPHONE_PATH) + " " + arguments + " 2>&1").c_str(), "r");
    output->clear();
    char buffer[4096];
    for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) {
        output->append(buffer, n);
    }
    const int status = pclose(pipe);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

struct Program : Rig {
    pid_t pid = -1;
    std::string ready = folder + "-ready";

    void TearDown() override {
        if (pid > 0) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
        remove(ready.c_str());
        Rig::TearDown();
    }
    void launch(const std::string& arguments) {
        remove(ready.c_str());
        pid = fork();
        if (pid == 0) {
            const std::string line = std::string("exec ") + KVXPHONE_PATH + " " + arguments +
                                     " --ready-file " + ready + " >/dev/null 2>&1";
            execl("/bin/sh", "sh", "-c", line.c_str(), nullptr);
            _exit(127);
        }
        for (int i = 0; i < 500 && !std::filesystem::exists(ready); ++i) {
            usleep(10000);
        }
        ASSERT_TRUE(std::filesystem::exists(ready)) << "kvxphone did not get ready";
    }
    // Reply to one discovery, without a phone of our own to pump.
    std::string discover() {
        send_text("?", kCommandPort);
        pollfd entry = {client, POLLIN, 0};
        if (poll(&entry, 1, 2000) != 1) {
            return "";
        }
        char buffer[2048];
        const ssize_t n = recv(client, buffer, sizeof buffer, 0);
        return n > 0 ? std::string(buffer, static_cast<size_t>(n)) : "";
    }
    int stop(int signal_number) {
        kill(pid, signal_number);
        int status = 0;
        waitpid(pid, &status, 0);
        pid = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
};

TEST_F(Program, ServesUntilSigtermAndRereadsFaultsOnSighup) {
    launch("--address 127.0.0.1 --state " + folder + " --faults model=KVX-1");
    const std::string log = folder + "/127.0.0.1/events.log";
    EXPECT_NE(discover().find("device KVX-1\r\n"), std::string::npos);
    std::ofstream(folder + "/127.0.0.1/faults", std::ios::trunc) << "no-version\n";
    kill(pid, SIGHUP);
    for (int i = 0; i < 200 && read_text(log).find("faults loaded=no-version") == std::string::npos;
         ++i) {
        usleep(10000);
    }
    const std::string reply = discover();
    EXPECT_NE(reply.find("device KVX-350RT\r\n"), std::string::npos) << reply;
    EXPECT_EQ(reply.find("version"), std::string::npos) << reply;
    EXPECT_EQ(stop(SIGTERM), 0);
    const std::string text = read_text(log);
    EXPECT_EQ(text.substr(text.rfind(' ', text.size() - 2) + 1), "stop\n");
}

TEST_F(Program, StopsCleanlyOnSigintToo) {
    launch("--address 127.0.0.1 --state " + folder);
    EXPECT_FALSE(discover().empty());
    EXPECT_EQ(stop(SIGINT), 0);
    EXPECT_NE(read_text(folder + "/127.0.0.1/events.log").find(" stop\n"), std::string::npos);
}

TEST_F(Program, PortInUseIsReportedAndNothingIsLeftOpen) {
    launch("--address 127.0.0.1 --state " + folder);
    std::string output;
    EXPECT_EQ(run_program("--address 127.0.0.1 --state " + folder + "-second", &output), 1);
    EXPECT_NE(output.find("kvxphone: phone 127.0.0.1: bind 127.0.0.1:9999: Address already in use"),
              std::string::npos)
        << output;
    std::filesystem::remove_all(folder + "-second");
    EXPECT_FALSE(discover().empty()) << "the first one still serves";
}

TEST_F(Program, CommandLineMistakesAndHelp) {
    std::string output;
    EXPECT_EQ(run_program("", &output), 2);
    EXPECT_NE(output.find("kvxphone: no phone address given"), std::string::npos) << output;
    EXPECT_EQ(run_program("--address 127.0.0.1 --faults bogus", &output), 2);
    EXPECT_NE(output.find("unknown switch 'bogus'"), std::string::npos) << output;
    EXPECT_EQ(run_program("--help", &output), 0);
    EXPECT_EQ(output.rfind("Usage: kvxphone --address IP [options]", 0), 0u);
    EXPECT_EQ(run_program("--address 10.9.9.9 --state " + folder, &output), 1);
    EXPECT_NE(output.find("bind 10.9.9.9:9999"), std::string::npos) << output;
}

}  // namespace
