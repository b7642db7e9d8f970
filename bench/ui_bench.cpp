// ui_bench.cpp: the utility's discovery and Misc. command to all, timed through its windows.
// Starts kvxutil.exe, lets its first discovery settle, then presses Refresh and Upgrade All on
// the Misc. page and prints, for the phones present, how many were listed (or annotated) and how
// long after the press the last of them was. A benchmark, not a test: bench/discovery runs
// it under Wine on the test LAN.
//   ui_bench.exe PRESENT FOLDER
#include <windows.h>
// windows.h first: the others build on it.
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "resource.h"
#include "sheet_driver.h"

namespace {

constexpr int kMiscPage = 4;
constexpr DWORD kQuietMs = 3000;  // a measurement ends this long after its last progress
constexpr DWORD kLongestMs = 60000;

DWORD since(DWORD start) {
    return GetTickCount() - start;
}

// Waits until the list stops growing; the most entries seen and when they were first seen.
int wait_listed(HWND box, DWORD start, DWORD* last_ms) {
    int most = 0;
    DWORD last = start;
    while (GetTickCount() - last < kQuietMs && since(start) < kLongestMs) {
        const int count = static_cast<int>(SendMessageW(box, LB_GETCOUNT, 0, 0));
        if (count > most) {
            most = count;
            last = GetTickCount();
        }
        Sleep(5);
    }
    *last_ms = last - start;
    return most;
}

// One message: the utility's entries are an address and a result word, far below 256.
bool annotated(HWND box, int index) {
    wchar_t entry[256] = L"";
    SendMessageW(box, LB_GETTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(entry));
    return wcsstr(entry, L" --- ") != nullptr;
}

// Waits until every entry is annotated or none was for a while; the entries annotated.
// Each reading is a message to the utility's own thread, which the replies need as well:
// a round reads on from where the last one stopped and ends at the first entry still bare,
// so the whole wait reads each entry about once, however often it looks.
int wait_annotated(HWND box, int listed, DWORD start, DWORD* last_ms) {
    std::vector<int> pending;
    for (int i = 0; i < listed; ++i) {
        pending.push_back(i);
    }
    size_t at = 0;
    DWORD last = GetTickCount();  // the quiet time counts from the press's return
    while (!pending.empty() && GetTickCount() - last < kQuietMs && since(start) < kLongestMs) {
        for (size_t looked = 0, n = pending.size(); looked < n && !pending.empty(); ++looked) {
            at = at < pending.size() ? at : 0;
            if (!annotated(box, pending[at])) {
                ++at;
                break;
            }
            pending.erase(pending.begin() + static_cast<std::ptrdiff_t>(at));
            last = GetTickCount();
        }
        Sleep(10);
    }
    *last_ms = last - start;
    return listed - static_cast<int>(pending.size());
}

void report(const char* what, int done, int of, int present, DWORD last_ms) {
    printf("%-22s %5d of %5d (present %d), last after %6lu ms\n", what, done, of, present,
           static_cast<unsigned long>(last_ms));
    fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        fprintf(stderr, "usage: ui_bench.exe PRESENT FOLDER\n");
        return 2;
    }
    const int present = atoi(argv[1]);
    SheetDriver app;
    if (!app.start(argv[2])) {
        fprintf(stderr, "ui_bench: the utility did not show its window\n");
        return 1;
    }
    // The first discovery starts with the program; let it end before measuring.
    DWORD last_ms = 0;
    const HWND mp3 = app.show_page(0);
    wait_listed(app.control(mp3, IDC_MP3_LIST), GetTickCount(), &last_ms);

    const HWND misc = app.show_page(kMiscPage);
    const HWND box = app.control(misc, IDC_MISC_LIST);
    DWORD start = GetTickCount();
    app.press(misc, IDC_MISC_REFRESH);
    const int listed = wait_listed(box, start, &last_ms);
    report("discover (Misc. page)", listed, present, present, last_ms);

    app.set_text(misc, IDC_MISC_NAME, "admin");
    app.set_text(misc, IDC_MISC_PASSWORD, "admin");
    start = GetTickCount();
    app.press(misc, IDC_MISC_UPGRADE_ALL);
    const int answers = wait_annotated(box, listed, start, &last_ms);
    report("misc to all", answers, listed, present, last_ms);
    // What the wait above cannot be faster than: it reads every entry at least once.
    start = GetTickCount();
    for (int i = 0; i < listed; ++i) {
        annotated(box, i);
    }
    printf("%-22s reading every entry from outside takes %lu ms\n", "",
           static_cast<unsigned long>(since(start)));

    DWORD took = 0;
    app.close(10000, &took);
    return 0;
}
