// event_log.h: the event log of a simulated phone, one line per request, reply, transfer and
// injected fault, written through at once so tests can read it while the phone runs.
#pragma once

#include <cstdio>
#include <string>

struct EventLog {
    FILE* file = nullptr;
};

// Appends to path. 0, or -1 when it cannot be opened.
int event_log_open(EventLog* log, const std::string& path);
void event_log_close(EventLog* log);
// One line: seconds since kvxphone started (millisecond precision), then the formatted text.
void log_event(EventLog* log, const char* format, ...) __attribute__((format(printf, 2, 3)));
// A text that came from the network made fit for one log word: bytes outside '!' to '~' and
// '%' itself become %XX.
std::string log_word(const std::string& text);
