// watcher_test.cpp: the pending-connection watcher that sock_init starts and sock_fin stops,
// settling real loopback connections.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <set>
#include <string>

#include "platform.h"

#ifdef _WIN32
#include <winsock.h>
#else
#include <sys/socket.h>
#endif

namespace {

std::multiset<std::string> events;  // the callbacks' calls, as "name context"
std::atomic<int> settled{0};        // callbacks called
std::atomic<bool> hold{false};      // keeps on_connected from returning
std::atomic<int> returned{0};       // calls of on_connected that have returned

void note(const char* name, int32_t context) {
    events.insert(name + std::to_string(context));
    ++settled;
}

bool settled_within_5s(int n) {
    for (int i = 0; i < 500 && settled < n; ++i) {
        sleep_tick();
    }
    return settled >= n;
}

PendingConnection connection(const Endpoint& to, int32_t context, const char* data) {
    PendingConnection c = {};
    c.remote = to;
    c.context = context;
    c.time_limit = 1000;  // Windows reports a refusal only as a connection that never completes
    c.on_release = [](int32_t id) { note("release ", id); };
    c.on_failure = [](int32_t id, Socket, const Endpoint*) { note("failure ", id); };
    c.on_connected = [](int32_t id, Socket s, const Endpoint*) {
        note("connected ", id);
        while (hold) {
            sleep_tick();
        }
        sock_close(s);
        ++returned;
    };
    c.pending_length = static_cast<int32_t>(strlen(data));
    c.pending_data = memcpy(my_malloc(strlen(data)), data, strlen(data));
    return c;
}

// A TCP listener on loopback, opened with the system's own calls: the platform layer has none.
Socket listen_on_loopback(Endpoint* address) {
    const auto s = static_cast<Socket>(socket(AF_INET, SOCK_STREAM, 0));
    sock_make_addr(address, "127.0.0.1", 0);
    bind(s, reinterpret_cast<const sockaddr*>(address), sizeof *address);
    listen(s, 4);
    sock_make_addr(address, "127.0.0.1", sock_local_port(s));
    return s;
}

TEST(Watcher, SettlesEachConnectionFinishesQuietlyAndAbandonsAThreadThatOverruns) {
    mem_init();
    ASSERT_EQ(sock_init(), 0);
    Endpoint address, closed;
    Socket listener = listen_on_loopback(&address);
    sock_close(listen_on_loopback(&closed));  // a port that was just free and is closed again
    PendingConnection sending = connection(address, 7, "hello");
    PendingConnection handing = connection(address, 8, "never sent");
    handing.on_hand_over = [](int32_t context, Socket s) {
        note("hand-over ", context);
        sock_close(s);
    };
    PendingConnection refused = connection(closed, 9, "x");
    ASSERT_EQ(tcp_cx_add(&sending), 0);
    ASSERT_EQ(tcp_cx_add(&handing), 0);
    std::multiset<std::string> expected = {"connected 7", "hand-over 8"};
    if (tcp_cx_add(&refused) == 0) {  // or the system refused it at once
        expected.insert({"failure 9", "release 9"});
    }
    EXPECT_TRUE(settled_within_5s(static_cast<int>(expected.size())));
    EXPECT_EQ(events, expected);
    EXPECT_EQ(tcp_cx_count(), 0);
    std::string received;  // by both connections until they closed
    for (int i = 0; i < 2; ++i) {
        const auto c = static_cast<Socket>(accept(listener, nullptr, nullptr));
        char buffer[64];
        for (int n; (n = static_cast<int>(recv(c, buffer, sizeof buffer, 0))) > 0;) {
            received.append(buffer, static_cast<size_t>(n));
        }
        sock_close(c);
    }
    EXPECT_EQ(received, "hello");
    sock_close(listener);  // Winsock closes every socket when finishing
    testing::internal::CaptureStdout();
    sock_fin();
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(tcp_cx_count(), -1);
    PendingConnection late = connection(address, 1, "x");
    EXPECT_EQ(tcp_cx_add(&late), -1);  // nothing is watched once finishing has begun
    // Held in a callback beyond the time that finishing waits for it: one line, then gone.
    ASSERT_EQ(sock_init(), 0);
    listener = listen_on_loopback(&address);
    hold = true;
    PendingConnection held = connection(address, 2, "x");
    ASSERT_EQ(tcp_cx_add(&held), 0);
    ASSERT_TRUE(settled_within_5s(static_cast<int>(expected.size()) + 1));
    ASSERT_EQ(events.count("connected 2"), 1u);
    sock_close(listener);
    testing::internal::CaptureStdout();
    sock_fin();
    const std::string printed = testing::internal::GetCapturedStdout();
    EXPECT_EQ(printed.find('\n'), printed.size() - 1) << printed;
    hold = false;
    while (returned < 2) {
        sleep_tick();
    }
    sleep_ms(50);  // let the old watcher leave before the program ends
    mem_fin();
}

}  // namespace
