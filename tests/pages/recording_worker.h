// recording_worker.h: a transfer worker for page tests that records each submission and lets
// the test decide when it ends and with what result.
#pragma once

#include <string>

#include "transfer_worker.h"

struct RecordedJob {
    bool upload;
    PageWindow page;
    CompletionCallback done;
    std::string device;
    std::string first_name;   // upload: local path; download: remote name
    std::string second_name;  // upload: remote name; download: local path
};

int recorded_job_count();
RecordedJob recorded_job(int index);
bool job_pending();
// Ends the pending job as the real worker does: frees the slot, closes the upload's progress
// window, then calls the completion callback (which may submit the next job).
void finish_job(int result);
void forget_jobs();
