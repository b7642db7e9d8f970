// scripted_socket.cpp: the scripted socket and clock; single-threaded, like the TFTP client.
#include "scripted_socket.h"

#include <arpa/inet.h>

#include <algorithm>

#include "backend.h"

static ScriptState state;

void script_reset(int32_t start_ms, std::vector<ScriptedDatagram> script, bool port_free) {
    state = {start_ms == 0 ? 1 : start_ms, std::move(script), 0, {}, {}, {}, port_free, 0, 0};
}

const ScriptState& script_state() {
    return state;
}

Endpoint script_endpoint(const char* address, int port) {
    Endpoint ep;
    sock_make_addr(&ep, address, port);
    return ep;
}

std::vector<uint8_t> script_file(size_t size) {
    std::vector<uint8_t> bytes(size);
    for (size_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<uint8_t>(i * 7 + i / 509);
    }
    return bytes;
}

// ---------------------------------------------------------------- the platform's routines

int32_t clock_now() {
    return state.now_ms;
}

Socket udp_open(int, int) {
    state.open_sockets += state.port_free;
    return state.port_free ? 3 : -1;
}

void sock_close(Socket) {
    --state.open_sockets;
}

int sock_recv_timeout(Socket, int) {
    return 0;
}

// A receive waits 10 ms, the client's receive time-out, when nothing is due.
int udp_recv_from(Socket, void* buffer, int size, Endpoint* from) {
    const bool pending = state.next < state.script.size();
    if (!pending || state.script[state.next].polls_before > 0) {
        ++state.waits;
        state.now_ms = static_cast<int32_t>(static_cast<uint32_t>(state.now_ms) + 10);
        state.now_ms += state.now_ms == 0;  // clock_now is never 0
        if (pending) {
            --state.script[state.next].polls_before;
        }
        return -1;
    }
    const ScriptedDatagram& datagram = state.script[state.next++];
    const int length = static_cast<int>(datagram.bytes.size());
    // As the real back ends do: a datagram that does not fit is dropped whole.
    if (length > size) {
        return -1;
    }
    std::copy(datagram.bytes.begin(), datagram.bytes.end(), static_cast<uint8_t*>(buffer));
    *from = datagram.from;
    return length;
}

int udp_send_to(Socket, const void* data, int length, const Endpoint* to) {
    const auto* bytes = static_cast<const uint8_t*>(data);
    state.sent.emplace_back(bytes, bytes + length);
    state.sent_to.push_back(*to);
    state.sent_at_ms.push_back(state.now_ms);
    return length;
}

const char* sock_addr_text(const Endpoint* ep) {
    return inet_ntoa(in_addr{ep->address});
}

int backend_resolve(const char*, char*) {
    return -1;  // no name service here
}

uint32_t backend_inet_addr(const char* text) {
    return inet_addr(text);
}
