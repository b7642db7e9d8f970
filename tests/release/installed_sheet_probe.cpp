// installed_sheet_probe.cpp: starts an installed kvxutil.exe, checks that its sheet opens and
// that it closes cleanly, and keeps a screenshot of it (installed-sheet.bmp).
//   installed_sheet_probe PROGRAM
#include <windows.h>

#include <cstdio>

#include "sheet_driver.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        fputs("usage: installed_sheet_probe PROGRAM\n", stderr);
        return 2;
    }
    char folder[MAX_PATH] = "";
    GetTempPathA(sizeof folder, folder);
    SheetDriver driver;
    if (!driver.start(folder, argv[1])) {
        printf("%s: the sheet did not open\n", argv[1]);
        return 1;
    }
    driver.screenshot(screenshot_path("installed-sheet"));
    DWORD took_ms = 0;
    const int code = driver.close(10000, &took_ms);
    printf("%s: the sheet opened; closing it ended the program with status %d\n", argv[1], code);
    return code == 0 ? 0 : 1;
}
