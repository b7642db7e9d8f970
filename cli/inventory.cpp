// inventory.cpp: discovery of targets beyond the broadcast domain, and the inventory of what
// each telephone answered.
#include "inventory.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>

#include "channel.h"
#include "device_list.h"
#include "json_text.h"
#include "platform.h"
#include "reply_parse.h"
#include "targets.h"
#include "ui.h"

namespace {

// cppcheck takes the members for unused: they are read through the map's entries.
struct Answer {
    // cppcheck-suppress unusedStructMember
    int32_t first_at;  // clock_now of the first datagram from the address
    // cppcheck-suppress unusedStructMember
    std::vector<std::pair<std::string, std::string>> fields;
};

// Filled on the receive thread, read on the main thread once the waiting is over.
std::mutex answers_lock;
std::map<std::string, Answer> answers;

// Notes the sender's reply, then hands the datagram on as any discovery does.
void on_inventory_reply(PageWindow page, int list_id, const char* address, char* data, int length) {
    const int32_t now = clock_now();
    if (length >= 1 && data[0] == '?') {
        // The handler below cuts the lines in place; ours are cut in a copy.
        char copy[kDatagramMax + 1];
        const int n = std::min(length, kDatagramMax);
        memcpy(copy, data, static_cast<size_t>(n));
        copy[n] = '\0';
        std::vector<std::pair<std::string, std::string>> fields;
        int position = 0;
        while (const char* line = next_line(copy, n, &position)) {
            char key[kTokenSize];
            char value[kTokenSize];
            if (!line_key_value(line, key, value)) {
                continue;
            }
            // A key given twice keeps its last value, as the reply's reader does.
            auto same = std::find_if(fields.begin(), fields.end(),
                                     [&](const auto& field) { return field.first == key; });
            if (same != fields.end()) {
                same->second = value;
            } else {
                fields.emplace_back(key, value);
            }
        }
        const std::lock_guard<std::mutex> hold(answers_lock);
        auto [entry, added] = answers.try_emplace(address, Answer{now, {}});
        if (added || entry->second.fields.empty()) {
            entry->second.fields = std::move(fields);
        }
    }
    on_discovery_reply(page, list_id, address, data, length);
}

void wait_ms_from(int32_t start, int wait_ms) {
    while (static_cast<uint32_t>(clock_elapsed(start, 0)) < static_cast<uint32_t>(wait_ms)) {
        sleep_tick();
    }
}

uint32_t to_host(uint32_t network) {
    uint8_t bytes[4];
    memcpy(bytes, &network, 4);
    return uint32_t{bytes[0]} << 24 | uint32_t{bytes[1]} << 16 | uint32_t{bytes[2]} << 8 | bytes[3];
}

std::string csv_field(const std::string& text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos) {
        return text;
    }
    std::string out = "\"";
    for (const char c : text) {
        out += c == '"' ? "\"\"" : std::string(1, c);
    }
    return out + "\"";
}

const std::string* field_of(const InventoryEntry& phone, const std::string& key) {
    for (const auto& field : phone.fields) {
        if (field.first == key) {
            return &field.second;
        }
    }
    return nullptr;
}

}  // namespace

const char* reached_by(uint32_t address, const std::vector<uint32_t>& broadcasts,
                       bool answered_its_unicast, bool targets_given) {
    for (const uint32_t broadcast : broadcasts) {
        uint32_t hosts = 0;
        while (hosts != 0xFFFFFFFFu && (broadcast & (hosts << 1 | 1)) == (hosts << 1 | 1)) {
            hosts = hosts << 1 | 1;
        }
        if (hosts >= 3 && (address | hosts) == broadcast) {
            return "broadcast";
        }
    }
    if (answered_its_unicast) {
        return "unicast";
    }
    return targets_given ? "directed broadcast" : "broadcast";
}

const CliOption kTargetOption = {"target", true, true};
const CliOption kRateOption = {"rate", true};
const char kReachUsage[] =
    "  --target TARGET    also ask these addresses one by one, for phones that no broadcast\n"
    "                     reaches (behind routers): an address, a range 192.168.5.10-200, a\n"
    "                     block 10.1.2.0/24 (at most a /16) or @FILE (one target per line,\n"
    "                     # comments); may be repeated\n"
    "  --rate N           requests to targets per second (default 1000)\n";

int read_reach(const ParsedArgs* args, int rate_index, Reach* out) {
    const char* rate = args->values[rate_index];
    if (rate) {
        char* end = nullptr;
        const long value = strtol(rate, &end, 10);
        if (!*rate || *end || value < 1 || value > 100000) {
            fprintf(stderr, "kvxctl: --rate %s: give requests per second from 1 to 100000\n", rate);
            return -1;
        }
        out->rate = static_cast<int>(value);
    }
    std::string error;
    if (targets_expand(args->repeated, args->repeated_count, &out->targets, &error) != 0) {
        fprintf(stderr, "kvxctl: %s\n", error.c_str());
        return -1;
    }
    return 0;
}

int discover_inventory(PageWindow page, int list_id, const Reach& reach, bool broadcast,
                       int wait_ms, Inventory* out) {
    const std::vector<uint32_t>& targets = reach.targets;
    {
        const std::lock_guard<std::mutex> hold(answers_lock);
        answers.clear();
    }
    ui_list_clear(master_list_page(), kMasterListId);
    ui_list_clear(page, list_id);
    uint32_t directed[kBroadcastMax];
    const int directed_count =
        broadcast ? std::max(sock_broadcast_addrs(directed, kBroadcastMax), 0) : 0;

    const int32_t start = clock_now();
    if (broadcast && discover_devices_with(page, list_id, on_inventory_reply) != 0) {
        return 0;
    }
    // Paced so that a sweep does not flood the routers on the way or our own receive buffer.
    std::vector<int32_t> sent_at(targets.size());
    size_t sent = 0;
    while (sent < targets.size()) {
        const uint64_t due = static_cast<uint64_t>(static_cast<uint32_t>(clock_elapsed(start, 0))) *
                                 static_cast<uint64_t>(reach.rate) / 1000 +
                             1;
        for (; sent < targets.size() && sent < due; ++sent) {
            sent_at[sent] = clock_now();
            discover_device_at(page, list_id, address_text(targets[sent]).c_str(),
                               on_inventory_reply);
        }
        if (sent < targets.size()) {
            sleep_tick();
        }
    }
    wait_ms_from(clock_now(), wait_ms);

    const int count = ui_list_count(page, list_id);
    if (!out) {
        return count;
    }
    std::vector<uint32_t> broadcasts(static_cast<size_t>(directed_count));
    std::transform(directed, directed + directed_count, broadcasts.begin(), to_host);
    *out = Inventory{};
    out->sent = (broadcast ? 1 + directed_count : 0) + static_cast<int>(targets.size());
    const std::lock_guard<std::mutex> hold(answers_lock);
    for (int i = 0; i < count; ++i) {
        char entry[kEntrySize];
        char address[kEntrySize];
        if (ui_list_get(page, list_id, i, entry, sizeof entry) <= 0) {
            continue;
        }
        first_token(entry, address, sizeof address);
        const auto answer = answers.find(address);
        if (answer == answers.end()) {
            continue;
        }
        Endpoint endpoint;
        sock_make_addr(&endpoint, address, 0);
        const uint32_t host = to_host(endpoint.address);
        const auto target = std::lower_bound(targets.begin(), targets.end(), host);
        const bool is_target = target != targets.end() && *target == host;
        const int32_t asked =
            is_target ? sent_at[static_cast<size_t>(target - targets.begin())] : start;
        const int32_t first = answer->second.first_at;
        const bool after_unicast = is_target && clock_elapsed(asked, first) >= 0;
        InventoryEntry phone;
        phone.address = address;
        phone.reached = reached_by(host, broadcasts, after_unicast, !targets.empty());
        phone.ms = clock_elapsed(phone.reached == std::string("unicast") ? asked : start, first);
        phone.fields = answer->second.fields;
        out->last_ms = std::max(out->last_ms, static_cast<int>(clock_elapsed(start, first)));
        out->phones.push_back(std::move(phone));
    }
    return count;
}

std::string inventory_json(const Inventory& inventory) {
    std::string devices;
    std::string phones;
    for (const InventoryEntry& phone : inventory.phones) {
        const char* comma = devices.empty() ? "" : ", ";
        devices += comma + json_quote(phone.address);
        phones += comma;
        phones += "{\"address\": " + json_quote(phone.address) +
                  ", \"reached\": " + json_quote(phone.reached) +
                  ", \"ms\": " + std::to_string(phone.ms) + ", \"reply\": {";
        for (size_t i = 0; i < phone.fields.size(); ++i) {
            phones += (i ? ", " : "") + json_quote(phone.fields[i].first) + ": " +
                      json_quote(phone.fields[i].second);
        }
        phones += "}}";
    }
    return "{\"devices\": [" + devices + "], \"sent\": " + std::to_string(inventory.sent) +
           ", \"last_ms\": " + std::to_string(inventory.last_ms) + ", \"phones\": [" + phones +
           "]}\n";
}

std::string inventory_csv(const Inventory& inventory) {
    std::vector<std::string> keys;
    for (const InventoryEntry& phone : inventory.phones) {
        for (const auto& field : phone.fields) {
            if (std::find(keys.begin(), keys.end(), field.first) == keys.end()) {
                keys.push_back(field.first);
            }
        }
    }
    std::string out = "address,reached,ms";
    for (const std::string& key : keys) {
        out += "," + csv_field(key);
    }
    out += "\n";
    for (const InventoryEntry& phone : inventory.phones) {
        out += phone.address + "," + phone.reached + "," + std::to_string(phone.ms);
        for (const std::string& key : keys) {
            const std::string* value = field_of(phone, key);
            out += "," + (value ? csv_field(*value) : std::string());
        }
        out += "\n";
    }
    return out;
}

std::string inventory_columns(const Inventory& inventory) {
    std::string out;
    for (const InventoryEntry& phone : inventory.phones) {
        const std::string* version = field_of(phone, "version");
        char line[160];
        snprintf(line, sizeof line, "%-15s  %s\n", phone.address.c_str(),
                 version ? version->c_str() : "");
        out += line;
    }
    return out;
}
