// commands.h: kvxctl's commands. Each takes the words after its name and returns the exit
// status; with -h or --help it prints its usage instead.
#pragma once

struct Command {
    const char* name;
    const char* summary;
    int (*run)(int argc, char* const* argv);
};

int run_discover(int argc, char* const* argv);
int run_admin(int argc, char* const* argv);
int run_misc(int argc, char* const* argv);
int run_hold(int argc, char* const* argv);
int run_ring(int argc, char* const* argv);
int run_banner(int argc, char* const* argv);
int run_stations(int argc, char* const* argv);
int run_put(int argc, char* const* argv);
int run_get(int argc, char* const* argv);
