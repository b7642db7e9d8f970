// discover_cmd.cpp: "kvxctl discover": prints the telephones that answer a discovery.
#include <cstdio>

#include "channel.h"
#include "cli_options.h"
#include "commands.h"
#include "device_list.h"
#include "fleet.h"
#include "ui.h"

namespace {

const char kUsage[] =
    "usage: kvxctl discover [--wait MS] [--json]\n"
    "\n"
    "Broadcasts a discovery request on every IPv4 interface and prints the address of each\n"
    "KVX-350RT that answers, one per line, in the order of the utility's device list.\n"
    "\n"
    "  --wait MS   how long to collect answers, in milliseconds (default 2000)\n"
    "  --json      print {\"devices\": [\"192.168.1.20\", ...]} instead\n"
    "\n"
    "Exit status: 0 when a telephone was found, 1 when none answered, 2 for bad arguments,\n"
    "3 when UDP port 10000 is in use.\n";

enum { kWait, kJson, kOptionCount };
const CliOption kOptions[kOptionCount] = {{"wait", true}, {"json", false}};

}  // namespace

int run_discover(int argc, char* const* argv) {
    ParsedArgs args;
    if (const int parsed = parse_command(argc, argv, kOptions, kOptionCount, kUsage, "", &args);
        parsed != kArgsOk) {
        return parsed;
    }
    int wait_ms = kDefaultWaitMs;
    if (args.target_count > 0) {
        fprintf(stderr, "kvxctl: discover takes no addresses\n");
        return kExitUsage;
    }
    if (args.values[kWait] && parse_wait(args.values[kWait], &wait_ms) != 0) {
        return kExitUsage;
    }
    const bool json = args.values[kJson] != nullptr;
    if (const int status = fleet_start(true); status != kExitOk) {
        return status;
    }
    const PageWindow master = fleet_master_page();
    const int count = fleet_discover(master, kMasterListId, wait_ms);
    if (json) {
        printf("{\"devices\": [");
    }
    for (int i = 0; i < count; ++i) {
        char address[kEntrySize];
        ui_list_get(master, kMasterListId, i, address, sizeof address);
        if (json) {
            // Addresses are dotted quads: nothing in them needs escaping.
            printf("%s\"%s\"", i > 0 ? ", " : "", address);
        } else {
            printf("%s\n", address);
        }
    }
    if (json) {
        printf("]}\n");
    }
    fflush(stdout);
    fleet_stop();
    if (count <= 0) {
        fprintf(stderr, "kvxctl: no phone found\n");
        return kExitDevice;
    }
    return kExitOk;
}
