// stations_cmd.cpp: "kvxctl stations": the I/R List page's download and upload of the
// internet-radio station list.
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <system_error>

#include "cli_options.h"
#include "commands.h"
#include "file_checks.h"
#include "fleet.h"
#include "remote_names.h"
#include "station_list.h"
#include "targets.h"
#include "tftp_client.h"
#include "transfers.h"

namespace {

const char kUsage[] =
    "usage: kvxctl stations get ADDRESS FILE [--retry N] [--json] [--log FILE] [--dry-run]\n"
    "       kvxctl stations get DIR [--wait MS] [OPTIONS] (--all | --target TARGET | ADDRESS...)\n"
    "       kvxctl stations put FILE [--verify] [--wait MS] [OPTIONS]\n"
    "                           (--all | --target TARGET | ADDRESS... | --only-failed LOG)\n"
    "       kvxctl stations put --from DIR [--verify] [--wait MS] [OPTIONS]\n"
    "                           (--all | --target TARGET | ADDRESS... | --only-failed LOG)\n"
    "\n"
    "get fetches the internet-radio station list of one telephone into FILE, as the utility's\n"
    "I/R List page downloads it; given a folder DIR (made when --all or --target is given), it\n"
    "fetches the list of every telephone into DIR/ADDRESS.cfg, several at once. put uploads the\n"
    "station list in FILE to telephones, as the page's Upload does: the stations without a\n"
    "name are dropped and the others moved up in order, at least one must be left, every URL\n"
    "must begin with \"http://\", and the list goes with DefaultStation=99. With --from DIR\n"
    "each telephone gets its own DIR/ADDRESS.cfg after the same checks; a telephone without\n"
    "one fails and is skipped. With --verify the list is fetched back after each upload and\n"
    "compared station by station; a telephone that keeps another list fails, with the first\n"
    "difference as the reason. FILE is a station list file such as get writes:\n"
    "\n"
    "  [Config]\n"
    "  Volume=5\n"
    "  DefaultStation=1\n"
    "\n"
    "  [MusicStation]\n"
    "  Name1=Radio One\n"
    "  URL1=http://radio.example.com/one\n"
    "  ... up to Name20 and URL20\n"
    "\n"
    "get prints \"ADDRESS --- OK\" or \"ADDRESS --- FAIL (reason)\"; exit status 0 success,\n"
    "1 failure, 2 bad arguments or a FILE that cannot be written, 3 when UDP port 70 cannot be\n"
    "bound.\n"
    "\n"
    "get DIR and put:\n";

enum { kFrom, kVerify, kPutOptionCount };
const CliOption kPutOptions[kPutOptionCount] = {{"from", true}, {"verify", false}};

void print_usage(FILE* to) {
    fprintf(to, "%s%s", kUsage, upload_usage_tail());
}

PhoneOutcome failed(const std::string& reason) {
    PhoneOutcome outcome;
    outcome.result = "FAIL";
    outcome.reason = reason;
    return outcome;
}

std::string backup_path(const std::string& folder, const std::string& address) {
    return (std::filesystem::path(folder) / (address + ".cfg")).string();
}

// A file of our own for a list on its way, named so that another kvxctl's (or another
// phone's) cannot be taken for it.
std::string scratch_path(const std::string& address) {
    char name[64];
    snprintf(name, sizeof name, "kvxctl-stations-%08x-%s.cfg",
             static_cast<unsigned>(std::random_device{}()), address.c_str());
    std::error_code error;
    return (std::filesystem::temp_directory_path(error) / name).string();
}

// The checks and preparation of a single upload: "" when list is ready to go, else the
// page's message; a refused URL's station goes into station.
std::string prepare(StationList* list, std::string* station) {
    int shown = -1;  // set when a station's URL is refused
    const FileCheck check = station_list_prepare(list, &shown);
    if (check.result == kCheckPassed) {
        return "";
    }
    if (shown >= 0) {
        *station = std::string("station \"") + list->name[shown] + "\" has the URL \"" +
                   list->url[shown] + "\"";
    }
    return check.message;
}

// The refusal of a list as one reason, naming the station at fault; "" when it may go.
std::string prepare_reason(StationList* list) {
    std::string station;
    std::string why = prepare(list, &station);
    if (!why.empty() && !station.empty()) {
        why += " (" + station + ")";
    }
    return why;
}

// Loads the prepared list as the bytes to send. "" or why not.
std::string load_prepared(const StationList& list, const std::string& address, UploadFile* out) {
    const std::string scratch = scratch_path(address);
    std::string why = station_list_write(&list, scratch.c_str()) == 1
                          ? load_upload(scratch.c_str(), out)
                          : "cannot write the prepared list to " + scratch;
    remove(scratch.c_str());
    return why;
}

// "" when the phone keeps the stations that were sent, else the first station that differs
// and how many do.
std::string difference(const StationList& sent, const StationList& kept) {
    const auto station = [](const StationList& list, int i) {
        return list.name[i][0] ? "\"" + std::string(list.name[i]) + "\" " + list.url[i]
                               : std::string("none");
    };
    std::string first;
    int count = 0;
    for (int i = 0; i < kStationCount; ++i) {
        if (strcmp(sent.name[i], kept.name[i]) == 0 && strcmp(sent.url[i], kept.url[i]) == 0) {
            continue;
        }
        if (count++ == 0) {
            first = "station " + std::to_string(i + 1) + ": sent " + station(sent, i) +
                    ", the phone has " + station(kept, i);
        }
    }
    return count <= 1 ? first : first + " (" + std::to_string(count) + " stations differ)";
}

// Fetches the phone's list back and compares it with what was sent; the upload's outcome
// stands when they agree, and fails with the first difference when not.
PhoneOutcome verified(PhoneOutcome sent, const StationList& list, const std::string& address,
                      int port) {
    if (sent.result != "OK") {
        return sent;
    }
    const std::string scratch = scratch_path(address);
    const PhoneOutcome fetched =
        download_from_phone(address, kStationListDownloadName, scratch.c_str(), port, false);
    StationList kept = {};
    const bool read = fetched.result == "OK" && station_list_read(&kept, scratch.c_str()) == 1;
    remove(scratch.c_str());
    const std::string why = fetched.result != "OK" ? "cannot fetch it back: " + fetched.reason
                            : !read                ? "cannot read the list fetched back"
                                                   : difference(list, kept);
    if (!why.empty()) {
        sent.result = "FAIL";
        sent.reason = "verify: " + why;
    }
    return sent;
}

int stations_get_one(int argc, char* const* argv) {
    const char* words[2];
    RunSettings run;
    run.command = "stations get";
    const int parsed = parse_device_args(argc, argv, kUsage, upload_usage_tail(), 2, words,
                                         "the address and FILE", &run);
    if (parsed != kArgsOk) {
        return parsed;
    }
    if (check_writable(words[1]) != 0) {
        return kExitUsage;
    }
    const char* local = words[1];
    run.file = local;
    run.what = std::string("a read request for ") + kStationListDownloadName + " into " + local;
    const bool digest = !run.log.empty();
    return device_transfer(&run, words[0], [local, digest](const std::string& address, ByteMeter*) {
        return download_from_phone(address, kStationListDownloadName, local, kTftpLocalPort,
                                   digest);
    });
}

// A backup: every phone's list into DIR/ADDRESS.cfg.
int stations_get_all(int argc, char* const* argv) {
    UploadArgs a;
    const int parsed = parse_upload_args(argc, argv, kUsage, 1, "the folder", "stations get", &a);
    if (parsed != kArgsOk) {
        return parsed;
    }
    const std::string folder = a.words[0];
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (!std::filesystem::is_directory(folder, error)) {
        fprintf(stderr, "kvxctl: %s is not a folder that can be made\n", folder.c_str());
        return kExitUsage;
    }
    a.fleet.run.file = folder;
    a.fleet.run.what = std::string("a read request for ") + kStationListDownloadName + " into " +
                       backup_path(folder, "ADDRESS");
    const int port = transfer_port(&a.fleet.run);
    const bool digest = !a.fleet.run.log.empty();
    return fleet_transfer(&a, [folder, port, digest](const std::string& address, ByteMeter*) {
        return download_from_phone(address, kStationListDownloadName,
                                   backup_path(folder, address).c_str(), port, digest);
    });
}

// A backup when --all or --target chooses the phones or the first word is not an address
// (it is the folder); "ADDRESS FILE" is the download of one list.
bool is_backup(int argc, char* const* argv) {
    for (int i = 0; i < argc; ++i) {
        if (strcmp(argv[i], "--all") == 0 || strncmp(argv[i], "--target", 8) == 0) {
            return true;
        }
    }
    for (int i = 0; i < argc; ++i) {
        if (argv[i][0] != '-') {
            return !is_device_address(argv[i]);
        }
        // The value after an option that takes one is not a word.
        const bool alone = strchr(argv[i], '=') != nullptr || strcmp(argv[i], "-h") == 0 ||
                           strcmp(argv[i], "--help") == 0 || strcmp(argv[i], "--json") == 0 ||
                           strcmp(argv[i], "--dry-run") == 0;
        i += alone ? 0 : 1;
    }
    return false;
}

int stations_put(int argc, char* const* argv) {
    UploadArgs a;
    bool from = false;
    for (int i = 0; i < argc; ++i) {
        from = from || strcmp(argv[i], "--from") == 0 || strncmp(argv[i], "--from=", 7) == 0;
    }
    const int parsed = parse_upload_args(argc, argv, kUsage, from ? 0 : 1, "the station list file",
                                         "stations put", &a, kPutOptions, kPutOptionCount);
    if (parsed != kArgsOk) {
        return parsed;
    }
    const bool verifying = a.parsed.values[kVerify] != nullptr;
    const int port = transfer_port(&a.fleet.run);
    if (from) {
        const std::string folder = a.parsed.values[kFrom];
        a.fleet.run.file = folder;
        a.fleet.run.what =
            std::string(kStationListUploadName) + " from " + backup_path(folder, "ADDRESS");
        // Each phone's own file, checked and prepared as a single upload's.
        return fleet_transfer(
            &a, [folder, port, verifying](const std::string& address, ByteMeter* meter) {
                const std::string path = backup_path(folder, address);
                StationList list = {};
                std::error_code error;
                if (!std::filesystem::exists(path, error)) {
                    return failed("no " + path + ", skipped");
                }
                if (station_list_read(&list, path.c_str()) != 1) {
                    return failed("cannot read " + path);
                }
                UploadFile file;
                std::string why = prepare_reason(&list);
                if (why.empty()) {
                    why = load_prepared(list, address, &file);
                }
                if (!why.empty()) {
                    return failed(path + ": " + why);
                }
                PhoneOutcome sent =
                    upload_to_phone(&file, kStationListUploadName, address, port, meter);
                sent.file = path;
                return verifying ? verified(sent, list, address, port) : sent;
            });
    }
    const char* path = a.words[0];
    StationList list = {};
    if (check_readable(path) != 0 || station_list_read(&list, path) != 1) {
        return kExitUsage;
    }
    std::string station;
    const std::string why = prepare(&list, &station);
    if (!why.empty()) {
        fprintf(stderr, "kvxctl: %s\n", why.c_str());
        if (!station.empty()) {
            fprintf(stderr, "kvxctl: %s\n", station.c_str());
        }
        return kExitUsage;
    }
    // The prepared list travels as a file of its own; the caller's file stays as it is.
    const std::string scratch = scratch_path("prepared");
    if (station_list_write(&list, scratch.c_str()) != 1) {
        fprintf(stderr, "kvxctl: cannot write the prepared list to %s\n", scratch.c_str());
        remove(scratch.c_str());
        return kExitUsage;
    }
    UploadFile loaded;
    const int status = load_for_run(scratch.c_str(), kStationListUploadName, &a.fleet.run, &loaded);
    remove(scratch.c_str());
    if (status != kExitOk) {
        return status;
    }
    // The log names the caller's file, with the digest of what is sent.
    a.fleet.run.file = path;
    return fleet_transfer(
        &a, [&loaded, &list, port, verifying](const std::string& address, ByteMeter* meter) {
            const PhoneOutcome sent =
                upload_to_phone(&loaded, kStationListUploadName, address, port, meter);
            return verifying ? verified(sent, list, address, port) : sent;
        });
}

}  // namespace

int run_stations(int argc, char* const* argv) {
    const bool help = argc == 0 || strcmp(argv[0], "-h") == 0 || strcmp(argv[0], "--help") == 0;
    if (help) {
        print_usage(argc == 0 ? stderr : stdout);
        return argc == 0 ? kExitUsage : kExitOk;
    }
    if (strcmp(argv[0], "get") == 0) {
        return is_backup(argc - 1, argv + 1) ? stations_get_all(argc - 1, argv + 1)
                                             : stations_get_one(argc - 1, argv + 1);
    }
    if (strcmp(argv[0], "put") == 0) {
        return stations_put(argc - 1, argv + 1);
    }
    fprintf(stderr, "kvxctl: stations get or stations put, not stations %s\n", argv[0]);
    return kExitUsage;
}
