// main.cpp: the utility's entry point: start-up, the main window, and shutdown in reverse.
#include <windows.h>

#include "busy.h"
#include "channel.h"
#include "main_window.h"
#include "platform.h"
#include "progress_window.h"
#include "transfer_worker.h"
#include "ui_win32.h"

namespace {

void services_start() {
    mem_init();
    sock_init();
    transfer_start();
}

void services_stop() {
    transfer_stop();
    sock_fin();
    mem_fin();
}

// The pages post the quit message as the sheet closes them, so it is already waiting here;
// if the sheet never showed, there is none, and nothing is waited for.
int drain_messages() {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            return static_cast<int>(message.wParam);
        }
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return 1;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    services_start();
    ui_thread_begin(instance);  // the receive handlers run here, beside the lists they change
    channel_open();             // a channel that failed to open simply finds no telephones
    clear_busy();
    progress_window_prepare(instance);
    show_main_window(instance);
    const int exit_code = drain_messages();
    progress_window_release();
    channel_close();
    ui_thread_end();
    services_stop();
    return exit_code;
}
