// command_cipher.h: RC4 scrambling of command payloads and the two-character command frame.
#pragma once

#include <cstdint>

// The model identifier; also the key that scrambles every command payload.
constexpr const char kModelId[] = "KVX-350RT";

constexpr int kFrameCapacity = 256;

struct CommandFrame {
    uint8_t bytes[kFrameCapacity];
    int32_t length;
};

// Scrambles (or unscrambles) length bytes in place with RC4 under the key text.
// Returns length, or 0 when length is 0 or less.
int rc4_crypt(uint8_t* buffer, const char* key, int length);

// Empties the frame, scrambles the payload text in place and frames it behind prefix ("@ " or
// "# "). Returns the frame length, or -1 (frame left empty) when it would not fit the frame.
int build_command_frame(const char* prefix, char* payload, CommandFrame* frame);
