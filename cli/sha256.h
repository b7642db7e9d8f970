// sha256.h: the SHA-256 digest (FIPS 180-4) of bytes in memory, for kvxctl's run records.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// The digest of data[0..length) as 64 lower-case hexadecimal digits.
std::string sha256_hex(const uint8_t* data, size_t length);
