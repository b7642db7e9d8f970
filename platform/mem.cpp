// mem.cpp: the tracked allocator: size headers, outstanding bytes and re-entry detection.
#include <cstdio>
#include <cstdlib>

#include "platform.h"

int32_t mem_outstanding = 0;
int32_t mem_reentry = 0;
Lock* mem_lock = nullptr;

namespace {

constexpr int kRetries = 10;
constexpr size_t kHeader = 4;

// An operation already in progress here means someone got in without mem_lock; give it a
// moment to finish, complain, then go on regardless.
void wait_for_reentry(const char* who) {
    if (mem_reentry == 0) {
        return;
    }
    for (int attempt = 1; attempt <= kRetries; ++attempt) {
        sleep_ms(10);
        if (mem_reentry == 0) {
            return;
        }
        printf("%s: sema(%d) retry(%d/%d)\n", who, mem_reentry, attempt, kRetries);
    }
    printf("%s: sema(%d) error\n", who, mem_reentry);
}

void enter(Lock* held, const char* who) {
    if (held) {
        lock_enter(held);
    }
    wait_for_reentry(who);
    ++mem_reentry;
}

// Both ends use the lock seen on entry: mem_init or mem_fin may change mem_lock meanwhile.
void leave(Lock* held) {
    --mem_reentry;
    if (held) {
        lock_leave(held);
    }
}

}  // namespace

void mem_init() {
    mem_outstanding = 0;
    mem_lock = lock_create();
}

void mem_fin() {
    if (mem_lock) {
        Lock* lock = mem_lock;
        mem_lock = nullptr;
        lock_delete(lock);
    }
    mem_outstanding = 0;
}

void* my_malloc(size_t size) {
    // The header holds 32 bits; anything larger cannot be described by it.
    if (size == 0 || size > UINT32_MAX - kHeader) {
        return nullptr;
    }
    Lock* held = mem_lock;
    enter(held, "my_malloc");
    auto* block = static_cast<unsigned char*>(malloc(size + kHeader));
    if (block) {
        const auto n = static_cast<uint32_t>(size);
        block[0] = static_cast<unsigned char>(n >> 24);
        block[1] = static_cast<unsigned char>(n >> 16);
        block[2] = static_cast<unsigned char>(n >> 8);
        block[3] = static_cast<unsigned char>(n);
        mem_outstanding = static_cast<int32_t>(static_cast<uint32_t>(mem_outstanding) + n);
    }
    leave(held);
    // Not a leak: the block goes out behind its header, and my_free takes it back.
    // cppcheck-suppress memleak
    return block ? block + kHeader : nullptr;
}

void my_free(void* ptr) {
    if (!ptr) {
        return;
    }
    Lock* held = mem_lock;
    enter(held, "my_free");
    unsigned char* block = static_cast<unsigned char*>(ptr) - kHeader;
    const uint32_t n = (uint32_t{block[0]} << 24) | (uint32_t{block[1]} << 16) |
                       (uint32_t{block[2]} << 8) | uint32_t{block[3]};
    mem_outstanding = static_cast<int32_t>(static_cast<uint32_t>(mem_outstanding) - n);
    free(block);
    leave(held);
}
