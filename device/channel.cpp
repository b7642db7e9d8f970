// channel.cpp: the device channel's socket, state, current request and receive thread.
#include "channel.h"

#include <atomic>
#include <cstring>

#include "device_list.h"
#include "platform.h"
#include "ui.h"

namespace {

std::atomic<int32_t> state{0};
std::atomic<Socket> channel_socket{-1};
std::atomic<int32_t> receive_buffer_size{-1};

// The current request: every datagram goes to the latest handler with the latest page and list.
std::atomic<PageWindow> request_page{nullptr};
std::atomic<int32_t> request_list{0};
std::atomic<ReceiveHandler> request_handler{nullptr};
// 1 while the receive thread reads the handler and runs it (see channel_end_request).
std::atomic<int32_t> dispatching{0};

// One spare byte, so a terminator always fits behind the datagram.
char receive_buffer[kDatagramMax + 1];

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
        receive_buffer[n] = '\0';
        dispatching = 1;
        const ReceiveHandler handler = request_handler;
        if (!handler) {
            dispatching = 0;
            continue;
        }
        char address[16];
        const char* text = sock_addr_text(&from);
        strncpy(address, text ? text : "", sizeof address - 1);
        address[sizeof address - 1] = '\0';
        handler(request_page, request_list, address, receive_buffer, n);
        dispatching = 0;
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
    const int count = ui_list_count(page, list_id);
    for (int i = 0; i < count; ++i) {
        char address[kEntrySize];
        if (entry_address(page, list_id, i, address, sizeof address) > 0) {
            send_command(page, list_id, address, data, length);
        }
    }
}
