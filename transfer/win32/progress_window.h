// progress_window.h: the Win32 upload progress window's start-up and shutdown pieces; the
// window itself is driven through ui/progress.h.
#pragma once

#include <windows.h>

// Records the instance for the window class, clears the window state and makes the bar brush
// (red) and then the frame brush (nearly black).
void progress_window_prepare(HINSTANCE instance);
// Deletes the frame brush, then the bar brush.
void progress_window_release();
LRESULT CALLBACK progress_wnd_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
void progress_paint(HWND window);
