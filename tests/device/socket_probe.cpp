// socket_probe.cpp: this program's recvfrom stands in for the system's, which it calls, failing
// the next receives when asked to and counting them.
#ifdef _WIN32
#include <winsock.h>
#else
#include <dlfcn.h>
#include <sys/socket.h>

#include <cerrno>
#endif

#include <atomic>

#include "socket_probe.h"

namespace {

std::atomic<int> failures{0};
std::atomic<bool> failures_fatal{false};
std::atomic<int> calls{0};

bool take_failure() {
    ++calls;
    int left = failures;
    while (left > 0 && !failures.compare_exchange_weak(left, left - 1)) {
    }
    return left > 0;
}

}  // namespace

#ifdef _WIN32
static int PASCAL probe_recvfrom(SOCKET s, char* buffer, int size, int flags, sockaddr* from,
                                 int* length) {
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
// The back end calls recvfrom through its import slot, which this program defines.
extern "C" {
void* __imp_recvfrom = reinterpret_cast<void*>(probe_recvfrom);
}
#else
extern "C" ssize_t recvfrom(int fd, void* buffer, size_t size, int flags, sockaddr* from,
                            socklen_t* length) {
    if (take_failure()) {
        errno = failures_fatal ? ENOTSOCK : ECONNREFUSED;
        return -1;
    }
    using Real = ssize_t (*)(int, void*, size_t, int, sockaddr*, socklen_t*);
    static const auto real = reinterpret_cast<Real>(dlsym(RTLD_NEXT, "recvfrom"));
    return real(fd, buffer, size, flags, from, length);
}
#endif

void probe_fail_receives(int count, bool fatal) {
    failures_fatal = fatal;
    failures = count;
}

int probe_receive_calls() {
    return calls;
}
