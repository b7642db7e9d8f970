// kvxctl.cpp: the command-line front end: finds KVX-350RT telephones and configures them.
#include <cstdio>
#include <cstring>

#ifdef _WIN32
#include <io.h>
#define isatty _isatty
#define fileno _fileno
#else
#include <unistd.h>
#endif

#include "commands.h"
#include "fleet.h"
#include "kvx_version.h"
#include "progress_bar.h"

namespace {

const Command kCommands[] = {
    {"discover", "list the telephones that answer a discovery broadcast", run_discover},
    {"admin", "change the administrator name and password of telephones", run_admin},
    {"misc", "set the ringer type, hold tone, banner and internet radio of telephones", run_misc},
    {"hold", "upload the music that callers on hold hear (an MP3 file)", run_hold},
    {"ring", "upload the ring tone (an MP3 file)", run_ring},
    {"banner", "upload a banner picture (a 128 x 64 monochrome bitmap)", run_banner},
    {"stations", "fetch or upload the internet-radio station list", run_stations},
    {"put", "send any file to one telephone over TFTP", run_put},
    {"get", "fetch any file from one telephone over TFTP", run_get},
};

void print_usage(FILE* to) {
    fputs(
        "usage: kvxctl COMMAND [OPTIONS]\n"
        "\n"
        "Finds KVX-350RT IP telephones on the local network and configures them.\n"
        "\n"
        "Commands:\n",
        to);
    for (const Command& command : kCommands) {
        fprintf(to, "  %-10s %s\n", command.name, command.summary);
    }
    fputs(
        "  help       show the options of a command (or run COMMAND --help)\n"
        "\n"
        "kvxctl --version prints the version.\n"
        "\n"
        "Exit status: 0 success, 1 a telephone failed or did not answer, or none was found,\n"
        "2 bad arguments, field values or files, 3 UDP port 10000 (the device channel) or 70\n"
        "(file transfers one at a time, --parallel 1) in use or not allowed.\n"
        "\n"
        "Transfers to several telephones run up to --parallel N at once (default 8), each from\n"
        "a UDP port the system chooses, so they need no privileged port.\n",
        to);
}

const Command* find_command(const char* name) {
    for (const Command& command : kCommands) {
        if (strcmp(command.name, name) == 0) {
            return &command;
        }
    }
    return nullptr;
}

}  // namespace

int main(int argc, char** argv) {
    progress_bar_setup(stdout, isatty(fileno(stdout)));
    if (argc < 2) {
        print_usage(stderr);
        return kExitUsage;
    }
    const char* name = argv[1];
    if (strcmp(name, "-h") == 0 || strcmp(name, "--help") == 0 ||
        (strcmp(name, "help") == 0 && argc == 2)) {
        print_usage(stdout);
        return kExitOk;
    }
    if (strcmp(name, "--version") == 0) {
        printf("kvxctl %s\n", KVX_VERSION);
        return kExitOk;
    }
    if (strcmp(name, "help") == 0) {
        const Command* command = find_command(argv[2]);
        if (!command) {
            fprintf(stderr, "kvxctl: no command %s\n", argv[2]);
            return kExitUsage;
        }
        char help[] = "--help";
        char* words[] = {help};
        return command->run(1, words);
    }
    const Command* command = find_command(name);
    if (!command) {
        fprintf(stderr, "kvxctl: no command %s\n\n", name);
        print_usage(stderr);
        return kExitUsage;
    }
    return command->run(argc - 2, argv + 2);
}
