// headless.h: pages without windows, for tests and the command-line front end. Controls come
// into being, enabled and empty, the first time a call names them on a page that exists.
#pragma once

#include "page_window.h"

PageWindow headless_page_create();
void headless_page_destroy(PageWindow page);

// State that only a user looking at the window would see. -1 when there is no such control.
int headless_is_enabled(PageWindow page, int id);
int headless_is_read_only(PageWindow page, int id);

// Message boxes shown so far, oldest first; each is dismissed at once.
constexpr int kHeadlessTextMax = 256;
struct HeadlessMessage {
    PageWindow page;
    char caption[kHeadlessTextMax];
    char text[kHeadlessTextMax];
};
int headless_message_count();
// 0, or -1 when there is no message at index.
int headless_message_get(int index, HeadlessMessage* out);
void headless_messages_clear();

// The open-file dialog takes its answers from a queue: a path (chosen) or null (cancelled).
// With the queue empty it is cancelled.
void headless_open_file_answer(const char* path);
// The last open-file request: its page, filter and initial directory. 0, or -1 when none came.
struct HeadlessFileRequest {
    PageWindow page;
    char description[kHeadlessTextMax];
    char pattern[kHeadlessTextMax];
    char initial_dir[kHeadlessTextMax];
};
int headless_last_file_request(HeadlessFileRequest* out);

// A user-interface thread as a test plays it. Without one (the default, as in kvxctl)
// ui_run_on_ui_thread declines. While keep is on it keeps each routine instead, and
// headless_run_posted runs those kept, oldest first, on the calling thread: the number run.
// Turning keep off forgets those not run.
void headless_keep_posted(int keep);
int headless_posted_count();
int headless_run_posted();
