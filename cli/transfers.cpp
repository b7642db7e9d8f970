// transfers.cpp: kvxctl's uploads and downloads: one TFTP transfer per telephone, run through
// the fleet engine, with the reason of every failure.
#include "transfers.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <system_error>

#include "fleet.h"
#include "headless.h"
#include "platform.h"
#include "sha256.h"
#include "targets.h"
#include "tftp_client.h"

namespace {

constexpr int kTargetListId = 1;

// kExitOk when UDP port 70 can be bound now, kExitPort after saying why not.
int transfer_port_check() {
    switch (udp_port_check(kTftpLocalPort)) {
        case kPortFree:
            return kExitOk;
        case kPortInUse:
            fprintf(stderr,
                    "kvxctl: UDP port %d, from which files are transferred, is in use (is the "
                    "utility or another kvxctl transferring?)\n",
                    kTftpLocalPort);
            break;
        case kPortDenied:
            fprintf(stderr,
                    "kvxctl: not allowed to bind UDP port %d, from which files are transferred: "
                    "on Linux a port below 1024 needs root or the CAP_NET_BIND_SERVICE "
                    "capability\n",
                    kTftpLocalPort);
            break;
        default:
            fprintf(stderr, "kvxctl: cannot bind UDP port %d, from which files are transferred\n",
                    kTftpLocalPort);
            break;
    }
    return kExitPort;
}

std::string tftp_reason(const TftpTransfer* t) {
    char text[kTftpMessageSize + 64];
    switch (t->end) {
        case kTftpNoAnswer:
            return "no answer to the request, sent 3 times over 9 s";
        case kTftpStoppedAnswering:
            snprintf(text, sizeof text, "no answer after block %d", static_cast<int>(t->blocks));
            return text;
        case kTftpPeerError:
            snprintf(text, sizeof text, "ERROR %d: %s", t->peer_code, t->peer_message);
            return text;
        case kTftpUnexpected:
            snprintf(text, sizeof text, "unexpected TFTP packet, opcode %d", t->peer_code);
            return text;
        case kTftpTooLarge:
            snprintf(text, sizeof text, "the file has more than %d bytes",
                     static_cast<int>(kTftpFileLimit));
            return text;
        case kTftpNoSocket:
            if (t->local_port == 0) {
                return "no local UDP port could be bound";
            }
            snprintf(text, sizeof text, "UDP port %d could not be bound", t->local_port);
            return text;
        case kTftpUnwritable:
            return std::string("cannot write ") + t->local;
        default:
            return "the request cannot be made of this name and address";
    }
}

void count_block(const TftpTransfer* t) {
    meter_add(static_cast<ByteMeter*>(t->context), t->last_block_length);
}

}  // namespace

const char* upload_usage_tail() {
    static const std::string text =
        fleet_options_usage(true) +
        "\n"
        "Prints one line per telephone as it finishes: \"ADDRESS --- OK\" or\n"
        "\"ADDRESS --- FAIL (reason)\"; on a terminal a progress line shows the run; a summary\n"
        "goes to standard error. Files go over TFTP.\n"
        "Exit status: 0 when every upload succeeded, 1 when one failed or no telephone was\n"
        "found, 2 for bad arguments or a file that is refused, 3 when UDP port 70 (with\n"
        "--parallel 1) or, with --all, 10000 cannot be bound.\n";
    return text.c_str();
}

const char* device_usage_tail() {
    static const std::string text = std::string("\n") + run_options_usage(false) +
                                    "\n"
                                    "Prints \"ADDRESS --- OK\" or \"ADDRESS --- FAIL (reason)\".\n";
    return text.c_str();
}

int parse_upload_args(int argc, char* const* argv, const char* usage, int word_count,
                      const char* what, const char* command, UploadArgs* out, const CliOption* own,
                      int own_count) {
    ParsedArgs* args = &out->parsed;
    std::vector<CliOption> options(static_cast<size_t>(own_count + kFleetOptionCount));
    join_options(own, own_count, options.data());
    if (const int parsed =
            parse_command(argc, argv, options.data(), static_cast<int>(options.size()), usage,
                          upload_usage_tail(), args);
        parsed != kArgsOk) {
        return parsed;
    }
    if (take_words(args, word_count, out->words, what) != 0 ||
        read_fleet_args(args, own_count, command, &out->fleet) != 0) {
        return kExitUsage;
    }
    return kArgsOk;
}

int parse_device_args(int argc, char* const* argv, const char* usage, const char* usage_tail,
                      int word_count, const char** words, const char* what, RunSettings* run) {
    ParsedArgs args;
    if (const int parsed =
            parse_command(argc, argv, kRunOptions, kRunOptionCount, usage, usage_tail, &args);
        parsed != kArgsOk) {
        return parsed;
    }
    if (take_words(&args, word_count, words, what) != 0 || read_run_options(&args, 0, run) != 0) {
        return kExitUsage;
    }
    if (args.values[kOptParallel] || args.values[kOptOnlyFailed]) {
        fprintf(stderr,
                "kvxctl: a transfer with one telephone takes neither --parallel nor "
                "--only-failed\n");
        return kExitUsage;
    }
    run->parallel = 1;
    if (args.target_count > 0) {
        fprintf(stderr, "kvxctl: too many arguments from %s on\n", args.targets[0]);
        return kExitUsage;
    }
    if (!is_device_address(words[0])) {
        fprintf(stderr, "kvxctl: %s is not the IPv4 address of one telephone\n", words[0]);
        return kExitUsage;
    }
    return kArgsOk;
}

std::string load_upload(const char* path, UploadFile* out) {
    std::error_code error;
    const uintmax_t size = std::filesystem::file_size(path, error);
    char text[512];
    if (error) {
        snprintf(text, sizeof text, "cannot read %s: %s", path, error.message().c_str());
        return text;
    }
    if (size > static_cast<uintmax_t>(kTftpFileLimit)) {
        // The client would send the first 5,000,000 bytes and call that success.
        snprintf(text, sizeof text, "%s has %ju bytes; at most %d can be sent", path, size,
                 static_cast<int>(kTftpFileLimit));
        return text;
    }
    out->path = path;
    out->size = static_cast<size_t>(size);
    // Left uninitialised and read in one go: clearing 5 MB first and reading it in small
    // pieces cost a large upload more than a tenth of a second.
    out->bytes.reset(new uint8_t[out->size + 1]);
    FILE* file = fopen(path, "rb");
    const bool whole =
        file && fread(out->bytes.get(), 1, out->size + 1, file) == out->size && !ferror(file);
    const int read_error = errno;
    if (file) {
        fclose(file);
    }
    if (!whole) {
        snprintf(text, sizeof text, "cannot read %s: %s", path,
                 file ? "it changed while it was read" : strerror(read_error));
        return text;
    }
    return "";
}

int load_for_run(const char* path, const char* remote, RunSettings* run, UploadFile* out) {
    const std::string refused = load_upload(path, out);
    if (!refused.empty()) {
        fprintf(stderr, "kvxctl: %s\n", refused.c_str());
        return kExitUsage;
    }
    if (out->size == 0) {
        fprintf(stderr, "kvxctl: %s is empty: nothing is sent, so each upload fails\n", path);
    }
    run->file = path;
    // Only the log needs the digest, and 5 MB take a tenth of a second.
    if (!run->log.empty()) {
        run->sha256 = sha256_hex(out->bytes.get(), out->size);
    }
    run->what = std::string(remote) + " (" + std::to_string(out->size) + " bytes of " + path + ")";
    return kExitOk;
}

int transfer_port(const RunSettings* run) {
    return run->parallel == 1 ? kTftpLocalPort : 0;
}

PhoneOutcome upload_to_phone(const UploadFile* file, const char* remote, const std::string& address,
                             int local_port, ByteMeter* meter) {
    PhoneOutcome outcome;
    outcome.result = "FAIL";
    if (file->size == 0) {
        outcome.reason = "refused before sending: " + file->path + " is empty";
        return outcome;
    }
    TftpTransfer t = {};
    t.device = address.c_str();
    t.direction = kTftpUpload;
    t.remote = remote;
    t.mode = "octet";
    t.local_port = local_port;
    // The client only reads an upload's bytes, so every transfer of the run shares them.
    t.file = file->bytes.get();
    t.size = static_cast<int32_t>(file->size);
    t.on_sent = count_block;
    t.context = meter;
    const int result = tftp_run(&t);
    outcome.bytes = t.sent;
    if (result == 1) {
        outcome.result = "OK";
    } else {
        outcome.reason = tftp_reason(&t);
    }
    return outcome;
}

PhoneOutcome download_from_phone(const std::string& address, const char* remote, const char* local,
                                 int local_port, bool digest) {
    const std::unique_ptr<uint8_t[]> buffer(new uint8_t[kTftpFileLimit]);
    TftpTransfer t = {};
    t.device = address.c_str();
    t.direction = kTftpDownload;
    t.remote = remote;
    t.mode = "octet";
    t.local_port = local_port;
    t.file = buffer.get();
    t.capacity = kTftpFileLimit;
    t.local = local;
    PhoneOutcome outcome;
    outcome.file = local;
    const int result = tftp_run(&t);
    outcome.bytes = t.size;
    outcome.result = result == 1 ? "OK" : "FAIL";
    if (result == 1 && digest) {
        outcome.sha256 = sha256_hex(buffer.get(), static_cast<size_t>(t.size));
    } else if (result != 1) {
        outcome.reason = tftp_reason(&t);
    }
    return outcome;
}

int fleet_transfer(const UploadArgs* args, const PhoneAction& action) {
    const FleetArgs* fleet = &args->fleet;
    if (const int status = fleet_start(fleet_args_discover(fleet)); status != kExitOk) {
        return status;
    }
    const bool port_70 = transfer_port(&fleet->run) == kTftpLocalPort && !fleet->run.dry_run;
    int status = port_70 ? transfer_port_check() : kExitOk;
    if (status == kExitOk) {
        const PageWindow page = headless_page_create();
        std::vector<std::string> targets;
        status = gather_targets(fleet, page, kTargetListId, &targets);
        headless_page_destroy(page);
        if (status == kArgsOk) {
            status = fleet_run_each(&fleet->run, targets, action);
        }
    }
    fleet_stop();
    return status;
}

int device_transfer(const RunSettings* run, const char* device, const PhoneAction& action) {
    if (const int status = fleet_start(false); status != kExitOk) {
        return status;
    }
    int status = run->dry_run ? kExitOk : transfer_port_check();
    if (status == kExitOk) {
        status = fleet_run_each(run, {device}, action);
    }
    fleet_stop();
    return status;
}

int check_readable(const char* path) {
    FILE* file = fopen(path, "rb");
    int error = errno;
    if (file) {
        // A folder opens on some systems and fails only when read.
        char byte;
        const bool failed = fread(&byte, 1, 1, file) == 0 && ferror(file);
        error = errno;
        fclose(file);
        if (!failed) {
            return 0;
        }
    }
    fprintf(stderr, "kvxctl: cannot read %s: %s\n", path, strerror(error));
    return -1;
}

int check_writable(const char* path) {
    std::error_code error;
    const bool existed = std::filesystem::exists(path, error);
    // Appending changes nothing in a file that is there; a new one is removed again at once.
    FILE* file = fopen(path, "ab");
    if (!file) {
        fprintf(stderr, "kvxctl: cannot write %s: %s\n", path, strerror(errno));
        return -1;
    }
    fclose(file);
    if (!existed) {
        remove(path);
    }
    return 0;
}
