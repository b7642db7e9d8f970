// sheet_driver.h: drives a running kvxutil.exe from another process through its real windows,
// as a person would: pages, edits, buttons, list entries, message boxes and screenshots.
#pragma once

#include <windows.h>

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
    void set_text(HWND page, int id, const std::string& text);
    void select_entry(HWND page, int id, int index);
    void select_choice(HWND page, int id, int index);  // a selection box, as the user would
    void check(HWND page, int id);
    // Presses a button; posted, since its handler may open a modal box.
    void press(HWND page, int id);
    // Waits for the program's next message box, reads it and dismisses it.
    bool take_message(MessageBoxSeen* seen, int ms);
    // Waits until the entries of list id satisfy done, or the time is up; the last entries.
    std::vector<std::string> wait_list(HWND page, int id, size_t count, int ms);
    bool progress_window_shown() const;
    // Waits until the control is enabled (or disabled) as asked; false when it never was.
    bool wait_enabled(HWND control, bool enabled, int ms) const;
    // Closes the sheet with its close box; the process's exit code, or -1 if it did not end.
    int close(int ms, DWORD* took_ms);
    // Writes the sheet as a PNG picture.
    bool screenshot(const std::string& path) const;

  private:
    PROCESS_INFORMATION process_ = {};
    HWND sheet_ = nullptr;
};

// Waits, pumping nothing of ours, for the program to settle.
void settle(int ms);
// The folder of this test program, and files there and in the phones' state.
std::string program_folder();
// Where a screenshot of that name goes: build/windows/ui-screenshots/NAME.png.
std::string screenshot_path(const std::string& name);
std::string windows_path(const std::string& unix_path);
std::vector<std::string> lan_phones();
std::string phone_file(const std::string& phone, const std::string& name);
std::string read_file(const std::string& path);
void write_file(const std::string& path, const std::string& bytes);
