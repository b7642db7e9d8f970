// progress.h: the upload progress window as the transfer code sees it. The Win32 front end
// shows a real window, the command line a terminal bar, the headless front end records calls.
#pragma once

#include "page_window.h"

// Opens the window over the page; at most one exists at a time.
void progress_create(PageWindow page);
// Closes the window, whichever thread opened it; when this returns it is gone.
void progress_destroy();
// 1 while a window exists.
int progress_exists();
// Shows percent (0 to 100); returns when the window has taken it.
void progress_notify(int percent);
