// received_queue.h: datagrams that the channel's receive thread has taken off the socket and
// that wait, oldest first, for the thread that runs their handler.
#pragma once

#include "channel.h"

// Room for a fleet's burst of replies while the taking thread is busy (a command to every
// phone is still being sent, say); when full, the rest waits in the socket's buffer.
constexpr int kReceivedQueueSlots = 1024;

struct ReceivedDatagram {
    char address[16];  // the sender's numeric address text
    int length;
    char data[kDatagramMax + 1];  // terminated: one writable byte beyond length
};

// Before the first put; later calls change nothing.
void received_queue_init();
// Puts a copy at the back. 1 when the queue was idle, so the caller has it taken (one wake-up
// for the whole batch that follows); 0 when a taker is due already; -1 when full (nothing put).
int received_queue_put(const char* address, const char* data, int length);
// Takes the oldest into out: 1. 0 when the queue is empty, which makes it idle.
int received_queue_take(ReceivedDatagram* out);
// Drops every datagram and makes the queue idle: for when no taker will come any more.
void received_queue_reset();
