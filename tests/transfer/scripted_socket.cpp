// scripted_socket.cpp: the scripted socket and clock (see scripted_socket.h). Single-threaded,
// like the TFTP client.
#include "scripted_socket.h"

#include <arpa/inet.h>

#include <cstring>

#include "backend.h"

namespace {

int32_t now_ms = 1;
std::vector<ScriptedDatagram> queue;
size_t next = 0;
std::vector<SentDatagram> sent;
bool sockets_free = true;
int open_sockets = 0;
long waits = 0;

bool due() {
    return next < queue.size() && queue[next].polls_before <= 0;
}

}  // namespace

void script_reset(int32_t start_ms, std::vector<ScriptedDatagram> script, bool port_free) {
    now_ms = start_ms == 0 ? 1 : start_ms;
    queue = std::move(script);
    next = 0;
    sent.clear();
    sockets_free = port_free;
    open_sockets = 0;
    waits = 0;
}

const std::vector<SentDatagram>& script_sent() {
    return sent;
}

int script_open_sockets() {
    return open_sockets;
}

long script_waits() {
    return waits;
}

// ---------------------------------------------------------------- the platform's routines

int32_t clock_now() {
    return now_ms;
}

Socket udp_open(int, int) {
    open_sockets += sockets_free;
    return sockets_free ? 3 : -1;
}

void sock_close(Socket) {
    --open_sockets;
}

int sock_recv_timeout(Socket, int) {
    return 0;
}

// A receive waits 10 ms, the client's receive time-out, when nothing is due.
int udp_recv_from(Socket, void* buffer, int size, Endpoint* from) {
    if (!due()) {
        ++waits;
        now_ms = static_cast<int32_t>(static_cast<uint32_t>(now_ms) + 10);
        now_ms += now_ms == 0;  // clock_now is never 0
        if (next < queue.size()) {
            --queue[next].polls_before;
        }
        return -1;
    }
    const ScriptedDatagram& datagram = queue[next++];
    const int length = static_cast<int>(datagram.bytes.size());
    // As the real back ends do: a datagram that does not fit is dropped whole.
    if (length > size) {
        return -1;
    }
    if (length > 0) {
        memcpy(buffer, datagram.bytes.data(), datagram.bytes.size());
    }
    *from = datagram.from;
    return length;
}

int udp_send_to(Socket, const void* data, int length, const Endpoint* to) {
    const auto* bytes = static_cast<const uint8_t*>(data);
    sent.push_back({*to, std::vector<uint8_t>(bytes, bytes + length), now_ms});
    return length;
}

const char* sock_addr_text(const Endpoint* ep) {
    thread_local char text[INET_ADDRSTRLEN];
    in_addr address;
    address.s_addr = ep->address;
    return inet_ntop(AF_INET, &address, text, sizeof text);
}

int backend_resolve(const char*, char*) {
    return -1;  // no name service here
}

uint32_t backend_inet_addr(const char* text) {
    return inet_addr(text);
}
