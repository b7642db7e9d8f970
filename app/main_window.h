// main_window.h: the property sheet that is the utility's only main window.
#pragma once

#include <windows.h>

// Shows the five-page sheet modally; returns when it has been closed. PropertySheetA's result.
INT_PTR show_main_window(HINSTANCE instance);
// Removes the sheet's own buttons and its help button.
int CALLBACK sheet_callback(HWND sheet, UINT message, LPARAM parameter);
