// sim_clock.cpp: milliseconds from the steady clock, counted from the first use.
#include "sim_clock.h"

#include <chrono>

int64_t sim_now_ms() {
    using std::chrono::steady_clock;
    static const steady_clock::time_point start = steady_clock::now();
    return std::chrono::duration_cast<std::chrono::milliseconds>(steady_clock::now() - start)
        .count();
}
