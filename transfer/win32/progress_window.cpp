// progress_window.cpp: the "Uploading..." window with its red bar and percent text.
#include "progress_window.h"

#include <atomic>
#include <cstdio>

#include "progress.h"

namespace {

constexpr char kClassName[] = "ProgressClass";
constexpr int kWidth = 200;
constexpr int kHeight = 60;
// Sent by progress_destroy: DestroyWindow works only on the window's own thread.
constexpr UINT kDestroySelf = WM_APP + 1;
constexpr COLORREF kBarColour = RGB(255, 0, 0);        // red
constexpr COLORREF kFrameColour = RGB(5, 0, 0);        // next to black
constexpr COLORREF kPercentColour = RGB(255, 128, 0);  // orange

HINSTANCE program_instance = nullptr;
HBRUSH bar_brush = nullptr;
HBRUSH frame_brush = nullptr;
std::atomic<HWND> progress_window{nullptr};
std::atomic<int32_t> current_percent{0};
std::atomic<int32_t> last_notified{0};

}  // namespace

void progress_window_prepare(HINSTANCE instance) {
    program_instance = instance;
    progress_window = nullptr;
    current_percent = 0;
    last_notified = 0;
    bar_brush = CreateSolidBrush(kBarColour);
    frame_brush = CreateSolidBrush(kFrameColour);
}

void progress_window_release() {
    DeleteObject(frame_brush);
    DeleteObject(bar_brush);
}

void progress_create(PageWindow page) {
    WNDCLASSA window_class = {};
    window_class.style = CS_VREDRAW | CS_HREDRAW;
    window_class.lpfnWndProc = progress_wnd_proc;
    window_class.hInstance = program_instance;
    window_class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_MENU + 1);
    window_class.lpszClassName = kClassName;
    RegisterClassA(&window_class);

    const HWND owner = reinterpret_cast<HWND>(page);
    RECT page_rect = {};
    GetWindowRect(owner, &page_rect);
    const int x = page_rect.left + ((page_rect.right - page_rect.left) - kWidth) / 2;
    const int y = page_rect.top + ((page_rect.bottom - page_rect.top) - kHeight) / 2;
    progress_window = CreateWindowExA(0, kClassName, "Uploading...", WS_VISIBLE, x, y, kWidth,
                                      kHeight, owner, nullptr, program_instance, nullptr);
}

void progress_destroy() {
    if (const HWND window = progress_window.load()) {
        SendMessageA(window, kDestroySelf, 0, 0);
    }
    UnregisterClassA(kClassName, program_instance);
    progress_window = nullptr;
    current_percent = 0;
    last_notified = 0;
}

int progress_exists() {
    return progress_window.load() != nullptr;
}

void progress_notify(int percent) {
    if (const HWND window = progress_window.load()) {
        SendMessageA(window, WM_USER, static_cast<WPARAM>(percent), 0);
    }
}

LRESULT CALLBACK progress_wnd_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
        case WM_CREATE:
            return 0;
        case WM_PAINT: {
            PAINTSTRUCT paint;
            BeginPaint(window, &paint);
            EndPaint(window, &paint);
            progress_paint(window);
            return 0;
        }
        case WM_USER: {
            const auto percent = static_cast<int32_t>(wparam);
            current_percent = percent;
            if (percent != last_notified.load()) {
                last_notified = percent;
                progress_paint(window);
            }
            return 0;
        }
        case kDestroySelf:
            ShowWindow(window, SW_HIDE);
            DestroyWindow(window);
            return 0;
        default:
            return DefWindowProcA(window, message, wparam, lparam);
    }
}

void progress_paint(HWND window) {
    RECT client;
    GetClientRect(window, &client);
    const int w = client.right - client.left;
    const int h = client.bottom - client.top;
    const HDC dc = GetDC(window);
    const HGDIOBJ previous = SelectObject(dc, frame_brush);
    Rectangle(dc, 5, 5, w - 5, h - 5);
    SelectObject(dc, bar_brush);
    Rectangle(dc, 5, 5, (w - 10) * current_percent.load() / 100 + 5, h - 5);
    SelectObject(dc, previous);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, kPercentColour);
    char text[16];
    snprintf(text, sizeof text, "%d %%", static_cast<int>(current_percent.load()));
    RECT text_rect = client;
    text_rect.top += 5;
    text_rect.bottom -= 5;
    DrawTextA(dc, text, -1, &text_rect, DT_SINGLELINE | DT_CENTER | DT_VCENTER);
    ReleaseDC(window, dc);
}
