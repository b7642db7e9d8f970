// transfer_worker.h: runs one TFTP transfer at a time on its own thread, from a single job
// slot, and reports each result to the submitting page's completion callback.
#pragma once

#include "page_window.h"

// Called on the worker thread with 1 for success or -1 for failure, after the slot is free,
// so it may submit the next job.
using CompletionCallback = void (*)(PageWindow page, int result);

constexpr int kDeviceTextSize = 128;
constexpr int kNameTextSize = 256;

void transfer_start();
// Waits for a running transfer and its callback, then stops the worker.
void transfer_stop();
// 0 when taken; -1 when a job is pending or running, the worker is not running, or a text
// does not fit its field (nothing is changed then, and no progress window is opened).
int submit_upload(PageWindow page, CompletionCallback done, const char* device, const char* local,
                  const char* remote);
int submit_download(PageWindow page, CompletionCallback done, const char* device,
                    const char* remote, const char* local);
void transfer_worker_main();
