// bitmap_check_fuzz.cpp: the banner bitmap check on any file (the MP3 check reads only the size).
#include <cstring>

#include "file_checks.h"
#include "fuzz_support.h"

namespace {

// The header a banner must have, byte by byte: "BM", width 128 and height 64 as 32-bit
// little-endian numbers at 18 and 22, 1 bit per pixel at 28, no compression at 30.
bool banner_header(const uint8_t* data, size_t size) {
    static const uint8_t kWidth[4] = {128, 0, 0, 0};
    static const uint8_t kHeight[4] = {64, 0, 0, 0};
    static const uint8_t kBits[2] = {1, 0};
    static const uint8_t kNoCompression[4] = {0, 0, 0, 0};
    return size >= 54 && data[0] == 'B' && data[1] == 'M' && memcmp(data + 18, kWidth, 4) == 0 &&
           memcmp(data + 22, kHeight, 4) == 0 && memcmp(data + 28, kBits, 2) == 0 &&
           memcmp(data + 30, kNoCompression, 4) == 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const FileCheck bitmap = bitmap_check(fuzz_file("banner.bmp", data, size));
    fuzz_require(bitmap.caption && bitmap.message, "a check has a caption and a message");
    fuzz_require((bitmap.result == kCheckPassed) == banner_header(data, size),
                 "exactly the 128 x 64 monochrome uncompressed bitmaps pass");
    fuzz_require(bitmap.result == kCheckPassed || bitmap.result == kCheckRefused,
                 "a readable file is passed or refused");
    return 0;
}
