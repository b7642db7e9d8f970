// discovery_interfaces_test.cpp: a discovery reaches every up, broadcast-capable link once.
// Runs in the namespace that interfaces-lan builds, and nowhere else.
#include <gtest/gtest.h>
#ifndef _WIN32
#include <netinet/in.h>
#include <sys/socket.h>
#endif

#include <cstdlib>
#include <set>
#include <string>

#include "channel.h"
#include "headless.h"
#include "platform.h"

namespace {

std::set<std::string> as_texts(const uint32_t* addresses, int count) {
    std::set<std::string> texts;
    for (int i = 0; i < count; ++i) {
        Endpoint ep = {};
        ep.address = addresses[i];
        texts.insert(sock_addr_text(&ep));
    }
    return texts;
}

struct Interfaces : testing::Test {
    void SetUp() override {
        ASSERT_TRUE(getenv("KVX_PRIVATE_NET"))
            << "run this through ctest: it needs the namespace of interfaces-lan";
        ASSERT_EQ(sock_init(), 0);
    }
    void TearDown() override {
        sock_fin();
    }
};

// The subnets of kvxa, which the limited broadcast leaves by, hear that one already.
TEST_F(Interfaces, OnlyUpBroadcastCapableSubnetsOfOtherLinksAreListedEachOnce) {
    uint32_t found[kBroadcastMax];
    const int count = sock_broadcast_addrs(found, kBroadcastMax);
    ASSERT_GE(count, 0);
    std::set<std::string> listed = as_texts(found, count);
    EXPECT_EQ(listed.size(), static_cast<size_t>(count)) << "listed twice";
#ifdef _WIN32
    // Wine reports a link without carrier as connected; Windows itself does not.
    listed.erase("172.20.0.255");
#endif
    EXPECT_EQ(listed, (std::set<std::string>{"10.30.0.255"}));
    EXPECT_EQ(sock_broadcast_addrs(found, 1), 1);  // never more than asked for
}

#ifndef _WIN32
// Linux only: it reads the destination of each datagram that arrives.
TEST_F(Interfaces, ADiscoveryGoesToTheLimitedBroadcastAndTheOtherLinksSubnets) {
    // The telephone's side: which destination each request was sent to.
    const int phone = socket(AF_INET, SOCK_DGRAM, 0);
    ASSERT_GE(phone, 0);
    const int on = 1;
    setsockopt(phone, IPPROTO_IP, IP_PKTINFO, &on, sizeof on);
    Endpoint any;
    sock_make_addr(&any, nullptr, kDevicePort);
    ASSERT_EQ(bind(phone, reinterpret_cast<const sockaddr*>(&any), sizeof any), 0);

    const PageWindow master = headless_page_create();
    ASSERT_EQ(channel_open(), 0);
    ASSERT_EQ(discover_devices(master, 1011), 0);

    // Every request, each once: a phone that heard one twice would answer twice.
    std::multiset<std::string> destinations;
    while (sock_wait_readable(phone, destinations.size() < 2 ? 5000 : 500) == 1) {
        char data[16];
        char control[256];
        iovec part = {data, sizeof data};
        msghdr message = {};
        message.msg_iov = &part;
        message.msg_iovlen = 1;
        message.msg_control = control;
        message.msg_controllen = sizeof control;
        if (recvmsg(phone, &message, 0) != 1 || data[0] != '?') {
            continue;
        }
        for (cmsghdr* c = CMSG_FIRSTHDR(&message); c; c = CMSG_NXTHDR(&message, c)) {
            if (c->cmsg_level == IPPROTO_IP && c->cmsg_type == IP_PKTINFO) {
                const auto* info = reinterpret_cast<const in_pktinfo*>(CMSG_DATA(c));
                Endpoint ep = {};
                ep.address = info->ipi_addr.s_addr;
                destinations.insert(sock_addr_text(&ep));
            }
        }
    }
    EXPECT_EQ(destinations, (std::multiset<std::string>{"255.255.255.255", "10.30.0.255"}));
    channel_close();
    headless_page_destroy(master);
}
#endif

}  // namespace
