// soak_ui.cpp: the utility's half of the fault soak (scripts/soak). Drives kvxutil.exe through
// its windows: Upload to All of a hold file to every telephone it lists, turning the pages while
// the transfers run, then Refresh and a Misc. command to all. Prints what it saw, one fact a
// line, for tests/soak/soak.py to judge.
//   soak_ui.exe FOLDER HOLD_FILE LISTED [LIMIT_SECONDS]
#include <windows.h>
// windows.h first: the others build on it.
#include <psapi.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "resource.h"
#include "sheet_driver.h"

namespace {

enum PageIndex { kMp3 = 0, kBanner = 1, kAdmin = 2, kIrList = 3, kMisc = 4 };

struct PageActions {
    int index;
    std::vector<int> ids;
};

const PageActions kOtherPages[] = {
    {kBanner, {IDC_BANNER_REFRESH, IDC_BANNER_UPLOAD, IDC_BANNER_UPLOAD_ALL}},
    {kAdmin, {IDC_ADMIN_REFRESH, IDC_ADMIN_UPGRADE, IDC_ADMIN_UPGRADE_ALL}},
    {kIrList, {IDC_IR_REFRESH, IDC_IR_DOWNLOAD, IDC_IR_UPLOAD, IDC_IR_UPLOAD_ALL}},
    {kMisc, {IDC_MISC_REFRESH, IDC_MISC_UPGRADE, IDC_MISC_UPGRADE_ALL}},
};

void say(const char* format, ...) {
    va_list args;
    va_start(args, format);
    vprintf(format, args);
    va_end(args);
    putchar('\n');
    fflush(stdout);
}

// The utility's private bytes: what it holds beyond its image.
void memory(const SheetDriver& app, const char* when) {
    DWORD pid = 0;
    GetWindowThreadProcessId(app.sheet(), &pid);
    const HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid);
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof counters;
    if (process && GetProcessMemoryInfo(process, &counters, sizeof counters)) {
        say("MEMORY %s %lu", when, static_cast<unsigned long>(counters.PagefileUsage));
    }
    if (process) {
        CloseHandle(process);
    }
}

void entries(const SheetDriver& app, HWND page, int id, const char* tag) {
    for (const std::string& entry : app.list(page, id)) {
        say("%s %s", tag, entry.c_str());
    }
}

DWORD since(DWORD start) {
    return GetTickCount() - start;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        fprintf(stderr, "usage: soak_ui.exe FOLDER HOLD_FILE LISTED [LIMIT_SECONDS]\n");
        return 2;
    }
    const std::string folder = argv[1];
    const std::string hold = argv[2];
    const size_t listed = strtoul(argv[3], nullptr, 10);
    const DWORD limit_ms = 1000 * static_cast<DWORD>(argc > 4 ? atoi(argv[4]) : 1800);

    SheetDriver app;
    if (!app.start(folder)) {
        say("FAILED the sheet never showed");
        return 1;
    }
    HWND mp3 = app.show_page(kMp3);
    DWORD start = GetTickCount();
    say("LISTED %zu %lu", app.wait_list(mp3, IDC_MP3_LIST, listed, 30000).size(), since(start));
    memory(app, "start");

    app.check(mp3, IDC_MP3_HOLD);
    app.set_text(mp3, IDC_MP3_PATH, hold);
    app.press(mp3, IDC_MP3_UPLOAD_ALL);
    start = GetTickCount();
    MessageBoxSeen seen;
    bool done = false;
    int turns = 0;
    int enabled_while_busy = 0;
    // While the chain runs: each other page in turn, whose actions must stay disabled.
    while (!done && since(start) < limit_ms) {
        done = app.take_message(&seen, 1500);
        if (!done) {
            const PageActions& other = kOtherPages[turns++ % 4];
            const HWND page = app.show_page(other.index);
            for (const int id : other.ids) {
                enabled_while_busy += IsWindowEnabled(app.control(page, id)) != FALSE;
            }
            mp3 = app.show_page(kMp3);
        }
    }
    if (!done) {
        say("FAILED Upload to All did not end within %lu s", limit_ms / 1000);
        entries(app, mp3, IDC_MP3_LIST, "ENTRY");
        return 1;
    }
    say("UPLOAD_MS %lu", since(start));
    say("MESSAGE %s|%s", seen.caption.c_str(), seen.text.c_str());
    say("TURNS %d %d", turns, enabled_while_busy);
    entries(app, mp3, IDC_MP3_LIST, "ENTRY");
    memory(app, "after-upload");

    // Discovery and commands again once the chain is over: the channel still serves.
    app.press(mp3, IDC_MP3_REFRESH);
    start = GetTickCount();
    say("REFRESH %zu %lu", app.wait_list(mp3, IDC_MP3_LIST, listed, 30000).size(), since(start));
    const HWND misc = app.show_page(kMisc);
    app.set_text(misc, IDC_MISC_NAME, "admin");
    app.set_text(misc, IDC_MISC_PASSWORD, "admin");
    app.press(misc, IDC_MISC_UPGRADE_ALL);
    start = GetTickCount();
    for (bool all = false; !all && since(start) < 15000; settle(100)) {
        all = true;
        for (const std::string& entry : app.list(misc, IDC_MISC_LIST)) {
            all = all && entry.find(" --- ") != std::string::npos;
        }
    }
    entries(app, misc, IDC_MISC_LIST, "MISC");
    memory(app, "end");

    DWORD took = 0;
    const int code = app.close(30000, &took);
    say("EXIT %d %lu", code, took);
    return code == 0 ? 0 : 1;
}
