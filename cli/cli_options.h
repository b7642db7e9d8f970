// cli_options.h: kvxctl's argument parsing and the value checks that its commands share.
#pragma once

// One option of a command: "--name VALUE", "--name=VALUE", or a bare "--flag".
struct CliOption {
    const char* name;  // without the leading "--"
    bool takes_value;
    bool repeatable = false;  // every value is kept in ParsedArgs::repeated, in order
};

constexpr int kOptionMax = 16;
constexpr int kTargetMax = 256;

struct ParsedArgs {
    // By the option's index: its value, "" for a flag given, or null when not given.
    const char* values[kOptionMax];
    const char* targets[kTargetMax];  // the arguments that are not options, in order
    int target_count;
    const char* repeated[kTargetMax];  // the values of the command's repeatable option
    int repeated_count;
    bool help;  // -h or --help anywhere
};

// Parses argv[0..argc) (the words after the command's name). 0, or -1 after printing why.
int parse_args(int argc, char* const* argv, const CliOption* options, int option_count,
               ParsedArgs* out);

// Moves the first n arguments that are not options (the command's own words, such as a file
// name) into out, in order, leaving the rest as targets. 0, or -1 after printing that the
// words named in what are missing.
int take_words(ParsedArgs* args, int n, const char** out, const char* what);

// A waiting time in milliseconds, 0 to 600000. 0, or -1 after printing why.
int parse_wait(const char* text, int* ms);

// The index of the entry that equals text, letters compared without regard to case; -1.
int pick_entry(const char* text, const char* const* entries, int count);

// The targets of a command: --all or at least one address, not both, either of them or
// neither with --target; every address one that a telephone can have. 0, or -1 after printing
// why.
int check_targets(const ParsedArgs* args, bool all);
