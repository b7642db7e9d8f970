// channel.cpp: the device channel's socket, state, current request and receive thread, and
// the hand-over of received datagrams to the thread that runs their handlers.
#include "channel.h"

#include <atomic>

#include "device_list.h"
#include "platform.h"
#include "received_queue.h"
#include "ui.h"

namespace {

std::atomic<int32_t> state{0};
std::atomic<Socket> channel_socket{-1};
std::atomic<int32_t> receive_buffer_size{-1};

// The current request: every datagram goes to the latest handler with the latest page and list.
std::atomic<PageWindow> request_page{nullptr};
std::atomic<int32_t> request_list{0};
std::atomic<ReceiveHandler> request_handler{nullptr};
// 1 while a taker of received datagrams reads the handler and runs it (see
// channel_end_request); one taker at a time, as the queue wakes one per batch.
std::atomic<int32_t> dispatching{0};

char receive_buffer[kDatagramMax];

// Runs the handler of the moment for every datagram waiting, oldest first. A datagram counts
// as received when it is handled here: after channel_end_request it goes to no handler, after
// a new request to the new one, as one arriving then would.
void handle_received() {
    ReceivedDatagram datagram;
    while (received_queue_take(&datagram)) {
        dispatching = 1;
        const ReceiveHandler handler = request_handler;
        if (handler) {
            handler(request_page, request_list, datagram.address, datagram.data, datagram.length);
        }
        dispatching = 0;
    }
}

// The handlers change the pages' lists. Where the front end has a user-interface thread, they
// run there, a batch per wake-up, so that each list change is a call on the lists' own thread
// rather than a round trip to it from here (on Win32 a message through the window system per
// change); otherwise this thread runs them at once.
void hand_over(const char* address, const char* data, int length) {
    int put;
    while ((put = received_queue_put(address, data, length)) < 0) {
        // Full: the taker is behind; the socket's buffer holds the rest meanwhile.
        if (state == 0) {
            return;
        }
        sleep_tick();
    }
    if (put == 1 && ui_run_on_ui_thread(handle_received) != 0) {
        handle_received();
    }
}

void receive_loop() {
    const Socket s = channel_socket;  // -1 when the channel was closed before we got here
    bool wait = true;
    while (s >= 0 && state != 0) {
        if (wait && sock_wait_readable(s, -1) <= 0) {
            break;
        }
        Endpoint from;
        const int n = udp_recv_from(s, receive_buffer, kDatagramMax, &from);
        if (n == -2) {
            break;
        }
        // After a datagram the next one is taken at once: a burst of replies is drained with
        // one call per datagram (under Wine each call is a round trip to the wineserver).
        wait = n <= 0;
        // Nothing left, a failure that concerns one datagram (too long, a reset reported for
        // an earlier send, an interrupted call), or an empty one: drop it and listen on.
        if (n <= 0) {
            continue;
        }
        const char* address = sock_addr_text(&from);
        hand_over(address ? address : "", receive_buffer, n);
    }
    state = -1;
}

void close_socket() {
    const Socket s = channel_socket.exchange(-1);
    if (s >= 0) {
        sock_close(s);
    }
}

// Open and idle (or sending on another thread) to sending; false when not open. The state is
// only ever moved by compare-and-swap here, so an ended thread's -1 is never overwritten.
bool begin_send() {
    int32_t now = state;
    while (now >= 1) {
        if (state.compare_exchange_weak(now, 2)) {
            return true;
        }
    }
    return false;
}

void end_send() {
    int32_t sending = 2;
    state.compare_exchange_strong(sending, 1);
}

void set_request(PageWindow page, int list_id, ReceiveHandler handler) {
    request_page = page;
    request_list = list_id;
    request_handler = handler;
}

// A malformed numeric text comes back from sock_make_addr as 255.255.255.255 and an empty one
// as 0.0.0.0; neither names one telephone.
bool device_endpoint(const char* address, Endpoint* out) {
    if (!address || !*address || sock_make_addr(out, address, kDevicePort) != 0) {
        return false;
    }
    return out->address != 0 && out->address != 0xFFFFFFFFu;
}

}  // namespace

int channel_state() {
    return state;
}

int channel_open() {
    if (state > 0) {
        return -1;
    }
    close_socket();  // left behind by a receive thread that ended on its own
    state = 0;
    const Socket s = udp_open(kChannelPort, 1);
    if (s < 0) {
        return -1;
    }
    sock_set_broadcast(s);
    // A fleet's replies to one broadcast come in one burst; what does not fit is lost.
    receive_buffer_size = sock_set_receive_buffer(s, kReceiveBufferWanted);
    channel_socket = s;
    set_request(nullptr, 0, nullptr);  // a new channel has no request yet
    received_queue_init();
    received_queue_reset();
    state = 1;
    if (thread_start(receive_loop) != 0) {
        // Without a receive thread nothing would ever end the wait in channel_close.
        state = 0;
        close_socket();
        return -1;
    }
    return 0;
}

int channel_receive_buffer() {
    return receive_buffer_size;
}

void channel_close() {
    int32_t now = state;
    while (now > 0 && !state.compare_exchange_weak(now, 0)) {
    }
    const bool was_open = now > 0;
    close_socket();
    if (was_open) {
        while (state == 0) {
            sleep_tick();
        }
    }
    received_queue_reset();  // nothing received on a closed channel reaches a handler
}

void channel_end_request() {
    request_handler = nullptr;
    // The flag goes up before the handler is read: once it is down, a handler read before the
    // line above has returned.
    while (dispatching != 0) {
        sleep_tick();
    }
}

int discover_devices(PageWindow page, int list_id) {
    return discover_devices_with(page, list_id, on_discovery_reply);
}

int discover_devices_with(PageWindow page, int list_id, ReceiveHandler handler) {
    if (!begin_send()) {
        return -1;
    }
    set_request(page, list_id, handler);
    const Socket s = channel_socket;
    Endpoint to;
    sock_make_addr(&to, "255.255.255.255", kDevicePort);
    udp_send_to(s, "?", 1, &to);
    // The limited broadcast leaves by one interface only; phones on the others are reached
    // through their own subnets' broadcast addresses.
    uint32_t others[kBroadcastMax];
    const int count = sock_broadcast_addrs(others, kBroadcastMax);
    for (int i = 0; i < count; ++i) {
        to.address = others[i];
        udp_send_to(s, "?", 1, &to);
    }
    end_send();
    return 0;
}

int discover_device_at(PageWindow page, int list_id, const char* address, ReceiveHandler handler) {
    Endpoint to;
    if (!address || !ip_text_is_numeric(address) || !begin_send()) {
        return -1;
    }
    set_request(page, list_id, handler);
    sock_make_addr(&to, address, kDevicePort);
    udp_send_to(channel_socket, "?", 1, &to);
    end_send();
    return 0;
}

void send_command(PageWindow page, int list_id, const char* address, const uint8_t* data,
                  int length) {
    if (state <= 0) {
        return;
    }
    Endpoint to;
    if (!device_endpoint(address, &to) || !begin_send()) {
        return;
    }
    set_request(page, list_id, on_command_reply);
    udp_send_to(channel_socket, data, length, &to);
    end_send();
}

void send_command_to_list(PageWindow page, int list_id, const uint8_t* data, int length) {
    // The addresses are read before the first send: each reply replaces its entry (delete, then
    // insert) on the receive thread, and an entry read by index in between would be the next
    // one, which would get the command twice while this one went without.
    const int count = ui_list_count(page, list_id);
    if (count <= 0) {
        return;
    }
    auto* addresses = static_cast<char(*)[kEntrySize]>(
        my_malloc(static_cast<size_t>(count) * sizeof(char[kEntrySize])));
    if (!addresses) {
        return;
    }
    for (int i = 0; i < count; ++i) {
        entry_address(page, list_id, i, addresses[i], kEntrySize);
    }
    for (int i = 0; i < count; ++i) {
        if (addresses[i][0] != '\0') {
            send_command(page, list_id, addresses[i], data, length);
        }
    }
    my_free(addresses);
}
