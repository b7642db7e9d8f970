// channel.h: the device channel: one UDP socket on port 10000 and its receive thread, through
// which telephones are discovered and sent commands.
#pragma once

#include <cstdint>

#include "page_window.h"

constexpr int kDevicePort = 9999;
constexpr int kChannelPort = 10000;
constexpr int kDatagramMax = 2000;
// Room for the replies of a thousand phones arriving at once: the system counts a small
// datagram at up to about 2 KB of buffer.
constexpr int kReceiveBufferWanted = 2 * 1024 * 1024;

// Handlers run one at a time, in the order their datagrams arrived: on the front end's
// user-interface thread where it has one (see ui_run_on_ui_thread), else on the receive thread.
using ReceiveHandler = void (*)(PageWindow page, int list_id, const char* address, char* data,
                                int length);

// 0 closed, 1 open and idle, 2 sending, -1 the receive thread has ended.
int channel_state();

// Binds the socket and starts the receive thread. 0, or -1 (port taken, no thread, or already
// open).
int channel_open();
// The receive buffer that the open channel's socket got, as the system reports it; less than
// kReceiveBufferWanted when the system capped it (on Linux, net.core.rmem_max). -1 when unknown.
int channel_receive_buffer();
// Closes the socket and waits until the receive thread has ended.
void channel_close();

// Ends the current request: datagrams handled from now on go to no handler until the next
// request, those received before but still waiting for their handler's thread included.
// Returns once a handler that was already running has returned, so the lists it changes hold
// still. Any thread may call it, the one that runs the handlers too, but not a handler.
void channel_end_request();

// Broadcasts the discovery request "?"; replies go to on_discovery_reply with this page and
// list. 0 when sent, -1 when the channel is not open.
int discover_devices(PageWindow page, int list_id);

// The same with another receive handler: one that passes each datagram on to
// on_discovery_reply and keeps more of it first.
int discover_devices_with(PageWindow page, int list_id, ReceiveHandler handler);
// Sends the discovery request "?" to one address (numeric text) instead of broadcasting it;
// datagrams then go to handler as above. 0 when sent, -1 when the channel is not open or the
// address is not numeric.
int discover_device_at(PageWindow page, int list_id, const char* address, ReceiveHandler handler);

// Sends one command datagram to the telephone at address; its reply goes to on_command_reply
// with this page and list. Nothing is sent when the channel is not open or the address is not
// one telephone's address.
void send_command(PageWindow page, int list_id, const char* address, const uint8_t* data,
                  int length);
// The command loop of a page and of kvxctl: sends the same datagram to the address of every
// entry of the page's list that has one, from the top, without waiting for replies.
void send_command_to_list(PageWindow page, int list_id, const uint8_t* data, int length);
