// page_fixture.cpp: the recording transfer worker the pages link against.
#include "page_fixture.h"

int submit_upload(PageWindow page, CompletionCallback done, const char* device, const char* first,
                  const char* second) {
    if (job_pending) {
        return -1;
    }
    recorded_jobs.push_back({page, done, std::string(device) + " " + first + " " + second});
    job_pending = true;
    return 0;
}

int submit_download(PageWindow page, CompletionCallback done, const char* device,
                    const char* remote, const char* local) {
    return submit_upload(page, done, device, remote, local);
}
