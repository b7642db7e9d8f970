// remote_names.cpp: the names files have on a telephone.
#include "remote_names.h"

namespace {

const char* const kBannerRemoteNames[kBannerSlotCount] = {"1.bmp", "2.bmp", "3.bmp",
                                                          "4.bmp", "5.bmp", "6.bmp"};

}  // namespace

const char* const kBannerSlotNames[kBannerSlotCount] = {"1", "2", "3", "4", "5", "6"};

const char* tone_remote_name(int tone) {
    return tone == kToneRing ? "ring.mp3" : "hold.mp3";
}

const char* banner_slot_remote_name(int slot) {
    return kBannerRemoteNames[slot >= 0 && slot < kBannerSlotCount ? slot : 0];
}
