// sim_socket.cpp: BSD sockets bound to one phone's address, and its broadcast listener.
#include "sim_socket.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

int open_nonblocking_udp(std::string* error) {
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        *error = std::string("socket: ") + strerror(errno);
    }
    return fd;
}

// Name of the interface that holds the address; empty when none does.
std::string interface_of(const sockaddr_in& address) {
    ifaddrs* all = nullptr;
    if (getifaddrs(&all) != 0) {
        return "";
    }
    std::string name;
    for (const ifaddrs* entry = all; entry; entry = entry->ifa_next) {
        if (entry->ifa_addr && entry->ifa_addr->sa_family == AF_INET &&
            reinterpret_cast<const sockaddr_in*>(entry->ifa_addr)->sin_addr.s_addr ==
                address.sin_addr.s_addr) {
            name = entry->ifa_name;
            break;
        }
    }
    freeifaddrs(all);
    return name;
}

}  // namespace

bool sim_make_addr(const std::string& address, int port, sockaddr_in* out) {
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<uint16_t>(port));
    if (inet_pton(AF_INET, address.c_str(), &addr.sin_addr) != 1) {
        return false;
    }
    *out = addr;
    return true;
}

std::string sim_host_text(const sockaddr_in& addr) {
    char text[INET_ADDRSTRLEN];
    inet_ntop(AF_INET, &addr.sin_addr, text, sizeof text);
    return text;
}

std::string sim_addr_text(const sockaddr_in& addr) {
    return sim_host_text(addr) + ":" + std::to_string(ntohs(addr.sin_port));
}

bool sim_same_endpoint(const sockaddr_in& a, const sockaddr_in& b) {
    return a.sin_addr.s_addr == b.sin_addr.s_addr && a.sin_port == b.sin_port;
}

int sim_udp_bind(const sockaddr_in& local, std::string* error) {
    const int fd = open_nonblocking_udp(error);
    if (fd < 0) {
        return -1;
    }
    if (bind(fd, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
        *error = "bind " + sim_addr_text(local) + ": " + strerror(errno);
        close(fd);
        return -1;
    }
    return fd;
}

int sim_udp_broadcast_listener(const sockaddr_in& address, int port, std::string* error) {
    const std::string device = interface_of(address);
    if (device.empty()) {
        *error = sim_host_text(address) + " is not an address of any interface here";
        return -1;
    }
    const int fd = open_nonblocking_udp(error);
    if (fd < 0) {
        return -1;
    }
    const int on = 1;
    sockaddr_in any_broadcast{};
    sim_make_addr("255.255.255.255", port, &any_broadcast);
    // Bound to the limited broadcast address, the socket hears broadcasts only; bound to the
    // device, only those of the phone's own segment.
    if (setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) != 0 ||
        setsockopt(fd, SOL_SOCKET, SO_BINDTODEVICE, device.c_str(),
                   static_cast<socklen_t>(device.size())) != 0 ||
        bind(fd, reinterpret_cast<const sockaddr*>(&any_broadcast), sizeof any_broadcast) != 0) {
        *error = "broadcast listener on " + device + " port " + std::to_string(port) + ": " +
                 strerror(errno);
        close(fd);
        return -1;
    }
    return fd;
}

int sim_local_port(int fd) {
    sockaddr_in local{};
    socklen_t size = sizeof local;
    if (getsockname(fd, reinterpret_cast<sockaddr*>(&local), &size) != 0) {
        return 0;
    }
    return ntohs(local.sin_port);
}

long sim_recv(int fd, uint8_t* buffer, size_t size, sockaddr_in* from) {
    socklen_t from_size = sizeof *from;
    *from = sockaddr_in{};
    const ssize_t got =
        recvfrom(fd, buffer, size, MSG_TRUNC, reinterpret_cast<sockaddr*>(from), &from_size);
    return got < 0 ? -1 : static_cast<long>(got);
}

void sim_send(int fd, const void* bytes, size_t length, const sockaddr_in& to) {
    // A lost datagram is what UDP promises anyway; the peer re-sends.
    sendto(fd, bytes, length, 0, reinterpret_cast<const sockaddr*>(&to), sizeof to);
}

void sim_close(int fd) {
    if (fd >= 0) {
        close(fd);
    }
}
