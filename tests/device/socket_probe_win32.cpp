// socket_probe_win32.cpp: the back end calls recvfrom through its import slot; this program
// defines that slot itself, pointing at a stand-in that calls Winsock's recvfrom.
#include <winsock.h>

#include <atomic>

#include "socket_probe.h"

namespace {

std::atomic<int> failures{0};
std::atomic<bool> failures_fatal{false};
std::atomic<int> calls{0};

bool take_failure() {
    int left = failures;
    while (left > 0 && !failures.compare_exchange_weak(left, left - 1)) {
    }
    return left > 0;
}

int PASCAL probe_recvfrom(SOCKET s, char* buffer, int size, int flags, sockaddr* from,
                          int* length) {
    ++calls;
    if (take_failure()) {
        // Wine never reports a reset on UDP; Windows does after an ICMP port unreachable.
        WSASetLastError(failures_fatal ? WSAENOTSOCK : WSAECONNRESET);
        return SOCKET_ERROR;
    }
    using Real = int(PASCAL*)(SOCKET, char*, int, int, sockaddr*, int*);
    static const auto real = reinterpret_cast<Real>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("wsock32.dll"), "recvfrom")));
    return real(s, buffer, size, flags, from, length);
}

}  // namespace

extern "C" {
void* __imp_recvfrom = reinterpret_cast<void*>(probe_recvfrom);
}

void probe_fail_receives(int count, bool fatal) {
    failures_fatal = fatal;
    failures = count;
}

int probe_receive_calls() {
    return calls;
}
