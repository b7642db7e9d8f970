// discover_cmd.cpp: "kvxctl discover": prints the telephones that answer a discovery.
#include <cstdio>
#include <string>

#include "channel.h"
#include "cli_options.h"
#include "commands.h"
#include "device_list.h"
#include "fleet.h"
#include "inventory.h"
#include "ui.h"

namespace {

const char kUsage[] =
    "usage: kvxctl discover [--target TARGET]... [--rate N] [--wait MS] [--json | --csv | --long]\n"
    "\n"
    "Broadcasts a discovery request on every IPv4 interface and prints the address of each\n"
    "KVX-350RT that answers, one per line, in the order of the utility's device list. A phone\n"
    "that answers on several paths is listed once.\n"
    "\n"
    "  --wait MS          how long to collect answers after the last request, in milliseconds\n"
    "                     (default 2000)\n"
    "  --json             print {\"devices\": [\"192.168.1.20\", ...], \"sent\": N,\n"
    "                     \"last_ms\": N, \"phones\": [...]}: per phone its address, how the\n"
    "                     request reached it (broadcast, directed broadcast or unicast), the\n"
    "                     milliseconds it took to answer and every key and value of its reply\n"
    "  --csv              the same per phone as comma-separated values with a header line\n"
    "  --long             address and version in columns\n";

const char kExitStatus[] =
    "\n"
    "Exit status: 0 when a telephone was found, 1 when none answered, 2 for bad arguments,\n"
    "3 when UDP port 10000 is in use.\n";

enum { kWait, kJson, kCsv, kLong, kTarget, kRate, kOptionCount };
const CliOption kOptions[kOptionCount] = {{"wait", true},  {"json", false}, {"csv", false},
                                          {"long", false}, kTargetOption,   kRateOption};

}  // namespace

int run_discover(int argc, char* const* argv) {
    ParsedArgs args;
    if (const int parsed = parse_command(argc, argv, kOptions, kOptionCount, kUsage,
                                         (std::string(kReachUsage) + kExitStatus).c_str(), &args);
        parsed != kArgsOk) {
        return parsed;
    }
    int wait_ms = kDefaultWaitMs;
    if (args.target_count > 0) {
        fprintf(stderr, "kvxctl: discover takes no addresses\n");
        return kExitUsage;
    }
    Reach reach;
    if ((args.values[kWait] && parse_wait(args.values[kWait], &wait_ms) != 0) ||
        read_reach(&args, kRate, &reach) != 0) {
        return kExitUsage;
    }
    const bool json = args.values[kJson] != nullptr;
    const bool csv = args.values[kCsv] != nullptr;
    const bool columns = args.values[kLong] != nullptr;
    if (json + csv + columns > 1) {
        fprintf(stderr, "kvxctl: choose one of --json, --csv and --long\n");
        return kExitUsage;
    }
    if (const int status = fleet_start(true); status != kExitOk) {
        return status;
    }
    // Plain discovery stays exactly the broadcast it always was.
    const PageWindow master = fleet_master_page();
    const bool inventory_wanted = json || csv || columns || !reach.targets.empty();
    Inventory inventory;
    const int count = inventory_wanted ? discover_inventory(master, kMasterListId, reach, true,
                                                            wait_ms, &inventory)
                                       : fleet_discover(master, kMasterListId, wait_ms);
    if (json || csv || columns) {
        fputs((json  ? inventory_json(inventory)
               : csv ? inventory_csv(inventory)
                     : inventory_columns(inventory))
                  .c_str(),
              stdout);
    } else {
        for (int i = 0; i < count; ++i) {
            char address[kEntrySize];
            ui_list_get(master, kMasterListId, i, address, sizeof address);
            printf("%s\n", address);
        }
    }
    fflush(stdout);
    fleet_stop();
    if (count <= 0) {
        fprintf(stderr, "kvxctl: no phone found\n");
        return kExitDevice;
    }
    return kExitOk;
}
