// main_window.cpp: the property sheet, its five pages and their order.
#include "main_window.h"

#include <commctrl.h>

#include <cstdio>
#include <cstring>

#include "command_cipher.h"
#include "page_dialogs.h"
#include "resource.h"

namespace {

constexpr char kVersion[] = "1.0";

struct PageRecord {
    const char* title;
    int dialog;
    int icon;
    DLGPROC procedure;
};

// The I/R List page comes before the Misc. page.
const PageRecord kPages[] = {
    {"MP3 Hold/Ring", IDD_MP3, IDI_MP3, mp3_page_proc},
    {"Banner", IDD_BANNER, IDI_BANNER, banner_page_proc},
    {"Admin", IDD_ADMIN, IDI_ADMIN, admin_page_proc},
    {"I/R List", IDD_IRLIST, IDI_IRLIST, irlist_page_proc},
    {"Misc.", IDD_MISC, IDI_MISC, misc_page_proc},
};
constexpr int kPageCount = sizeof kPages / sizeof kPages[0];

// A dialog template's style word, plain or extended.
DWORD* template_style(void* dialog_template) {
    auto* words = static_cast<WORD*>(dialog_template);
    auto* bytes = static_cast<unsigned char*>(dialog_template);
    return reinterpret_cast<DWORD*>(words[1] == 0xFFFF ? bytes + 12 : bytes);
}

}  // namespace

int CALLBACK sheet_callback(HWND sheet, UINT message, LPARAM parameter) {
    if (message == PSCB_INITIALIZED) {
        // No OK or Cancel: the sheet is closed with the close box of its caption.
        DestroyWindow(GetDlgItem(sheet, IDOK));
        DestroyWindow(GetDlgItem(sheet, IDCANCEL));
    } else if (message == PSCB_PRECREATE && parameter) {
        DWORD* style = template_style(reinterpret_cast<void*>(parameter));
        DWORD value;
        memcpy(&value, style, sizeof value);  // the template need not be aligned
        value &= ~static_cast<DWORD>(DS_CONTEXTHELP);
        memcpy(style, &value, sizeof value);
    }
    return 0;
}

INT_PTR show_main_window(HINSTANCE instance) {
    static char caption[64];
    snprintf(caption, sizeof caption, "Norvik %s Utility - %s", kModelId, kVersion);

    PROPSHEETPAGEA pages[kPageCount] = {};
    for (int i = 0; i < kPageCount; ++i) {
        pages[i].dwSize = sizeof pages[i];
        pages[i].dwFlags = PSP_USEICONID | PSP_USETITLE;
        pages[i].hInstance = instance;
        pages[i].pszTemplate = MAKEINTRESOURCEA(kPages[i].dialog);
        pages[i].pszIcon = MAKEINTRESOURCEA(kPages[i].icon);
        pages[i].pszTitle = kPages[i].title;
        pages[i].pfnDlgProc = kPages[i].procedure;
        pages[i].lParam = 0;
    }
    PROPSHEETHEADERA header = {};
    header.dwSize = sizeof header;
    header.dwFlags = PSH_PROPSHEETPAGE | PSH_USEICONID | PSH_NOAPPLYNOW | PSH_USECALLBACK;
    header.hwndParent = nullptr;
    header.hInstance = instance;
    header.pszIcon = MAKEINTRESOURCEA(IDI_SHEET);
    header.pszCaption = caption;
    header.nPages = kPageCount;
    header.nStartPage = 0;
    header.ppsp = pages;
    header.pfnCallback = sheet_callback;
    return PropertySheetA(&header);
}
