// sim_clock.h: the simulator's monotonic millisecond clock.
#pragma once

#include <cstdint>

// Milliseconds since the first call in this process.
int64_t sim_now_ms();
