// remote_names.h: the names files have on a telephone, and the banner slots. Shared by the
// pages and kvxctl, which both send and fetch these files.
#pragma once

enum Tone { kToneHold = 0, kToneRing = 1 };

constexpr char kStationListDownloadName[] = "getmp3cfg.###";  // the list a telephone gives
constexpr char kStationListUploadName[] = "mp3.cfg";          // the list a telephone takes

constexpr int kBannerSlotCount = 6;
// The slots as the Banner page lists them and kvxctl takes them: "1" to "6".
extern const char* const kBannerSlotNames[kBannerSlotCount];

// "hold.mp3" or "ring.mp3".
const char* tone_remote_name(int tone);
// "1.bmp" to "6.bmp" for slot 0 to 5; a slot outside them is taken as the first.
const char* banner_slot_remote_name(int slot);
