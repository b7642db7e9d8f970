// recording_worker.cpp: the recording transfer worker of the page tests.
#include "recording_worker.h"

#include <vector>

#include "progress.h"

namespace {

std::vector<RecordedJob> jobs;
bool pending = false;

int submit(bool upload, PageWindow page, CompletionCallback done, const char* device,
           const char* first, const char* second) {
    if (pending) {
        return -1;
    }
    if (upload) {
        progress_create(page);
    }
    jobs.push_back({upload, page, done, device, first, second});
    pending = true;
    return 0;
}

}  // namespace

void transfer_start() {}

void transfer_stop() {}

void transfer_worker_main() {}

int submit_upload(PageWindow page, CompletionCallback done, const char* device, const char* local,
                  const char* remote) {
    return submit(true, page, done, device, local, remote);
}

int submit_download(PageWindow page, CompletionCallback done, const char* device,
                    const char* remote, const char* local) {
    return submit(false, page, done, device, remote, local);
}

int recorded_job_count() {
    return static_cast<int>(jobs.size());
}

RecordedJob recorded_job(int index) {
    return jobs.at(static_cast<size_t>(index));
}

bool job_pending() {
    return pending;
}

void finish_job(int result) {
    const RecordedJob job = jobs.back();
    pending = false;
    if (job.upload) {
        progress_destroy();
    }
    if (job.done) {
        job.done(job.page, result);
    }
}

void forget_jobs() {
    jobs.clear();
    pending = false;
}
