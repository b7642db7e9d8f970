// net_posix.cpp: IPv4 sockets over BSD sockets.
#include <arpa/inet.h>
#include <fcntl.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "../backend.h"
#include "../platform.h"

namespace {

const sockaddr* as_sockaddr(const Endpoint* ep) {
    return reinterpret_cast<const sockaddr*>(ep);
}

int wait_for(Socket s, short events, int ms) {
    pollfd entry = {static_cast<int>(s), events, 0};
    int ready;
    do {
        ready = poll(&entry, 1, ms < 0 ? -1 : ms);
    } while (ready < 0 && errno == EINTR);
    if (ready < 0) {
        return -1;
    }
    return ready > 0 ? 1 : 0;
}

// The local address that a datagram to 255.255.255.255 leaves from: connecting a UDP socket
// picks the route that sending would take, and sends nothing. 0 when there is no such route.
uint32_t limited_broadcast_source() {
    const int s = socket(AF_INET, SOCK_DGRAM, 0);
    if (s < 0) {
        return 0;
    }
    const int on = 1;
    setsockopt(s, SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
    Endpoint to;
    sock_make_addr(&to, "255.255.255.255", 9);
    Endpoint local = {};
    socklen_t length = sizeof local;
    uint32_t source = 0;
    if (connect(s, as_sockaddr(&to), sizeof to) == 0 &&
        getsockname(s, reinterpret_cast<sockaddr*>(&local), &length) == 0) {
        source = local.address;
    }
    close(s);
    return source;
}

}  // namespace

int sock_init() {
    tcp_cx_init();
    return 0;
}

void sock_fin() {
    tcp_cx_fin();
}

int backend_resolve(const char* host, char* text_out) {
    addrinfo hints = {};
    hints.ai_family = AF_INET;
    addrinfo* found = nullptr;
    if (getaddrinfo(host, nullptr, &hints, &found) != 0 || !found) {
        return -1;
    }
    const auto* in = reinterpret_cast<const sockaddr_in*>(found->ai_addr);
    inet_ntop(AF_INET, &in->sin_addr, text_out, INET_ADDRSTRLEN);
    freeaddrinfo(found);
    return 0;
}

uint32_t backend_inet_addr(const char* text) {
    return inet_addr(text);
}

const char* sock_addr_text(const Endpoint* ep) {
    thread_local char text[INET_ADDRSTRLEN];
    in_addr address;
    address.s_addr = ep->address;
    return inet_ntop(AF_INET, &address, text, sizeof text);
}

void sock_nonblock(Socket s) {
    const int flags = fcntl(static_cast<int>(s), F_GETFL, 0);
    fcntl(static_cast<int>(s), F_SETFL, flags | O_NONBLOCK);
}

int sock_recv_timeout(Socket s, int ms) {
    timeval limit = {};
    limit.tv_sec = ms / 1000;
    limit.tv_usec = static_cast<suseconds_t>(ms % 1000) * 1000;
    return setsockopt(static_cast<int>(s), SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit) == 0 ? 0
                                                                                               : -1;
}

int sock_set_broadcast(Socket s) {
    const int on = 1;
    return setsockopt(static_cast<int>(s), SOL_SOCKET, SO_BROADCAST, &on, sizeof on) == 0 ? 0 : -1;
}

int sock_set_receive_buffer(Socket s, int bytes) {
    const int fd = static_cast<int>(s);
    setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &bytes, sizeof bytes);
    int granted = 0;
    socklen_t length = sizeof granted;
    if (getsockopt(fd, SOL_SOCKET, SO_RCVBUF, &granted, &length) != 0) {
        return -1;
    }
#ifdef SO_RCVBUFFORCE
    // net.core.rmem_max caps SO_RCVBUF; a process with CAP_NET_ADMIN may go past the cap.
    if (granted < bytes && setsockopt(fd, SOL_SOCKET, SO_RCVBUFFORCE, &bytes, sizeof bytes) == 0) {
        getsockopt(fd, SOL_SOCKET, SO_RCVBUF, &granted, &length);
    }
#endif
    return granted;
}

Socket udp_open(int port, int nonblock) {
    Endpoint local;
    sock_make_addr(&local, nullptr, port);
    const int s = socket(AF_INET, SOCK_DGRAM, 0);
    if (s < 0) {
        return -2;
    }
    if (nonblock) {
        sock_nonblock(s);
    }
    if (bind(s, as_sockaddr(&local), sizeof local) != 0) {
        close(s);
        return -2;
    }
    return s;
}

int udp_port_check(int port) {
    Endpoint local;
    sock_make_addr(&local, nullptr, port);
    const int s = socket(AF_INET, SOCK_DGRAM, 0);
    if (s < 0) {
        return kPortFailed;
    }
    const int bound = bind(s, as_sockaddr(&local), sizeof local);
    const int error = errno;
    close(s);
    if (bound == 0) {
        return kPortFree;
    }
    if (error == EADDRINUSE) {
        return kPortInUse;
    }
    return error == EACCES || error == EPERM ? kPortDenied : kPortFailed;
}

void sock_close(Socket s) {
    // Unlike closesocket, close alone does not wake a thread waiting on the socket.
    shutdown(static_cast<int>(s), SHUT_RDWR);
    close(static_cast<int>(s));
}

int udp_recv_from(Socket s, void* buffer, int size, Endpoint* from) {
    socklen_t length = sizeof *from;
    // MSG_TRUNC reports a datagram's real length, so one that did not fit is dropped as
    // Windows does, instead of being passed on cut short.
    const ssize_t n = recvfrom(static_cast<int>(s), buffer, static_cast<size_t>(size), MSG_TRUNC,
                               reinterpret_cast<sockaddr*>(from), &length);
    if (n > size) {
        return -1;
    }
    if (n < 0) {
        switch (errno) {
            case EAGAIN:
            case EINTR:
            case ECONNREFUSED:
            case EMSGSIZE:
                return -1;
            default:
                return -2;
        }
    }
    return static_cast<int>(n);
}

int udp_send_to(Socket s, const void* data, int length, const Endpoint* to) {
    return static_cast<int>(sendto(static_cast<int>(s), data, static_cast<size_t>(length), 0,
                                   as_sockaddr(to), sizeof *to));
}

int tcp_send(Socket s, const void* data, int length) {
    return static_cast<int>(
        send(static_cast<int>(s), data, static_cast<size_t>(length), MSG_NOSIGNAL));
}

int sock_broadcast_addrs(uint32_t* out, int max) {
    ifaddrs* all = nullptr;
    if (getifaddrs(&all) != 0) {
        return -1;
    }
    const uint32_t source = limited_broadcast_source();
    const char* limited_link = nullptr;
    for (const ifaddrs* entry = all; entry && source != 0; entry = entry->ifa_next) {
        if (entry->ifa_addr && entry->ifa_addr->sa_family == AF_INET &&
            reinterpret_cast<const sockaddr_in*>(entry->ifa_addr)->sin_addr.s_addr == source) {
            limited_link = entry->ifa_name;
            break;
        }
    }
    int count = 0;
    for (const ifaddrs* entry = all; entry; entry = entry->ifa_next) {
        const unsigned wanted = IFF_UP | IFF_RUNNING | IFF_BROADCAST;
        if (!entry->ifa_addr || entry->ifa_addr->sa_family != AF_INET || !entry->ifa_netmask ||
            (entry->ifa_flags & wanted) != wanted || (entry->ifa_flags & IFF_LOOPBACK) ||
            (limited_link && strcmp(entry->ifa_name, limited_link) == 0)) {
            continue;
        }
        const auto* address = reinterpret_cast<const sockaddr_in*>(entry->ifa_addr);
        const auto* mask = reinterpret_cast<const sockaddr_in*>(entry->ifa_netmask);
        count =
            broadcast_list_add(out, count, max, address->sin_addr.s_addr, mask->sin_addr.s_addr);
    }
    freeifaddrs(all);
    return count;
}

int sock_wait_readable(Socket s, int ms) {
    return wait_for(s, POLLIN, ms);
}

int sock_wait_writable(Socket s, int ms) {
    return wait_for(s, POLLOUT, ms);
}

int sock_local_port(Socket s) {
    Endpoint local = {};
    socklen_t length = sizeof local;
    if (getsockname(static_cast<int>(s), reinterpret_cast<sockaddr*>(&local), &length) != 0) {
        return 0;
    }
    int port = 0;
    sock_split_addr(&local, nullptr, &port);
    return port;
}

int tcp_connected_port(Socket s) {
    // A refused connection keeps its local port here; only the socket's error tells.
    int error = 0;
    socklen_t length = sizeof error;
    if (getsockopt(static_cast<int>(s), SOL_SOCKET, SO_ERROR, &error, &length) != 0 || error != 0) {
        return 0;
    }
    return sock_local_port(s);
}

Socket tcp_connect_start(const Endpoint* to) {
    const int s = socket(AF_INET, SOCK_STREAM, 0);
    if (s < 0) {
        return -1;
    }
    sock_nonblock(s);
    if (connect(s, as_sockaddr(to), sizeof *to) != 0 && errno != EINPROGRESS) {
        close(s);
        return -1;
    }
    return s;
}
