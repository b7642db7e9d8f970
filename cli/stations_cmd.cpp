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
#include "tftp_client.h"
#include "transfers.h"

namespace {

const char kUsage[] =
    "usage: kvxctl stations get ADDRESS FILE [--retry N] [--json] [--log FILE] [--dry-run]\n"
    "       kvxctl stations put FILE [--wait MS] [OPTIONS]\n"
    "                           (--all | ADDRESS... | --only-failed LOG)\n"
    "\n"
    "get fetches the internet-radio station list of one telephone into FILE, as the utility's\n"
    "I/R List page downloads it. put uploads the station list in FILE to telephones, as the\n"
    "page's Upload does: the stations without a name are dropped and the others moved up in\n"
    "order, at least one must be left, every URL must begin with \"http://\", and the list\n"
    "goes with DefaultStation=99. FILE is a station list file such as get writes:\n"
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
    "put:\n";

void print_usage(FILE* to) {
    fprintf(to, "%s%s", kUsage, upload_usage_tail());
}

int stations_get(int argc, char* const* argv) {
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

int stations_put(int argc, char* const* argv) {
    UploadArgs a;
    const int parsed =
        parse_upload_args(argc, argv, kUsage, 1, "the station list file", "stations put", &a);
    if (parsed != kArgsOk) {
        return parsed;
    }
    const char* file = a.words[0];
    StationList list = {};
    if (check_readable(file) != 0 || station_list_read(&list, file) != 1) {
        return kExitUsage;
    }
    int shown = -1;  // set when a station's URL is refused
    const FileCheck check = station_list_prepare(&list, &shown);
    if (check.result != kCheckPassed) {
        fprintf(stderr, "kvxctl: %s\n", check.message);
        if (shown >= 0) {
            fprintf(stderr, "kvxctl: station \"%s\" has the URL \"%s\"\n", list.name[shown],
                    list.url[shown]);
        }
        return kExitUsage;
    }
    // The prepared list travels as a file of its own, named so that another kvxctl's cannot
    // be taken for it; the caller's file stays as it is.
    char name[40];
    snprintf(name, sizeof name, "kvxctl-stations-%08x.cfg",
             static_cast<unsigned>(std::random_device{}()));
    std::error_code error;
    const std::string prepared = (std::filesystem::temp_directory_path(error) / name).string();
    if (error || station_list_write(&list, prepared.c_str()) != 1) {
        fprintf(stderr, "kvxctl: cannot write the prepared list to %s\n", prepared.c_str());
        remove(prepared.c_str());
        return kExitUsage;
    }
    UploadFile loaded;
    const int status =
        load_for_run(prepared.c_str(), kStationListUploadName, &a.fleet.run, &loaded);
    remove(prepared.c_str());
    if (status != kExitOk) {
        return status;
    }
    // The log names the caller's file, with the digest of what is sent.
    a.fleet.run.file = file;
    const int port = transfer_port(&a.fleet.run);
    return fleet_transfer(&a, [&loaded, port](const std::string& address, ByteMeter* meter) {
        return upload_to_phone(&loaded, kStationListUploadName, address, port, meter);
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
        return stations_get(argc - 1, argv + 1);
    }
    if (strcmp(argv[0], "put") == 0) {
        return stations_put(argc - 1, argv + 1);
    }
    fprintf(stderr, "kvxctl: stations get or stations put, not stations %s\n", argv[0]);
    return kExitUsage;
}
