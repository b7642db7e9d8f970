// platform.h: allocator, locks, semaphores, threads, clock, IPv4 sockets and the
// pending-connection watcher. One API; Win32 and POSIX back ends implement it.
#pragma once

#include <cstddef>
#include <cstdint>

// ---------------------------------------------------------------- allocator

// Live bytes handed out by my_malloc and not yet freed.
extern int32_t mem_outstanding;
// Allocator operations in progress; non-zero on entry means an unprotected re-entry.
extern int32_t mem_reentry;

void mem_init();
void mem_fin();
// Each block carries its size in a 4-byte big-endian header before the returned pointer.
void* my_malloc(size_t size);
void my_free(void* ptr);

// ---------------------------------------------------------------- locks

struct Lock;  // a recursive lock (a critical section on Windows)
extern Lock* mem_lock;

Lock* lock_create();
void lock_delete(Lock* lock);
void lock_enter(Lock* lock);
void lock_leave(Lock* lock);

// ---------------------------------------------------------------- semaphores

struct Semaphore;  // unnamed counting semaphore, initial count 0, maximum 256
constexpr int32_t kSemaMax = 256;

Semaphore* sema_create();
void sema_release(Semaphore* sema);
void sema_close(Semaphore* sema);
// Waits up to ms milliseconds (0: without limit). 1 timed out, 0 obtained, -1 failed.
int sema_wait(Semaphore* sema, int ms);

// ---------------------------------------------------------------- threads and time

// Runs routine on a new thread. 0 when the thread was started, -1 when it was not.
int thread_start(void (*routine)());
void sleep_ms(int ms);
void sleep_tick();  // 10 ms, the polling pause of the channel, the TFTP client and the worker
// Milliseconds since the process started; never 0.
int32_t clock_now();
// now - start, reading clock_now itself when now is 0. Compare the result as unsigned.
int32_t clock_elapsed(int32_t start, int32_t now);

// ---------------------------------------------------------------- sockets

using Socket = std::intptr_t;  // negative: no socket

// Laid out exactly as sockaddr_in, so the back ends can pass it straight through.
struct Endpoint {
    uint16_t family;   // 2, IPv4
    uint16_t port;     // network byte order
    uint32_t address;  // network byte order
    uint8_t zero[8];
};
static_assert(sizeof(Endpoint) == 16, "Endpoint must match sockaddr_in");

constexpr int kHostTextMax = 128;  // host texts are at most 127 characters

int sock_init();  // starts the socket library, then the pending-connection watcher
void sock_fin();  // stops the watcher, then the socket library

// 0 on success, -2 when a non-numeric host cannot be resolved. Null or empty host: any address.
int sock_make_addr(Endpoint* out, const char* host, int port);
// Port in host order and the address bytes, each when asked for. 0, or -1 without address text.
int sock_split_addr(const Endpoint* ep, uint8_t* bytes_out, int* port_out);
// Dotted-quad text in a per-thread buffer, valid until the next conversion on this thread.
const char* sock_addr_text(const Endpoint* ep);
// 0 equal, -1 addresses differ, -2 same address but ports differ.
int sock_addr_cmp(const Endpoint* a, const Endpoint* b);
int ip_text_is_numeric(const char* text);
void ip_text_to_bytes(const char* text, uint8_t* out);

void sock_nonblock(Socket s);
// Makes each receive on a blocking socket wait at most ms milliseconds for a datagram; one that
// times out fails as a receive that finds nothing does. 0, or -1.
int sock_recv_timeout(Socket s, int ms);
int sock_set_broadcast(Socket s);
// Asks for a receive buffer of at least bytes. The size that the system then reports (Linux
// reports twice what it grants, the bookkeeping of each datagram included), or -1.
int sock_set_receive_buffer(Socket s, int bytes);
// Binds a UDP socket to any local address and the port. The socket, or -2.
Socket udp_open(int port, int nonblock);
// Why udp_open of the port would fail now: tried with a socket that is closed again at once.
enum PortCheck { kPortFree = 0, kPortInUse = -1, kPortDenied = -2, kPortFailed = -3 };
int udp_port_check(int port);
void sock_close(Socket s);
int udp_recv_from(Socket s, void* buffer, int size, Endpoint* from);
int udp_send_to(Socket s, const void* data, int length, const Endpoint* to);
int tcp_send(Socket s, const void* data, int length);
// A datagram to 255.255.255.255 leaves by one interface only; these reach the others.
constexpr int kBroadcastMax = 32;
// Directed broadcast addresses (network order) of the up, broadcast-capable IPv4 interfaces
// other than loopback, each once, leaving out those of the interface that a datagram to
// 255.255.255.255 leaves by (it reaches every subnet of that link already). How many were
// written (at most max), or -1 when the interfaces cannot be listed.
int sock_broadcast_addrs(uint32_t* out, int max);
// Waits up to ms milliseconds (negative: without limit). 1 ready, 0 timed out, -1 failed.
int sock_wait_readable(Socket s, int ms);
// Back-end pieces of the pending-connection watcher.
int sock_wait_writable(Socket s, int ms);
int sock_local_port(Socket s);  // 0 when the socket has no local port
// Local port of a TCP socket whose connection has settled; 0 when the connection failed.
int tcp_connected_port(Socket s);
Socket tcp_connect_start(const Endpoint* to);  // non-blocking connect in progress, or -1

// ---------------------------------------------------------------- pending-connection watcher

constexpr int kPendingMax = 1024;

struct PendingConnection {
    int32_t spare;
    Socket socket;
    Endpoint remote;
    int32_t context;
    void (*on_release)(int32_t context);
    void (*on_hand_over)(int32_t context, Socket s);
    void (*on_failure)(int32_t context, Socket s, const Endpoint* remote);
    void (*on_connected)(int32_t context, Socket s, const Endpoint* remote);
    int32_t start_time;
    uint32_t time_limit;
    int32_t pending_length;
    void* pending_data;  // from my_malloc; owned by the table
};

void tcp_cx_init();
void tcp_cx_fin();
// Starts a non-blocking connection to conn->remote and watches it. The entry's socket and
// start time are filled in here; pending_data passes to the table. 0, or -1 (table full or
// finishing, or the connection could not be started; pending_data is then released).
int tcp_cx_add(const PendingConnection* conn);
void tcp_cx_remove(int index);
int tcp_cx_writable(Socket s);  // 0 writable, -1 not
void tcp_cx_poll();
int tcp_cx_count();  // entries in use, or -1 once tcp_cx_fin has begun
