// targets.h: the addresses that --target names: an address, a range, a CIDR block or a
// file of such targets.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

constexpr int kBlockPrefixMin = 16;    // a block is at most a /16
constexpr uint32_t kRangeMax = 65536;  // and so is a range
constexpr size_t kTargetsMax =
    size_t{16} * 65536;  // addresses in all, after duplicates are dropped

// Adds the addresses (host byte order) that the targets name to out, sorted, each once. A target
// is "192.168.5.10", "192.168.5.10-200", "192.168.5.10-192.168.6.20", "10.1.2.0/24" (without
// its network and broadcast addresses, up to a /30) or "@FILE" (one target per line; blank lines
// and '#' comments are skipped; a file names no other file). 0, or -1 with what is wrong in
// error and out untouched.
int targets_expand(const char* const* targets, int count, std::vector<uint32_t>* out,
                   std::string* error);

// 1 when text is a dotted-quad IPv4 address that one telephone can have (not 0.0.0.0, not a
// broadcast to everyone), 0 otherwise.
int is_device_address(const char* text);

// Dotted-quad text of a host-order address.
std::string address_text(uint32_t address);
