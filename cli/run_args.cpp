// run_args.cpp: the targets and run options of kvxctl's commands over telephones.
#include "run_args.h"

#include <cstdio>

#include "device_list.h"
#include "fleet.h"
#include "reply_parse.h"
#include "ui.h"

const CliOption kFleetOptions[kFleetOptionCount] = {{"all", false},
                                                    {"wait", true},
                                                    kTargetOption,
                                                    kRateOption,
                                                    kRunOptions[kOptParallel],
                                                    kRunOptions[kOptRetry],
                                                    kRunOptions[kOptJson],
                                                    kRunOptions[kOptLog],
                                                    kRunOptions[kOptOnlyFailed],
                                                    kRunOptions[kOptDryRun]};

void join_options(const CliOption* own, int own_count, CliOption* out) {
    for (int i = 0; i < own_count; ++i) {
        out[i] = own[i];
    }
    for (int i = 0; i < kFleetOptionCount; ++i) {
        out[own_count + i] = kFleetOptions[i];
    }
}

std::string fleet_options_usage(bool with_parallel) {
    return std::string(
               "  --all              discover the telephones and reach every one of them\n"
               "  --wait MS          how long to wait for discovery answers (and for command\n"
               "                     replies), in milliseconds (default 2000)\n") +
           kReachUsage + run_options_usage(with_parallel);
}

bool fleet_args_discover(const FleetArgs* args) {
    return args->all || !args->reach.targets.empty();
}

int read_fleet_args(const ParsedArgs* args, int first, const char* command, FleetArgs* out) {
    const char* const* v = args->values + first;
    out->all = v[kArgAll] != nullptr;
    out->wait_ms = kDefaultWaitMs;
    out->given = args->targets;
    out->given_count = args->target_count;
    out->run.command = command;
    if (read_run_options(args, first + kArgFirstRun, &out->run) != 0 ||
        read_reach(args, first + kArgRate, &out->reach) != 0 ||
        (v[kArgWait] && parse_wait(v[kArgWait], &out->wait_ms) != 0)) {
        return -1;
    }
    if (out->run.only_failed.empty()) {
        return check_targets(args, out->all);
    }
    if (out->all || args->target_count > 0 || args->repeated_count > 0) {
        fprintf(stderr,
                "kvxctl: --only-failed takes its targets from the log: give neither --all, "
                "--target nor addresses\n");
        return -1;
    }
    return 0;
}

int gather_targets(const FleetArgs* args, PageWindow page, int list_id,
                   std::vector<std::string>* out) {
    const RunSettings* run = &args->run;
    std::vector<std::string> logged;
    std::vector<const char*> given(args->given, args->given + args->given_count);
    if (!run->only_failed.empty()) {
        if (only_failed_targets(run, &logged) != 0) {
            return kExitUsage;
        }
        if (logged.empty()) {
            fprintf(stderr, "kvxctl: no phone failed %s in %s\n", run->command.c_str(),
                    run->only_failed.c_str());
            return kExitOk;
        }
        given.clear();
        for (const std::string& address : logged) {
            given.push_back(address.c_str());
        }
    }
    if (fleet_targets(page, list_id, args->all, given.data(), static_cast<int>(given.size()),
                      &args->reach, args->wait_ms) <= 0) {
        return kExitDevice;
    }
    out->clear();
    const int count = ui_list_count(page, list_id);
    for (int i = 0; i < count; ++i) {
        char entry[kEntrySize];
        char address[kEntrySize];
        if (ui_list_get(page, list_id, i, entry, sizeof entry) > 0 &&
            first_token(entry, address, sizeof address) > 0) {
            out->emplace_back(address);
        }
    }
    return kArgsOk;
}
