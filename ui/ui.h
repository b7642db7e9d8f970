// ui.h: what portable code may do to a page's controls, its message boxes and the open-file
// dialog. Each call names a control by (page window, control id), as SendDlgItemMessage does;
// the Win32 front end sends the matching message, the headless one keeps the state in memory.
// Every call may come from any thread; on the user-interface thread, where the front end has
// one, each is a plain call rather than a round trip to that thread.
#pragma once

#include <cstdint>

#include "page_window.h"

// ---------------------------------------------------------------- any control

// Copies at most size - 1 characters of the control's text, always terminated. The number of
// characters copied, 0 when the control does not exist.
int ui_get_text(PageWindow page, int id, char* out, int size);
// 0, or -1 when the control does not exist.
int ui_set_text(PageWindow page, int id, const char* text);
void ui_enable(PageWindow page, int id, int enabled);

// ---------------------------------------------------------------- check boxes and edits

int ui_get_check(PageWindow page, int id);  // 1 checked, 0 not (or no such control)
void ui_set_check(PageWindow page, int id, int checked);
void ui_set_read_only(PageWindow page, int id, int read_only);

// ---------------------------------------------------------------- sorted list boxes
// Added entries take their place in text order, letters compared without regard to case;
// an entry inserted at an index stays there. Results of -1 mean no such control or entry.

int ui_list_count(PageWindow page, int id);
// Copies entry index as ui_get_text does; its length, or -1.
int ui_list_get(PageWindow page, int id, int index, char* out, int size);
int ui_list_add(PageWindow page, int id, const char* text);  // the entry's index
// Inserts before entry index (-1: at the end). The entry's index.
int ui_list_insert(PageWindow page, int id, int index, const char* text);
int ui_list_delete(PageWindow page, int id, int index);  // entries left
void ui_list_clear(PageWindow page, int id);
// One list operation each, whatever the number of entries: the index of the first entry from
// the top whose text equals text, or begins with prefix, letters compared without regard to
// case; -1 when there is none.
int ui_list_find_exact(PageWindow page, int id, const char* text);
int ui_list_find_prefix(PageWindow page, int id, const char* prefix);
// Counts the calls above that change entries (add, insert, delete, clear), in every list of
// the process, each once it has returned: two equal readings mean that no list changed through
// these calls in between.
uint32_t ui_list_changes();
int ui_list_selection(PageWindow page, int id);  // -1: nothing selected
// Selects entry index, or nothing with -1. The index, or -1.
int ui_list_select(PageWindow page, int id, int index);

// ---------------------------------------------------------------- selection boxes
// Unsorted: entries stay in the order they were added.

int ui_combo_count(PageWindow page, int id);
int ui_combo_add(PageWindow page, int id, const char* text);  // the entry's index, or -1
void ui_combo_clear(PageWindow page, int id);
int ui_combo_selection(PageWindow page, int id);  // -1: nothing selected
// Selects entry index; an index out of range selects nothing. The index, or -1.
int ui_combo_select(PageWindow page, int id, int index);

// ---------------------------------------------------------------- dialogs

// A modal message box with an OK button, owned by the page; returns once it is dismissed.
void ui_message_box(PageWindow page, const char* text, const char* caption);
// The open-file dialog owned by the page; the chosen file must exist. A null description
// shows every file, otherwise description and pattern (such as "*.mp3") make the one filter.
// 0 with the full path in path (size bytes), -1 when cancelled or failed.
int ui_open_file(PageWindow page, const char* description, const char* pattern,
                 const char* initial_dir, char* path, int size);

// ---------------------------------------------------------------- the user-interface thread

// Has routine run soon on the thread that owns the pages' windows, from whichever message loop
// it is in (modal ones included); returns at once. 0 when it will run; -1 when the front end
// has no such thread, and the caller runs it itself.
int ui_run_on_ui_thread(void (*routine)());
