// page_dialogs.h: the dialog procedures of the five pages of the property sheet.
#pragma once

#include <windows.h>

INT_PTR CALLBACK mp3_page_proc(HWND page, UINT message, WPARAM wparam, LPARAM lparam);
INT_PTR CALLBACK banner_page_proc(HWND page, UINT message, WPARAM wparam, LPARAM lparam);
INT_PTR CALLBACK admin_page_proc(HWND page, UINT message, WPARAM wparam, LPARAM lparam);
INT_PTR CALLBACK irlist_page_proc(HWND page, UINT message, WPARAM wparam, LPARAM lparam);
INT_PTR CALLBACK misc_page_proc(HWND page, UINT message, WPARAM wparam, LPARAM lparam);
