// busy.cpp: the global busy flag, shared by the user-interface and worker threads.
#include "busy.h"

std::atomic<int32_t> ui_busy{0};

void set_busy() {
    ui_busy.store(1);
}

void clear_busy() {
    ui_busy.store(0);
}
