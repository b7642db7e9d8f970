// busy.h: the one global busy flag. While it is set a transfer or a series of commands is under
// way, and every page ignores its commands and keeps its action controls disabled.
#pragma once

#include <atomic>
#include <cstdint>

extern std::atomic<int32_t> ui_busy;

void set_busy();
void clear_busy();
