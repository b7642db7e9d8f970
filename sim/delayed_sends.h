// delayed_sends.h: the phone's queue of datagrams held back by a delay fault, each sent from
// its channel's socket once it falls due.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "sim_socket.h"
#include "tftp_packet.h"

enum class SendChannel { kCommand, kListen, kTransfer };

struct DelayedSend {
    int64_t due;
    SendChannel channel;
    int transfer_id;  // the transfer whose socket sends it, for kTransfer
    sockaddr_in to;
    Packet bytes;
    std::string note;  // event logged when it goes out
};

using DelayedSends = std::vector<DelayedSend>;

// Takes the sends due at now out of the queue, in the order they were queued.
DelayedSends take_due_sends(DelayedSends* queue, int64_t now);
// When the first queued send falls due; INT64_MAX when none is queued.
int64_t next_send_due(const DelayedSends& queue);
// Whether a send of the transfer is still held back.
bool sends_held_for(const DelayedSends& queue, int transfer_id);
