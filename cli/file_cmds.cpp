// file_cmds.cpp: "kvxctl hold", "ring" and "banner", the MP3 Hold/Ring and Banner pages'
// uploads, and "put" and "get", plain transfers of any file.
#include <cstdio>
#include <cstring>

#include "cli_options.h"
#include "commands.h"
#include "file_checks.h"
#include "fleet.h"
#include "mp3_advice.h"
#include "remote_names.h"
#include "transfers.h"

namespace {

const char kHoldUsage[] =
    "usage: kvxctl hold FILE [--wait MS] (--all | ADDRESS...)\n"
    "\n"
    "Uploads an MP3 file of at most 102400 bytes (100 KB) to telephones as the music that a\n"
    "caller on hold hears (hold.mp3), as the utility's MP3 Hold/Ring page does. The telephones\n"
    "play 8 kHz mono MP3 files best.\n"
    "\n";

const char kRingUsage[] =
    "usage: kvxctl ring FILE [--wait MS] (--all | ADDRESS...)\n"
    "\n"
    "Uploads an MP3 file of at most 51200 bytes (50 KB) to telephones as their ring tone\n"
    "(ring.mp3), as the utility's MP3 Hold/Ring page does. The telephones play 8 kHz mono MP3\n"
    "files best.\n"
    "\n";

const char kBannerUsage[] =
    "usage: kvxctl banner SLOT FILE [--wait MS] (--all | ADDRESS...)\n"
    "\n"
    "Uploads a banner picture into slot SLOT (1 to 6; stored as SLOT.bmp) of telephones, as the\n"
    "utility's Banner page does. FILE must be a bitmap of 128 x 64 pixels, one bit per pixel,\n"
    "uncompressed.\n"
    "\n";

const char kPutUsage[] =
    "usage: kvxctl put ADDRESS FILE REMOTE\n"
    "\n"
    "Sends FILE to the telephone (or any TFTP server) at ADDRESS under the name REMOTE, in\n"
    "octet mode, without the checks of the utility's pages. FILE has 1 to 5000000 bytes.\n"
    "\n"
    "Prints \"ADDRESS --- OK\" or \"ADDRESS --- FAIL\"; on a terminal a progress bar shows the\n"
    "upload. Exit status: 0 success, 1 failure, 2 bad arguments or a file too large,\n"
    "3 when UDP port 70 cannot be bound.\n";

const char kGetUsage[] =
    "usage: kvxctl get ADDRESS REMOTE FILE\n"
    "\n"
    "Fetches the file REMOTE from the telephone (or any TFTP server) at ADDRESS into FILE, in\n"
    "octet mode. Files of more than 5000000 bytes fail. FILE is written only when the whole\n"
    "file has arrived.\n"
    "\n"
    "Prints \"ADDRESS --- OK\" or \"ADDRESS --- FAIL\". Exit status: 0 success, 1 failure,\n"
    "2 bad arguments or a FILE that cannot be written, 3 when UDP port 70 cannot be bound.\n";

// kExitOk when the page's check passed; kExitUsage after its message.
int page_check(const FileCheck& check, const char* path) {
    if (check.result == kCheckPassed) {
        return kExitOk;
    }
    if (check.result == kCheckUnreadable) {
        fprintf(stderr, "kvxctl: cannot read %s\n", path);
    } else {
        fprintf(stderr, "kvxctl: %s\n", check.message);
    }
    return kExitUsage;
}

int run_mp3(int argc, char* const* argv, int tone) {
    UploadArgs a;
    const int parsed = parse_upload_args(argc, argv, tone == kToneRing ? kRingUsage : kHoldUsage, 1,
                                         "the MP3 file", &a);
    if (parsed != kArgsOk) {
        return parsed;
    }
    const char* file = a.words[0];
    if (check_readable(file) != 0 || page_check(mp3_size_check(file, tone), file) != kExitOk) {
        return kExitUsage;
    }
    mp3_advise(file);
    return fleet_upload(file, tone_remote_name(tone), a.all, a.parsed.targets,
                        a.parsed.target_count, a.wait_ms);
}

}  // namespace

int run_hold(int argc, char* const* argv) {
    return run_mp3(argc, argv, kToneHold);
}

int run_ring(int argc, char* const* argv) {
    return run_mp3(argc, argv, kToneRing);
}

int run_banner(int argc, char* const* argv) {
    UploadArgs a;
    const int parsed =
        parse_upload_args(argc, argv, kBannerUsage, 2, "the slot and the bitmap file", &a);
    if (parsed != kArgsOk) {
        return parsed;
    }
    const int slot = pick_entry(a.words[0], kBannerSlotNames, kBannerSlotCount);
    if (slot < 0) {
        fprintf(stderr, "kvxctl: banner slot %s: choose 1 to 6\n", a.words[0]);
        return kExitUsage;
    }
    const char* file = a.words[1];
    if (check_readable(file) != 0 || page_check(bitmap_check(file), file) != kExitOk) {
        return kExitUsage;
    }
    return fleet_upload(file, banner_slot_remote_name(slot), a.all, a.parsed.targets,
                        a.parsed.target_count, a.wait_ms);
}

int run_put(int argc, char* const* argv) {
    const char* words[3];
    const int parsed =
        parse_device_args(argc, argv, kPutUsage, "", 3, words, "the address, FILE and REMOTE");
    if (parsed != kArgsOk) {
        return parsed;
    }
    if (check_readable(words[1]) != 0) {
        return kExitUsage;
    }
    // words[0], the address, is the one target.
    return fleet_upload(words[1], words[2], false, words, 1, 0);
}

int run_get(int argc, char* const* argv) {
    const char* words[3];
    const int parsed =
        parse_device_args(argc, argv, kGetUsage, "", 3, words, "the address, REMOTE and FILE");
    if (parsed != kArgsOk) {
        return parsed;
    }
    if (check_writable(words[2]) != 0) {
        return kExitUsage;
    }
    return fleet_download(words[0], words[1], words[2]);
}
