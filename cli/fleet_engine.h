// fleet_engine.h: kvxctl's runs over many telephones. A command says what to do for one phone
// (or for a set of phones at once); the engine does the rest: the run options, parallel work,
// retries, the progress line, the result lines, the summary, the JSON document and the log.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "cli_options.h"

constexpr int kParallelDefault = 8;
constexpr int kParallelMax = 64;
constexpr int kRetryMax = 100;

// What happened at one phone in one attempt.
struct PhoneOutcome {
    std::string result;  // "OK", "FAIL", a command's reply word ("DENIED", ...) or "no reply"
    std::string reason;  // why it is not OK; empty for OK
    int64_t bytes = 0;   // file bytes moved
    std::string file;    // for the log, when the phone's file is not the run's
    std::string sha256;
};

// Counts the bytes that a run has moved, for its progress line.
struct ByteMeter;
// Adds bytes to the meter (null: nothing) and redraws the progress line now and then.
void meter_add(ByteMeter* meter, int64_t bytes);

// What a command does for one phone; called on any thread, at most once at a time per phone.
using PhoneAction = std::function<PhoneOutcome(const std::string& address, ByteMeter* meter)>;
// What a command does for several phones at once: one outcome per address, in their order.
using BatchAction =
    std::function<std::vector<PhoneOutcome>(const std::vector<std::string>& addresses)>;

// The options that every command over phones takes, after its own. Their indexes in a
// command's option table start at first.
enum RunOption {
    kOptParallel,
    kOptRetry,
    kOptJson,
    kOptLog,
    kOptOnlyFailed,
    kOptDryRun,
    kRunOptionCount
};
extern const CliOption kRunOptions[kRunOptionCount];
// The usage lines of those options; with_parallel for commands that transfer to many phones.
const char* run_options_usage(bool with_parallel);

struct RunSettings {
    std::string command;  // as the log names it: "hold", "banner", "stations put", ...
    int parallel = kParallelDefault;
    int retry = 0;
    bool json = false;
    std::string log;          // empty: no log
    std::string only_failed;  // empty: the targets are given
    bool dry_run = false;
    std::string file;    // the run's file, for the log; empty for commands
    std::string sha256;  // its digest
    std::string what;    // what a dry run would send, for its lines ("hold.mp3, 3000 bytes")
};

// Reads the run options from a command's parsed arguments (its table holds kRunOptions from
// index first on). 0, or -1 after saying what is wrong.
int read_run_options(const ParsedArgs* args, int first, RunSettings* out);

// The targets when --only-failed is given: the phones whose latest result for the command in
// the log is not OK, in the log's order of first appearance. 0, or -1 after saying why not.
int only_failed_targets(const RunSettings* run, std::vector<std::string>* out);

// Runs action for every target, up to run->parallel at once, retrying the failures; prints
// and records everything. The exit status: kExitOk when every phone ended OK.
int fleet_run_each(const RunSettings* settings, const std::vector<std::string>& targets,
                   const PhoneAction& action);
// The same for a command that reaches its phones all at once.
int fleet_run_batch(const RunSettings* settings, const std::vector<std::string>& targets,
                    const BatchAction& action);
