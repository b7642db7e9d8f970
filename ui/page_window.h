// page_window.h: the opaque handle by which portable code names a page window.
#pragma once

// An HWND in the Win32 front end; a headless page record elsewhere.
struct PageWindowTag;
using PageWindow = PageWindowTag*;
