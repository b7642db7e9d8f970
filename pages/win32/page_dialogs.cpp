// page_dialogs.cpp: the pages' dialog procedures, which turn window messages into calls of the
// pages' portable behaviour.
#include "page_dialogs.h"

#include <commctrl.h>

#include "field_limits.h"
#include "page_common.h"
#include "pages.h"
#include "resource.h"

namespace {

constexpr COLORREF kHintColour = RGB(255, 0, 0);  // red

struct PageBehaviour {
    void (*init)(PageWindow page);
    void (*activate)(PageWindow page);
    CommandHandler command;
    void (*prepare_controls)(HWND page);  // edit limits and password masks; may be null
    void (*paint)(HWND page, HDC dc);     // may be null
};

PageWindow as_page(HWND window) {
    return reinterpret_cast<PageWindow>(window);
}

void limit_edit(HWND page, int id, int characters, bool password) {
    SendDlgItemMessageA(page, id, EM_LIMITTEXT, static_cast<WPARAM>(characters), 0);
    if (password) {
        SendDlgItemMessageA(page, id, EM_SETPASSWORDCHAR, '*', 0);
    }
}

void prepare_admin(HWND page) {
    limit_edit(page, IDC_ADMIN_OLD_NAME, kAdminNameMax, false);
    limit_edit(page, IDC_ADMIN_NEW_NAME, kAdminNameMax, false);
    limit_edit(page, IDC_ADMIN_OLD_PASSWORD, kAdminPasswordMax, true);
    limit_edit(page, IDC_ADMIN_NEW_PASSWORD, kAdminPasswordMax, true);
    limit_edit(page, IDC_ADMIN_CONFIRM, kAdminPasswordMax, true);
}

void prepare_misc(HWND page) {
    limit_edit(page, IDC_MISC_NAME, kAdminNameMax, false);
    limit_edit(page, IDC_MISC_PASSWORD, kAdminPasswordMax, true);
}

void prepare_irlist(HWND page) {
    limit_edit(page, IDC_IR_NAME, kStationNameMax, false);
    limit_edit(page, IDC_IR_URL, kStationUrlMax, false);
}

void paint_hint(HWND page, HDC dc) {
    RECT area;
    GetClientRect(page, &area);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, kHintColour);
    area.top = area.bottom - 18;
    DrawTextA(dc, "Suggest to use 8KHz, Mono channel mp3 file.", -1, &area, DT_CENTER);
}

// Activation runs once each time the sheet shows the page: on WM_CHILDACTIVATE where the
// window system sends it on every show, otherwise on the sheet's PSN_SETACTIVE.
INT_PTR page_procedure(const PageBehaviour& behaviour, bool* shown, HWND window, UINT message,
                       WPARAM wparam, LPARAM lparam) {
    const PageWindow page = as_page(window);
    switch (message) {
        case WM_INITDIALOG:
            if (behaviour.prepare_controls) {
                behaviour.prepare_controls(window);
            }
            behaviour.init(page);
            return 0;
        case WM_CHILDACTIVATE:
            if (!*shown) {
                *shown = true;
                behaviour.activate(page);
            }
            return 0;
        case WM_NOTIFY: {
            const auto* header = reinterpret_cast<const NMHDR*>(lparam);
            if (header->code == static_cast<UINT>(PSN_SETACTIVE) && !*shown) {
                *shown = true;
                behaviour.activate(page);
            } else if (header->code == static_cast<UINT>(PSN_KILLACTIVE)) {
                *shown = false;
            }
            return FALSE;  // the sheet's default answers: show the page, let it go
        }
        case WM_PAINT: {
            PAINTSTRUCT paint;
            const HDC dc = BeginPaint(window, &paint);
            if (behaviour.paint) {
                behaviour.paint(window, dc);
            }
            EndPaint(window, &paint);
            return 0;
        }
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
        case WM_COMMAND:
            dispatch_command(behaviour.command, page, LOWORD(wparam), HIWORD(wparam));
            return 0;
        default:
            // A dialog procedure leaves what it does not handle to the dialog manager.
            return FALSE;
    }
}

const PageBehaviour kMp3 = {mp3_page_init, mp3_page_activate, mp3_page_command, nullptr,
                            paint_hint};
const PageBehaviour kBanner = {banner_page_init, banner_page_activate, banner_page_command, nullptr,
                               nullptr};
const PageBehaviour kAdmin = {admin_page_init, admin_page_activate, admin_page_command,
                              prepare_admin, nullptr};
const PageBehaviour kIrList = {irlist_page_init, irlist_page_activate, irlist_page_command,
                               prepare_irlist, nullptr};
const PageBehaviour kMisc = {misc_page_init, misc_page_activate, misc_page_command, prepare_misc,
                             nullptr};

bool mp3_shown = false;
bool banner_shown = false;
bool admin_shown = false;
bool irlist_shown = false;
bool misc_shown = false;

}  // namespace

INT_PTR CALLBACK mp3_page_proc(HWND page, UINT message, WPARAM wparam, LPARAM lparam) {
    return page_procedure(kMp3, &mp3_shown, page, message, wparam, lparam);
}

INT_PTR CALLBACK banner_page_proc(HWND page, UINT message, WPARAM wparam, LPARAM lparam) {
    return page_procedure(kBanner, &banner_shown, page, message, wparam, lparam);
}

INT_PTR CALLBACK admin_page_proc(HWND page, UINT message, WPARAM wparam, LPARAM lparam) {
    return page_procedure(kAdmin, &admin_shown, page, message, wparam, lparam);
}

INT_PTR CALLBACK irlist_page_proc(HWND page, UINT message, WPARAM wparam, LPARAM lparam) {
    return page_procedure(kIrList, &irlist_shown, page, message, wparam, lparam);
}

INT_PTR CALLBACK misc_page_proc(HWND page, UINT message, WPARAM wparam, LPARAM lparam) {
    return page_procedure(kMisc, &misc_shown, page, message, wparam, lparam);
}
