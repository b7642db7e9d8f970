// received_queue.cpp: a ring of received datagrams behind one lock, and the flag that says
// whether a taker has been woken for them.
#include "received_queue.h"

#include <cstring>

#include "platform.h"

namespace {

Lock* queue_lock = nullptr;
ReceivedDatagram slots[kReceivedQueueSlots];
int oldest = 0;
int held = 0;
// A taker has been asked for and has not yet found the queue empty. While it is due, puts
// need no wake-up of their own: it takes them too, in order.
bool taker_due = false;

}  // namespace

void received_queue_init() {
    if (!queue_lock) {
        queue_lock = lock_create();
    }
}

int received_queue_put(const char* address, const char* data, int length) {
    if (length < 0 || length > kDatagramMax) {
        return -1;
    }
    lock_enter(queue_lock);
    if (held == kReceivedQueueSlots) {
        lock_leave(queue_lock);
        return -1;
    }
    ReceivedDatagram& slot = slots[(oldest + held) % kReceivedQueueSlots];
    strncpy(slot.address, address, sizeof slot.address - 1);
    slot.address[sizeof slot.address - 1] = '\0';
    slot.length = length;
    memcpy(slot.data, data, static_cast<size_t>(length));
    slot.data[length] = '\0';
    ++held;
    const int wake = taker_due ? 0 : 1;
    taker_due = true;
    lock_leave(queue_lock);
    return wake;
}

int received_queue_take(ReceivedDatagram* out) {
    lock_enter(queue_lock);
    if (held == 0) {
        taker_due = false;
        lock_leave(queue_lock);
        return 0;
    }
    const ReceivedDatagram& slot = slots[oldest];
    memcpy(out->address, slot.address, sizeof out->address);
    out->length = slot.length;
    memcpy(out->data, slot.data, static_cast<size_t>(slot.length) + 1);
    oldest = (oldest + 1) % kReceivedQueueSlots;
    --held;
    lock_leave(queue_lock);
    return 1;
}

void received_queue_reset() {
    if (!queue_lock) {
        return;  // never used
    }
    lock_enter(queue_lock);
    oldest = 0;
    held = 0;
    taker_due = false;
    lock_leave(queue_lock);
}
