// bitmap_check_fuzz.cpp: the banner bitmap check on any file (the MP3 check reads only the size).
#include <cstring>

#include "file_checks.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // A banner's header, byte by byte: "BM", width 128 and height 64 as 32-bit little-endian
    // numbers at 18 and 22, 1 bit per pixel at 28, no compression at 30.
    const bool banner = size >= 54 && memcmp(data, "BM", 2) == 0 &&
                        memcmp(data + 18, "\x80\0\0\0\x40\0\0\0", 8) == 0 &&
                        memcmp(data + 28, "\1\0\0\0\0\0", 6) == 0;
    const FileCheck bitmap = bitmap_check(fuzz_file("banner.bmp", data, size));
    fuzz_require(bitmap.caption && bitmap.message, "a check has a caption and a message");
    fuzz_require((bitmap.result == kCheckPassed) == banner,
                 "exactly the 128 x 64 monochrome uncompressed bitmaps pass");
    fuzz_require(bitmap.result == kCheckPassed || bitmap.result == kCheckRefused,
                 "a readable file is passed or refused");
    return 0;
}
