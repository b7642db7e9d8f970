// ui_win32.h: what the Win32 program does for its front end at start-up and shutdown.
#pragma once

#include <windows.h>

// Makes the calling thread the user-interface thread on which ui_run_on_ui_thread runs
// routines: gives it a message-only window whose messages any of its message loops dispatch.
// Before the channel opens. 0, or -1 (routines are then run by their callers).
int ui_thread_begin(HINSTANCE instance);
// On the same thread, once the channel is closed: routines not yet run are dropped.
void ui_thread_end();
