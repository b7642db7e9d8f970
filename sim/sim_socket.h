// sim_socket.h: the IPv4 UDP sockets of the simulated phones, each bound to one phone's own
// address (the shared platform layer binds to any address, which many phones in one process
// cannot share).
#pragma once

#include <netinet/in.h>

#include <cstddef>
#include <cstdint>
#include <string>

// Address and port (host order) to a socket address; false when the text is not a dotted quad.
bool sim_make_addr(const std::string& address, int port, sockaddr_in* out);
// "a.b.c.d:port".
std::string sim_addr_text(const sockaddr_in& addr);
// "a.b.c.d".
std::string sim_host_text(const sockaddr_in& addr);
bool sim_same_endpoint(const sockaddr_in& a, const sockaddr_in& b);

// Non-blocking UDP socket bound to address:port (port 0: one the system chooses).
// The socket, or -1 with a message in error.
int sim_udp_bind(const sockaddr_in& local, std::string* error);
// Non-blocking UDP socket that receives the broadcasts to 255.255.255.255:port that arrive on
// the interface holding address; sockets of several phones may share it. -1 with a message.
int sim_udp_broadcast_listener(const sockaddr_in& address, int port, std::string* error);
// The same for broadcasts to the directed broadcast address of address's subnet (such as
// 192.168.77.255). -2 when the address has none there (loopback, a /32), -1 with a message.
int sim_udp_subnet_listener(const sockaddr_in& address, int port, std::string* error);
// Local port of a bound socket (host order), 0 when unknown.
int sim_local_port(int fd);
// One datagram into buffer; its full length, even when that is more than size (the rest is
// lost). -1 when nothing is waiting or the receive failed.
long sim_recv(int fd, uint8_t* buffer, size_t size, sockaddr_in* from);
void sim_send(int fd, const void* bytes, size_t length, const sockaddr_in& to);
void sim_close(int fd);
