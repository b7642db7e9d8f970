// soak_ui.cpp: the utility's half of the fault soak (scripts/soak). Drives kvxutil.exe through
// its windows: Upload to All of a hold file to every telephone it lists, turning the pages while
// the transfers run; then, after a line on standard input (the soak judges the first round and
// puts another file in place meanwhile), Refresh, a Misc. command to all and a second Upload to
// All. Prints what it saw, one fact a line, for bench/soak.py to judge.
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

// Upload to All on the MP3 Hold/Ring page, turning to each other page in turn while the chain
// runs, whose actions must stay disabled. Prints the round's facts; false when it never ended.
bool upload_to_all(SheetDriver& app, const std::string& hold, int round, DWORD limit_ms) {
    HWND mp3 = app.show_page(kMp3);
    app.press(mp3, IDC_MP3_HOLD);
    app.set_text(mp3, IDC_MP3_PATH, hold);
    const DWORD start = GetTickCount();
    app.press(mp3, IDC_MP3_UPLOAD_ALL);
    MessageBoxSeen seen;
    bool done = false;
    int turns = 0;
    int enabled_while_busy = 0;
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
    const std::string tag = "ENTRY" + std::to_string(round);
    if (!done) {
        say("FAILED Upload to All %d did not end within %lu s", round, limit_ms / 1000);
        entries(app, mp3, IDC_MP3_LIST, tag.c_str());
        return false;
    }
    say("UPLOAD_MS%d %lu", round, since(start));
    say("MESSAGE%d %s|%s", round, seen.caption.c_str(), seen.text.c_str());
    say("TURNS%d %d %d", round, turns, enabled_while_busy);
    entries(app, mp3, IDC_MP3_LIST, tag.c_str());
    return true;
}

// Refresh on the MP3 Hold/Ring page. It empties the list; it is done when every telephone is
// back, bare, and no reply has come for a second (a reply that came after the next command
// would be taken for its answer).
void refresh(SheetDriver& app, size_t listed) {
    const HWND mp3 = app.show_page(kMp3);
    const DWORD start = GetTickCount();
    app.press(mp3, IDC_MP3_REFRESH);
    std::vector<std::string> before;
    DWORD still_since = GetTickCount();
    while (since(start) < 30000) {
        const std::vector<std::string> now = app.list(mp3, IDC_MP3_LIST);
        if (now != before) {
            before = now;
            still_since = GetTickCount();
        }
        bool bare = now.size() >= listed;
        for (const std::string& entry : now) {
            bare = bare && entry.find(' ') == std::string::npos;
        }
        if (bare && since(still_since) >= 1000) {
            break;
        }
        settle(50);
    }
    say("REFRESH %zu %lu", before.size(), since(start) - since(still_since));
}

// Misc. to all with the factory account; waits until every entry carries an answer.
void misc_to_all(SheetDriver& app) {
    const HWND misc = app.show_page(kMisc);
    app.set_text(misc, IDC_MISC_NAME, "admin");
    app.set_text(misc, IDC_MISC_PASSWORD, "admin");
    app.press(misc, IDC_MISC_UPGRADE_ALL);
    const DWORD start = GetTickCount();
    for (bool all = false; !all && since(start) < 15000; settle(100)) {
        all = true;
        for (const std::string& entry : app.list(misc, IDC_MISC_LIST)) {
            all = all && entry.find(" --- ") != std::string::npos;
        }
    }
    entries(app, misc, IDC_MISC_LIST, "MISC");
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
    const DWORD start = GetTickCount();
    say("LISTED %zu %lu", app.wait_list(app.show_page(kMp3), IDC_MP3_LIST, listed, 30000).size(),
        since(start));
    memory(app, "start");
    if (!upload_to_all(app, hold, 1, limit_ms)) {
        return 1;
    }
    memory(app, "after-upload-1");

    say("PAUSE");
    char line[16];
    if (!fgets(line, sizeof line, stdin)) {
        say("FAILED no word to go on");
        return 1;
    }
    // Discovery and commands once the chain is over, then the same chain again.
    refresh(app, listed);
    misc_to_all(app);
    memory(app, "after-commands");
    if (!upload_to_all(app, hold, 2, limit_ms)) {
        return 1;
    }
    memory(app, "after-upload-2");

    DWORD took = 0;
    const int code = app.close(30000, &took);
    say("EXIT %d %lu", code, took);
    return code == 0 ? 0 : 1;
}
