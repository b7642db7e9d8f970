// sys_win32.cpp: locks, semaphores, threads, sleeping and the clock on Windows.
#include <process.h>
#include <windows.h>

#include <ctime>

#include "../lock_storage.h"
#include "../platform.h"

struct Lock {
    void* storage;
    CRITICAL_SECTION section;
};

static_assert(CLOCKS_PER_SEC == 1000, "clock() must count milliseconds");

namespace {

void __cdecl run_routine(void* routine) {
    reinterpret_cast<void (*)()>(routine)();
}

HANDLE as_handle(Semaphore* sema) {
    return reinterpret_cast<HANDLE>(sema);
}

}  // namespace

Lock* lock_create() {
    Lock* lock = place_aligned<Lock>();
    if (lock) {
        InitializeCriticalSection(&lock->section);
    }
    return lock;
}

void lock_delete(Lock* lock) {
    if (!lock) {
        return;
    }
    DeleteCriticalSection(&lock->section);
    release_aligned(lock);
}

void lock_enter(Lock* lock) {
    EnterCriticalSection(&lock->section);
}

void lock_leave(Lock* lock) {
    LeaveCriticalSection(&lock->section);
}

Semaphore* sema_create() {
    return reinterpret_cast<Semaphore*>(CreateSemaphoreA(nullptr, 0, kSemaMax, nullptr));
}

void sema_release(Semaphore* sema) {
    ReleaseSemaphore(as_handle(sema), 1, nullptr);
}

void sema_close(Semaphore* sema) {
    CloseHandle(as_handle(sema));
}

int sema_wait(Semaphore* sema, int ms) {
    switch (WaitForSingleObject(as_handle(sema), ms == 0 ? INFINITE : static_cast<DWORD>(ms))) {
        case WAIT_OBJECT_0:
            return 0;
        case WAIT_TIMEOUT:
            return 1;
        default:
            return -1;
    }
}

int thread_start(void (*routine)()) {
    const uintptr_t thread = _beginthread(run_routine, 0, reinterpret_cast<void*>(routine));
    return thread == static_cast<uintptr_t>(-1) ? -1 : 0;
}

void sleep_ms(int ms) {
    Sleep(static_cast<DWORD>(ms));
}

void sleep_tick() {
    Sleep(10);
}

int32_t clock_now() {
    const auto now = static_cast<int32_t>(clock());
    return now == 0 ? 1 : now;
}
