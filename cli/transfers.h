// transfers.h: kvxctl's file transfers: the arguments of the upload commands, the check of UDP
// port 70, and what an upload or a download does for one telephone, run by the fleet engine.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "cli_options.h"
#include "fleet_engine.h"
#include "run_args.h"

// The arguments that every upload to telephones takes: the command's own words, then
// "[--wait MS] [run options] (--all | ADDRESS... | --only-failed LOG)".
struct UploadArgs {
    ParsedArgs parsed;
    const char* words[2];
    FleetArgs fleet;
};
// kArgsOk when the command is to go on; otherwise the exit status to end with, after
// the usage for -h or --help, or after saying what is wrong. what names the missing words;
// command names the command in the log. own are the command's own options: their values are
// out->parsed.values[0..own_count).
int parse_upload_args(int argc, char* const* argv, const char* usage, int word_count,
                      const char* what, const char* command, UploadArgs* out,
                      const CliOption* own = nullptr, int own_count = 0);
// The arguments of a transfer with one device: exactly word_count words, the device's address
// first, and the run options but --parallel and --only-failed. kArgsOk to go on, or the exit
// status to end with; usage and usage_tail make the text for -h or --help.
int parse_device_args(int argc, char* const* argv, const char* usage, const char* usage_tail,
                      int word_count, const char** words, const char* what, RunSettings* run);
// The end of every upload command's usage: options, output and exit status.
const char* upload_usage_tail();
// The end of the usage of a transfer with one device.
const char* device_usage_tail();

// A file loaded once for all the uploads of a run.
struct UploadFile {
    std::string path;
    std::unique_ptr<uint8_t[]> bytes;  // the client only reads them, so uploads share them
    size_t size = 0;
};
// Loads path. An empty string, or why the file cannot be sent ("cannot read ...", "... is
// empty", "... has N bytes; at most 5000000 can be sent").
std::string load_upload(const char* path, UploadFile* out);

// load_upload for a run that sends the file as remote: the file's name, its digest (for a log)
// and what a dry run would send go into run. kExitOk, or kExitUsage after saying why the file is
// refused.
int load_for_run(const char* path, const char* remote, RunSettings* run, UploadFile* out);

// One upload of file as remote to the telephone at address, from local_port (kTftpLocalPort or
// 0, see transfer_port), with the reason when it failed.
PhoneOutcome upload_to_phone(const UploadFile* file, const char* remote, const std::string& address,
                             int local_port, ByteMeter* meter);
// One download of remote from the telephone into local, written only when whole; with digest
// the outcome carries the SHA-256 of what arrived.
PhoneOutcome download_from_phone(const std::string& address, const char* remote, const char* local,
                                 int local_port, bool digest);
// The local port of a run's transfers: 70 for one at a time, one the system chooses otherwise.
int transfer_port(const RunSettings* run);

// The whole run of an upload command over args' targets: the checks, the targets (discovered
// with --all, or from the log with --only-failed), then action for each through the engine.
// An exit status.
int fleet_transfer(const UploadArgs* args, const PhoneAction& action);
// The whole run of a transfer with one device through the engine. An exit status.
int device_transfer(const RunSettings* run, const char* device, const PhoneAction& action);

// 0 when the file can be opened and read, -1 after saying plainly why not.
int check_readable(const char* path);
// 0 when a download may write the file (tried by opening it to append), -1 after saying why
// not.
int check_writable(const char* path);
