// socket_probe.h: test access to the socket library beneath the channel: failing its next
// receives and counting them.
#pragma once

// The next count receives fail, as a reset reported for an earlier send does, or (fatal) as a
// socket that has gone away does.
void probe_fail_receives(int count, bool fatal);
// Receives attempted so far in this program, failed ones included.
int probe_receive_calls();
