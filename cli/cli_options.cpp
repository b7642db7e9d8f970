// cli_options.cpp: option parsing and shared value checks for kvxctl.
#include "cli_options.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "ascii_text.h"
#include "targets.h"

namespace {

int find_option(const char* name, size_t length, const CliOption* options, int option_count) {
    for (int i = 0; i < option_count; ++i) {
        if (strlen(options[i].name) == length && strncmp(options[i].name, name, length) == 0) {
            return i;
        }
    }
    return -1;
}

}  // namespace

int parse_args(int argc, char* const* argv, const CliOption* options, int option_count,
               ParsedArgs* out) {
    memset(out, 0, sizeof *out);
    if (option_count > kOptionMax) {
        fprintf(stderr, "kvxctl: a command with more than %d options\n", kOptionMax);
        return -1;
    }
    for (int i = 0; i < argc; ++i) {
        const char* word = argv[i];
        if (strcmp(word, "-h") == 0 || strcmp(word, "--help") == 0) {
            out->help = true;
            continue;
        }
        if (strncmp(word, "--", 2) != 0 || word[2] == '\0') {
            if (word[0] == '-' && word[1] != '\0') {
                fprintf(stderr, "kvxctl: unknown option %s\n", word);
                return -1;
            }
            if (out->target_count == kTargetMax) {
                fprintf(stderr, "kvxctl: more than %d addresses\n", kTargetMax);
                return -1;
            }
            out->targets[out->target_count++] = word;
            continue;
        }
        const char* name = word + 2;
        const char* equals = strchr(name, '=');
        const size_t length = equals ? static_cast<size_t>(equals - name) : strlen(name);
        const int index = find_option(name, length, options, option_count);
        if (index < 0) {
            fprintf(stderr, "kvxctl: unknown option --%.*s\n", static_cast<int>(length), name);
            return -1;
        }
        if (out->values[index] && !options[index].repeatable) {
            fprintf(stderr, "kvxctl: --%s given twice\n", options[index].name);
            return -1;
        }
        if (!options[index].takes_value) {
            if (equals) {
                fprintf(stderr, "kvxctl: --%s takes no value\n", options[index].name);
                return -1;
            }
            out->values[index] = "";
        } else if (equals) {
            out->values[index] = equals + 1;
        } else if (i + 1 < argc) {
            out->values[index] = argv[++i];
        } else {
            fprintf(stderr, "kvxctl: --%s needs a value\n", options[index].name);
            return -1;
        }
        if (options[index].repeatable) {
            if (out->repeated_count == kTargetMax) {
                fprintf(stderr, "kvxctl: --%s given more than %d times\n", options[index].name,
                        kTargetMax);
                return -1;
            }
            out->repeated[out->repeated_count++] = out->values[index];
        }
    }
    return 0;
}

int take_words(ParsedArgs* args, int n, const char** out, const char* what) {
    if (args->target_count < n) {
        fprintf(stderr, "kvxctl: give %s\n", what);
        return -1;
    }
    for (int i = 0; i < n; ++i) {
        out[i] = args->targets[i];
    }
    args->target_count -= n;
    memmove(args->targets, args->targets + n,
            static_cast<size_t>(args->target_count) * sizeof args->targets[0]);
    return 0;
}

int parse_wait(const char* text, int* ms) {
    char* end = nullptr;
    const long value = strtol(text, &end, 10);
    if (!*text || *end || value < 0 || value > 600000) {
        fprintf(stderr, "kvxctl: --wait %s: give milliseconds from 0 to 600000\n", text);
        return -1;
    }
    *ms = static_cast<int>(value);
    return 0;
}

int pick_entry(const char* text, const char* const* entries, int count) {
    for (int i = 0; i < count; ++i) {
        const size_t length = strlen(text);
        if (strlen(entries[i]) == length && compare_ignoring_case(text, entries[i], length) == 0) {
            return i;
        }
    }
    return -1;
}

int check_targets(const ParsedArgs* args, bool all) {
    // The targets of --target, the one repeatable option, add to either.
    if ((all && args->target_count > 0) ||
        (!all && args->target_count == 0 && args->repeated_count == 0)) {
        fprintf(stderr,
                "kvxctl: give --all or the addresses of the telephones (not both), or "
                "--target\n");
        return -1;
    }
    for (int i = 0; i < args->target_count; ++i) {
        if (!is_device_address(args->targets[i])) {
            fprintf(stderr, "kvxctl: %s is not the IPv4 address of one telephone\n",
                    args->targets[i]);
            return -1;
        }
    }
    return 0;
}
