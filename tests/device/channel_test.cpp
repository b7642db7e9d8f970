// channel_test.cpp: the device channel on a real socket against scripted telephones on
// loopback. Binds port 10000 and 9999 and broadcasts: runs only inside a private namespace.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "channel.h"
#include "command_cipher.h"
#include "device_list.h"
#include "headless.h"
#include "list_entries.h"
#include "platform.h"
#include "socket_probe.h"
#include "ui.h"

namespace {

constexpr int kAdminList = 1025;
const std::string kGoodReply = "?\r\ndevice KVX-350RT\r\nversion 1.2\r\n";
const std::string kResultOk = "@\r\nresult OK\r\n";

// Whether done() holds, waiting up to 5 s for it.
template <typename Condition>
bool within_5s(Condition done) {
    for (int i = 0; i < 500 && !done(); ++i) {
        sleep_tick();
    }
    return done();
}

// That the list's entries become these within 5 s.
void expect_settled(PageWindow page, int list, const Entries& wanted) {
    within_5s([&] { return entries(page, list) == wanted; });
    EXPECT_EQ(entries(page, list), wanted);
}

struct Channel : testing::Test {
    PageWindow master = headless_page_create();
    PageWindow admin = headless_page_create();
    int started = sock_init();
    Socket phone = udp_open(kDevicePort, 1);  // datagrams to port 9999, broadcasts included
    Socket replies = udp_open(0, 1);          // sends what the scripted telephones answer

    void SetUp() override {
        // Broadcasts must never leave by the machine's real interfaces.
        ASSERT_TRUE(getenv("KVX_PRIVATE_NET") || getenv("KVX_LAN_NS"))
            << "run this through ctest: it needs a private network namespace";
        ASSERT_TRUE(started == 0 && phone >= 0 && replies >= 0);
        set_master_list_page(master);
        ASSERT_EQ(channel_open(), 0);
        EXPECT_EQ(channel_state(), 1);
    }
    void TearDown() override {
        headless_keep_posted(0);
        channel_close();
        sock_close(replies);
        sock_close(phone);
        set_master_list_page(nullptr);
        headless_page_destroy(master);
        headless_page_destroy(admin);
        sock_fin();
    }

    // A datagram to the channel from a telephone at one of the addresses that loopback-lan
    // gives the namespace: sent to that local address, it comes from it.
    void reply_from(const std::string& address, const std::string& datagram) const {
        Endpoint to;
        sock_make_addr(&to, address.c_str(), kChannelPort);
        ASSERT_EQ(udp_send_to(replies, datagram.data(), static_cast<int>(datagram.size()), &to),
                  static_cast<int>(datagram.size()));
    }
    // The next datagram that reaches port 9999, and its source port, skipping discovery
    // requests when asked to; "(nothing)" when none comes within 5 s.
    std::string phone_receives(bool skip_requests, int* from_port) const {
        char buffer[4096];
        Endpoint from;
        while (sock_wait_readable(phone, 5000) == 1) {
            const int n = udp_recv_from(phone, buffer, sizeof buffer, &from);
            const std::string datagram(buffer, static_cast<size_t>(n > 0 ? n : 0));
            if (n >= 0 && !(skip_requests && datagram == "?")) {
                sock_split_addr(&from, nullptr, from_port);
                return datagram;
            }
        }
        return "(nothing)";
    }
    // Sends payload to the address as the Admin page does; the frame.
    CommandFrame send(const char* address, std::string payload) const {
        CommandFrame frame;
        build_command_frame("@ ", &payload[0], &frame);
        send_command(admin, kAdminList, address, frame.bytes, frame.length);
        return frame;
    }
};

TEST_F(Channel, OpenHoldsPort10000AndClosingAndOpeningAgainWorksEveryTime) {
    EXPECT_EQ(udp_open(kChannelPort, 1), -2);
    EXPECT_EQ(channel_open(), -1);  // already open
    for (int i = 0; i < 20; ++i) {
        ASSERT_EQ(discover_devices(master, kMasterListId), 0);
        channel_close();
        ASSERT_EQ(channel_state(), -1);
        ASSERT_EQ(channel_open(), 0);
    }
    channel_close();
    channel_close();  // a second close changes nothing
    EXPECT_EQ(channel_state(), -1);
    EXPECT_EQ(discover_device_at(master, kMasterListId, "10.77.78.2", on_discovery_reply), -1);
    // While another socket holds the port, the channel does not open.
    const Socket taken = udp_open(kChannelPort, 1);
    ASSERT_GE(taken, 0);
    EXPECT_EQ(channel_open(), -1);
    EXPECT_EQ(channel_state(), 0);
    EXPECT_EQ(discover_devices(master, kMasterListId), -1);
    sock_close(taken);
    EXPECT_EQ(channel_open(), 0);
}

// Each reply empties the page's list and fills it again: ending the request amid a burst of
// them must wait for the one in hand, or the list is read half filled.
TEST_F(Channel, RepliesAfterAnEndedRequestAreDroppedAndItsListStaysWhole) {
    ASSERT_EQ(discover_devices(admin, kAdminList), 0);
    const int calls = probe_receive_calls();
    for (int round = 0; round < 16; ++round) {
        for (int host = 2; host <= 9; ++host) {
            reply_from("10.77.78." + std::to_string(host), kGoodReply);
        }
    }
    channel_end_request();
    const Entries ended = entries(admin, kAdminList);
    EXPECT_EQ(ended, entries(master, kMasterListId));
    reply_from("10.77.78.12", kGoodReply);
    reply_from("10.77.78.12", kGoodReply);
    // The receive thread asks for the next datagram only when it has dealt with the one before.
    ASSERT_TRUE(within_5s([&] { return probe_receive_calls() >= calls + 16 * 8 + 2; }));
    EXPECT_EQ(entries(admin, kAdminList), ended);
    EXPECT_EQ(find_device_entry(master, kMasterListId, "10.77.78.12"), -1);
}

// A discovery broadcasts one byte; which lists its replies fill is device_list_test's.
TEST_F(Channel, ACommandGoesToOneTelephoneAsExactlyItsFrameAndTakesTheReplies) {
    ASSERT_EQ(discover_devices(master, kMasterListId), 0);
    int port = 0;
    EXPECT_EQ(phone_receives(false, &port), "?");
    // Addresses that name no telephone send nothing and keep the discovery as the request.
    for (const char* address : {"1.2.3.999", "", "255.255.255.255", "0.0.0.0", "10.0.0.1.5"}) {
        send(address, "must not be sent");
    }
    send(nullptr, "must not be sent");
    for (const char* address : {"phone", static_cast<const char*>(nullptr)}) {
        EXPECT_EQ(discover_device_at(admin, kAdminList, address, on_discovery_reply), -1);
    }
    reply_from("10.77.78.2", kResultOk);
    reply_from("10.77.78.3", kGoodReply);
    expect_settled(master, kMasterListId, {"10.77.78.3"});
    EXPECT_EQ(ui_list_count(admin, kAdminList), 0);
    // The fourth payload byte equals the keystream there and scrambles to 0: still sent whole.
    uint8_t stream[8] = {};
    rc4_crypt(stream, kModelId, 8);
    std::string payload = "abcdefgh";
    payload[3] = static_cast<char>(stream[3]);
    const CommandFrame frame = send("127.0.0.1", payload);
    ASSERT_EQ(frame.bytes[2 + 3], 0);
    EXPECT_EQ(phone_receives(true, &port),
              std::string(reinterpret_cast<const char*>(frame.bytes), 10));
    EXPECT_EQ(port, kChannelPort);
    reply_from("127.0.0.1", kResultOk);
    expect_settled(admin, kAdminList, {"127.0.0.1 --- OK"});
    EXPECT_EQ(entries(master, kMasterListId), Entries{"10.77.78.3"});
}

TEST_F(Channel, UnreadableDatagramsAreDroppedButADeadSocketEndsReceiving) {
    ASSERT_EQ(discover_devices(master, kMasterListId), 0);
    const std::string padded = kGoodReply + "\n" + std::string(kDatagramMax, 'x');
    reply_from("10.77.78.2", padded.substr(0, kDatagramMax + 1));
    reply_from("10.77.78.3", "");
    reply_from("10.77.78.4", padded.substr(0, kDatagramMax));
    expect_settled(master, kMasterListId, {"10.77.78.4"});

    probe_fail_receives(3, false);
    reply_from("10.77.78.5", kGoodReply);
    expect_settled(master, kMasterListId, {"10.77.78.4", "10.77.78.5"});
    // A socket that has gone away ends the receive thread for good.
    probe_fail_receives(1, true);
    reply_from("10.77.78.6", kGoodReply);
    ASSERT_TRUE(within_5s([] { return channel_state() == -1; }));
    EXPECT_EQ(discover_devices(master, kMasterListId), -1);
    EXPECT_EQ(channel_state(), -1);
    channel_close();  // returns at once and frees the port
    EXPECT_EQ(channel_open(), 0);
    EXPECT_EQ(channel_state(), 1);
    // Opened again, it starts without a request, not with the last one's.
    const int calls = probe_receive_calls();
    reply_from("10.77.78.7", kGoodReply);
    reply_from("10.77.78.8", kGoodReply);
    ASSERT_TRUE(within_5s([&] { return probe_receive_calls() >= calls + 2; }));
    EXPECT_EQ(ui_list_count(master, kMasterListId), 2);
}

TEST_F(Channel, AWaitingDatagramMeetsTheHandlerOfTheMomentItIsHandled) {
    headless_keep_posted(1);  // the test thread plays the one the handlers run on; TearDown ends it
    const auto woken = [] { return within_5s([] { return headless_posted_count() > 0; }); };
    ASSERT_EQ(discover_devices(admin, kAdminList), 0);
    reply_from("10.77.78.2", kGoodReply);
    ASSERT_TRUE(woken());
    EXPECT_EQ(ui_list_count(master, kMasterListId), 0);  // not before its thread takes it
    // Ended on that thread: returns at once, and the reply waiting goes to no handler.
    channel_end_request();
    EXPECT_EQ(headless_run_posted(), 1);
    EXPECT_EQ(ui_list_count(master, kMasterListId), 0);
    // Waiting while a command became the request, a discovery reply is the command's; the
    // command's reply after it, from the same phone, replaces it.
    ASSERT_EQ(discover_devices(master, kMasterListId), 0);
    reply_from("10.77.78.3", kGoodReply);
    ASSERT_TRUE(woken());
    send("127.0.0.1", "admin;!sep!;admin;!sep!;a;!sep!;b");
    reply_from("10.77.78.3", kResultOk);
    const Entries wanted = {"10.77.78.3 --- OK"};
    EXPECT_TRUE(within_5s([&] {
        headless_run_posted();
        return entries(admin, kAdminList) == wanted;
    }));
    EXPECT_EQ(ui_list_count(master, kMasterListId), 0);
}

}  // namespace
