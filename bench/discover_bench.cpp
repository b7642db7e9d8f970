// discover_bench.cpp: one discovery on the test LAN; prints how many telephones were listed and
// how long after the broadcast the last of them was. A benchmark, not a test: bench/discover
// runs it.
#include <cstdio>
#include <cstdlib>

#include "channel.h"
#include "device_list.h"
#include "headless.h"
#include "platform.h"
#include "ui.h"

int main(int argc, char** argv) {
    if (!getenv("KVX_LAN_NS")) {
        fprintf(stderr, "discover_bench: run it on the test LAN (bench/discover)\n");
        return 2;
    }
    const int wait_ms = argc > 1 ? atoi(argv[1]) : 3000;
    mem_init();
    sock_init();
    if (channel_open() != 0) {
        fprintf(stderr, "discover_bench: UDP port %d is in use\n", kChannelPort);
        return 1;
    }
    const PageWindow master = headless_page_create();
    set_master_list_page(master);

    const int32_t start = clock_now();
    discover_devices(master, kMasterListId);
    int listed = 0;
    int32_t last = start;
    while (static_cast<uint32_t>(clock_elapsed(start, 0)) < static_cast<uint32_t>(wait_ms)) {
        const int count = ui_list_count(master, kMasterListId);
        if (count != listed) {
            listed = count;
            last = clock_now();
        }
        sleep_ms(1);
    }
    printf("discover_bench: %d telephones listed; the last %d ms after the broadcast\n", listed,
           static_cast<int>(clock_elapsed(start, last)));

    channel_close();
    headless_page_destroy(master);
    sock_fin();
    mem_fin();
    return 0;
}
