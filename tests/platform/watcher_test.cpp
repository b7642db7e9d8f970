// watcher_test.cpp: the pending-connection watcher settling real loopback connections.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>

#include "platform.h"

#ifdef _WIN32
#include <winsock.h>
#else
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace {

// A TCP listener on loopback, opened with the system's own calls: the platform layer has none.
struct Listener {
    Socket s = -1;
    Endpoint address{};
    Listener() {
        s = static_cast<Socket>(socket(AF_INET, SOCK_STREAM, 0));
        sock_make_addr(&address, "127.0.0.1", 0);
        bind(s, reinterpret_cast<const sockaddr*>(&address), sizeof address);
        listen(s, 4);
        sock_make_addr(&address, "127.0.0.1", sock_local_port(s));
    }
    std::string receive(int length) {
        const auto c = accept(s, nullptr, nullptr);
        std::string text(static_cast<size_t>(length), '\0');
        int got = 0;
        while (got < length) {
            const int n =
                static_cast<int>(recv(c, &text[static_cast<size_t>(got)], length - got, 0));
            if (n <= 0) {
                break;
            }
            got += n;
        }
        sock_close(static_cast<Socket>(c));
        return text.substr(0, static_cast<size_t>(got));
    }
    ~Listener() {
        sock_close(s);
    }
};

std::string events;
std::atomic<int> settled{0};

void on_release(int32_t context) {
    events += "release " + std::to_string(context) + ";";
    ++settled;
}
void on_failure(int32_t context, Socket, const Endpoint*) {
    events += "failure " + std::to_string(context) + ";";
}
void on_connected(int32_t context, Socket s, const Endpoint*) {
    events += "connected " + std::to_string(context) + ";";
    sock_close(s);
    ++settled;
}
void on_hand_over(int32_t context, Socket s) {
    events += "hand-over " + std::to_string(context) + ";";
    sock_close(s);
    ++settled;
}

void wait_settled(int n) {
    for (int i = 0; i < 1000 && settled < n; ++i) {
        sleep_tick();
    }
}

struct Watcher : testing::Test {
    void SetUp() override {
        mem_init();
        events.clear();
        settled = 0;
        ASSERT_EQ(sock_init(), 0);
    }
    void TearDown() override {
        sock_fin();
        mem_fin();
    }
    static PendingConnection connection(const Endpoint& to, int32_t context) {
        PendingConnection c = {};
        c.remote = to;
        c.context = context;
        c.time_limit = 5000;
        c.on_release = on_release;
        c.on_failure = on_failure;
        c.on_connected = on_connected;
        return c;
    }
};

TEST_F(Watcher, SendsPendingDataOnceConnected) {
    Listener listener;
    PendingConnection c = connection(listener.address, 7);
    c.pending_data = my_malloc(5);
    memcpy(c.pending_data, "hello", 5);
    c.pending_length = 5;
    ASSERT_EQ(tcp_cx_add(&c), 0);
    wait_settled(1);
    EXPECT_EQ(events, "connected 7;");
    EXPECT_EQ(listener.receive(5), "hello");
    EXPECT_EQ(tcp_cx_count(), 0);
}

TEST_F(Watcher, HandOverTakesTheSocketInsteadOfSending) {
    Listener listener;
    PendingConnection c = connection(listener.address, 8);
    c.on_hand_over = on_hand_over;
    c.pending_data = my_malloc(3);  // released with the entry, never sent
    c.pending_length = 3;
    ASSERT_EQ(tcp_cx_add(&c), 0);
    wait_settled(1);
    EXPECT_EQ(events, "hand-over 8;");
}

TEST_F(Watcher, RefusedConnectionReportsFailureThenRelease) {
    Endpoint closed;
    {
        Listener gone;  // a port that was just free and is closed again
        closed = gone.address;
    }
    PendingConnection c = connection(closed, 9);
    c.time_limit = 1000;  // Windows reports a refusal only as a connection that never completes
    if (tcp_cx_add(&c) != 0) {
        GTEST_SKIP() << "the system refused the connection at once";
    }
    wait_settled(1);
    EXPECT_EQ(events, "failure 9;release 9;");
}

TEST_F(Watcher, FinishingWithAnEmptyTablePrintsNothing) {
    testing::internal::CaptureStdout();
    const auto start = std::chrono::steady_clock::now();
    sock_fin();
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(tcp_cx_count(), -1);
    PendingConnection c = connection(Endpoint{}, 1);
    EXPECT_EQ(tcp_cx_add(&c), -1);  // nothing is watched once finishing has begun
    printf("watcher shutdown took %lld ms\n",
           static_cast<long long>(
               std::chrono::duration_cast<std::chrono::milliseconds>(took).count()));
    ASSERT_EQ(sock_init(), 0);
}

std::atomic<int> slow_callback_done{0};
std::atomic<int> slow_callback_released{0};

// Holds the watcher until the test has seen tcp_cx_fin give up on it: a fixed sleep would race
// the three seconds that tcp_cx_fin waits on a loaded machine.
void slow_connected(int32_t, Socket s, const Endpoint*) {
    ++settled;
    while (!slow_callback_released) {
        sleep_tick();
    }
    sock_close(s);
    slow_callback_done = 1;
}

TEST_F(Watcher, AWatcherThatDoesNotEndInTimeIsAbandonedWithOneMessage) {
    Listener listener;
    PendingConnection c = connection(listener.address, 1);
    c.on_connected = slow_connected;
    slow_callback_done = 0;
    slow_callback_released = 0;
    ASSERT_EQ(tcp_cx_add(&c), 0);
    wait_settled(1);
    testing::internal::CaptureStdout();
    sock_fin();
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "tcp_cx_fin: abort\n");
    slow_callback_released = 1;
    while (!slow_callback_done) {
        sleep_tick();
    }
    sleep_ms(50);  // let the old watcher leave before the next one starts
    ASSERT_EQ(sock_init(), 0);
}

}  // namespace
