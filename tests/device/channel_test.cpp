// channel_test.cpp: the device channel on a real socket against scripted telephones on
// loopback. Binds port 10000 and 9999 and broadcasts: runs only inside a private namespace.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "channel.h"
#include "command_cipher.h"
#include "device_list.h"
#include "headless.h"
#include "platform.h"
#include "socket_probe.h"
#include "ui.h"

namespace {

using Entries = std::vector<std::string>;

constexpr int kAdminList = 1025;
const std::string kGoodReply = "?\r\ndevice KVX-350RT\r\nversion 1.2\r\n";

struct Channel : testing::Test {
    PageWindow master = nullptr;
    PageWindow admin = nullptr;
    Socket phone = -1;    // where datagrams to port 9999 arrive, broadcasts included
    Socket replies = -1;  // sends what the scripted telephones answer

    void SetUp() override {
        // Broadcasts must never leave by the machine's real interfaces.
        ASSERT_TRUE(getenv("KVX_PRIVATE_NET") || getenv("KVX_LAN_NS"))
            << "run this through ctest: it needs a private network namespace";
        ASSERT_EQ(sock_init(), 0);
        master = headless_page_create();
        admin = headless_page_create();
        set_master_list_page(master);
        ASSERT_EQ(channel_open(), 0);
        EXPECT_EQ(channel_state(), 1);
        phone = udp_open(kDevicePort, 1);
        ASSERT_GE(phone, 0);
        replies = udp_open(0, 1);
        ASSERT_GE(replies, 0);
    }
    void TearDown() override {
        channel_close();
        if (replies >= 0) {
            sock_close(replies);
        }
        if (phone >= 0) {
            sock_close(phone);
        }
        set_master_list_page(nullptr);
        headless_page_destroy(master);
        headless_page_destroy(admin);
        sock_fin();
    }

    // A datagram to the channel from a telephone at one of the addresses that loopback-lan
    // gives the namespace: sent to that local address, it comes from it.
    void reply_from(const char* address, const std::string& datagram) {
        Endpoint to;
        sock_make_addr(&to, address, kChannelPort);
        ASSERT_EQ(udp_send_to(replies, datagram.data(), static_cast<int>(datagram.size()), &to),
                  static_cast<int>(datagram.size()));
    }
    // Loopback keeps the order of datagrams: what the phone receives before this was sent
    // before it.
    void mark_phone() {
        Endpoint to;
        sock_make_addr(&to, "127.0.0.1", kDevicePort);
        udp_send_to(replies, "mark", 4, &to);
    }
    // The next datagram that reaches port 9999, skipping discovery requests when asked to;
    // "(nothing)" when none comes within 5 s.
    std::string phone_receives(bool skip_requests, int* from_port = nullptr) {
        for (;;) {
            if (sock_wait_readable(phone, 5000) != 1) {
                return "(nothing)";
            }
            char buffer[4096];
            Endpoint from;
            const int n = udp_recv_from(phone, buffer, sizeof buffer, &from);
            if (n < 0) {
                continue;
            }
            const std::string datagram(buffer, static_cast<size_t>(n));
            if (skip_requests && datagram == "?") {
                continue;
            }
            if (from_port) {
                sock_split_addr(&from, nullptr, from_port);
            }
            return datagram;
        }
    }
    static Entries entries(PageWindow page, int list) {
        Entries out;
        for (int i = 0; i < ui_list_count(page, list); ++i) {
            char text[kEntrySize];
            ui_list_get(page, list, i, text, sizeof text);
            out.emplace_back(text);
        }
        return out;
    }
    // The list's entries once they are these, or after 5 s.
    static Entries settled(PageWindow page, int list, const Entries& wanted) {
        for (int i = 0; i < 500 && entries(page, list) != wanted; ++i) {
            sleep_tick();
        }
        return entries(page, list);
    }
    static bool state_becomes(int wanted) {
        for (int i = 0; i < 500 && channel_state() != wanted; ++i) {
            sleep_tick();
        }
        return channel_state() == wanted;
    }
    CommandFrame frame_of(const char* payload) const {
        std::string text = payload;
        CommandFrame frame;
        build_command_frame("@ ", &text[0], &frame);
        return frame;
    }
};

TEST_F(Channel, OpenHoldsPort10000AndFailsWhileAnotherSocketHasIt) {
    EXPECT_EQ(udp_open(kChannelPort, 1), -2);
    EXPECT_EQ(channel_open(), -1);  // already open
    EXPECT_EQ(channel_state(), 1);
    channel_close();
    EXPECT_EQ(channel_state(), -1);

    const Socket taken = udp_open(kChannelPort, 1);
    ASSERT_GE(taken, 0);
    EXPECT_EQ(channel_open(), -1);
    EXPECT_EQ(channel_state(), 0);
    EXPECT_EQ(discover_devices(master, kMasterListId), -1);
    const CommandFrame frame = frame_of("payload");
    send_command(admin, kAdminList, "127.0.0.1", frame.bytes, frame.length);
    sock_close(taken);
    mark_phone();
    EXPECT_EQ(phone_receives(false), "mark");
    EXPECT_EQ(channel_open(), 0);
}

TEST_F(Channel, ADiscoveryBroadcastsOneByteAndRepliesFillTheLists) {
    ui_list_add(admin, kAdminList, "stale");
    ASSERT_EQ(discover_devices(admin, kAdminList), 0);
    int port = 0;
    EXPECT_EQ(phone_receives(false, &port), "?");
    EXPECT_EQ(port, kChannelPort);
    EXPECT_EQ(channel_state(), 1);

    for (const char* address : {"10.77.78.12", "10.77.78.2", "10.77.78.3"}) {
        reply_from(address, kGoodReply);
        reply_from(address, kGoodReply);  // answering twice lists it once
    }
    const Entries all = {"10.77.78.12", "10.77.78.2", "10.77.78.3"};
    EXPECT_EQ(settled(master, kMasterListId, all), all);
    EXPECT_EQ(settled(admin, kAdminList, all), all);
}

TEST_F(Channel, DatagramsBeforeAnyRequestAreDropped) {
    const int before = probe_receive_calls();
    reply_from("10.77.78.2", kGoodReply);
    reply_from("10.77.78.3", kGoodReply);
    // Once the second is being received, the first has been dealt with.
    for (int i = 0; i < 500 && probe_receive_calls() < before + 2; ++i) {
        sleep_tick();
    }
    ASSERT_GE(probe_receive_calls(), before + 2);
    EXPECT_EQ(ui_list_count(master, kMasterListId), 0);
}

TEST_F(Channel, LateRepliesGoToTheLatestRequest) {
    ASSERT_EQ(discover_devices(master, kMasterListId), 0);
    const CommandFrame frame = frame_of("admin;!sep!;admin;!sep!;a;!sep!;b");
    send_command(admin, kAdminList, "127.0.0.1", frame.bytes, frame.length);
    reply_from("10.77.78.2", kGoodReply);
    EXPECT_EQ(settled(admin, kAdminList, {"10.77.78.2 --- FAIL"}),
              (Entries{"10.77.78.2 --- FAIL"}));
    EXPECT_EQ(ui_list_count(master, kMasterListId), 0);

    ASSERT_EQ(discover_devices(master, kMasterListId), 0);
    reply_from("10.77.78.2", "@\r\nresult OK\r\n");  // ignored by discovery
    reply_from("10.77.78.3", kGoodReply);
    EXPECT_EQ(settled(master, kMasterListId, {"10.77.78.3"}), (Entries{"10.77.78.3"}));
    EXPECT_EQ(entries(admin, kAdminList), Entries{"10.77.78.2 --- FAIL"});
}

TEST_F(Channel, AnEndedRequestLeavesItsListWholeAndTakesNoMoreReplies) {
    ASSERT_EQ(discover_devices(admin, kAdminList), 0);
    const int before = probe_receive_calls();
    // Each reply empties the page's list and fills it again: ending the request amid a burst
    // of them must wait for the one in hand, or the list is read half filled.
    const char* const phones[] = {"10.77.78.2", "10.77.78.3", "10.77.78.4", "10.77.78.5",
                                  "10.77.78.6", "10.77.78.7", "10.77.78.8", "10.77.78.9"};
    int sent = 0;
    for (int round = 0; round < 16; ++round) {
        for (const char* address : phones) {
            reply_from(address, kGoodReply);
            ++sent;
        }
    }
    channel_end_request();
    const Entries ended = entries(admin, kAdminList);
    EXPECT_EQ(ended, entries(master, kMasterListId));

    // Once the second is being received, the first has been dealt with.
    reply_from("10.77.78.12", kGoodReply);
    reply_from("10.77.78.12", kGoodReply);
    for (int i = 0; i < 500 && probe_receive_calls() < before + sent + 2; ++i) {
        sleep_tick();
    }
    ASSERT_GE(probe_receive_calls(), before + sent + 2);
    EXPECT_EQ(entries(admin, kAdminList), ended);
    EXPECT_EQ(find_device_entry(master, kMasterListId, "10.77.78.12"), -1);
}

TEST_F(Channel, CommandsGoOutAsOneDatagramOfExactlyTheFrame) {
    // An admin payload whose scrambled form holds a 0 byte still goes whole.
    CommandFrame frame;
    frame.length = 0;
    for (char c = 'a'; c <= 'z' && frame.length == 0; ++c) {
        std::string payload = std::string(1, c) + ";!sep!;x;!sep!;y;!sep!;z";
        CommandFrame candidate;
        build_command_frame("@ ", &payload[0], &candidate);
        if (memchr(candidate.bytes + 2, 0, static_cast<size_t>(candidate.length - 2))) {
            frame = candidate;
        }
    }
    if (frame.length == 0) {
        frame = frame_of("no zero byte in this one");
    }
    send_command(admin, kAdminList, "127.0.0.1", frame.bytes, frame.length);
    int port = 0;
    const std::string got = phone_receives(true, &port);
    EXPECT_EQ(got, std::string(reinterpret_cast<const char*>(frame.bytes),
                               static_cast<size_t>(frame.length)));
    EXPECT_EQ(port, kChannelPort);
    EXPECT_EQ(channel_state(), 1);

    reply_from("127.0.0.1", "@\r\nresult OK\r\n");
    EXPECT_EQ(settled(admin, kAdminList, {"127.0.0.1 --- OK"}), (Entries{"127.0.0.1 --- OK"}));
}

TEST_F(Channel, AddressesThatNameNoTelephoneSendNothingAndKeepTheRequest) {
    ASSERT_EQ(discover_devices(master, kMasterListId), 0);
    const CommandFrame bad = frame_of("must not be sent");
    for (const char* address : {"1.2.3.999", "", "255.255.255.255", "0.0.0.0", "10.0.0.1.5"}) {
        send_command(admin, kAdminList, address, bad.bytes, bad.length);
    }
    send_command(admin, kAdminList, nullptr, bad.bytes, bad.length);
    // The discovery is still the current request: a command reply is ignored.
    reply_from("10.77.78.2", "@\r\nresult OK\r\n");
    reply_from("10.77.78.3", kGoodReply);
    EXPECT_EQ(settled(master, kMasterListId, {"10.77.78.3"}), (Entries{"10.77.78.3"}));
    EXPECT_EQ(ui_list_count(admin, kAdminList), 0);

    const CommandFrame good = frame_of("sent");
    send_command(admin, kAdminList, "127.0.0.1", good.bytes, good.length);
    EXPECT_EQ(phone_receives(true),
              std::string(reinterpret_cast<const char*>(good.bytes), good.length));
}

TEST_F(Channel, OversizedAndEmptyDatagramsAreDroppedAndReceivingGoesOn) {
    ASSERT_EQ(discover_devices(master, kMasterListId), 0);
    std::string oversized = kGoodReply + "\n";
    oversized.resize(kDatagramMax + 1, 'x');
    reply_from("10.77.78.2", oversized);
    reply_from("10.77.78.3", "");
    std::string largest = kGoodReply + "\n";
    largest.resize(kDatagramMax, 'y');
    reply_from("10.77.78.4", largest);
    EXPECT_EQ(settled(master, kMasterListId, {"10.77.78.4"}), (Entries{"10.77.78.4"}));
    EXPECT_EQ(channel_state(), 1);
}

TEST_F(Channel, AReportedResetIsDroppedAndReceivingGoesOn) {
    ASSERT_EQ(discover_devices(master, kMasterListId), 0);
    probe_fail_receives(3, false);
    reply_from("10.77.78.2", kGoodReply);
    EXPECT_EQ(settled(master, kMasterListId, {"10.77.78.2"}), (Entries{"10.77.78.2"}));
    EXPECT_EQ(channel_state(), 1);

    // A command to a port where nothing listens: Windows reports the ICMP answer as a reset.
    sock_close(phone);
    phone = -1;
    const CommandFrame frame = frame_of("nobody home");
    send_command(admin, kAdminList, "127.0.0.1", frame.bytes, frame.length);
    reply_from("10.77.78.3", "@\r\nresult OK\r\n");
    EXPECT_EQ(settled(admin, kAdminList, {"10.77.78.3 --- OK"}), (Entries{"10.77.78.3 --- OK"}));
    EXPECT_EQ(channel_state(), 1);
}

TEST_F(Channel, ADeadSocketEndsTheReceiveThreadForGood) {
    ASSERT_EQ(discover_devices(master, kMasterListId), 0);
    probe_fail_receives(1, true);
    reply_from("10.77.78.2", kGoodReply);
    ASSERT_TRUE(state_becomes(-1));
    EXPECT_EQ(discover_devices(master, kMasterListId), -1);
    const CommandFrame frame = frame_of("dropped");
    send_command(admin, kAdminList, "127.0.0.1", frame.bytes, frame.length);
    mark_phone();
    EXPECT_EQ(phone_receives(true), "mark");
    EXPECT_EQ(channel_state(), -1);

    channel_close();  // returns at once and frees the port
    EXPECT_EQ(channel_open(), 0);
    EXPECT_EQ(channel_state(), 1);
}

TEST_F(Channel, ClosingAndOpeningAgainWorksEveryTime) {
    for (int i = 0; i < 20; ++i) {
        ASSERT_EQ(discover_devices(master, kMasterListId), 0);
        channel_close();
        ASSERT_EQ(channel_state(), -1);
        ASSERT_EQ(channel_open(), 0);
    }
    channel_close();
    channel_close();  // a second close changes nothing
    EXPECT_EQ(channel_state(), -1);
    EXPECT_EQ(discover_devices(master, kMasterListId), -1);
    ASSERT_EQ(channel_open(), 0);
}

TEST_F(Channel, AWaitingDatagramMeetsTheHandlerOfTheMomentItIsHandled) {
    // The test thread plays the user-interface thread on which the handlers run.
    struct PlayedUiThread {
        PlayedUiThread() {
            headless_keep_posted(1);
        }
        ~PlayedUiThread() {
            headless_keep_posted(0);
        }
    } played;
    const auto woken = [] {
        for (int i = 0; i < 500 && headless_posted_count() == 0; ++i) {
            sleep_tick();
        }
        return headless_posted_count() > 0;
    };
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
    const CommandFrame frame = frame_of("admin;!sep!;admin;!sep!;a;!sep!;b");
    send_command(admin, kAdminList, "127.0.0.1", frame.bytes, frame.length);
    reply_from("10.77.78.3", "@\r\nresult OK\r\n");
    const Entries wanted = {"10.77.78.3 --- OK"};
    for (int i = 0; i < 500 && entries(admin, kAdminList) != wanted; ++i) {
        headless_run_posted();
        sleep_tick();
    }
    EXPECT_EQ(entries(admin, kAdminList), wanted);
    EXPECT_EQ(ui_list_count(master, kMasterListId), 0);
}

}  // namespace
