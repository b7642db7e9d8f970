// ui_win32.cpp: the front-end seam over real dialog controls, one window message per call.
// Calls from other threads reach the controls as synchronous messages to their own thread;
// routines for the user-interface thread reach it as messages posted to a window of its own.
#include <windows.h>
// After windows.h, which it builds on.
#include <commdlg.h>

#include <atomic>
#include <cstring>

#include "ui.h"
#include "ui_win32.h"

namespace {

HWND window_of(PageWindow page) {
    return reinterpret_cast<HWND>(page);
}

// The controls found so far, each thread its own. GetDlgItem asks the window system for the
// page's children every time (under Wine a round trip to the wineserver, dearer than most
// list operations themselves); a control's parent and id, which it holds itself, tell
// whether a control found before is still the one.
struct KnownControl {
    HWND page;
    int id;
    HWND control;
};
constexpr int kKnownMax = 64;
thread_local KnownControl known[kKnownMax];
thread_local int known_next = 0;

HWND control_of(PageWindow page, int id) {
    const HWND parent = window_of(page);
    for (KnownControl& k : known) {
        if (k.control && k.page == parent && k.id == id) {
            if (GetParent(k.control) == parent && GetDlgCtrlID(k.control) == id) {
                return k.control;
            }
            k.control = nullptr;
        }
    }
    const HWND control = GetDlgItem(parent, id);
    if (control) {
        known[known_next] = {parent, id, control};
        known_next = (known_next + 1) % kKnownMax;
    }
    return control;
}

// As SendDlgItemMessage: 0 when the control does not exist.
LRESULT send_to(HWND control, UINT message, WPARAM wparam, LPARAM lparam) {
    return control ? SendMessageA(control, message, wparam, lparam) : 0;
}

LRESULT send(PageWindow page, int id, UINT message, WPARAM wparam = 0, LPARAM lparam = 0) {
    return send_to(control_of(page, id), message, wparam, lparam);
}

std::atomic<uint32_t> list_changes{0};

// While a routine runs on the user-interface thread, each list it changes draws nothing until
// the routine returns, then draws once: a batch of replies, not every change, is what the
// user gets to see, and drawing (a scroll bar per change) is what a change costs most.
constexpr int kHeldListsMax = 16;
thread_local bool holding_redraw = false;
thread_local HWND held_lists[kHeldListsMax];
thread_local int held_count = 0;

void hold_redraw(HWND list) {
    for (int i = 0; i < held_count; ++i) {
        if (held_lists[i] == list) {
            return;
        }
    }
    if (held_count == kHeldListsMax || !list) {
        return;
    }
    held_lists[held_count++] = list;
    SendMessageA(list, WM_SETREDRAW, FALSE, 0);
}

void release_redraw() {
    for (int i = 0; i < held_count; ++i) {
        SendMessageA(held_lists[i], WM_SETREDRAW, TRUE, 0);
        InvalidateRect(held_lists[i], nullptr, TRUE);
    }
    held_count = 0;
}

constexpr char kRunnerClass[] = "KvxUiThreadRunner";
constexpr UINT kRunRoutine = WM_APP + 1;  // lparam: the routine
HINSTANCE runner_instance = nullptr;
std::atomic<HWND> runner{nullptr};

LRESULT CALLBACK runner_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == kRunRoutine) {
        holding_redraw = true;
        reinterpret_cast<void (*)()>(lparam)();
        holding_redraw = false;
        release_redraw();
        return 0;
    }
    return DefWindowProcA(window, message, wparam, lparam);
}

// Counts a change of entries once its message has been handled.
LRESULT change(PageWindow page, int id, UINT message, WPARAM wparam = 0, LPARAM lparam = 0) {
    const HWND list = control_of(page, id);
    if (holding_redraw) {
        hold_redraw(list);
    }
    const LRESULT result = send_to(list, message, wparam, lparam);
    ++list_changes;
    return result;
}

int copy_text(const char* from, LRESULT length, char* out, int size) {
    if (size <= 0) {
        return 0;
    }
    const int n = static_cast<int>(length) < size - 1 ? static_cast<int>(length) : size - 1;
    memcpy(out, from, static_cast<size_t>(n));
    out[n] = '\0';
    return n;
}

}  // namespace

int ui_get_text(PageWindow page, int id, char* out, int size) {
    if (size <= 0) {
        return 0;
    }
    out[0] = '\0';
    if (!GetDlgItem(window_of(page), id)) {
        return 0;
    }
    return static_cast<int>(GetDlgItemTextA(window_of(page), id, out, size));
}

int ui_set_text(PageWindow page, int id, const char* text) {
    return SetDlgItemTextA(window_of(page), id, text) ? 0 : -1;
}

void ui_enable(PageWindow page, int id, int enabled) {
    EnableWindow(GetDlgItem(window_of(page), id), enabled ? TRUE : FALSE);
}

int ui_get_check(PageWindow page, int id) {
    return IsDlgButtonChecked(window_of(page), id) == BST_CHECKED ? 1 : 0;
}

void ui_set_check(PageWindow page, int id, int checked) {
    CheckDlgButton(window_of(page), id, checked ? BST_CHECKED : BST_UNCHECKED);
}

void ui_set_read_only(PageWindow page, int id, int read_only) {
    send(page, id, EM_SETREADONLY, read_only ? TRUE : FALSE);
}

int ui_list_count(PageWindow page, int id) {
    return static_cast<int>(send(page, id, LB_GETCOUNT));
}

int ui_list_get(PageWindow page, int id, int index, char* out, int size) {
    const LRESULT length = send(page, id, LB_GETTEXTLEN, static_cast<WPARAM>(index));
    if (length == LB_ERR) {
        if (size > 0) {
            out[0] = '\0';
        }
        return -1;
    }
    // The whole entry first: LB_GETTEXT knows no buffer size.
    char* whole =
        static_cast<char*>(HeapAlloc(GetProcessHeap(), 0, static_cast<SIZE_T>(length) + 1));
    if (!whole) {
        return -1;
    }
    const LRESULT got =
        send(page, id, LB_GETTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(whole));
    const int n = got == LB_ERR ? -1 : copy_text(whole, got, out, size);
    HeapFree(GetProcessHeap(), 0, whole);
    return n;
}

int ui_list_add(PageWindow page, int id, const char* text) {
    const LRESULT index = change(page, id, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
    return index < 0 ? -1 : static_cast<int>(index);
}

int ui_list_insert(PageWindow page, int id, int index, const char* text) {
    const LRESULT at = change(page, id, LB_INSERTSTRING, static_cast<WPARAM>(index),
                              reinterpret_cast<LPARAM>(text));
    return at < 0 ? -1 : static_cast<int>(at);
}

int ui_list_delete(PageWindow page, int id, int index) {
    const LRESULT left = change(page, id, LB_DELETESTRING, static_cast<WPARAM>(index));
    return left < 0 ? -1 : static_cast<int>(left);
}

void ui_list_clear(PageWindow page, int id) {
    change(page, id, LB_RESETCONTENT);
}

// The list box searches itself, in one message: from the top (-1: start before entry 0).
int ui_list_find_exact(PageWindow page, int id, const char* text) {
    const LRESULT index =
        send(page, id, LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(text));
    return index < 0 ? -1 : static_cast<int>(index);
}

int ui_list_find_prefix(PageWindow page, int id, const char* prefix) {
    const LRESULT index =
        send(page, id, LB_FINDSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(prefix));
    return index < 0 ? -1 : static_cast<int>(index);
}

uint32_t ui_list_changes() {
    return list_changes;
}

int ui_list_selection(PageWindow page, int id) {
    const LRESULT index = send(page, id, LB_GETCURSEL);
    return index < 0 ? -1 : static_cast<int>(index);
}

int ui_list_select(PageWindow page, int id, int index) {
    const LRESULT at = send(page, id, LB_SETCURSEL, static_cast<WPARAM>(index));
    return at < 0 ? -1 : static_cast<int>(at);
}

int ui_combo_count(PageWindow page, int id) {
    return static_cast<int>(send(page, id, CB_GETCOUNT));
}

int ui_combo_add(PageWindow page, int id, const char* text) {
    const LRESULT index = send(page, id, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
    return index < 0 ? -1 : static_cast<int>(index);
}

void ui_combo_clear(PageWindow page, int id) {
    send(page, id, CB_RESETCONTENT);
}

int ui_combo_selection(PageWindow page, int id) {
    const LRESULT index = send(page, id, CB_GETCURSEL);
    return index < 0 ? -1 : static_cast<int>(index);
}

int ui_combo_select(PageWindow page, int id, int index) {
    const LRESULT at = send(page, id, CB_SETCURSEL, static_cast<WPARAM>(index));
    return at < 0 ? -1 : static_cast<int>(at);
}

void ui_message_box(PageWindow page, const char* text, const char* caption) {
    MessageBoxA(window_of(page), text, caption, MB_OK);
}

int ui_open_file(PageWindow page, const char* description, const char* pattern,
                 const char* initial_dir, char* path, int size) {
    // Description and pattern, each terminated, then one more terminator.
    char filter[128] = {};
    if (description) {
        const size_t d = strlen(description);
        const size_t p = strlen(pattern);
        if (d + p + 3 > sizeof filter) {
            return -1;
        }
        memcpy(filter, description, d + 1);
        memcpy(filter + d + 1, pattern, p + 1);
    }
    path[0] = '\0';
    OPENFILENAMEA dialog = {};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = window_of(page);
    dialog.lpstrFilter = description ? filter : nullptr;
    dialog.nFilterIndex = 0;
    dialog.lpstrFile = path;
    dialog.nMaxFile = static_cast<DWORD>(size);
    dialog.lpstrInitialDir = initial_dir;
    dialog.Flags = OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST;
    if (!GetOpenFileNameA(&dialog)) {
        CommDlgExtendedError();  // cancelled or failed: nothing changes either way
        return -1;
    }
    return 0;
}

int ui_thread_begin(HINSTANCE instance) {
    WNDCLASSA window_class = {};
    window_class.lpfnWndProc = runner_procedure;
    window_class.hInstance = instance;
    window_class.lpszClassName = kRunnerClass;
    RegisterClassA(&window_class);
    runner_instance = instance;
    // Message-only: never shown, never enumerated, but served by every loop of this thread.
    runner = CreateWindowExA(0, kRunnerClass, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, instance,
                             nullptr);
    return runner.load() ? 0 : -1;
}

void ui_thread_end() {
    if (const HWND window = runner.exchange(nullptr)) {
        DestroyWindow(window);
    }
    UnregisterClassA(kRunnerClass, runner_instance);
}

int ui_run_on_ui_thread(void (*routine)()) {
    const HWND window = runner;
    if (!window || !PostMessageA(window, kRunRoutine, 0, reinterpret_cast<LPARAM>(routine))) {
        return -1;
    }
    return 0;
}
