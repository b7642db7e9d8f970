// resolve_isolated_test.cpp: name look-ups; run only inside a private namespace with no
// interfaces but loopback, so that no resolver query can leave the machine.
#include <gtest/gtest.h>

#include "platform.h"

namespace {

TEST(Resolve, NamesOutsideTheHostsFileFailWithMinusTwo) {
    ASSERT_EQ(sock_init(), 0);
    Endpoint ep;
    EXPECT_EQ(sock_make_addr(&ep, "10.0.0.x", 69), -2);
    EXPECT_EQ(sock_make_addr(&ep, "phone.invalid", 69), -2);
    // Names in the hosts file still resolve.
    ASSERT_EQ(sock_make_addr(&ep, "localhost", 69), 0);
    EXPECT_STREQ(sock_addr_text(&ep), "127.0.0.1");
    sock_fin();
}

}  // namespace
