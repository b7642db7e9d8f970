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

struct SentDatagram {
    Endpoint to;
    std::vector<uint8_t> bytes;
    int32_t at_ms;
};

// Starts a new exchange: the clock at start_ms, nothing sent, the script to be received; with
// port_free false no socket can be opened.
void script_reset(int32_t start_ms, std::vector<ScriptedDatagram> script, bool port_free = true);
const std::vector<SentDatagram>& script_sent();
// Sockets opened and not yet closed.
int script_open_sockets();
// Waits the client has made since the reset.
long script_waits();
