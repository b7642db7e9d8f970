// sheet_driver.cpp: the driver of kvxutil.exe's windows.
#include "sheet_driver.h"

#include <commctrl.h>

#include <fstream>

static std::string program_folder() {
    char path[MAX_PATH] = "";
    GetModuleFileNameA(nullptr, path, sizeof path);
    const std::string folder = path;
    return folder.substr(0, folder.find_last_of('\\'));
}

SheetDriver::~SheetDriver() {
    if (process_.hProcess) {
        TerminateProcess(process_.hProcess, 99);  // fails harmlessly once the program has ended
        WaitForSingleObject(process_.hProcess, 5000);
        CloseHandle(process_.hProcess);
        CloseHandle(process_.hThread);
    }
}

bool SheetDriver::start(const std::string& folder, const std::string& program) {
    std::string command =
        "\"" + (program.empty() ? program_folder() + "\\..\\app\\kvxutil.exe" : program) + "\"";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(),
                        &startup, &process_)) {
        return false;
    }
    const char* title = "Norvik KVX-350RT Utility - 1.0";
    wait_until([&] { return (sheet_ = own_window(nullptr, title)) != nullptr; }, 30000);
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
    for (LRESULT i = 0; i < SendMessageW(box, LB_GETCOUNT, 0, 0); ++i) {
        // Across processes only the wide form arrives intact.
        wchar_t wide[256] = L"";
        if (SendMessageW(box, LB_GETTEXTLEN, static_cast<WPARAM>(i), 0) < 256) {
            SendMessageW(box, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(wide));
        }
        entries.emplace_back(wide, wide + wcslen(wide));
    }
    return entries;
}

std::vector<std::string> SheetDriver::wait_list(HWND page, int id, size_t count, int ms) const {
    wait_until([&] { return list(page, id).size() >= count; }, ms);
    return list(page, id);
}

void SheetDriver::set_text(HWND page, int id, const std::string& text) {
    SendMessageA(control(page, id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

void SheetDriver::select_entry(HWND page, int id, const std::string& prefix) {
    const std::wstring wide(prefix.begin(), prefix.end());  // see list()
    SendMessageW(control(page, id), LB_SELECTSTRING, static_cast<WPARAM>(-1),
                 reinterpret_cast<LPARAM>(wide.c_str()));
}

void SheetDriver::select_choice(HWND page, int id, int index) {
    SendMessageA(control(page, id), CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    // A user's choice also tells the page.
    PostMessageA(page, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(control(page, id)));
    settle(100);
}

void SheetDriver::press(HWND page, int id) {
    PostMessageA(control(page, id), BM_CLICK, 0, 0);
    settle(100);
}

HWND SheetDriver::own_window(const char* class_name, const char* caption) const {
    HWND window = nullptr;
    while ((window = FindWindowExA(nullptr, window, class_name, caption)) != nullptr) {
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        if (window != sheet_ && owner == process_.dwProcessId && IsWindowVisible(window)) {
            return window;
        }
    }
    return nullptr;
}

bool SheetDriver::take_message(MessageBoxSeen* seen, int ms) {
    HWND box = nullptr;
    if (!wait_until([&] { return (box = own_window("#32770", nullptr)) != nullptr; }, ms)) {
        return false;
    }
    settle(100);
    seen->caption = text(box);
    seen->text = text(GetDlgItem(box, 0xFFFF));
    PostMessageA(box, WM_COMMAND, IDOK, 0);
    settle(200);
    return true;
}

bool SheetDriver::progress_window_shown() const {
    return own_window("ProgressClass", nullptr) != nullptr;
}

int SheetDriver::close(int ms, DWORD* took_ms) {
    const DWORD start = GetTickCount();
    PostMessageA(sheet_, WM_SYSCOMMAND, SC_CLOSE, 0);
    if (WaitForSingleObject(process_.hProcess, static_cast<DWORD>(ms)) != WAIT_OBJECT_0) {
        return -1;
    }
    if (took_ms) {
        *took_ms = GetTickCount() - start;
    }
    DWORD code = 0;
    GetExitCodeProcess(process_.hProcess, &code);
    return static_cast<int>(code);
}

bool SheetDriver::screenshot(const std::string& path) const {
    RECT area;
    GetWindowRect(sheet_, &area);
    const LONG width = area.right - area.left, height = area.bottom - area.top;
    BITMAPINFOHEADER info = {sizeof info, width, height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    const HDC screen = GetDC(nullptr);
    const HDC memory = CreateCompatibleDC(screen);
    void* bits = nullptr;
    const HBITMAP bitmap = CreateDIBSection(memory, reinterpret_cast<BITMAPINFO*>(&info),
                                            DIB_RGB_COLORS, &bits, nullptr, 0);
    const HGDIOBJ previous = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, area.left, area.top, SRCCOPY);
    GdiFlush();
    const DWORD pixels = static_cast<DWORD>(width * height * 4);
    const DWORD offset = sizeof(BITMAPFILEHEADER) + sizeof info;
    const BITMAPFILEHEADER header = {0x4D42, offset + pixels, 0, 0, offset};
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(&header), sizeof header);
    out.write(reinterpret_cast<const char*>(&info), sizeof info);
    out.write(static_cast<const char*>(bits), pixels);
    SelectObject(memory, previous);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return static_cast<bool>(out);
}

void settle(int ms) {
    Sleep(static_cast<DWORD>(ms));
}

bool wait_until(const std::function<bool()>& done, int ms) {
    for (int waited = 0; waited < ms; waited += 50) {
        if (done()) {
            return true;
        }
        settle(50);
    }
    return done();
}

std::string screenshot_path(const std::string& name) {
    const std::string dir = program_folder() + "\\..\\ui-screenshots";
    CreateDirectoryA(dir.c_str(), nullptr);
    return dir + "\\" + name + ".bmp";
}
