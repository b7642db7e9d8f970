// transfer_worker.cpp: the worker thread and its single TransferJob slot.
#include "transfer_worker.h"

#include <atomic>
#include <cstdio>
#include <cstring>

#include "platform.h"
#include "progress.h"
#include "tftp_client.h"

namespace {

enum JobState { kIdle = 0, kDownloadJob = 1, kUploadJob = 2 };
enum RunFlag { kStopped = -1, kStopRequested = 0, kRunning = 1 };

struct TransferJob {
    std::atomic<int32_t> state{kIdle};
    CompletionCallback done = nullptr;
    PageWindow page = nullptr;
    char device[kDeviceTextSize] = {};
    char first_name[kNameTextSize] = {};
    char second_name[kNameTextSize] = {};
};

TransferJob job;
std::atomic<int32_t> run_flag{kStopRequested};
Semaphore* job_sema = nullptr;

bool fits(const char* text, size_t size) {
    return strlen(text) < size;
}

bool can_take(const char* device, const char* first, const char* second) {
    return run_flag.load() == kRunning && job.state.load() == kIdle &&
           fits(device, sizeof job.device) && fits(first, sizeof job.first_name) &&
           fits(second, sizeof job.second_name);
}

// The state is written last: it is what hands the slot to the worker.
void place(int32_t state, PageWindow page, CompletionCallback done, const char* device,
           const char* first, const char* second) {
    job.done = done;
    job.page = page;
    snprintf(job.device, sizeof job.device, "%s", device);
    snprintf(job.first_name, sizeof job.first_name, "%s", first);
    snprintf(job.second_name, sizeof job.second_name, "%s", second);
    job.state.store(state);
    sema_release(job_sema);
}

void run_job() {
    const int32_t state = job.state.load();
    if (state == kDownloadJob) {
        int32_t received = 0;
        const int result = tftp_download(job.device, job.first_name, job.second_name, &received);
        const CompletionCallback done = job.done;
        PageWindow page = job.page;
        job.state.store(kIdle);
        if (done) {
            done(page, result);
        }
    } else if (state == kUploadJob) {
        const int result = tftp_upload(job.device, job.first_name, job.second_name);
        const CompletionCallback done = job.done;
        PageWindow page = job.page;
        job.state.store(kIdle);
        progress_destroy();
        if (done) {
            done(page, result);
        }
    } else if (state != kIdle) {
        job.state.store(kIdle);
    }
}

}  // namespace

void transfer_start() {
    run_flag.store(kRunning);
    job_sema = sema_create();
    if (!job_sema || thread_start(transfer_worker_main) != 0) {
        // Nothing would ever answer a stop request or take a job.
        run_flag.store(kStopped);
        sema_close(job_sema);
        job_sema = nullptr;
    }
}

void transfer_stop() {
    if (run_flag.load() <= kStopRequested) {
        return;
    }
    run_flag.store(kStopRequested);
    sema_release(job_sema);
    while (run_flag.load() == kStopRequested) {
        sleep_tick();
    }
    run_flag.store(kStopped);
    sema_close(job_sema);
    job_sema = nullptr;
}

int submit_upload(PageWindow page, CompletionCallback done, const char* device, const char* local,
                  const char* remote) {
    if (!can_take(device, local, remote)) {
        return -1;
    }
    progress_create(page);
    place(kUploadJob, page, done, device, local, remote);
    return 0;
}

int submit_download(PageWindow page, CompletionCallback done, const char* device,
                    const char* remote, const char* local) {
    if (!can_take(device, remote, local)) {
        return -1;
    }
    place(kDownloadJob, page, done, device, remote, local);
    return 0;
}

void transfer_worker_main() {
    while (run_flag.load() == kRunning) {
        sema_wait(job_sema, 0);
        if (run_flag.load() == kStopRequested) {
            break;
        }
        run_job();
    }
    run_flag.store(kStopped);
}
