// sheet_driver.h: drives a running kvxutil.exe from another process through its real windows,
// as a person would: pages, edits, buttons, list entries, message boxes and screenshots.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

struct MessageBoxSeen {
    std::string caption;
    std::string text;
};

class SheetDriver {
  public:
    ~SheetDriver();
    // Starts the utility (this build's, or the program given) in the folder and waits for its
    // sheet. False when it never showed.
    bool start(const std::string& folder, const std::string& program = std::string());
    HWND sheet() const {
        return sheet_;
    }
    // Shows the page at index (0 to 4) and returns its window.
    HWND show_page(int index);
    HWND control(HWND page, int id) const {
        return GetDlgItem(page, id);
    }
    std::string text(HWND window) const;
    std::vector<std::string> list(HWND page, int id) const;
    // Waits until list id has count entries, or the time is up; the last entries.
    std::vector<std::string> wait_list(HWND page, int id, size_t count, int ms) const;
    void set_text(HWND page, int id, const std::string& text);
    // Selects the first entry of list id that starts with prefix.
    void select_entry(HWND page, int id, const std::string& prefix);
    void select_choice(HWND page, int id, int index);  // a selection box, as the user would
    // Presses a button; posted, since its handler may open a modal box.
    void press(HWND page, int id);
    // Waits for the program's next message box, reads it and dismisses it.
    bool take_message(MessageBoxSeen* seen, int ms);
    bool progress_window_shown() const;
    // Closes the sheet with its close box; the process's exit code, or -1 if it did not end.
    int close(int ms, DWORD* took_ms = nullptr);
    // Writes the sheet as a bitmap file.
    bool screenshot(const std::string& path) const;

  private:
    // A visible top-level window of the program other than the sheet; null when there is none.
    HWND own_window(const char* class_name, const char* caption) const;
    PROCESS_INFORMATION process_ = {};
    HWND sheet_ = nullptr;
};

// Waits, pumping nothing of ours, for the program to settle.
void settle(int ms);
// Polls done every 50 ms until it holds or ms have passed; whether it held.
bool wait_until(const std::function<bool()>& done, int ms);
// Where a screenshot of that name goes: build/windows/ui-screenshots/NAME.bmp.
std::string screenshot_path(const std::string& name);
