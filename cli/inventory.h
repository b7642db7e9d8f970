// inventory.h: discovery for an inventory: broadcasts and unicasts to target addresses, and
// for each telephone that answers every key and value of its reply, how the request reached
// it and how soon it answered.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "cli_options.h"
#include "page_window.h"

constexpr int kDefaultRate = 1000;  // unicast discovery requests per second

// A command's --target and --rate: the addresses to ask one by one (host byte order, sorted)
// and how many requests a second.
struct Reach {
    std::vector<uint32_t> targets;
    int rate = kDefaultRate;
};
extern const CliOption kTargetOption;  // repeatable: its values are ParsedArgs::repeated
extern const CliOption kRateOption;
// The usage lines of the two options.
extern const char kReachUsage[];
// Reads the two options from a command's arguments (--rate at rate_index). 0, or -1 after
// saying what is wrong; nothing has been sent then.
int read_reach(const ParsedArgs* args, int rate_index, Reach* out);

struct InventoryEntry {
    std::string address;
    std::string reached;  // "broadcast", "directed broadcast" or "unicast"
    int ms;               // from the request that reached it to its first answer
    std::vector<std::pair<std::string, std::string>> fields;  // as the reply gave them
};

struct Inventory {
    std::vector<InventoryEntry> phones;  // in the order of the page's device list
    int sent = 0;                        // discovery datagrams sent
    int last_ms = 0;                     // from the first request to the last phone's first answer
};

// Empties the master list and the page's list, broadcasts the discovery request as
// discover_devices does (with broadcast), then sends it to every target at the reach's rate,
// and collects answers until wait_ms after the last request. The page's list is filled as by
// any discovery, each phone once however many paths it answered on. The number of entries in
// it; out, when given, describes each.
int discover_inventory(PageWindow page, int list_id, const Reach& reach, bool broadcast,
                       int wait_ms, Inventory* out);

// How a phone was reached, from what the client sent: "broadcast" when the address lies on
// the subnet of one of the directed broadcast addresses sent (host order; each subnet judged
// from the trailing one bits of its broadcast address), "unicast" when it was a target and
// answered after its own request went out, otherwise "directed broadcast" when targets were
// given (a target that was a remote subnet's broadcast address reached it) and "broadcast"
// when not (a phone off our subnets on the same link heard the limited broadcast).
const char* reached_by(uint32_t address, const std::vector<uint32_t>& broadcasts,
                       bool answered_its_unicast, bool targets_given);

// {"devices": [addresses], "sent": N, "last_ms": N, "phones": [{"address", "reached", "ms",
// "reply": {key: value, ...}}, ...]}; the devices array is the plain --json form.
std::string inventory_json(const Inventory& inventory);
// A header "address,reached,ms" and every reply key in the order first seen, then a row per
// phone; fields quoted where they need it.
std::string inventory_csv(const Inventory& inventory);
// Address and version in columns, a line per phone.
std::string inventory_columns(const Inventory& inventory);
