// file_cmds.cpp: "kvxctl hold", "ring" and "banner", the MP3 Hold/Ring and Banner pages'
// uploads, and "put" and "get", plain transfers of any file.
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "cli_options.h"
#include "commands.h"
#include "file_checks.h"
#include "fleet.h"
#include "mp3_advice.h"
#include "remote_names.h"
#include "tftp_client.h"
#include "transfers.h"

namespace {

const char kHoldUsage[] =
    "usage: kvxctl hold FILE [--wait MS] [OPTIONS] (--all | ADDRESS... | --only-failed LOG)\n"
    "\n"
    "Uploads an MP3 file of at most 102400 bytes (100 KB) to telephones as the music that a\n"
    "caller on hold hears (hold.mp3), as the utility's MP3 Hold/Ring page does. The telephones\n"
    "play 8 kHz mono MP3 files best.\n"
    "\n";

const char kRingUsage[] =
    "usage: kvxctl ring FILE [--wait MS] [OPTIONS] (--all | ADDRESS... | --only-failed LOG)\n"
    "\n"
    "Uploads an MP3 file of at most 51200 bytes (50 KB) to telephones as their ring tone\n"
    "(ring.mp3), as the utility's MP3 Hold/Ring page does. The telephones play 8 kHz mono MP3\n"
    "files best.\n"
    "\n";

const char kBannerUsage[] =
    "usage: kvxctl banner SLOT FILE [--wait MS] [OPTIONS]\n"
    "                     (--all | ADDRESS... | --only-failed LOG)\n"
    "\n"
    "Uploads a banner picture into slot SLOT (1 to 6; stored as SLOT.bmp) of telephones, as the\n"
    "utility's Banner page does. FILE must be a bitmap of 128 x 64 pixels, one bit per pixel,\n"
    "uncompressed.\n"
    "\n";

const char kPutUsage[] =
    "usage: kvxctl put ADDRESS FILE REMOTE [--retry N] [--json] [--log FILE] [--dry-run]\n"
    "\n"
    "Sends FILE to the telephone (or any TFTP server) at ADDRESS under the name REMOTE, in\n"
    "octet mode, without the checks of the utility's pages. FILE has 1 to 5000000 bytes.\n"
    "Exit status: 0 success, 1 failure, 2 bad arguments or a file too large, 3 when UDP port\n"
    "70 cannot be bound.\n";

const char kGetUsage[] =
    "usage: kvxctl get ADDRESS REMOTE FILE [--retry N] [--json] [--log FILE] [--dry-run]\n"
    "\n"
    "Fetches the file REMOTE from the telephone (or any TFTP server) at ADDRESS into FILE, in\n"
    "octet mode. Files of more than 5000000 bytes fail. FILE is written only when the whole\n"
    "file has arrived.\n"
    "Exit status: 0 success, 1 failure, 2 bad arguments or a FILE that cannot be written,\n"
    "3 when UDP port 70 cannot be bound.\n";

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

// Loads the file once and uploads it as remote to every target of the run.
int upload_run(UploadArgs* a, const char* path, const char* remote) {
    auto file = std::make_shared<UploadFile>();
    if (load_for_run(path, remote, &a->fleet.run, file.get()) != kExitOk) {
        return kExitUsage;
    }
    const std::string name = remote;
    const int port = transfer_port(&a->fleet.run);
    return fleet_transfer(a, [file, name, port](const std::string& address, ByteMeter* meter) {
        return upload_to_phone(file.get(), name.c_str(), address, port, meter);
    });
}

int run_mp3(int argc, char* const* argv, int tone) {
    UploadArgs a;
    const int parsed = parse_upload_args(argc, argv, tone == kToneRing ? kRingUsage : kHoldUsage, 1,
                                         "the MP3 file", tone == kToneRing ? "ring" : "hold", &a);
    if (parsed != kArgsOk) {
        return parsed;
    }
    const char* file = a.words[0];
    if (check_readable(file) != 0 || page_check(mp3_size_check(file, tone), file) != kExitOk) {
        return kExitUsage;
    }
    mp3_advise(file);
    return upload_run(&a, file, tone_remote_name(tone));
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
    const int parsed = parse_upload_args(argc, argv, kBannerUsage, 2,
                                         "the slot and the bitmap file", "banner", &a);
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
    return upload_run(&a, file, banner_slot_remote_name(slot));
}

int run_put(int argc, char* const* argv) {
    const char* words[3];
    RunSettings run;
    run.command = "put";
    const int parsed = parse_device_args(argc, argv, kPutUsage, device_usage_tail(), 3, words,
                                         "the address, FILE and REMOTE", &run);
    if (parsed != kArgsOk) {
        return parsed;
    }
    if (check_readable(words[1]) != 0) {
        return kExitUsage;
    }
    UploadFile file;
    if (load_for_run(words[1], words[2], &run, &file) != kExitOk) {
        return kExitUsage;
    }
    const char* remote = words[2];
    return device_transfer(&run, words[0], [&](const std::string& address, ByteMeter* meter) {
        return upload_to_phone(&file, remote, address, kTftpLocalPort, meter);
    });
}

int run_get(int argc, char* const* argv) {
    const char* words[3];
    RunSettings run;
    run.command = "get";
    const int parsed = parse_device_args(argc, argv, kGetUsage, device_usage_tail(), 3, words,
                                         "the address, REMOTE and FILE", &run);
    if (parsed != kArgsOk) {
        return parsed;
    }
    if (check_writable(words[2]) != 0) {
        return kExitUsage;
    }
    run.file = words[2];
    run.what = std::string("a read request for ") + words[1] + " into " + words[2];
    const char* remote = words[1];
    const char* local = words[2];
    return device_transfer(&run, words[0], [&](const std::string& address, ByteMeter*) {
        return download_from_phone(address, remote, local, kTftpLocalPort, !run.log.empty());
    });
}
