// scripted_socket.h: the TFTP client's scripted peer. Linked in place of the platform's
// sockets and clock beneath the client: received datagrams come from a script, sent ones are
// recorded, and time passes only while the client waits.
#pragma once

#include <cstdint>
#include <vector>

#include "platform.h"

struct ScriptedDatagram {
    int polls_before;  // empty 10 ms waits before it arrives
    Endpoint from;
    std::vector<uint8_t> bytes;
};

struct ScriptState {
    int32_t now_ms;
    std::vector<ScriptedDatagram> script;
    size_t next;                             // the next datagram of the script to arrive
    std::vector<std::vector<uint8_t>> sent;  // each datagram sent, with its address and time
    std::vector<Endpoint> sent_to;
    std::vector<int32_t> sent_at_ms;
    bool port_free;    // false: no socket can be opened
    int open_sockets;  // opened and not yet closed
    long waits;        // empty waits of the client
};

// Starts a new exchange: the clock at start_ms, nothing sent, the script to be received.
void script_reset(int32_t start_ms, std::vector<ScriptedDatagram> script, bool port_free = true);
const ScriptState& script_state();
Endpoint script_endpoint(const char* address, int port);
// A file of size bytes whose blocks all differ.
std::vector<uint8_t> script_file(size_t size);
