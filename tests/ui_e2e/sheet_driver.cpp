// sheet_driver.cpp: the driver of kvxutil.exe's windows, and small file helpers.
#include "sheet_driver.h"

#include <commctrl.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "png_writer.h"

namespace {

constexpr char kCaption[] = "Norvik KVX-350RT Utility - 1.0";

struct BoxSearch {
    DWORD process;
    HWND sheet;
    HWND found;
};

BOOL CALLBACK find_box(HWND window, LPARAM parameter) {
    auto* search = reinterpret_cast<BoxSearch*>(parameter);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    char class_name[32] = "";
    GetClassNameA(window, class_name, sizeof class_name);
    if (owner == search->process && window != search->sheet && IsWindowVisible(window) &&
        strcmp(class_name, "#32770") == 0) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

BOOL CALLBACK find_progress(HWND window, LPARAM parameter) {
    char class_name[32] = "";
    GetClassNameA(window, class_name, sizeof class_name);
    if (strcmp(class_name, "ProgressClass") == 0 && IsWindowVisible(window)) {
        *reinterpret_cast<bool*>(parameter) = true;
        return FALSE;
    }
    return TRUE;
}

}  // namespace

SheetDriver::~SheetDriver() {
    if (process_.hProcess) {
        if (WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT) {
            TerminateProcess(process_.hProcess, 99);
            WaitForSingleObject(process_.hProcess, 5000);
        }
        CloseHandle(process_.hProcess);
        CloseHandle(process_.hThread);
    }
}

bool SheetDriver::start(const std::string& folder, const std::string& program) {
    const std::string path =
        program.empty() ? program_folder() + "\\..\\app\\kvxutil.exe" : program;
    std::string command = "\"" + path + "\"";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(),
                        &startup, &process_)) {
        return false;
    }
    for (int i = 0; i < 300 && !sheet_; ++i) {
        Sleep(100);
        HWND window = FindWindowA(nullptr, kCaption);
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        if (window && owner == process_.dwProcessId && IsWindowVisible(window)) {
            sheet_ = window;
        }
    }
    settle(300);
    return sheet_ != nullptr;
}

HWND SheetDriver::show_page(int index) {
    SendMessageA(sheet_, PSM_SETCURSEL, static_cast<WPARAM>(index), 0);
    settle(150);
    return reinterpret_cast<HWND>(SendMessageA(sheet_, PSM_GETCURRENTPAGEHWND, 0, 0));
}

std::string SheetDriver::text(HWND window) const {
    // GetWindowText gives only captions of another process's windows; edits have none.
    char buffer[512] = "";
    SendMessageA(window, WM_GETTEXT, sizeof buffer, reinterpret_cast<LPARAM>(buffer));
    return buffer;
}

std::vector<std::string> SheetDriver::list(HWND page, int id) const {
    std::vector<std::string> entries;
    const HWND box = control(page, id);
    const LRESULT count = SendMessageW(box, LB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        // Across processes only the wide form arrives intact.
        wchar_t wide[256] = L"";
        if (SendMessageW(box, LB_GETTEXTLEN, static_cast<WPARAM>(i), 0) >= 255) {
            entries.emplace_back("(too long)");
            continue;
        }
        SendMessageW(box, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(wide));
        std::string narrow;
        for (const wchar_t* c = wide; *c; ++c) {
            narrow.push_back(static_cast<char>(*c));
        }
        entries.push_back(narrow);
    }
    return entries;
}

void SheetDriver::set_text(HWND page, int id, const std::string& text) {
    SendMessageA(control(page, id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

void SheetDriver::select_entry(HWND page, int id, int index) {
    SendMessageA(control(page, id), LB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

void SheetDriver::select_choice(HWND page, int id, int index) {
    SendMessageA(control(page, id), CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    // A user's choice also tells the page.
    PostMessageA(page, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(control(page, id)));
    settle(100);
}

void SheetDriver::check(HWND page, int id) {
    press(page, id);
}

void SheetDriver::press(HWND page, int id) {
    PostMessageA(control(page, id), BM_CLICK, 0, 0);
    settle(100);
}

bool SheetDriver::take_message(MessageBoxSeen* seen, int ms) {
    for (int waited = 0; waited < ms; waited += 50) {
        BoxSearch search = {process_.dwProcessId, sheet_, nullptr};
        EnumWindows(find_box, reinterpret_cast<LPARAM>(&search));
        if (search.found) {
            settle(100);
            seen->caption = text(search.found);
            seen->text = text(GetDlgItem(search.found, 0xFFFF));
            PostMessageA(search.found, WM_COMMAND, IDOK, 0);
            settle(200);
            return true;
        }
        Sleep(50);
    }
    return false;
}

std::vector<std::string> SheetDriver::wait_list(HWND page, int id, size_t count, int ms) {
    std::vector<std::string> entries = list(page, id);
    for (int waited = 0; waited < ms && entries.size() < count; waited += 100) {
        Sleep(100);
        entries = list(page, id);
    }
    return entries;
}

bool SheetDriver::wait_enabled(HWND control, bool enabled, int ms) const {
    for (int waited = 0; waited < ms; waited += 50) {
        if ((IsWindowEnabled(control) != FALSE) == enabled) {
            return true;
        }
        Sleep(50);
    }
    return false;
}

bool SheetDriver::progress_window_shown() const {
    bool shown = false;
    EnumWindows(find_progress, reinterpret_cast<LPARAM>(&shown));
    return shown;
}

int SheetDriver::close(int ms, DWORD* took_ms) {
    const DWORD start = GetTickCount();
    PostMessageA(sheet_, WM_SYSCOMMAND, SC_CLOSE, 0);
    if (WaitForSingleObject(process_.hProcess, static_cast<DWORD>(ms)) != WAIT_OBJECT_0) {
        return -1;
    }
    *took_ms = GetTickCount() - start;
    DWORD code = 0;
    GetExitCodeProcess(process_.hProcess, &code);
    return static_cast<int>(code);
}

bool SheetDriver::screenshot(const std::string& path) const {
    RECT area;
    GetWindowRect(sheet_, &area);
    const int w = area.right - area.left;
    const int h = area.bottom - area.top;
    const HDC screen = GetDC(nullptr);
    const HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = w;
    info.bmiHeader.biHeight = -h;  // top-down rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    const HBITMAP bitmap = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    const HGDIOBJ previous = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, w, h, screen, area.left, area.top, SRCCOPY);
    GdiFlush();
    std::vector<uint8_t> rgb(static_cast<size_t>(w) * static_cast<size_t>(h) * 3);
    const auto* pixels = static_cast<const uint8_t*>(bits);
    for (size_t i = 0; i < static_cast<size_t>(w) * static_cast<size_t>(h); ++i) {
        rgb[i * 3] = pixels[i * 4 + 2];
        rgb[i * 3 + 1] = pixels[i * 4 + 1];
        rgb[i * 3 + 2] = pixels[i * 4];
    }
    SelectObject(memory, previous);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return write_png(path, w, h, rgb);
}

void settle(int ms) {
    Sleep(static_cast<DWORD>(ms));
}

std::string program_folder() {
    char path[MAX_PATH] = "";
    GetModuleFileNameA(nullptr, path, sizeof path);
    std::string folder = path;
    return folder.substr(0, folder.find_last_of('\\'));
}

std::string screenshot_path(const std::string& name) {
    const std::string dir = program_folder() + "\\..\\ui-screenshots";
    CreateDirectoryA(dir.c_str(), nullptr);
    return dir + "\\" + name + ".png";
}

std::string windows_path(const std::string& unix_path) {
    std::string path = "Z:" + unix_path;
    for (char& c : path) {
        if (c == '/') {
            c = '\\';
        }
    }
    return path;
}

std::vector<std::string> lan_phones() {
    std::vector<std::string> phones;
    const char* listed = getenv("KVX_LAN_PHONES");
    std::istringstream words(listed ? listed : "");
    for (std::string phone; words >> phone;) {
        phones.push_back(phone);
    }
    return phones;
}

std::string phone_file(const std::string& phone, const std::string& name) {
    const char* state = getenv("KVX_LAN_STATE");
    return windows_path(std::string(state ? state : "/nonexistent") + "/" + phone + "/" + name);
}

std::string read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream all;
    all << in.rdbuf();
    return all.str();
}

void write_file(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}
