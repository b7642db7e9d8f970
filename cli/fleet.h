// fleet.h: what kvxctl does with telephones: opens the device channel, discovers, gathers the
// targets of a command, sends one frame to every device of a list and reports each reply.
#pragma once

#include "cli_options.h"
#include "command_cipher.h"
#include "page_window.h"

struct Reach;

constexpr int kDefaultWaitMs = 2000;

// Exit statuses of kvxctl.
constexpr int kExitOk = 0;      // every device answered OK
constexpr int kExitDevice = 1;  // a device failed or did not answer, or none was found
constexpr int kExitUsage = 2;   // bad arguments, field values or files
constexpr int kExitPort = 3;    // UDP port 10000 (the channel) or 70 (TFTP) cannot be bound
constexpr int kArgsOk = -1;     // no exit status: the command goes on

// parse_args for a command whose help text is usage followed by usage_tail: kArgsOk to go on;
// kExitOk after printing the help for -h or --help; kExitUsage after printing what is wrong and
// the help.
int parse_command(int argc, char* const* argv, const CliOption* options, int option_count,
                  const char* usage, const char* usage_tail, ParsedArgs* out);

// Starts the platform services and, with channel, opens the channel and makes the page that
// holds the master device list. kExitOk, or kExitPort after saying why.
int fleet_start(bool channel);
void fleet_stop();
PageWindow fleet_master_page();

// Empties the master list and the page's list, broadcasts a discovery with the page's list as
// receiver and collects answers for wait_ms. The number of devices in the page's list.
int fleet_discover(PageWindow page, int list_id, int wait_ms);

// Sends the frame to every device of the page's list, in list order, and waits until each has
// answered or wait_ms has passed. An entry that was answered then reads "ADDRESS --- WORD".
void fleet_command(PageWindow page, int list_id, const CommandFrame* frame, int wait_ms);

// Fills the page's list with every discovered device (all; needs the channel), the devices
// among reach's targets that answer a discovery (needs the channel), and the given addresses,
// each once. The number of entries; 0 after saying that no phone was found.
int fleet_targets(PageWindow page, int list_id, bool all, const char* const* targets,
                  int target_count, const Reach* reach, int wait_ms);

// The text of the last message box shown, after "kvxctl: ", on standard error.
void fleet_print_message();
