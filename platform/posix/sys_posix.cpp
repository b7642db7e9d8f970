// sys_posix.cpp: locks, semaphores, threads, sleeping and the clock on POSIX systems.
#include <pthread.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <new>
#include <thread>

#include "../lock_storage.h"
#include "../platform.h"

struct Lock {
    void* storage;
    pthread_mutex_t mutex;
};

// A counting semaphore with a ceiling, as the Windows one has.
struct Semaphore {
    std::mutex mutex;
    std::condition_variable ready;
    int count = 0;
};

namespace {

const auto process_start = std::chrono::steady_clock::now();

void* run_routine(void* routine) {
    reinterpret_cast<void (*)()>(routine)();
    return nullptr;
}

}  // namespace

Lock* lock_create() {
    Lock* lock = place_aligned<Lock>();
    if (!lock) {
        return nullptr;
    }
    // Recursive, like a critical section.
    pthread_mutexattr_t attr;
    pthread_mutexattr_init(&attr);
    pthread_mutexattr_settype(&attr, PTHREAD_MUTEX_RECURSIVE);
    pthread_mutex_init(&lock->mutex, &attr);
    pthread_mutexattr_destroy(&attr);
    return lock;
}

void lock_delete(Lock* lock) {
    if (!lock) {
        return;
    }
    pthread_mutex_destroy(&lock->mutex);
    release_aligned(lock);
}

void lock_enter(Lock* lock) {
    pthread_mutex_lock(&lock->mutex);
}

void lock_leave(Lock* lock) {
    pthread_mutex_unlock(&lock->mutex);
}

Semaphore* sema_create() {
    return new (std::nothrow) Semaphore;
}

void sema_release(Semaphore* sema) {
    if (!sema) {
        return;
    }
    std::lock_guard<std::mutex> hold(sema->mutex);
    if (sema->count < kSemaMax) {
        ++sema->count;
        sema->ready.notify_one();
    }
}

void sema_close(Semaphore* sema) {
    delete sema;
}

int sema_wait(Semaphore* sema, int ms) {
    if (!sema) {
        return -1;
    }
    std::unique_lock<std::mutex> hold(sema->mutex);
    auto available = [sema] { return sema->count > 0; };
    if (ms == 0) {
        sema->ready.wait(hold, available);
    } else if (!sema->ready.wait_for(hold, std::chrono::milliseconds(ms), available)) {
        return 1;
    }
    --sema->count;
    return 0;
}

int thread_start(void (*routine)()) {
    pthread_t thread;
    if (pthread_create(&thread, nullptr, run_routine, reinterpret_cast<void*>(routine)) != 0) {
        return -1;
    }
    pthread_detach(thread);
    return 0;
}

void sleep_ms(int ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

void sleep_tick() {
    sleep_ms(10);
}

int32_t clock_now() {
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                        std::chrono::steady_clock::now() - process_start)
                        .count();
    const auto now = static_cast<int32_t>(static_cast<uint32_t>(ms));
    return now == 0 ? 1 : now;
}
