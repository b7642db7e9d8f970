// tcp_watcher.cpp: the pending-connection watcher thread, which settles non-blocking TCP
// connections when they complete or run out of time.
#include <atomic>
#include <cstdio>
#include <cstring>

#include "platform.h"

namespace {

PendingConnection table[kPendingMax];
std::atomic<int32_t> count{0};
std::atomic<Semaphore*> watcher_sema{nullptr};
// Created once and kept for the life of the process: a watcher that overran its shutdown may
// still be using it after tcp_cx_fin has returned.
Lock* table_lock = nullptr;

enum class Outcome { none, failed, handed_over, connected };

void remove_locked(int index) {
    const int32_t n = count.load();
    if (index < 0 || index >= n) {
        return;
    }
    my_free(table[index].pending_data);
    for (int i = index; i + 1 < n; ++i) {
        table[i] = table[i + 1];
    }
    count.store(n - 1);
}

// Decides the fate of at most one entry; the caller runs the callbacks after the lock is gone,
// so that a callback may add a new connection.
Outcome settle_one(PendingConnection* entry) {
    const int32_t present = clock_now();
    for (int i = 0; i < count.load(); ++i) {
        *entry = table[i];
        if (tcp_cx_writable(entry->socket) != 0) {
            if (static_cast<uint32_t>(clock_elapsed(entry->start_time, present)) >=
                entry->time_limit) {
                sock_close(entry->socket);
                remove_locked(i);
                return Outcome::failed;
            }
            continue;
        }
        if (tcp_connected_port(entry->socket) == 0) {  // the connection failed
            remove_locked(i);
            sock_close(entry->socket);
            return Outcome::failed;
        }
        if (entry->on_hand_over) {
            remove_locked(i);
            return Outcome::handed_over;
        }
        if (entry->pending_data && entry->pending_length != 0) {
            tcp_send(entry->socket, entry->pending_data, entry->pending_length);
        }
        remove_locked(i);
        return Outcome::connected;
    }
    return Outcome::none;
}

void tcp_cx_thread() {
    Semaphore* sema = watcher_sema.load();
    while (count.load() >= 0 && watcher_sema.load()) {
        sema_wait(sema, count.load() != 0 ? 10 : 0);
        tcp_cx_poll();
    }
    sema_close(sema);
    watcher_sema.compare_exchange_strong(sema, nullptr);
}

}  // namespace

int tcp_cx_count() {
    return count.load();
}

void tcp_cx_init() {
    if (!table_lock) {
        table_lock = lock_create();
    }
    count.store(0);
    watcher_sema.store(sema_create());
    thread_start(tcp_cx_thread);
}

void tcp_cx_fin() {
    if (!table_lock) {
        return;  // never started
    }
    lock_enter(table_lock);
    while (count.load() > 0) {
        remove_locked(0);
    }
    count.store(-1);
    lock_leave(table_lock);
    if (Semaphore* sema = watcher_sema.load()) {
        sema_release(sema);
    }
    // Wake the thread once a second, as before, but return as soon as it has gone: polled each
    // millisecond, since a program's exit waits for this (a 10 ms tick cost kvxctl 10 ms a run).
    for (int tick = 1; tick <= 3000; ++tick) {
        if (!watcher_sema.load()) {
            return;
        }
        sleep_ms(1);
        if (tick % 1000 == 0) {
            if (Semaphore* sema = watcher_sema.load()) {
                sema_release(sema);
            }
        }
    }
    if (watcher_sema.load()) {
        printf("tcp_cx_fin: abort\n");
    }
}

int tcp_cx_add(const PendingConnection* conn) {
    PendingConnection entry = *conn;
    lock_enter(table_lock);
    const int32_t n = count.load();
    Socket s = -1;
    if (n >= 0 && n < kPendingMax) {
        s = tcp_connect_start(&entry.remote);
    }
    if (s < 0) {
        lock_leave(table_lock);
        my_free(entry.pending_data);
        return -1;
    }
    entry.socket = s;
    entry.start_time = clock_now();
    table[n] = entry;
    count.store(n + 1);
    lock_leave(table_lock);
    if (Semaphore* sema = watcher_sema.load()) {
        sema_release(sema);
    }
    return 0;
}

void tcp_cx_remove(int index) {
    lock_enter(table_lock);
    remove_locked(index);
    lock_leave(table_lock);
}

int tcp_cx_writable(Socket s) {
    return sock_wait_writable(s, 0) > 0 ? 0 : -1;
}

void tcp_cx_poll() {
    PendingConnection entry;
    lock_enter(table_lock);
    const Outcome outcome = settle_one(&entry);
    lock_leave(table_lock);
    switch (outcome) {
        case Outcome::failed:
            if (entry.on_failure) {
                entry.on_failure(entry.context, entry.socket, &entry.remote);
            }
            if (entry.on_release) {
                entry.on_release(entry.context);
            }
            break;
        case Outcome::handed_over:
            entry.on_hand_over(entry.context, entry.socket);
            break;
        case Outcome::connected:
            if (entry.on_connected) {
                entry.on_connected(entry.context, entry.socket, &entry.remote);
            } else {
                sock_close(entry.socket);
            }
            break;
        case Outcome::none:
            break;
    }
}
