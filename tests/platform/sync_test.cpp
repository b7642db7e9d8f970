// sync_test.cpp: semaphores, locks, threads and the millisecond clock.
#include <gtest/gtest.h>

#include <atomic>

#include "platform.h"

namespace {

TEST(Semaphore, CountsUpToItsCeilingAndTimesOut) {
    Semaphore* sema = sema_create();
    ASSERT_NE(sema, nullptr);
    EXPECT_EQ(sema_wait(sema, 10), 1);
    for (int i = 0; i < kSemaMax + 20; ++i) {
        sema_release(sema);  // releases beyond the ceiling are lost
    }
    for (int i = 0; i < kSemaMax; ++i) {
        ASSERT_EQ(sema_wait(sema, 10), 0) << "wait " << i;
    }
    EXPECT_EQ(sema_wait(sema, 10), 1);
    sema_close(sema);
}

Semaphore* handed_sema = nullptr;
std::atomic<int> handed_value{0};

void release_later() {
    sleep_ms(30);
    handed_value = 42;
    sema_release(handed_sema);
}

TEST(Semaphore, UnlimitedWaitEndsWhenAnotherThreadReleases) {
    handed_sema = sema_create();
    ASSERT_EQ(thread_start(release_later), 0);
    EXPECT_EQ(sema_wait(handed_sema, 0), 0);
    EXPECT_EQ(handed_value, 42);
    sema_close(handed_sema);
}

TEST(Lock, IsRecursiveLikeACriticalSection) {
    Lock* lock = lock_create();
    ASSERT_NE(lock, nullptr);
    lock_enter(lock);
    lock_enter(lock);
    lock_leave(lock);
    lock_leave(lock);
    lock_delete(lock);
}

TEST(Clock, NeverZeroAndElapsedIsUnsignedDifference) {
    const int32_t start = clock_now();
    EXPECT_NE(start, 0);
    sleep_ms(50);
    const auto elapsed = static_cast<uint32_t>(clock_elapsed(start, 0));
    EXPECT_GE(elapsed, 45u);
    EXPECT_LT(elapsed, 60000u);
    EXPECT_EQ(clock_elapsed(100, 250), 150);
    EXPECT_EQ(static_cast<uint32_t>(clock_elapsed(-10, 5)), 15u);
    EXPECT_EQ(static_cast<uint32_t>(clock_elapsed(INT32_MAX, INT32_MIN)), 1u);
}

}  // namespace
