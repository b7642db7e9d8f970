// run_args.h: what every kvxctl command over telephones takes after its own words and options:
// the targets (--all, addresses, or --only-failed LOG), --wait and the run options; and the
// gathering of those targets in the order of the device list.
#pragma once

#include <string>
#include <vector>

#include "cli_options.h"
#include "fleet_engine.h"
#include "inventory.h"
#include "page_window.h"

enum {
    kArgAll,
    kArgWait,
    kArgTarget,
    kArgRate,
    kArgFirstRun,
    kFleetOptionCount = kArgFirstRun + kRunOptionCount
};
extern const CliOption kFleetOptions[kFleetOptionCount];

struct FleetArgs {
    bool all;
    int wait_ms;
    const char* const* given;  // the addresses given
    int given_count;
    Reach reach;  // --target and --rate
    RunSettings run;
};

// Whether gathering the targets needs the device channel: for --all and --target.
bool fleet_args_discover(const FleetArgs* args);

// own's count options followed by kFleetOptions, into out (own_count + kFleetOptionCount).
void join_options(const CliOption* own, int own_count, CliOption* out);
// The usage lines of --all, --wait and the run options; with_parallel for transfers.
std::string fleet_options_usage(bool with_parallel);

// Reads the options from index first of args on (args' remaining words are the addresses) and
// checks the targets. 0, or -1 after saying what is wrong.
int read_fleet_args(const ParsedArgs* args, int first, const char* command, FleetArgs* out);

// Fills the page's list with the targets (discovered with --all or --target, which need the
// channel) and
// gives their addresses in the list's order. kArgsOk to go on, or the exit status to end with
// after saying why (no phone found; no failure in the log).
int gather_targets(const FleetArgs* args, PageWindow page, int list_id,
                   std::vector<std::string>* out);
