// udp_test.cpp: UDP sockets on loopback: binding, datagrams, errors and waking a waiter.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <vector>

#include "platform.h"

namespace {

struct Udp : testing::Test {
    void SetUp() override {
        ASSERT_EQ(sock_init(), 0);
    }
    void TearDown() override {
        sock_fin();
    }
    // A socket on a port the system chose, and the loopback endpoint that reaches it.
    static Socket open_loopback(Endpoint* reach, int nonblock) {
        const Socket s = udp_open(0, nonblock);
        EXPECT_GE(s, 0);
        sock_make_addr(reach, "127.0.0.1", sock_local_port(s));
        return s;
    }
};

TEST_F(Udp, PortHeldByAnotherSocketCannotBeBoundAndTheCheckSaysWhy) {
    Endpoint reach;
    const Socket first = open_loopback(&reach, 1);
    int port = 0;
    sock_split_addr(&reach, nullptr, &port);
    ASSERT_GT(port, 0);
    EXPECT_EQ(udp_open(port, 1), -2);
    EXPECT_EQ(udp_port_check(port), kPortInUse);
    sock_close(first);
    EXPECT_EQ(udp_port_check(port), kPortFree);
    const Socket again = udp_open(port, 1);
    EXPECT_GE(again, 0) << "the check must leave the port free";
    sock_close(again);
}

TEST_F(Udp, DatagramsCarryTheirSenderAndOversizedOnesAreDroppedAlone) {
    Endpoint to_a;
    Endpoint to_b;
    const Socket a = open_loopback(&to_a, 1);
    const Socket b = open_loopback(&to_b, 1);
    char buffer[2001];
    Endpoint from;
    EXPECT_EQ(udp_recv_from(b, buffer, 2000, &from), -1);  // nothing there yet: not fatal

    EXPECT_EQ(udp_send_to(a, "?", 1, &to_b), 1);
    ASSERT_EQ(sock_wait_readable(b, 5000), 1);
    ASSERT_EQ(udp_recv_from(b, buffer, 2000, &from), 1);
    EXPECT_EQ(buffer[0], '?');
    EXPECT_EQ(sock_addr_cmp(&from, &to_a), 0);

    const std::vector<char> big(3000, 'x');
    udp_send_to(a, big.data(), static_cast<int>(big.size()), &to_b);
    udp_send_to(a, "next", 4, &to_b);
    ASSERT_EQ(sock_wait_readable(b, 5000), 1);
    EXPECT_EQ(udp_recv_from(b, buffer, 2000, &from), -1);
    ASSERT_EQ(sock_wait_readable(b, 5000), 1);
    ASSERT_EQ(udp_recv_from(b, buffer, 2000, &from), 4);
    EXPECT_EQ(memcmp(buffer, "next", 4), 0);

    EXPECT_EQ(sock_wait_readable(b, 20), 0);
    sock_close(a);
    sock_close(b);
}

Socket waiter_socket = -1;
std::atomic<int> waiter_result{99};

void wait_without_limit() {
    waiter_result = sock_wait_readable(waiter_socket, -1);
}

TEST_F(Udp, ClosingASocketWakesAThreadWaitingOnIt) {
    Endpoint reach;
    waiter_socket = open_loopback(&reach, 1);
    waiter_result = 99;
    ASSERT_EQ(thread_start(wait_without_limit), 0);
    sleep_ms(100);
    EXPECT_EQ(waiter_result, 99);
    sock_close(waiter_socket);
    for (int i = 0; i < 500 && waiter_result == 99; ++i) {
        sleep_tick();
    }
    EXPECT_NE(waiter_result, 0);  // woke up, not a time-out
    EXPECT_NE(waiter_result, 99);
    char buffer[16];
    Endpoint from;
    EXPECT_LE(udp_recv_from(waiter_socket, buffer, sizeof buffer, &from), 0);
}

}  // namespace
