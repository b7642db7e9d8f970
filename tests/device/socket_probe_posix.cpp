// socket_probe_posix.cpp: this program's recvfrom stands in for the C library's, which it calls.
#include <dlfcn.h>
#include <sys/socket.h>

#include <atomic>
#include <cerrno>

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

}  // namespace

extern "C" ssize_t recvfrom(int fd, void* buffer, size_t size, int flags, sockaddr* from,
                            socklen_t* length) {
    ++calls;
    if (take_failure()) {
        errno = failures_fatal ? ENOTSOCK : ECONNREFUSED;
        return -1;
    }
    using Real = ssize_t (*)(int, void*, size_t, int, sockaddr*, socklen_t*);
    static const auto real = reinterpret_cast<Real>(dlsym(RTLD_NEXT, "recvfrom"));
    return real(fd, buffer, size, flags, from, length);
}

void probe_fail_receives(int count, bool fatal) {
    failures_fatal = fatal;
    failures = count;
}

int probe_receive_calls() {
    return calls;
}
