// transfers.h: kvxctl's file transfers: the check of UDP port 70, and uploads and downloads
// through the transfer worker with one result line per telephone.
#pragma once

#include "cli_options.h"

// The arguments that every upload to telephones takes: the command's own words, then
// "[--wait MS] (--all | ADDRESS...)".
struct UploadArgs {
    ParsedArgs parsed;  // its targets are the addresses
    const char* words[2];
    bool all;
    int wait_ms;
};
// kArgsOk when the command is to go on; otherwise the exit status to end with, after
// the usage for -h or --help, or after saying what is wrong. what names the missing words.
int parse_upload_args(int argc, char* const* argv, const char* usage, int word_count,
                      const char* what, UploadArgs* out);
// The arguments of a transfer with one device: exactly word_count words, the device's address
// first, and no options. kArgsOk to go on, or the exit status to end with; usage and
// usage_tail make the text for -h or --help.
int parse_device_args(int argc, char* const* argv, const char* usage, const char* usage_tail,
                      int word_count, const char** words, const char* what);
// The end of every upload command's usage: options, output and exit status.
extern const char kUploadUsageTail[];

// The whole run of an upload command: the checks of UDP port 70 and of the file's size, the
// targets (discovered with all), then local uploaded as remote to each in turn with the
// progress bar, and "ADDRESS --- OK" or "ADDRESS --- FAIL" printed after each. kExitOk when
// every upload succeeded, else another exit status.
int fleet_upload(const char* local, const char* remote, bool all, const char* const* targets,
                 int target_count, int wait_ms);

// Downloads remote from one device into local and prints the device's result line. An exit
// status.
int fleet_download(const char* device, const char* remote, const char* local);

// 0 when the file can be opened and read, -1 after saying plainly why not.
int check_readable(const char* path);
// 0 when a download may write the file (tried by opening it to append), -1 after saying why
// not.
int check_writable(const char* path);
