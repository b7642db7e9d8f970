// mp3_advice.cpp: MPEG audio frame headers (ISO 11172-3, 13818-3 and the MPEG-2.5 extension).
#include "mp3_advice.h"

#include <cstdio>
#include <cstring>
#include <vector>

namespace {

constexpr size_t kHeaderSize = 4;
constexpr size_t kReadMax =
    size_t{256} * 1024;  // the largest file a telephone takes is far smaller

// kbit/s by bitrate index: MPEG-1 layers I, II, III, then MPEG-2 and 2.5 layer I, II and III.
constexpr int kBitrates[5][15] = {
    {0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448},
    {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},
    {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320},
    {0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256},
    {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},
};
constexpr int kRates[3] = {44100, 48000, 32000};  // MPEG-1; halved for 2, quartered for 2.5
const char* const kModes[4] = {"stereo", "joint stereo", "dual channel", "mono"};

struct Header {
    MpegFormat format;
    size_t frame_length;  // 0 for free-format bitrates, whose length the header does not give
};

bool parse_header(const uint8_t* p, Header* out) {
    if (p[0] != 0xFF || (p[1] & 0xE0) != 0xE0) {
        return false;
    }
    const int version_bits = p[1] >> 3 & 3;  // 0: 2.5, 1: reserved, 2: 2, 3: 1
    const int layer_bits = p[1] >> 1 & 3;    // 0: reserved, 1: III, 2: II, 3: I
    const int bitrate_index = p[2] >> 4;
    const int rate_index = p[2] >> 2 & 3;
    if (version_bits == 1 || layer_bits == 0 || bitrate_index == 15 || rate_index == 3) {
        return false;
    }
    const int layer = 4 - layer_bits;
    const bool mpeg1 = version_bits == 3;
    const int rate = kRates[rate_index] / (mpeg1 ? 1 : version_bits == 2 ? 2 : 4);
    const int kbps = kBitrates[mpeg1 ? layer - 1 : layer == 1 ? 3 : 4][bitrate_index];
    const int padding = p[2] >> 1 & 1;
    size_t length = 0;
    if (kbps > 0) {
        const int per_frame = layer == 1 ? 12 : layer == 3 && !mpeg1 ? 72 : 144;
        length =
            static_cast<size_t>(per_frame * kbps * 1000 / rate + padding) * (layer == 1 ? 4 : 1);
    }
    out->format = {mpeg1               ? "MPEG-1"
                   : version_bits == 2 ? "MPEG-2"
                                       : "MPEG-2.5",
                   layer, rate, kModes[p[3] >> 6]};
    out->frame_length = length;
    return true;
}

// Where the audio begins: after an ID3v2 tag (its size is four 7-bit bytes; a footer adds
// ten more), or at 0.
size_t audio_start(const uint8_t* data, size_t length) {
    if (length < 10 || data[0] != 'I' || data[1] != 'D' || data[2] != '3') {
        return 0;
    }
    const size_t size = static_cast<size_t>(data[6] & 0x7F) << 21 |
                        static_cast<size_t>(data[7] & 0x7F) << 14 |
                        static_cast<size_t>(data[8] & 0x7F) << 7 | (data[9] & 0x7F);
    return 10 + size + ((data[5] & 0x10) ? 10 : 0);
}

}  // namespace

int mpeg_probe(const uint8_t* data, size_t length, MpegFormat* out) {
    for (size_t at = audio_start(data, length); at + kHeaderSize <= length; ++at) {
        Header header;
        if (!parse_header(data + at, &header)) {
            continue;
        }
        const size_t next = at + header.frame_length;
        Header following;
        const bool confirmed =
            header.frame_length > 0 &&
            (next == length ||
             (next + kHeaderSize <= length && parse_header(data + next, &following) &&
              following.format.layer == header.format.layer &&
              following.format.sample_rate == header.format.sample_rate));
        if (confirmed) {
            *out = header.format;
            return 1;
        }
    }
    return 0;
}

std::string mp3_mismatch(const uint8_t* data, size_t length) {
    MpegFormat format;
    if (!mpeg_probe(data, length, &format)) {
        return "not MPEG audio";
    }
    if (format.sample_rate == 8000 && strcmp(format.mode, "mono") == 0) {
        return "";
    }
    static const char* const kLayers[] = {"I", "II", "III"};
    return std::to_string(format.sample_rate) + " Hz " + format.mode + " (" + format.version +
           " Layer " + kLayers[format.layer - 1] + ")";
}

void mp3_advise(const char* path) {
    FILE* file = fopen(path, "rb");
    if (!file) {
        return;  // the upload's own checks say why
    }
    std::vector<uint8_t> data(kReadMax);
    data.resize(fread(data.data(), 1, data.size(), file));
    fclose(file);
    const std::string mismatch = mp3_mismatch(data.data(), data.size());
    if (!mismatch.empty()) {
        fprintf(stderr,
                "kvxctl: warning: %s is %s\nkvxctl: Suggest to use 8KHz, Mono channel mp3 "
                "file.\n",
                path, mismatch.c_str());
    }
}
