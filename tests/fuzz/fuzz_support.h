// fuzz_support.h: what the fuzz targets share: a failed invariant, and inputs that the code
// under test reads from a file.
#pragma once

#include <cstddef>
#include <cstdint>

// Aborts with the message when ok is false, so that libFuzzer keeps the input as a crash.
void fuzz_require(bool ok, const char* what);

// A file of this process in /dev/shm (or the temporary folder), removed when the process exits,
// with its content replaced by the bytes. Its path.
const char* fuzz_file(const char* name, const uint8_t* data, size_t size);
