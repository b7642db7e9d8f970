// fleet.h: what kvxctl does with telephones: opens the device channel, discovers, sends one
// frame to every device of a list and reports each device's reply.
#pragma once

#include "command_cipher.h"
#include "page_window.h"

constexpr int kDefaultWaitMs = 2000;

// Exit statuses of kvxctl.
constexpr int kExitOk = 0;       // every device answered OK
constexpr int kExitDevice = 1;   // a device failed or did not answer, or none was found
constexpr int kExitUsage = 2;    // bad arguments or field values
constexpr int kExitChannel = 3;  // the device channel could not be opened

// Starts the platform services, opens the channel and makes the page that holds the master
// device list. kExitOk, or kExitChannel after saying why.
int fleet_start();
void fleet_stop();
PageWindow fleet_master_page();

// Empties the master list and the page's list, broadcasts a discovery with the page's list as
// receiver and collects answers for wait_ms. The number of devices in the page's list.
int fleet_discover(PageWindow page, int list_id, int wait_ms);

// Sends the frame to every device of the page's list, in list order, waits until each has
// answered or wait_ms has passed, and prints "address --- result" (or "--- no reply") per
// device. kExitOk when every device answered OK, kExitDevice otherwise.
int fleet_command(PageWindow page, int list_id, const CommandFrame* frame, int wait_ms);

// The whole run of a command: starts, fills the page's list with every discovered device (all)
// or with the given addresses, runs fleet_command and stops. An exit status.
int fleet_send(PageWindow page, int list_id, const CommandFrame* frame, bool all,
               const char* const* targets, int target_count, int wait_ms);

// The text of the last message box shown, after "kvxctl: ", on standard error.
void fleet_print_message();
