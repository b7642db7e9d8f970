// backend.h: the few socket-library calls that the portable address code needs from a back end.
#pragma once

#include <cstdint>

// Resolves a host name to the dotted-quad text of its first IPv4 address (16 bytes out).
// 0 on success, -1 when the name cannot be resolved.
int backend_resolve(const char* host, char* text_out);
// The socket library's inet_addr: network-order address, all ones for a malformed text.
uint32_t backend_inet_addr(const char* text);
// Adds the directed broadcast address of an interface address and its netmask (both network
// order) to list unless it is already there, is the limited broadcast or the subnet is too
// narrow to have one. The new count.
int broadcast_list_add(uint32_t* list, int count, int max, uint32_t address, uint32_t mask);
