// command_run.cpp: device commands over telephones, one pass of the fleet engine at a time.
#include "command_run.h"

#include <cstdio>
#include <cstring>
#include <map>

#include "device_list.h"
#include "fleet.h"
#include "ui.h"

namespace {

// The reply word of each answered entry of the page's list, by address.
std::map<std::string, std::string> replies(PageWindow page, int list_id) {
    std::map<std::string, std::string> words;
    const int count = ui_list_count(page, list_id);
    for (int i = 0; i < count; ++i) {
        char entry[kEntrySize];
        if (ui_list_get(page, list_id, i, entry, sizeof entry) <= 0) {
            continue;
        }
        if (const char* mark = strstr(entry, " --- ")) {
            words[std::string(entry, static_cast<size_t>(mark - entry))] = mark + 5;
        }
    }
    return words;
}

}  // namespace

const char* command_usage_tail() {
    static const std::string text =
        fleet_options_usage(false) +
        "\n"
        "Prints one line per telephone: \"ADDRESS --- RESULT\" with the word the telephone\n"
        "answered (OK when it took the command), or \"ADDRESS --- no reply\"; a summary goes to\n"
        "standard error.\n"
        "Exit status: 0 when every telephone answered OK, 1 when one did not or none was found,\n"
        "2 for bad arguments or field values, 3 when UDP port 10000 is in use.\n";
    return text.c_str();
}

int read_command_args(const ParsedArgs* args, int first, const char* command, FleetArgs* out) {
    if (args->values[first + kArgFirstRun + kOptParallel]) {
        fprintf(stderr,
                "kvxctl: --parallel is for transfers: a command goes to every phone at "
                "once\n");
        return -1;
    }
    return read_fleet_args(args, first, command, out);
}

int command_run(PageWindow page, int list_id, const CommandFrame* frame, const FleetArgs* args) {
    if (const int status = fleet_start(true); status != kExitOk) {
        return status;
    }
    std::vector<std::string> targets;
    int status = gather_targets(args, page, list_id, &targets);
    if (status == kArgsOk) {
        const int wait_ms = args->wait_ms;
        status = fleet_run_batch(&args->run, targets, [&](const std::vector<std::string>& to) {
            std::vector<const char*> given;
            given.reserve(to.size());
            for (const std::string& address : to) {
                given.push_back(address.c_str());
            }
            fleet_targets(page, list_id, false, given.data(), static_cast<int>(given.size()),
                          nullptr, wait_ms);
            fleet_command(page, list_id, frame, wait_ms);
            std::map<std::string, std::string> words = replies(page, list_id);
            std::vector<PhoneOutcome> outcomes;
            for (const std::string& address : to) {
                const auto found = words.find(address);
                outcomes.push_back(
                    PhoneOutcome{found == words.end() ? "no reply" : found->second, "", 0, "", ""});
            }
            return outcomes;
        });
    }
    fleet_stop();
    return status;
}
