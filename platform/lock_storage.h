// lock_storage.h: placing a lock in my_malloc storage, whose 4-byte header leaves blocks only
// 4-byte aligned while the system's lock types need their natural alignment.
#pragma once

#include <cstdint>
#include <new>

#include "platform.h"

template <typename T>
T* place_aligned() {
    void* raw = my_malloc(sizeof(T) + alignof(T));
    if (!raw) {
        return nullptr;
    }
    const auto address = reinterpret_cast<uintptr_t>(raw);
    const uintptr_t aligned = (address + alignof(T) - 1) & ~(uintptr_t{alignof(T)} - 1);
    // An address inside the block from my_malloc, rounded up to the alignment.
    T* object = new (reinterpret_cast<void*>(aligned)) T;  // NOLINT(performance-no-int-to-ptr)
    object->storage = raw;
    return object;
}

template <typename T>
void release_aligned(T* object) {
    void* raw = object->storage;
    object->~T();
    my_free(raw);
}
