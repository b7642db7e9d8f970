// device_list.h: the pages' device lists: the master list and its copies, lookups by address,
// and the two receive handlers that fill them from replies.
#pragma once

#include "page_window.h"

constexpr int kMasterListId = 1011;  // list box of the MP3 Hold/Ring page
constexpr int kResultSize = 12;      // a command's result word: at most 11 characters
// Room for any entry: an address, " --- " and a result word.
constexpr int kEntrySize = 64;

// The page that holds the master device list; it records itself when it is created.
void set_master_list_page(PageWindow page);
PageWindow master_list_page();

// Index of the first entry from the top whose first token is the address, or -1; a constant
// number of list operations. Entries are a bare address or "address --- result", as the
// handlers below and the pages write them.
int find_device_entry(PageWindow page, int list_id, const char* address);
// The address (first token) of entry index: its length, 0 when the entry is missing or empty.
int entry_address(PageWindow page, int list_id, int index, char* address, int size);

// Replaces the page's list with the addresses (first tokens) of the master list's entries.
void copy_device_list(PageWindow page, int list_id);

// Receive handlers: the channel calls one with the current request's page and list, the
// sender's address text and the datagram, which has one writable byte beyond length.
// Adds a telephone of our model to the master list, then refreshes the asking page's list: by
// adding that one address where it can tell that the list still mirrors the master list,
// otherwise by copy_device_list; either way the list ends as copy_device_list makes it.
void on_discovery_reply(PageWindow page, int list_id, const char* address, char* data, int length);
// Writes "address --- result" for the sender into the page's list, in place of its entry.
void on_command_reply(PageWindow page, int list_id, const char* address, char* data, int length);
