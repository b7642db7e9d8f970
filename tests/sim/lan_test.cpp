// lan_test.cpp: simulated phones on the private test LAN (scripts/testlan) against clients
// nobody here wrote: tftp-hpa's tftp, curl's tftp://, and a few lines of Python for discovery
// and commands. Runs inside the LAN; the phones' folders are read to see what they received.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "station_list.h"

namespace {

std::vector<std::string> words(const char* text) {
    std::istringstream in(text ? text : "");
    std::vector<std::string> out;
    for (std::string word; in >> word;) {
        out.push_back(word);
    }
    return out;
}

std::string read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream all;
    all << in.rdbuf();
    return all.str();
}

void write_file(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

std::string random_bytes(size_t size, unsigned seed) {
    std::string bytes(size, '\0');
    uint32_t x = seed * 2654435761u + 1;
    for (char& c : bytes) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        c = static_cast<char>(x);
    }
    return bytes;
}

// Runs a shell command; its exit status, with standard output and error in output.
int run(const std::string& command, std::string* output = nullptr) {
    FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    if (!pipe) {
        return -1;
    }
    std::string text;
    char buffer[4096];
    for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) {
        text.append(buffer, n);
    }
    const int status = pclose(pipe);
    if (output) {
        *output = text;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

double seconds_since(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

struct Lan : testing::Test {
    std::string state = getenv("KVX_LAN_STATE") ? getenv("KVX_LAN_STATE") : "";
    std::vector<std::string> phones = words(getenv("KVX_LAN_PHONES"));
    // Per process: test programs of other builds may run at the same time.
    std::string work = testing::TempDir() + "kvx_lan_test." + std::to_string(getpid());

    void SetUp() override {
        ASSERT_FALSE(state.empty()) << "run me with scripts/testlan";
        ASSERT_GE(phones.size(), 1u);
        std::filesystem::create_directories(work);
    }
    void TearDown() override {
        std::filesystem::remove_all(work);
    }
    std::string folder(const std::string& phone) const {
        return state + "/" + phone;
    }
    std::string events(const std::string& phone) const {
        return read_file(folder(phone) + "/events.log");
    }
    static int count(const std::string& text, const std::string& part) {
        int n = 0;
        for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
            ++n;
        }
        return n;
    }
    // Writes the phone's faults file and makes every kvxphone read its faults again.
    void set_faults(const std::string& phone, const std::string& faults) {
        const int loaded = count(events(phone), "faults loaded=");
        write_file(folder(phone) + "/faults", faults + "\n");
        for (const std::string& pid : words(getenv("KVX_LAN_PHONE_PIDS"))) {
            kill(std::stoi(pid), SIGHUP);
        }
        for (int i = 0; i < 200 && count(events(phone), "faults loaded=") == loaded; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        ASSERT_EQ(count(events(phone), "faults loaded="), loaded + 1);
    }
    std::string script(const std::string& arguments) {
        std::string output;
        EXPECT_EQ(run("python3 " KVX_LAN_CLIENT_SCRIPT " " + arguments, &output), 0) << output;
        return output;
    }
};

const size_t kSizes[] = {0, 1, 511, 512, 513, 100 * 1024, 5000000};

TEST_F(Lan, BothClientsUploadEverySizeByteForByte) {
    ASSERT_GE(phones.size(), 2u);
    for (const size_t size : kSizes) {
        const std::string local = work + "/up.bin";
        const std::string bytes = random_bytes(size, static_cast<unsigned>(size));
        write_file(local, bytes);
        std::string output;
        auto start = std::chrono::steady_clock::now();
        ASSERT_EQ(run("tftp -m binary " + phones[0] + " -c put " + local + " hold.mp3", &output),
                  0);
        const double tftp_seconds = seconds_since(start);
        EXPECT_EQ(output.find("Error"), std::string::npos) << output;
        EXPECT_TRUE(read_file(folder(phones[0]) + "/files/hold.mp3") == bytes) << "tftp " << size;
        start = std::chrono::steady_clock::now();
        EXPECT_EQ(run("curl -sS -T " + local + " tftp://" + phones[1] + "/ring.mp3", &output), 0)
            << output;
        const double curl_seconds = seconds_since(start);
        EXPECT_TRUE(read_file(folder(phones[1]) + "/files/ring.mp3") == bytes) << "curl " << size;
        EXPECT_EQ(
            count(events(phones[0]), "op=write file=hold.mp3 bytes=" + std::to_string(size) + "\n"),
            1);
        if (size == 5000000) {
            printf("upload of 5,000,000 bytes: tftp-hpa %.2f s, curl %.2f s\n", tftp_seconds,
                   curl_seconds);
        }
    }
}

TEST_F(Lan, BothClientsDownloadEverySizeByteForByte) {
    set_faults(phones[0], "serve-stored");
    for (const size_t size : kSizes) {
        const std::string bytes = random_bytes(size, static_cast<unsigned>(size) + 7);
        write_file(folder(phones[0]) + "/files/1.bmp", bytes);
        const std::string by_tftp = work + "/tftp.bin";
        const std::string by_curl = work + "/curl.bin";
        std::string output;
        auto start = std::chrono::steady_clock::now();
        ASSERT_EQ(run("tftp -m binary " + phones[0] + " -c get 1.bmp " + by_tftp, &output), 0);
        const double tftp_seconds = seconds_since(start);
        EXPECT_EQ(output.find("Error"), std::string::npos) << output;
        start = std::chrono::steady_clock::now();
        EXPECT_EQ(run("curl -sS -o " + by_curl + " tftp://" + phones[0] + "/1.bmp", &output), 0)
            << output;
        const double curl_seconds = seconds_since(start);
        EXPECT_TRUE(read_file(by_tftp) == bytes) << "tftp " << size;
        EXPECT_TRUE(std::filesystem::exists(by_curl)) << size;
        EXPECT_TRUE(read_file(by_curl) == bytes) << "curl " << size;
        if (size == 5000000) {
            printf("download of 5,000,000 bytes: tftp-hpa %.2f s, curl %.2f s\n", tftp_seconds,
                   curl_seconds);
        }
    }
    set_faults(phones[0], "");
}

TEST_F(Lan, StationListGoesBothWays) {
    const std::string phone = phones.back();
    const std::string list = work + "/list.cfg";
    std::string output;
    ASSERT_EQ(run("curl -sS -o " + list + " 'tftp://" + phone + "/getmp3cfg.%23%23%23'", &output),
              0)
        << output;
    EXPECT_EQ(read_file(list), read_file(folder(phone) + "/stations.cfg"));
    StationList stations{};
    ASSERT_EQ(station_list_read(&stations, list.c_str()), 1);
    snprintf(stations.name[4], kStationNameSize, "Uploaded");
    snprintf(stations.url[4], kStationUrlSize, "http://up.example/x");
    stations.default_station = 99;
    ASSERT_EQ(station_list_write(&stations, list.c_str()), 1);
    run("tftp -m binary " + phone + " -c put " + list + " mp3.cfg", &output);
    EXPECT_EQ(output.find("Error"), std::string::npos) << output;
    const std::string again = work + "/again.cfg";
    run("tftp -m binary " + phone + " -c get getmp3cfg.### " + again, &output);
    EXPECT_EQ(output.find("Error"), std::string::npos) << output;
    EXPECT_EQ(read_file(again), read_file(list));
    EXPECT_NE(read_file(again).find("Name5=Uploaded\r\nURL5=http://up.example/x\r\n"),
              std::string::npos);
}

TEST_F(Lan, UnknownNamesAndModesAreRefusedToBothClients) {
    const std::string phone = phones[0];
    const std::string local = work + "/x.bin";
    write_file(local, "abc");
    std::string output;
    run("tftp -m binary " + phone + " -c put " + local + " evil.txt", &output);
    EXPECT_NE(output.find("Error code 2: Unknown file name"), std::string::npos) << output;
    run("tftp -m ascii " + phone + " -c put " + local + " hold.mp3", &output);
    EXPECT_NE(output.find("Error code 0: Only octet mode is supported"), std::string::npos)
        << output;
    EXPECT_EQ(run("curl -sS -T " + local + " tftp://" + phone + "/evil.txt", &output), 69)
        << output;  // curl's code for a TFTP access violation
    EXPECT_EQ(run("curl -sS -o " + local + " tftp://" + phone + "/nothing.bin", &output), 68)
        << output;  // and for a file not found
    const std::string log = events(phone);
    EXPECT_EQ(count(log, "tftp-refused op=write file=evil.txt"), 2);
    EXPECT_EQ(count(log, "tftp-refused op=write file=hold.mp3 from=192.168.77.1"), 1);
    EXPECT_EQ(count(log, "tftp-refused op=read file=nothing.bin"), 1);
    EXPECT_FALSE(std::filesystem::exists(folder(phone) + "/files/evil.txt"));
}

TEST_F(Lan, DiscoveryAndCommandsFromAScriptAreAnsweredAndLogged) {
    const std::string phone = phones[0];
    std::string reply = script("discover " + phone + " --wait 0.5");
    EXPECT_EQ(reply.rfind("FROM " + phone + ":9999\n?\ndevice KVX-350RT\nversion ", 0), 0u)
        << reply;
    EXPECT_EQ(count(events(phone), "discovery from=192.168.77.1:10000 via=unicast"), 1);

    reply = script("admin " + phone + " admin Boss7 admin pw7 --wait 0.5");
    EXPECT_EQ(reply, "FROM " + phone + ":9999\n@\nresult OK\n");
    reply = script("misc " + phone + " Boss7 wrong 0000 --wait 0.5");
    EXPECT_EQ(reply, "FROM " + phone + ":9999\n@\nresult DENIED\n");
    reply = script("misc " + phone + " Boss7 pw7 5201 --wait 0.5");
    EXPECT_EQ(reply, "FROM " + phone + ":9999\n@\nresult OK\n");
    const std::string settings = read_file(folder(phone) + "/settings.txt");
    for (const char* line : {"admin_name=Boss7\n", "admin_password=pw7\n", "ringer_type=5\n",
                             "hold_tone=2\n", "banner=0\n", "internet_radio=1\n"}) {
        EXPECT_NE(settings.find(line), std::string::npos) << line;
    }
    const std::string log = events(phone);
    EXPECT_EQ(count(log, "command kind=admin from=192.168.77.1:10000"), 1);
    EXPECT_EQ(count(log, "command-result kind=misc result=DENIED"), 1);
    EXPECT_EQ(count(log, "command-reply to=192.168.77.1:10000 result=OK"), 2);
    // Put the account back for the other tests.
    EXPECT_EQ(script("admin " + phone + " Boss7 admin pw7 admin --wait 0.5"),
              "FROM " + phone + ":9999\n@\nresult OK\n");
}

TEST_F(Lan, BroadcastReachesEveryPhoneOfItsSegmentAndNoOther) {
    std::vector<std::string> first_segment;
    std::vector<std::string> second_segment;
    for (const std::string& phone : phones) {
        (phone.rfind("192.168.77.", 0) == 0 ? first_segment : second_segment).push_back(phone);
    }
    const std::string reply = script("discover 255.255.255.255 --wait 2");
    EXPECT_EQ(count(reply, "FROM "), static_cast<int>(first_segment.size())) << reply;
    EXPECT_EQ(count(reply, "device KVX-350RT\n"), static_cast<int>(first_segment.size()));
    for (const std::string& phone : first_segment) {
        EXPECT_EQ(count(reply, "FROM " + phone + ":9999\n"), 1) << phone;
        EXPECT_EQ(count(events(phone), "discovery from=192.168.77.1:10000 via=broadcast"), 1)
            << phone;
    }
    for (const std::string& phone : second_segment) {
        EXPECT_EQ(count(events(phone), "via=broadcast"), 0) << phone;
    }
}

// The utility also sends to each interface's directed broadcast address; a phone hears it
// once, on its own segment only.
TEST_F(Lan, BroadcastToASubnetReachesEachOfItsPhonesOnce) {
    for (const std::string subnet : {"192.168.77.", "192.168.78."}) {
        std::vector<std::string> inside;
        std::vector<std::string> outside;
        for (const std::string& phone : phones) {
            (phone.rfind(subnet, 0) == 0 ? inside : outside).push_back(phone);
        }
        if (inside.empty()) {
            continue;
        }
        const std::string client = subnet + "1:10000";
        const std::string reply = script("discover " + subnet + "255 --wait 2");
        EXPECT_EQ(count(reply, "FROM "), static_cast<int>(inside.size())) << reply;
        for (const std::string& phone : inside) {
            EXPECT_EQ(count(reply, "FROM " + phone + ":9999\n"), 1) << phone;
            const std::string log = events(phone);
            EXPECT_EQ(count(log, "discovery from=" + client + " via=subnet-broadcast"), 1) << phone;
            EXPECT_EQ(count(log, "discovery-reply to="), count(log, "discovery from=")) << phone;
        }
        for (const std::string& phone : outside) {
            EXPECT_EQ(count(events(phone), "discovery from=" + client + " via=subnet-broadcast"), 0)
                << phone;
        }
    }
}

TEST_F(Lan, RealClientsGetThroughLossAndDuplicates) {
    ASSERT_GE(phones.size(), 3u);
    const std::string phone = phones[2];
    const std::string bytes = random_bytes(100 * 1024, 99);
    const std::string local = work + "/faulty.bin";
    write_file(local, bytes);
    // Sent packets lost and doubled; received packets doubled. The phone re-sends after 1 s.
    set_faults(phone, "drop-tx=3+40,dup-tx=5+6,dup-rx=7+90,serve-stored");
    std::string output;
    run("tftp -m binary " + phone + " -c put " + local + " 2.bmp", &output);
    EXPECT_EQ(output.find("Error"), std::string::npos) << output;
    EXPECT_TRUE(read_file(folder(phone) + "/files/2.bmp") == bytes);
    const std::string by_curl = work + "/faulty-curl.bin";
    EXPECT_EQ(run("curl -sS -o " + by_curl + " tftp://" + phone + "/2.bmp", &output), 0) << output;
    EXPECT_TRUE(read_file(by_curl) == bytes);
    // The read ends when curl's last ACK reaches the phone, which may be after curl has exited.
    for (int i = 0; i < 500 && count(events(phone), "tftp-done") < 2; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    const std::string log = events(phone);
    for (const char* fault : {"fault drop-tx n=3 ", "fault drop-tx n=40 ", "fault dup-tx n=5 ",
                              "fault dup-tx n=6 ", "fault dup-rx n=7 ", "fault dup-rx n=90 "}) {
        EXPECT_EQ(count(log, fault), 1) << fault;
    }
    EXPECT_EQ(count(log, "tftp-done"), 2);
    set_faults(phone, "");
}

}  // namespace
