// ui_headless.cpp: pages and controls kept in memory behind one lock, ordered as the Win32
// controls order them, so page code behaves here as it does on screen.
#include <atomic>
#include <cstring>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "ascii_text.h"
#include "headless.h"
#include "ui.h"

namespace {

struct Control {
    std::string text;
    bool enabled = true;
    bool checked = false;
    bool read_only = false;
    std::vector<std::string> entries;  // list box
    int selection = -1;
    std::vector<std::string> choices;  // selection box
    int choice = -1;
};

struct Page {
    // Used through the pages' map, which cppcheck does not follow.
    // cppcheck-suppress unusedStructMember
    std::map<int, Control> controls;
};

struct FileAnswer {
    bool chosen;
    std::string path;
};

struct State {
    std::mutex lock;
    std::map<PageWindow, std::unique_ptr<Page>> pages;
    std::vector<HeadlessMessage> messages;
    std::deque<FileAnswer> file_answers;
    bool have_file_request = false;
    HeadlessFileRequest file_request = {};
    bool keep_posted = false;
    std::deque<void (*)()> posted;
};

State& state() {
    static State s;
    return s;
}

std::atomic<uint32_t> list_changes{0};

// Counts a change of entries once it has been made (the lock is released after this).
struct ListChange {
    ~ListChange() {
        ++list_changes;
    }
};

// The caller holds the lock. Null when the page does not exist.
Control* control(PageWindow page, int id) {
    auto found = state().pages.find(page);
    if (found == state().pages.end()) {
        return nullptr;
    }
    return &found->second->controls[id];
}

int copy_out(const std::string& text, char* out, int size) {
    if (!out || size <= 0) {
        return 0;
    }
    const int n = static_cast<int>(text.size()) < size ? static_cast<int>(text.size()) : size - 1;
    memcpy(out, text.data(), static_cast<size_t>(n));
    out[n] = '\0';
    return n;
}

void copy_field(char* field, const char* text) {
    strncpy(field, text ? text : "", kHeadlessTextMax - 1);
    field[kHeadlessTextMax - 1] = '\0';
}

int compare_nocase(const std::string& a, const std::string& b) {
    const size_t n = a.size() < b.size() ? a.size() : b.size();
    const int d = compare_ignoring_case(a.data(), b.data(), n);
    if (d != 0) {
        return d;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

// A sorted list box finds the place by halving, so an entry inserted out of order (at an
// index) makes later additions land where the halving leads, not where a full scan would.
int sorted_position(const std::vector<std::string>& entries, const std::string& text) {
    int low = 0;
    int high = static_cast<int>(entries.size()) - 1;
    while (low <= high) {
        const int middle = (low + high) / 2;
        const int order = compare_nocase(entries[static_cast<size_t>(middle)], text);
        if (order == 0) {
            return middle;
        }
        if (order > 0) {
            high = middle - 1;
        } else {
            low = middle + 1;
        }
    }
    return low;
}

int insert_entry(Control* c, int index, const char* text) {
    c->entries.insert(c->entries.begin() + index, text ? text : "");
    // The selection stays with the entry it was on.
    if (c->selection >= index) {
        ++c->selection;
    }
    return index;
}

}  // namespace

PageWindow headless_page_create() {
    std::lock_guard<std::mutex> hold(state().lock);
    auto page = std::make_unique<Page>();
    const PageWindow handle = reinterpret_cast<PageWindow>(page.get());
    state().pages[handle] = std::move(page);
    return handle;
}

void headless_page_destroy(PageWindow page) {
    // Its lists go too; a page made later may get the same handle.
    const ListChange counted;
    std::lock_guard<std::mutex> hold(state().lock);
    state().pages.erase(page);
}

int headless_is_enabled(PageWindow page, int id) {
    std::lock_guard<std::mutex> hold(state().lock);
    const Control* c = control(page, id);
    return c ? c->enabled : -1;
}

int headless_is_read_only(PageWindow page, int id) {
    std::lock_guard<std::mutex> hold(state().lock);
    const Control* c = control(page, id);
    return c ? c->read_only : -1;
}

int headless_message_count() {
    std::lock_guard<std::mutex> hold(state().lock);
    return static_cast<int>(state().messages.size());
}

int headless_message_get(int index, HeadlessMessage* out) {
    std::lock_guard<std::mutex> hold(state().lock);
    if (index < 0 || index >= static_cast<int>(state().messages.size())) {
        return -1;
    }
    *out = state().messages[static_cast<size_t>(index)];
    return 0;
}

void headless_messages_clear() {
    std::lock_guard<std::mutex> hold(state().lock);
    state().messages.clear();
}

void headless_open_file_answer(const char* path) {
    std::lock_guard<std::mutex> hold(state().lock);
    state().file_answers.push_back({path != nullptr, path ? path : ""});
}

int headless_last_file_request(HeadlessFileRequest* out) {
    std::lock_guard<std::mutex> hold(state().lock);
    if (!state().have_file_request) {
        return -1;
    }
    *out = state().file_request;
    return 0;
}

int ui_get_text(PageWindow page, int id, char* out, int size) {
    std::lock_guard<std::mutex> hold(state().lock);
    const Control* c = control(page, id);
    if (!c) {
        copy_out("", out, size);
        return 0;
    }
    return copy_out(c->text, out, size);
}

int ui_set_text(PageWindow page, int id, const char* text) {
    std::lock_guard<std::mutex> hold(state().lock);
    Control* c = control(page, id);
    if (!c) {
        return -1;
    }
    c->text = text ? text : "";
    return 0;
}

void ui_enable(PageWindow page, int id, int enabled) {
    std::lock_guard<std::mutex> hold(state().lock);
    if (Control* c = control(page, id)) {
        c->enabled = enabled != 0;
    }
}

int ui_get_check(PageWindow page, int id) {
    std::lock_guard<std::mutex> hold(state().lock);
    const Control* c = control(page, id);
    return c && c->checked ? 1 : 0;
}

void ui_set_check(PageWindow page, int id, int checked) {
    std::lock_guard<std::mutex> hold(state().lock);
    if (Control* c = control(page, id)) {
        c->checked = checked != 0;
    }
}

void ui_set_read_only(PageWindow page, int id, int read_only) {
    std::lock_guard<std::mutex> hold(state().lock);
    if (Control* c = control(page, id)) {
        c->read_only = read_only != 0;
    }
}

int ui_list_count(PageWindow page, int id) {
    std::lock_guard<std::mutex> hold(state().lock);
    const Control* c = control(page, id);
    return c ? static_cast<int>(c->entries.size()) : -1;
}

int ui_list_get(PageWindow page, int id, int index, char* out, int size) {
    std::lock_guard<std::mutex> hold(state().lock);
    const Control* c = control(page, id);
    if (!c || index < 0 || index >= static_cast<int>(c->entries.size())) {
        return -1;
    }
    return copy_out(c->entries[static_cast<size_t>(index)], out, size);
}

int ui_list_add(PageWindow page, int id, const char* text) {
    const ListChange counted;
    std::lock_guard<std::mutex> hold(state().lock);
    Control* c = control(page, id);
    if (!c) {
        return -1;
    }
    return insert_entry(c, sorted_position(c->entries, text ? text : ""), text);
}

int ui_list_insert(PageWindow page, int id, int index, const char* text) {
    const ListChange counted;
    std::lock_guard<std::mutex> hold(state().lock);
    Control* c = control(page, id);
    const int count = c ? static_cast<int>(c->entries.size()) : 0;
    if (!c || index < -1 || index > count) {
        return -1;
    }
    return insert_entry(c, index == -1 ? count : index, text);
}

int ui_list_delete(PageWindow page, int id, int index) {
    const ListChange counted;
    std::lock_guard<std::mutex> hold(state().lock);
    Control* c = control(page, id);
    if (!c || index < 0 || index >= static_cast<int>(c->entries.size())) {
        return -1;
    }
    c->entries.erase(c->entries.begin() + index);
    if (c->selection == index) {
        c->selection = -1;
    } else if (c->selection > index) {
        --c->selection;
    }
    return static_cast<int>(c->entries.size());
}

void ui_list_clear(PageWindow page, int id) {
    const ListChange counted;
    std::lock_guard<std::mutex> hold(state().lock);
    if (Control* c = control(page, id)) {
        c->entries.clear();
        c->selection = -1;
    }
}

int ui_list_find_exact(PageWindow page, int id, const char* text) {
    std::lock_guard<std::mutex> hold(state().lock);
    const Control* c = control(page, id);
    const std::string wanted = text ? text : "";
    for (size_t i = 0; c && i < c->entries.size(); ++i) {
        if (compare_nocase(c->entries[i], wanted) == 0) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

int ui_list_find_prefix(PageWindow page, int id, const char* prefix) {
    std::lock_guard<std::mutex> hold(state().lock);
    const Control* c = control(page, id);
    const std::string wanted = prefix ? prefix : "";
    for (size_t i = 0; c && i < c->entries.size(); ++i) {
        if (compare_nocase(c->entries[i].substr(0, wanted.size()), wanted) == 0) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

uint32_t ui_list_changes() {
    return list_changes;
}

int ui_list_selection(PageWindow page, int id) {
    std::lock_guard<std::mutex> hold(state().lock);
    const Control* c = control(page, id);
    return c ? c->selection : -1;
}

int ui_list_select(PageWindow page, int id, int index) {
    std::lock_guard<std::mutex> hold(state().lock);
    Control* c = control(page, id);
    if (!c) {
        return -1;
    }
    if (index == -1) {
        c->selection = -1;
        return -1;
    }
    if (index < 0 || index >= static_cast<int>(c->entries.size())) {
        return -1;
    }
    c->selection = index;
    return index;
}

int ui_combo_count(PageWindow page, int id) {
    std::lock_guard<std::mutex> hold(state().lock);
    const Control* c = control(page, id);
    return c ? static_cast<int>(c->choices.size()) : -1;
}

int ui_combo_add(PageWindow page, int id, const char* text) {
    std::lock_guard<std::mutex> hold(state().lock);
    Control* c = control(page, id);
    if (!c) {
        return -1;
    }
    c->choices.emplace_back(text ? text : "");
    return static_cast<int>(c->choices.size()) - 1;
}

void ui_combo_clear(PageWindow page, int id) {
    std::lock_guard<std::mutex> hold(state().lock);
    if (Control* c = control(page, id)) {
        c->choices.clear();
        c->choice = -1;
    }
}

int ui_combo_selection(PageWindow page, int id) {
    std::lock_guard<std::mutex> hold(state().lock);
    const Control* c = control(page, id);
    return c ? c->choice : -1;
}

int ui_combo_select(PageWindow page, int id, int index) {
    std::lock_guard<std::mutex> hold(state().lock);
    Control* c = control(page, id);
    if (!c) {
        return -1;
    }
    if (index < 0 || index >= static_cast<int>(c->choices.size())) {
        c->choice = -1;
        return -1;
    }
    c->choice = index;
    return index;
}

void ui_message_box(PageWindow page, const char* text, const char* caption) {
    std::lock_guard<std::mutex> hold(state().lock);
    HeadlessMessage message;
    message.page = page;
    copy_field(message.caption, caption);
    copy_field(message.text, text);
    state().messages.push_back(message);
}

int ui_open_file(PageWindow page, const char* description, const char* pattern,
                 const char* initial_dir, char* path, int size) {
    std::lock_guard<std::mutex> hold(state().lock);
    State& s = state();
    s.have_file_request = true;
    s.file_request.page = page;
    copy_field(s.file_request.description, description);
    copy_field(s.file_request.pattern, description ? pattern : "");
    copy_field(s.file_request.initial_dir, initial_dir);
    if (s.file_answers.empty()) {
        return -1;
    }
    const FileAnswer answer = s.file_answers.front();
    s.file_answers.pop_front();
    if (!answer.chosen || static_cast<int>(answer.path.size()) >= size) {
        return -1;
    }
    copy_out(answer.path, path, size);
    return 0;
}

int ui_run_on_ui_thread(void (*routine)()) {
    std::lock_guard<std::mutex> hold(state().lock);
    if (!state().keep_posted) {
        return -1;
    }
    state().posted.push_back(routine);
    return 0;
}

void headless_keep_posted(int keep) {
    std::lock_guard<std::mutex> hold(state().lock);
    state().keep_posted = keep != 0;
    if (!keep) {
        state().posted.clear();
    }
}

int headless_posted_count() {
    std::lock_guard<std::mutex> hold(state().lock);
    return static_cast<int>(state().posted.size());
}

int headless_run_posted() {
    int ran = 0;
    for (;;) {
        void (*routine)() = nullptr;
        {
            std::lock_guard<std::mutex> hold(state().lock);
            if (state().posted.empty()) {
                return ran;
            }
            routine = state().posted.front();
            state().posted.pop_front();
        }
        routine();  // without the lock: it calls back in
        ++ran;
    }
}
