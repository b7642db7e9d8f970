// pages.h: the portable behaviour of the five pages, which their dialog procedures call.
// init runs when the page is created, activate each time it is shown; command handles a
// control's command and returns 1, or 0 when the page has no handler for that control.
#pragma once

#include "page_window.h"

void mp3_page_init(PageWindow page);
void mp3_page_activate(PageWindow page);
int mp3_page_command(PageWindow page, int id, int notification);
const char* mp3_remote_name();  // "hold.mp3" or "ring.mp3" once a tone has been chosen

void banner_page_init(PageWindow page);
void banner_page_activate(PageWindow page);
int banner_page_command(PageWindow page, int id, int notification);
const char* banner_remote_name();  // "1.bmp" to "6.bmp" once an upload got past the check

void admin_page_init(PageWindow page);
void admin_page_activate(PageWindow page);
int admin_page_command(PageWindow page, int id, int notification);

void misc_page_init(PageWindow page);
void misc_page_activate(PageWindow page);
int misc_page_command(PageWindow page, int id, int notification);

void irlist_page_init(PageWindow page);
void irlist_page_activate(PageWindow page);
int irlist_page_command(PageWindow page, int id, int notification);
constexpr int kSelectionChanged = 1;  // a selection box's notification that its choice changed
// The local station list file, in the current directory.
#ifdef _WIN32
constexpr char kStationListPath[] = ".\\tmp.cfg";
#else
constexpr char kStationListPath[] = "./tmp.cfg";
#endif

// Removes blanks and tabs at the start, and blanks, tabs, CR and LF at the end. 0 when done,
// -1 when the text is absent or empty (it is then left unchanged).
int trim(char* text);
int trim_left(char* text);
int trim_right(char* text);
