// address_test.cpp: endpoints, address texts and name look-ups. Its program runs only inside a
// private namespace with nothing but loopback, so that no resolver query can leave the machine.
#include <gtest/gtest.h>

#include "platform.h"

namespace {

TEST(Endpoint, NumericTextRoundTripsAndEmptyMeansAnyAddress) {
    Endpoint ep;
    ASSERT_EQ(sock_make_addr(&ep, "192.168.1.20", 69), 0);
    EXPECT_STREQ(sock_addr_text(&ep), "192.168.1.20");
    uint8_t bytes[4] = {};
    int port = 0;
    EXPECT_EQ(sock_split_addr(&ep, bytes, &port), 0);
    EXPECT_EQ(port, 69);
    EXPECT_EQ(bytes[0], 192);
    EXPECT_EQ(bytes[3], 20);

    Endpoint other[2];
    sock_make_addr(&other[0], "192.168.1.20", 1234);
    sock_make_addr(&other[1], "192.168.1.21", 69);
    EXPECT_EQ(sock_addr_cmp(&ep, &ep), 0);
    EXPECT_NE(sock_addr_cmp(&ep, &other[0]), 0);
    EXPECT_NE(sock_addr_cmp(&ep, &other[1]), 0);
    ASSERT_EQ(sock_make_addr(&ep, "", 9999), 0);
    EXPECT_STREQ(sock_addr_text(&ep), "0.0.0.0");
}

TEST(AddressText, OnlyDigitsAndDotsAreNumeric) {
    EXPECT_EQ(ip_text_is_numeric("192.168.1.20"), 1);
    EXPECT_EQ(ip_text_is_numeric("1"), 1);
    for (const char* text : {"10.0.0.x", ".1.2.3", "", "phone"}) {
        EXPECT_EQ(ip_text_is_numeric(text), 0) << text;
    }
}

TEST(Resolve, NamesOutsideTheHostsFileFailWithMinusTwo) {
    ASSERT_EQ(sock_init(), 0);
    Endpoint ep;
    EXPECT_EQ(sock_make_addr(&ep, "10.0.0.x", 69), -2);
    EXPECT_EQ(sock_make_addr(&ep, "phone.invalid", 69), -2);
    ASSERT_EQ(sock_make_addr(&ep, "localhost", 69), 0);
    EXPECT_STREQ(sock_addr_text(&ep), "127.0.0.1");
    sock_fin();
}

}  // namespace
