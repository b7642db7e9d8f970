// delayed_sends.cpp: the queue of held-back datagrams.
#include "delayed_sends.h"

#include <algorithm>
#include <iterator>

DelayedSends take_due_sends(DelayedSends* queue, int64_t now) {
    const auto split = std::stable_partition(queue->begin(), queue->end(),
                                             [now](const DelayedSend& d) { return d.due > now; });
    DelayedSends due(std::make_move_iterator(split), std::make_move_iterator(queue->end()));
    queue->erase(split, queue->end());
    return due;
}

int64_t next_send_due(const DelayedSends& queue) {
    int64_t next = INT64_MAX;
    for (const DelayedSend& d : queue) {
        next = std::min(next, d.due);
    }
    return next;
}

bool sends_held_for(const DelayedSends& queue, int transfer_id) {
    return std::any_of(queue.begin(), queue.end(), [transfer_id](const DelayedSend& d) {
        return d.channel == SendChannel::kTransfer && d.transfer_id == transfer_id;
    });
}
