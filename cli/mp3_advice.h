// mp3_advice.h: what kind of audio an MP3 file holds, read from its first MPEG audio frame
// header, and the advice when the telephones would not play it best.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

struct MpegFormat {
    const char* version;  // "MPEG-1", "MPEG-2" or "MPEG-2.5"
    int layer;            // 1 to 3
    int sample_rate;      // Hz
    const char* mode;     // "stereo", "joint stereo", "dual channel" or "mono"
};

// The format of the first MPEG audio frame in data[0..length), after an ID3v2 tag if the data
// begins with one. A header counts when the next frame's header follows where its length says
// (or the data ends there), so stray sync bytes in other data are not taken for audio. 1 when
// found, 0 when the data is not MPEG audio.
int mpeg_probe(const uint8_t* data, size_t length, MpegFormat* out);

// Empty when the data is 8 kHz mono MPEG audio; otherwise what it is, such as
// "44100 Hz stereo (MPEG-1 Layer III)" or "not MPEG audio".
std::string mp3_mismatch(const uint8_t* data, size_t length);

// Reads the start of the file and, when it is not 8 kHz mono MPEG audio, warns on standard
// error, naming what it is, with the utility's suggestion. The upload goes on either way.
void mp3_advise(const char* path);
