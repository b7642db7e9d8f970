// transfers.cpp: uploads and downloads of kvxctl, one at a time through the transfer worker.
#include "transfers.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "device_list.h"
#include "fleet.h"
#include "headless.h"
#include "platform.h"
#include "progress_bar.h"
#include "reply_parse.h"
#include "tftp_client.h"
#include "transfer_worker.h"
#include "ui.h"

namespace {

constexpr int kTargetListId = 1;

enum { kAll, kWait, kUploadOptionCount };
const CliOption kUploadOptions[kUploadOptionCount] = {{"all", false}, {"wait", true}};

Semaphore* finished = nullptr;
std::atomic<int> outcome{0};

void on_done(PageWindow, int result) {
    outcome = result;
    sema_release(finished);
}

void worker_begin() {
    finished = sema_create();
    transfer_start();
}

void worker_end() {
    transfer_stop();
    sema_close(finished);
    finished = nullptr;
}

// Runs one job on the worker and waits for its completion. 1 success, -1 failure.
int run_job(bool upload, PageWindow page, const char* device, const char* first,
            const char* second) {
    const int submitted = upload ? submit_upload(page, on_done, device, first, second)
                                 : submit_download(page, on_done, device, first, second);
    if (submitted != 0) {
        return -1;
    }
    sema_wait(finished, 0);
    return outcome.load();
}

void print_result(const char* device, int result) {
    printf("%s --- %s\n", device, result == 1 ? "OK" : "FAIL");
    fflush(stdout);
}

// The worker's fields hold 255 characters. 0, or -1 after saying which text is too long.
int check_lengths(const char* local, const char* remote) {
    const char* long_one = strlen(local) >= kNameTextSize    ? local
                           : strlen(remote) >= kNameTextSize ? remote
                                                             : nullptr;
    if (long_one) {
        fprintf(stderr, "kvxctl: %.40s...: names and paths have at most %d characters\n", long_one,
                kNameTextSize - 1);
        return -1;
    }
    return 0;
}

// kExitOk when the file can be sent whole, kExitUsage after saying why not.
int check_upload_size(const char* local) {
    std::error_code error;
    const uintmax_t size = std::filesystem::file_size(local, error);
    if (error) {
        fprintf(stderr, "kvxctl: cannot read %s: %s\n", local, error.message().c_str());
        return kExitUsage;
    }
    if (size > static_cast<uintmax_t>(kTftpFileLimit)) {
        // The client would send the first 5,000,000 bytes and call that success.
        fprintf(stderr, "kvxctl: %s has %ju bytes; at most %d can be sent\n", local, size,
                static_cast<int>(kTftpFileLimit));
        return kExitUsage;
    }
    if (size == 0) {
        fprintf(stderr, "kvxctl: %s is empty: nothing is sent, so each upload fails\n", local);
    }
    return kExitOk;
}

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

// Each device of the page's list in turn. kExitOk when every upload succeeded.
int upload_to_list(PageWindow page, int list_id, const char* local, const char* remote) {
    worker_begin();
    int status = kExitOk;
    const int count = ui_list_count(page, list_id);
    for (int i = 0; i < count; ++i) {
        char entry[kEntrySize];
        char device[kEntrySize];
        if (ui_list_get(page, list_id, i, entry, sizeof entry) <= 0 ||
            first_token(entry, device, sizeof device) <= 0) {
            continue;
        }
        progress_bar_label(device);
        const int result = run_job(true, page, device, local, remote);
        print_result(device, result);
        if (result != 1) {
            status = kExitDevice;
        }
    }
    worker_end();
    return status;
}

}  // namespace

const char kUploadUsageTail[] =
    "  --all       discover the telephones and upload to every one of them\n"
    "  --wait MS   how long to collect discovery answers, in milliseconds (default 2000)\n"
    "\n"
    "On a terminal a progress bar shows each upload. Prints one line per telephone:\n"
    "\"ADDRESS --- OK\" or \"ADDRESS --- FAIL\". Files go from UDP port 70 over TFTP.\n"
    "Exit status: 0 when every upload succeeded, 1 when one failed or no telephone was\n"
    "found, 2 for bad arguments or a file that is refused, 3 when UDP port 70 (or, with\n"
    "--all, 10000) cannot be bound.\n";

int parse_upload_args(int argc, char* const* argv, const char* usage, int word_count,
                      const char* what, UploadArgs* out) {
    ParsedArgs* args = &out->parsed;
    if (const int parsed = parse_command(argc, argv, kUploadOptions, kUploadOptionCount, usage,
                                         kUploadUsageTail, args);
        parsed != kArgsOk) {
        return parsed;
    }
    out->all = args->values[kAll] != nullptr;
    out->wait_ms = kDefaultWaitMs;
    if (take_words(args, word_count, out->words, what) != 0 || check_targets(args, out->all) != 0 ||
        (args->values[kWait] && parse_wait(args->values[kWait], &out->wait_ms) != 0)) {
        return kExitUsage;
    }
    return kArgsOk;
}

int parse_device_args(int argc, char* const* argv, const char* usage, const char* usage_tail,
                      int word_count, const char** words, const char* what) {
    ParsedArgs args;
    if (const int parsed = parse_command(argc, argv, nullptr, 0, usage, usage_tail, &args);
        parsed != kArgsOk) {
        return parsed;
    }
    if (take_words(&args, word_count, words, what) != 0) {
        return kExitUsage;
    }
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

int fleet_upload(const char* local, const char* remote, bool all, const char* const* targets,
                 int target_count, int wait_ms) {
    if (check_lengths(local, remote) != 0 || check_upload_size(local) != kExitOk) {
        return kExitUsage;
    }
    if (const int status = fleet_start(all); status != kExitOk) {
        return status;
    }
    int status = transfer_port_check();
    if (status == kExitOk) {
        const PageWindow page = headless_page_create();
        status = kExitDevice;
        if (fleet_targets(page, kTargetListId, all, targets, target_count, wait_ms) > 0) {
            status = upload_to_list(page, kTargetListId, local, remote);
        }
        headless_page_destroy(page);
    }
    fleet_stop();
    return status;
}

int fleet_download(const char* device, const char* remote, const char* local) {
    if (check_lengths(local, remote) != 0) {
        return kExitUsage;
    }
    if (const int status = fleet_start(false); status != kExitOk) {
        return status;
    }
    int status = transfer_port_check();
    if (status == kExitOk) {
        worker_begin();
        const int result = run_job(false, nullptr, device, remote, local);
        worker_end();
        print_result(device, result);
        status = result == 1 ? kExitOk : kExitDevice;
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
