// address_test.cpp: endpoints, address texts and comparisons, without any name look-up.
#include <gtest/gtest.h>

#include <cstring>

#include "platform.h"

namespace {

Endpoint endpoint(const char* host, int port) {
    Endpoint ep;
    EXPECT_EQ(sock_make_addr(&ep, host, port), 0) << host;
    return ep;
}

TEST(Endpoint, EmptyHostMeansAnyAddress) {
    for (const char* host : {static_cast<const char*>(nullptr), ""}) {
        const Endpoint ep = endpoint(host, 9999);
        EXPECT_EQ(ep.family, 2);
        EXPECT_EQ(ep.address, 0u);
        EXPECT_STREQ(sock_addr_text(&ep), "0.0.0.0");
        int port = 0;
        EXPECT_EQ(sock_split_addr(&ep, nullptr, &port), 0);
        EXPECT_EQ(port, 9999);
        const uint8_t zeros[8] = {};
        EXPECT_EQ(memcmp(ep.zero, zeros, 8), 0);
    }
}

TEST(Endpoint, NumericTextIsTakenAsItStandsInNetworkOrder) {
    const Endpoint ep = endpoint("192.168.1.20", 69);
    const auto* raw = reinterpret_cast<const uint8_t*>(&ep);
    const uint8_t expected[8] = {0, 0, 0, 69, 192, 168, 1, 20};
    EXPECT_EQ(memcmp(raw + 2, expected + 2, 6), 0);
    EXPECT_STREQ(sock_addr_text(&ep), "192.168.1.20");
    uint8_t bytes[4] = {};
    int port = 0;
    EXPECT_EQ(sock_split_addr(&ep, bytes, &port), 0);
    EXPECT_EQ(port, 69);
    EXPECT_EQ(bytes[0], 192);
    EXPECT_EQ(bytes[3], 20);

    // Malformed but numeric: no look-up, inet_addr's all-ones answer.
    const Endpoint bad = endpoint("1.2.3.999", 69);
    EXPECT_EQ(bad.address, 0xFFFFFFFFu);
    const Endpoint high_port = endpoint("10.0.0.1", 65535);
    sock_split_addr(&high_port, nullptr, &port);
    EXPECT_EQ(port, 65535);
}

TEST(Endpoint, CompareTellsAddressFromPort) {
    const Endpoint a = endpoint("10.0.0.5", 69);
    const Endpoint b = endpoint("10.0.0.5", 1234);
    const Endpoint c = endpoint("10.0.0.6", 69);
    const Endpoint d = endpoint("10.0.0.6", 1234);
    EXPECT_EQ(sock_addr_cmp(&a, &a), 0);
    EXPECT_EQ(sock_addr_cmp(&a, &b), -2);
    EXPECT_EQ(sock_addr_cmp(&a, &c), -1);
    EXPECT_EQ(sock_addr_cmp(&a, &d), -1);
}

TEST(AddressText, NumericTest) {
    EXPECT_EQ(ip_text_is_numeric("192.168.1.20"), 1);
    EXPECT_EQ(ip_text_is_numeric("1"), 1);
    EXPECT_EQ(ip_text_is_numeric("10.0.0.x"), 0);
    EXPECT_EQ(ip_text_is_numeric(".1.2.3"), 0);
    EXPECT_EQ(ip_text_is_numeric(""), 0);
    EXPECT_EQ(ip_text_is_numeric("phone"), 0);
}

TEST(AddressText, BytesKeepLowEightBitsAndStopAtTheFirstOtherCharacter) {
    uint8_t out[4] = {9, 9, 9, 9};
    ip_text_to_bytes("192.168.1.20", out);
    EXPECT_EQ(out[0], 192);
    EXPECT_EQ(out[1], 168);
    EXPECT_EQ(out[2], 1);
    EXPECT_EQ(out[3], 20);

    ip_text_to_bytes("300.256.2.3", out);
    EXPECT_EQ(out[0], 44);
    EXPECT_EQ(out[1], 0);

    uint8_t partial[4] = {7, 7, 7, 7};
    ip_text_to_bytes("10.1", partial);
    EXPECT_EQ(partial[0], 10);
    EXPECT_EQ(partial[1], 1);
    EXPECT_EQ(partial[2], 7);  // fields after the stop keep their contents
    EXPECT_EQ(partial[3], 7);

    uint8_t dashed[4] = {7, 7, 7, 7};
    ip_text_to_bytes("10-1.2.3", dashed);
    EXPECT_EQ(dashed[0], 10);
    EXPECT_EQ(dashed[1], 7);

    uint8_t five[4] = {};
    ip_text_to_bytes("1.2.3.4.5", five);  // parsing ends after the fourth field
    EXPECT_EQ(five[3], 4);
}

}  // namespace
