// command_cipher.cpp: RC4 as published, keyed afresh for every message.
#include "command_cipher.h"

#include <cstring>
#include <utility>

int rc4_crypt(uint8_t* buffer, const char* key, int length) {
    const size_t key_length = strlen(key);
    if (length <= 0 || key_length == 0) {
        return 0;
    }
    uint8_t state[256];
    for (int i = 0; i < 256; ++i) {
        state[i] = static_cast<uint8_t>(i);
    }
    uint8_t j = 0;
    for (int i = 0; i < 256; ++i) {
        j = static_cast<uint8_t>(j + state[i] + static_cast<uint8_t>(key[i % key_length]));
        std::swap(state[i], state[j]);
    }
    uint8_t i = 0;
    j = 0;
    for (int n = 0; n < length; ++n) {
        i = static_cast<uint8_t>(i + 1);
        j = static_cast<uint8_t>(j + state[i]);
        std::swap(state[i], state[j]);
        buffer[n] ^= state[static_cast<uint8_t>(state[i] + state[j])];
    }
    return length;
}

int build_command_frame(const char* prefix, char* payload, CommandFrame* frame) {
    frame->bytes[0] = 0;
    frame->length = 0;
    // Measured before scrambling: scrambled bytes may be 0.
    const size_t n = strlen(payload);
    if (n + 2 > sizeof frame->bytes) {
        return -1;
    }
    auto* bytes = reinterpret_cast<uint8_t*>(payload);
    rc4_crypt(bytes, kModelId, static_cast<int>(n));
    memcpy(frame->bytes, prefix, 2);
    memcpy(frame->bytes + 2, bytes, n);
    frame->length = static_cast<int32_t>(n + 2);
    return frame->length;
}
