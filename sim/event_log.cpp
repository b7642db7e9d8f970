// event_log.cpp: appending event lines with a time stamp.
#include "event_log.h"

#include <cstdarg>

#include "sim_clock.h"

int event_log_open(EventLog* log, const std::string& path) {
    log->file = fopen(path.c_str(), "ab");
    return log->file ? 0 : -1;
}

void event_log_close(EventLog* log) {
    if (log->file) {
        fclose(log->file);
        log->file = nullptr;
    }
}

void log_event(EventLog* log, const char* format, ...) {
    if (!log->file) {
        return;
    }
    const long long ms = sim_now_ms();
    fprintf(log->file, "%lld.%03lld ", ms / 1000, ms % 1000);
    va_list args;
    va_start(args, format);
    // va_start has just initialised args; the analyzer loses track of it.
    vfprintf(log->file, format, args);  // NOLINT(clang-analyzer-valist.Uninitialized)
    va_end(args);
    fputc('\n', log->file);
    fflush(log->file);
}

std::string log_word(const std::string& text) {
    std::string word;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte <= ' ' || byte > '~' || byte == '%') {
            char escaped[4];
            snprintf(escaped, sizeof escaped, "%%%02X", byte);
            word += escaped;
        } else {
            word += c;
        }
    }
    return word.empty() ? "-" : word;
}
