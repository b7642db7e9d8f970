// allocator_test.cpp: the tracked allocator's accounting, locking and re-entry check.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>

#include "platform.h"

namespace {

struct Allocator : testing::Test {
    void SetUp() override {
        mem_init();
    }
    void TearDown() override {
        mem_reentry = 0;
        mem_fin();
    }
};

TEST_F(Allocator, AccountingBalancesUntilFinAndTheWholeSizeIsUsable) {
    ASSERT_NE(mem_lock, nullptr);
    const int32_t before = mem_outstanding;
    EXPECT_GT(before, 0);  // the lock's own storage
    EXPECT_EQ(my_malloc(0), nullptr);
    EXPECT_EQ(my_malloc(SIZE_MAX), nullptr);  // beyond what the header can describe
    my_free(nullptr);
    auto* big = static_cast<unsigned char*>(my_malloc(0x01020304));
    ASSERT_NE(big, nullptr);
    EXPECT_EQ(mem_outstanding, before + 0x01020304);
    big[0x01020303] = 1;
    my_free(big);
    EXPECT_EQ(mem_outstanding, before);

    mem_fin();
    EXPECT_EQ(mem_lock, nullptr);
    EXPECT_EQ(mem_outstanding, 0);
    void* block = my_malloc(16);  // still usable, unlocked
    EXPECT_NE(block, nullptr);
    my_free(block);
    EXPECT_EQ(mem_outstanding, 0);
}

TEST_F(Allocator, ReentryIsReportedThenTheOperationCompletes) {
    mem_reentry = 1;
    testing::internal::CaptureStdout();
    void* block = my_malloc(8);
    EXPECT_NE(testing::internal::GetCapturedStdout(), "");
    EXPECT_NE(block, nullptr);
    EXPECT_EQ(mem_reentry, 1);  // its own increment was undone
    testing::internal::CaptureStdout();
    my_free(block);
    EXPECT_NE(testing::internal::GetCapturedStdout(), "");
}

TEST_F(Allocator, LockSerialisesThreadsWithoutReentryReports) {
    static std::atomic<int> finished;
    finished = 0;
    const auto churn = [] {
        for (int i = 0; i < 5000; ++i) {
            my_free(my_malloc(static_cast<size_t>(1 + i % 64)));
        }
        ++finished;
    };
    const int32_t before = mem_outstanding;
    testing::internal::CaptureStdout();
    for (int i = 0; i < 4; ++i) {
        ASSERT_EQ(thread_start(churn), 0);
    }
    while (finished < 4) {
        sleep_tick();
    }
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(mem_outstanding, before);
}

#if defined(__SANITIZE_ADDRESS__)
// The test's environment caps single allocations and lets malloc return null.
TEST_F(Allocator, ExhaustedHeapGivesNullAndWritesNothing) {
    const int32_t before = mem_outstanding;
    testing::internal::CaptureStdout();
    EXPECT_EQ(my_malloc(size_t{512} << 20), nullptr);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(mem_outstanding, before);
    EXPECT_EQ(mem_reentry, 0);
}
#endif

}  // namespace
