// socket_probe.h: test access to the socket library beneath the channel: failing its next
// receives, counting them, and binding a peer to a chosen local address.
#pragma once

#include "platform.h"

// The next count receives fail, as a reset reported for an earlier send does, or (fatal) as a
// socket that has gone away does.
void probe_fail_receives(int count, bool fatal);
// Receives attempted so far in this program, failed ones included.
int probe_receive_calls();
// A non-blocking UDP socket bound to address and port (0: any port), or -1.
Socket probe_udp_bind(const char* address, int port);
