// command_run.h: the run of a device command (the Admin and Misc. pages' frames) over
// telephones through the fleet engine: each pass sends to its phones at once and collects
// their reply words.
#pragma once

#include "command_cipher.h"
#include "page_window.h"
#include "run_args.h"

// The end of a command's usage: the targets, --wait, the run options and the exit status.
const char* command_usage_tail();

// read_fleet_args for a command, which takes no --parallel. 0, or -1 after saying why.
int read_command_args(const ParsedArgs* args, int first, const char* command, FleetArgs* out);

// Sends frame to the targets of args through the page's list: starts, gathers the targets,
// runs the passes and stops. An exit status.
int command_run(PageWindow page, int list_id, const CommandFrame* frame, const FleetArgs* args);
