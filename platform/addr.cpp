// addr.cpp: endpoints and dotted-quad address texts, shared by both back ends.
#include <cstring>

#include "backend.h"
#include "platform.h"

namespace {

uint16_t to_network16(int port) {
    const auto p = static_cast<uint16_t>(port);
    uint16_t out;
    const uint8_t bytes[2] = {static_cast<uint8_t>(p >> 8), static_cast<uint8_t>(p)};
    memcpy(&out, bytes, 2);
    return out;
}

int from_network16(uint16_t value) {
    uint8_t bytes[2];
    memcpy(bytes, &value, 2);
    return (bytes[0] << 8) | bytes[1];
}

}  // namespace

int32_t clock_elapsed(int32_t start, int32_t now) {
    if (now == 0) {
        now = clock_now();
    }
    return static_cast<int32_t>(static_cast<uint32_t>(now) - static_cast<uint32_t>(start));
}

int sock_make_addr(Endpoint* out, const char* host, int port) {
    memset(out, 0, sizeof *out);
    out->family = 2;
    out->port = to_network16(port);
    if (!host || !*host) {
        return 0;
    }
    char text[kHostTextMax];
    strncpy(text, host, sizeof text - 1);
    text[sizeof text - 1] = '\0';
    if (!ip_text_is_numeric(text) && backend_resolve(text, text) != 0) {
        return -2;
    }
    // A malformed numeric text is not rejected: it becomes inet_addr's all-ones answer.
    out->address = backend_inet_addr(text);
    return 0;
}

int sock_split_addr(const Endpoint* ep, uint8_t* bytes_out, int* port_out) {
    if (port_out) {
        *port_out = from_network16(ep->port);
    }
    const char* text = sock_addr_text(ep);
    if (!text) {
        return -1;
    }
    if (bytes_out) {
        ip_text_to_bytes(text, bytes_out);
    }
    return 0;
}

int sock_addr_cmp(const Endpoint* a, const Endpoint* b) {
    uint8_t bytes_a[4] = {};
    uint8_t bytes_b[4] = {};
    int port_a = 0;
    int port_b = 0;
    sock_split_addr(a, bytes_a, &port_a);
    sock_split_addr(b, bytes_b, &port_b);
    if (memcmp(bytes_a, bytes_b, 4) != 0) {
        return -1;
    }
    return port_a == port_b ? 0 : -2;
}

int ip_text_is_numeric(const char* text) {
    if (!text || *text < '0' || *text > '9') {
        return 0;
    }
    for (; *text; ++text) {
        if ((*text < '0' || *text > '9') && *text != '.') {
            return 0;
        }
    }
    return 1;
}

void ip_text_to_bytes(const char* text, uint8_t* out) {
    for (int field = 0; field < 4; ++field) {
        unsigned value = 0;
        while (*text >= '0' && *text <= '9') {
            value = value * 10 + static_cast<unsigned>(*text - '0');
            ++text;
        }
        out[field] = static_cast<uint8_t>(value);  // low 8 bits: 256 gives 0
        const char after = *text;
        if (after == '\0') {
            return;
        }
        ++text;
        if (after != '.') {
            return;
        }
    }
}

int broadcast_list_add(uint32_t* list, int count, int max, uint32_t address, uint32_t mask) {
    uint8_t host_bits[4];
    const uint32_t inverse = ~mask;
    memcpy(host_bits, &inverse, 4);
    const uint32_t host_part = (uint32_t{host_bits[0]} << 24) | (uint32_t{host_bits[1]} << 16) |
                               (uint32_t{host_bits[2]} << 8) | host_bits[3];
    // A /31 or /32 has no broadcast address; a /0 would give the limited broadcast.
    const uint32_t broadcast = address | inverse;
    if (address == 0 || host_part < 3 || broadcast == 0xFFFFFFFFu || count >= max) {
        return count;
    }
    for (int i = 0; i < count; ++i) {
        if (list[i] == broadcast) {
            return count;
        }
    }
    list[count] = broadcast;
    return count + 1;
}
