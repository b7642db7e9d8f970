// discovery_bench.cpp: kvxctl's discovery and Misc. command to all, timed. Prints, for the phones
// present on the test LAN, how many were listed (or answered) and how long after the request
// the last of them was. A benchmark, not a test: bench/discovery runs it.
//   discovery_bench PRESENT [QUIET_MS]
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "channel.h"
#include "device_list.h"
#include "fleet.h"
#include "headless.h"
#include "misc_command.h"
#include "platform.h"
#include "ui.h"

namespace {

int quiet_ms = 3000;  // a measurement ends this long after its last progress
constexpr int kLongestMs = 60000;

bool answered(PageWindow page, int list_id, int index) {
    char entry[kEntrySize];
    return ui_list_get(page, list_id, index, entry, sizeof entry) > 0 && strstr(entry, " --- ");
}

// Waits until the list stops growing; the most entries seen and when they were first seen.
int wait_listed(PageWindow page, int list_id, int32_t start, int* last_ms) {
    int most = 0;
    int32_t last = start;
    while (static_cast<uint32_t>(clock_elapsed(last, 0)) < static_cast<uint32_t>(quiet_ms) &&
           static_cast<uint32_t>(clock_elapsed(start, 0)) < static_cast<uint32_t>(kLongestMs)) {
        const int count = ui_list_count(page, list_id);
        if (count > most) {
            most = count;
            last = clock_now();
        }
        sleep_ms(2);
    }
    *last_ms = clock_elapsed(start, last);
    return most;
}

// Waits until every entry is annotated or no answer came for a while; the answers counted.
int wait_answered(PageWindow page, int list_id, int32_t start, int* last_ms) {
    std::vector<int> pending;
    for (int i = 0; i < ui_list_count(page, list_id); ++i) {
        pending.push_back(i);
    }
    const size_t listed = pending.size();
    int32_t last = clock_now();  // the quiet time counts from the last send
    while (!pending.empty() &&
           static_cast<uint32_t>(clock_elapsed(last, 0)) < static_cast<uint32_t>(quiet_ms) &&
           static_cast<uint32_t>(clock_elapsed(start, 0)) < static_cast<uint32_t>(kLongestMs)) {
        std::vector<int> still;
        for (int index : pending) {
            if (!answered(page, list_id, index)) {
                still.push_back(index);
            }
        }
        if (still.size() < pending.size()) {
            last = clock_now();
        }
        pending.swap(still);
        sleep_ms(2);
    }
    *last_ms = clock_elapsed(start, last);
    return static_cast<int>(listed - pending.size());
}

void report(const char* what, int done, int of, int present, int last_ms) {
    printf("%-22s %5d of %5d (present %d), last after %6d ms\n", what, done, of, present, last_ms);
    fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
    if (!getenv("KVX_LAN_NS") || argc < 2) {
        fprintf(stderr, "discovery_bench: run it on the test LAN (bench/discovery)\n");
        return 2;
    }
    const int present = atoi(argv[1]);
    if (argc > 2) {
        quiet_ms = atoi(argv[2]);
    }
    if (fleet_start(true) != kExitOk) {
        return 1;
    }
    const PageWindow master = fleet_master_page();
    int last_ms = 0;

    // kvxctl discover: the master list itself.
    int32_t start = clock_now();
    discover_devices(master, kMasterListId);
    int listed = wait_listed(master, kMasterListId, start, &last_ms);
    report("discover", listed, present, present, last_ms);

    // kvxctl misc --all: discovery into the Misc. list, then the frame to every entry.
    const PageWindow page = headless_page_create();
    int32_t remembered[kMiscBoxCount];
    init_misc_boxes(page, remembered);
    ui_set_text(page, IDC_MISC_NAME, "admin");
    ui_set_text(page, IDC_MISC_PASSWORD, "admin");
    CommandFrame frame;
    build_misc_frame(page, &frame, remembered);
    ui_list_clear(master, kMasterListId);
    start = clock_now();
    discover_devices(page, IDC_MISC_LIST);
    listed = wait_listed(page, IDC_MISC_LIST, start, &last_ms);
    report("discover (Misc. list)", listed, present, present, last_ms);

    start = clock_now();
    send_command_to_list(page, IDC_MISC_LIST, frame.bytes, frame.length);
    const int sent_ms = clock_elapsed(start, 0);
    const int answers = wait_answered(page, IDC_MISC_LIST, start, &last_ms);
    report("misc to all", answers, listed, present, last_ms);
    printf("%-22s all sent after %d ms\n", "", sent_ms);

    headless_page_destroy(page);
    fleet_stop();
    return 0;
}
