// scripted_peer.h: a TFTP peer for tests that checks every packet the client sends and
// answers exactly as the test says, from a port of its own as a real server does. Its packets
// are packed by the simulated phone's tftp_packet, as every test peer's are.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform.h"
#include "tftp_packet.h"

using Bytes = Packet;

inline Bytes data_packet(int block, const Bytes& data) {
    return tftp_make_data(static_cast<uint16_t>(block), data.data(), data.size());
}
Bytes file_bytes(size_t size);  // deterministic, not repetitive within a block
// A UDP socket bound to one loopback address, to play another host.
Socket udp_bound_to(const char* address);

// Holds the socket library open for a test fixture's lifetime; declare it first.
struct SocketLibrary {
    SocketLibrary() {
        sock_init();
    }
    ~SocketLibrary() {
        sock_fin();
    }
};

struct ScriptedPeer {
    Socket well_known = -1;  // port 69, where requests arrive
    Socket transfer = -1;    // the port that answers
    Endpoint client{};

    ScriptedPeer();
    ~ScriptedPeer();
    // Next datagram on the socket within the time, or an empty vector.
    Bytes receive(Socket s, int ms, Endpoint* from = nullptr);
    // Receives the request on port 69 and remembers the client.
    Bytes receive_request(int ms = 5000);
    Bytes receive_transfer(int ms = 5000);
    void send(const Bytes& packet);  // from the transfer port
    void send_from(Socket s, const Bytes& packet);
};
