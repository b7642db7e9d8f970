// scripted_peer.cpp: the scripted TFTP peer and the client thread of the exchange tests.
#include "scripted_peer.h"

#include <gtest/gtest.h>

#include "tftp_client.h"

#ifdef _WIN32
#include <winsock.h>
#else
#include <sys/socket.h>
#endif

Bytes file_bytes(size_t size) {
    Bytes out(size);
    uint32_t x = 2463534242u;
    for (auto& b : out) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        b = static_cast<uint8_t>(x);
    }
    return out;
}

Socket udp_bound_to(const char* address) {
    const auto s = static_cast<Socket>(socket(AF_INET, SOCK_DGRAM, 0));
    Endpoint local;
    sock_make_addr(&local, address, 0);
    EXPECT_EQ(bind(s, reinterpret_cast<const sockaddr*>(&local), sizeof local), 0) << address;
    sock_nonblock(s);
    return s;
}

ScriptedPeer::ScriptedPeer() {
    well_known = udp_open(kTftpServerPort, 1);
    transfer = udp_open(0, 1);
    EXPECT_GE(well_known, 0) << "port 69 must be free: run inside a private namespace";
    EXPECT_GE(transfer, 0);
}

ScriptedPeer::~ScriptedPeer() {
    sock_close(well_known);
    sock_close(transfer);
}

Bytes ScriptedPeer::receive(Socket s, int ms, Endpoint* from) {
    Endpoint sender;
    uint8_t buffer[2000];
    const int32_t start = clock_now();
    while (static_cast<uint32_t>(clock_elapsed(start, 0)) < static_cast<uint32_t>(ms)) {
        if (sock_wait_readable(s, 10) <= 0) {
            continue;
        }
        const int n = udp_recv_from(s, buffer, sizeof buffer, &sender);
        if (n >= 0) {
            if (from) {
                *from = sender;
            }
            return Bytes(buffer, buffer + n);
        }
    }
    return {};
}

Bytes ScriptedPeer::receive_request(int ms) {
    return receive(well_known, ms, &client);
}

Bytes ScriptedPeer::receive_transfer(int ms) {
    return receive(transfer, ms);
}

void ScriptedPeer::send(const Bytes& packet) {
    send_from(transfer, packet);
}

void ScriptedPeer::send_from(Socket s, const Bytes& packet) {
    udp_send_to(s, packet.data(), static_cast<int>(packet.size()), &client);
}
