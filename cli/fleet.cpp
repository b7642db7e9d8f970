// fleet.cpp: device channel sessions, discovery and the command loop of kvxctl.
#include "fleet.h"

#include <cstdio>
#include <cstring>

#include "channel.h"
#include "device_list.h"
#include "headless.h"
#include "inventory.h"
#include "platform.h"
#include "ui.h"

namespace {

PageWindow master = nullptr;
// What one small reply may cost in the receive buffer, as the system counts it.
constexpr int kReplyCost = 2048;

bool all_answered(PageWindow page, int list_id) {
    const int count = ui_list_count(page, list_id);
    for (int i = 0; i < count; ++i) {
        char entry[kEntrySize];
        if (ui_list_get(page, list_id, i, entry, sizeof entry) > 0 && !strstr(entry, " --- ")) {
            return false;
        }
    }
    return true;
}

void wait_for(int wait_ms, PageWindow page, int list_id, bool until_answered) {
    const int32_t start = clock_now();
    while (static_cast<uint32_t>(clock_elapsed(start, 0)) < static_cast<uint32_t>(wait_ms)) {
        if (until_answered && all_answered(page, list_id)) {
            return;
        }
        sleep_tick();
    }
}

}  // namespace

int parse_command(int argc, char* const* argv, const CliOption* options, int option_count,
                  const char* usage, const char* usage_tail, ParsedArgs* out) {
    if (parse_args(argc, argv, options, option_count, out) != 0) {
        fprintf(stderr, "%s%s", usage, usage_tail);
        return kExitUsage;
    }
    if (out->help) {
        printf("%s%s", usage, usage_tail);
        return kExitOk;
    }
    return kArgsOk;
}

int fleet_start(bool channel) {
    mem_init();
    sock_init();
    if (!channel) {
        return kExitOk;
    }
    if (channel_open() != 0) {
        fprintf(stderr,
                "kvxctl: cannot open the device channel: UDP port %d is in use (is the utility "
                "or another kvxctl running?)\n",
                kChannelPort);
        sock_fin();
        mem_fin();
        return kExitPort;
    }
    master = headless_page_create();
    set_master_list_page(master);
    return kExitOk;
}

void fleet_stop() {
    if (master) {
        channel_close();
        set_master_list_page(nullptr);
        headless_page_destroy(master);
        master = nullptr;
    }
    sock_fin();
    mem_fin();
}

PageWindow fleet_master_page() {
    return master;
}

int fleet_discover(PageWindow page, int list_id, int wait_ms) {
    ui_list_clear(master, kMasterListId);
    ui_list_clear(page, list_id);
    discover_devices(page, list_id);
    wait_for(wait_ms, page, list_id, false);
    // A reply handled while the targets are read would empty and refill the list under us.
    channel_end_request();
    const int count = ui_list_count(page, list_id);
    // Replies that found the receive buffer full are lost without a trace: say when that may
    // have happened, that is when the system capped the buffer and the fleet could fill it.
    const int buffer = channel_receive_buffer();
    if (buffer >= 0 && buffer < kReceiveBufferWanted && count >= buffer / kReplyCost) {
        fprintf(stderr,
                "kvxctl: warning: %d phones answered, and the receive buffer of UDP port %d holds "
                "about %d answers at once (%d KB, capped by the system; on Linux raise "
                "net.core.rmem_max to %d or more, see the README): some may have been lost\n",
                count, kChannelPort, buffer / kReplyCost, buffer / 1024, kReceiveBufferWanted);
    }
    return count;
}

void fleet_command(PageWindow page, int list_id, const CommandFrame* frame, int wait_ms) {
    send_command_to_list(page, list_id, frame->bytes, frame->length);
    wait_for(wait_ms, page, list_id, true);
    // A reply in hand replaces its entry (delete, then insert): let it finish first.
    channel_end_request();
}

int fleet_targets(PageWindow page, int list_id, bool all, const char* const* targets,
                  int target_count, const Reach* reach, int wait_ms) {
    if (reach && !reach->targets.empty()) {
        discover_inventory(page, list_id, *reach, all, wait_ms, nullptr);
    } else if (all) {
        fleet_discover(page, list_id, wait_ms);
    } else {
        ui_list_clear(page, list_id);
    }
    for (int i = 0; i < target_count; ++i) {
        if (find_device_entry(page, list_id, targets[i]) < 0) {
            ui_list_add(page, list_id, targets[i]);
        }
    }
    const int count = ui_list_count(page, list_id);
    if (count <= 0) {
        fprintf(stderr, "kvxctl: no phone found\n");
    }
    return count;
}

void fleet_print_message() {
    HeadlessMessage message;
    if (headless_message_get(headless_message_count() - 1, &message) == 0) {
        fprintf(stderr, "kvxctl: %s\n", message.text);
    }
}
