// progress_window_test.cpp: the upload progress window: where it stands, what it draws, when it
// redraws, and that another thread can close it.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "progress.h"
#include "progress_window.h"

namespace {

constexpr COLORREF kRed = RGB(255, 0, 0);

HWND find_progress() {
    return FindWindowA("ProgressClass", "Uploading...");
}

COLORREF pixel(HWND window, int x, int y) {
    const HDC dc = GetDC(window);
    const COLORREF colour = GetPixel(dc, x, y);
    ReleaseDC(window, dc);
    return colour;
}

void pump(int ms) {
    const DWORD end = GetTickCount() + static_cast<DWORD>(ms);
    MSG message;
    while (GetTickCount() < end) {
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            DispatchMessageA(&message);
        }
        Sleep(10);
    }
}

struct ProgressWindow : testing::Test {
    HWND page = nullptr;
    void SetUp() override {
        progress_window_prepare(GetModuleHandleA(nullptr));
        page = CreateWindowExA(0, "STATIC", "page", WS_OVERLAPPED | WS_VISIBLE, 100, 80, 400, 300,
                               nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
        ASSERT_NE(page, nullptr);
    }
    void TearDown() override {
        if (progress_exists()) {
            progress_destroy();
        }
        DestroyWindow(page);
        progress_window_release();
    }
};

TEST_F(ProgressWindow, StandsCentredOverThePageAndDrawsTheBarAsNotified) {
    progress_create(reinterpret_cast<PageWindow>(page));
    pump(300);
    const HWND window = find_progress();
    ASSERT_NE(window, nullptr);
    RECT page_rect;
    RECT rect;
    GetWindowRect(page, &page_rect);
    GetWindowRect(window, &rect);
    EXPECT_EQ(rect.right - rect.left, 200);
    EXPECT_EQ(rect.bottom - rect.top, 60);
    EXPECT_EQ(rect.left, page_rect.left + (page_rect.right - page_rect.left - 200) / 2);
    EXPECT_EQ(rect.top, page_rect.top + (page_rect.bottom - page_rect.top - 60) / 2);
    EXPECT_EQ(GetWindow(window, GW_OWNER), page);

    RECT client;
    GetClientRect(window, &client);
    const int w = client.right;
    const int h = client.bottom;
    const int bar_end = (w - 10) * 51 / 100 + 5;
    progress_notify(51);
    EXPECT_EQ(pixel(window, 7, h / 2 + 8), kRed);
    EXPECT_EQ(pixel(window, bar_end - 3, h - 8), kRed);
    EXPECT_NE(pixel(window, bar_end + 3, h - 8), kRed);

    // The same percent again is stored, not drawn: what was scribbled over stays.
    const HDC dc = GetDC(window);
    const HBRUSH white = CreateSolidBrush(RGB(255, 255, 255));
    RECT scribble = {6, 6, w - 6, h - 6};
    FillRect(dc, &scribble, white);
    ReleaseDC(window, dc);
    DeleteObject(white);
    progress_notify(51);
    EXPECT_EQ(pixel(window, 8, h - 8), RGB(255, 255, 255));
    progress_notify(100);
    EXPECT_EQ(pixel(window, w - 8, h - 8), kRed);
}

TEST_F(ProgressWindow, AnotherThreadClosesItAndTheNextStartsFromZero) {
    progress_create(reinterpret_cast<PageWindow>(page));
    progress_notify(80);
    const HWND first = find_progress();
    ASSERT_NE(first, nullptr);
    // The worker closes the window while this thread, its owner, keeps pumping messages.
    std::atomic<bool> closed{false};
    std::thread worker([&closed] {
        progress_destroy();
        closed = true;
    });
    const DWORD start = GetTickCount();
    while (!closed && GetTickCount() - start < 5000) {
        pump(10);
    }
    worker.join();
    EXPECT_TRUE(closed);
    EXPECT_FALSE(IsWindow(first));
    EXPECT_FALSE(progress_exists());

    progress_create(reinterpret_cast<PageWindow>(page));
    pump(200);
    const HWND second = find_progress();
    ASSERT_NE(second, nullptr);
    RECT client;
    GetClientRect(second, &client);
    progress_notify(0);  // both percents are already 0: nothing to redraw
    EXPECT_NE(pixel(second, 8, client.bottom - 8), kRed);
}

}  // namespace
