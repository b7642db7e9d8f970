// net_win32.cpp: IPv4 sockets over Windows Sockets 1.1.
#include <winsock.h>

#include <cstring>

#include "../backend.h"
#include "../platform.h"

namespace {

const sockaddr* as_sockaddr(const Endpoint* ep) {
    return reinterpret_cast<const sockaddr*>(ep);
}

SOCKET as_socket(Socket s) {
    return static_cast<SOCKET>(s);
}

int wait_for(Socket s, bool for_write, int ms) {
    fd_set set;
    FD_ZERO(&set);
    FD_SET(as_socket(s), &set);
    timeval limit = {ms / 1000, (ms % 1000) * 1000};
    const int ready = select(0, for_write ? nullptr : &set, for_write ? &set : nullptr, nullptr,
                             ms < 0 ? nullptr : &limit);
    if (ready < 0) {
        return -1;
    }
    return ready > 0 ? 1 : 0;
}

}  // namespace

int sock_init() {
    WSADATA data;
    if (WSAStartup(MAKEWORD(1, 1), &data) != 0) {
        return -1;
    }
    tcp_cx_init();
    return 0;
}

void sock_fin() {
    tcp_cx_fin();
    WSACleanup();
}

int backend_resolve(const char* host, char* text_out) {
    const hostent* found = gethostbyname(host);
    if (!found || !found->h_addr_list || !found->h_addr_list[0]) {
        return -1;
    }
    in_addr address;
    memcpy(&address, found->h_addr_list[0], sizeof address);
    const char* text = inet_ntoa(address);
    if (!text) {
        return -1;
    }
    strncpy(text_out, text, 16);
    text_out[15] = '\0';
    return 0;
}

uint32_t backend_inet_addr(const char* text) {
    return inet_addr(text);
}

const char* sock_addr_text(const Endpoint* ep) {
    in_addr address;
    address.s_addr = ep->address;
    return inet_ntoa(address);  // Winsock keeps one buffer per thread
}

void sock_nonblock(Socket s) {
    u_long on = 1;
    ioctlsocket(as_socket(s), FIONBIO, &on);
}

int sock_recv_timeout(Socket s, int ms) {
    // Winsock takes the time in milliseconds, as a DWORD.
    const DWORD limit = static_cast<DWORD>(ms);
    return setsockopt(as_socket(s), SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&limit),
                      sizeof limit) == 0
               ? 0
               : -1;
}

int sock_set_broadcast(Socket s) {
    const BOOL on = TRUE;
    return setsockopt(as_socket(s), SOL_SOCKET, SO_BROADCAST, reinterpret_cast<const char*>(&on),
                      sizeof on) == 0
               ? 0
               : -1;
}

int sock_set_receive_buffer(Socket s, int bytes) {
    setsockopt(as_socket(s), SOL_SOCKET, SO_RCVBUF, reinterpret_cast<const char*>(&bytes),
               sizeof bytes);
    int granted = 0;
    int length = sizeof granted;
    if (getsockopt(as_socket(s), SOL_SOCKET, SO_RCVBUF, reinterpret_cast<char*>(&granted),
                   &length) != 0) {
        return -1;
    }
    return granted;
}

Socket udp_open(int port, int nonblock) {
    Endpoint local;
    sock_make_addr(&local, nullptr, port);
    const SOCKET s = socket(AF_INET, SOCK_DGRAM, 0);
    if (s == INVALID_SOCKET) {
        return -2;
    }
    if (nonblock) {
        sock_nonblock(static_cast<Socket>(s));
    }
    if (bind(s, as_sockaddr(&local), sizeof local) != 0) {
        closesocket(s);
        return -2;
    }
    return static_cast<Socket>(s);
}

int udp_port_check(int port) {
    Endpoint local;
    sock_make_addr(&local, nullptr, port);
    const SOCKET s = socket(AF_INET, SOCK_DGRAM, 0);
    if (s == INVALID_SOCKET) {
        return kPortFailed;
    }
    const int bound = bind(s, as_sockaddr(&local), sizeof local);
    const int error = WSAGetLastError();
    closesocket(s);
    if (bound == 0) {
        return kPortFree;
    }
    if (error == WSAEADDRINUSE) {
        return kPortInUse;
    }
    return error == WSAEACCES ? kPortDenied : kPortFailed;
}

void sock_close(Socket s) {
    closesocket(as_socket(s));
}

int udp_recv_from(Socket s, void* buffer, int size, Endpoint* from) {
    int length = sizeof *from;
    const int n = recvfrom(as_socket(s), static_cast<char*>(buffer), size, 0,
                           reinterpret_cast<sockaddr*>(from), &length);
    if (n != SOCKET_ERROR) {
        return n;
    }
    // These concern one datagram (or none), not the socket: the caller may go on.
    switch (WSAGetLastError()) {
        case WSAEWOULDBLOCK:
        case WSAETIMEDOUT:
        case WSAEINTR:
        case WSAEMSGSIZE:
        case WSAECONNRESET:
        case WSAENETRESET:
            return -1;
        default:
            return -2;
    }
}

int udp_send_to(Socket s, const void* data, int length, const Endpoint* to) {
    return sendto(as_socket(s), static_cast<const char*>(data), length, 0, as_sockaddr(to),
                  sizeof *to);
}

int tcp_send(Socket s, const void* data, int length) {
    return send(as_socket(s), static_cast<const char*>(data), length, 0);
}

int sock_wait_readable(Socket s, int ms) {
    return wait_for(s, false, ms);
}

int sock_wait_writable(Socket s, int ms) {
    return wait_for(s, true, ms);
}

int sock_local_port(Socket s) {
    Endpoint local = {};
    int length = sizeof local;
    if (getsockname(as_socket(s), reinterpret_cast<sockaddr*>(&local), &length) != 0) {
        return 0;
    }
    int port = 0;
    sock_split_addr(&local, nullptr, &port);
    return port;
}

int tcp_connected_port(Socket s) {
    return sock_local_port(s);  // a failed connection has no local endpoint
}

Socket tcp_connect_start(const Endpoint* to) {
    const SOCKET s = socket(AF_INET, SOCK_STREAM, 0);
    if (s == INVALID_SOCKET) {
        return -1;
    }
    sock_nonblock(static_cast<Socket>(s));
    if (connect(s, as_sockaddr(to), sizeof *to) != 0 && WSAGetLastError() != WSAEWOULDBLOCK) {
        closesocket(s);
        return -1;
    }
    return static_cast<Socket>(s);
}
