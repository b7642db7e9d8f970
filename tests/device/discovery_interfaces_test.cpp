// discovery_interfaces_test.cpp: the subnets a discovery is broadcast to besides the limited
// broadcast. Runs in the namespace that interfaces-lan builds, and nowhere else.
#include <gtest/gtest.h>

#include <cstdlib>
#include <set>
#include <string>

#include "platform.h"

namespace {

// The subnets of kvxa, which the limited broadcast leaves by, hear that one already.
TEST(BroadcastAddresses, OnlyUpBroadcastCapableSubnetsOfOtherLinksEachOnce) {
    ASSERT_TRUE(getenv("KVX_PRIVATE_NET"))
        << "run this through ctest: it needs the namespace of interfaces-lan";
    ASSERT_EQ(sock_init(), 0);
    uint32_t found[kBroadcastMax];
    std::multiset<std::string> listed;
    const int count = sock_broadcast_addrs(found, kBroadcastMax);
    for (int i = 0; i < count; ++i) {
        Endpoint ep = {};
        ep.address = found[i];
        listed.insert(sock_addr_text(&ep));
    }
#ifdef _WIN32
    // Wine reports a link without carrier as connected; Windows itself does not.
    listed.erase("172.20.0.255");
#endif
    EXPECT_EQ(listed, (std::multiset<std::string>{"10.30.0.255"}));
    EXPECT_EQ(sock_broadcast_addrs(found, 1), 1);  // never more than asked for
    sock_fin();
}

}  // namespace
