// progress_recorder.cpp: a progress window that only records what it is asked.
#include "progress_recorder.h"

#include <atomic>
#include <mutex>

#include "progress.h"

namespace {

std::mutex record_lock;
std::vector<std::string> events;
PageWindow last_page = nullptr;
std::atomic<int> window_open{0};

void record(std::string event) {
    std::lock_guard<std::mutex> hold(record_lock);
    events.push_back(std::move(event));
}

}  // namespace

void progress_create(PageWindow page) {
    {
        std::lock_guard<std::mutex> hold(record_lock);
        last_page = page;
    }
    record("create");
    window_open = 1;
}

void progress_destroy() {
    window_open = 0;
    record("destroy");
}

int progress_exists() {
    return window_open.load();
}

void progress_notify(int percent) {
    record(std::to_string(percent));
}

std::vector<std::string> progress_recorded() {
    std::lock_guard<std::mutex> hold(record_lock);
    return events;
}

PageWindow progress_recorded_page() {
    std::lock_guard<std::mutex> hold(record_lock);
    return last_page;
}

void progress_clear_record() {
    std::lock_guard<std::mutex> hold(record_lock);
    events.clear();
    last_page = nullptr;
}
