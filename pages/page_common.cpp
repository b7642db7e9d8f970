// page_common.cpp: behaviour shared by the five pages.
#include "page_common.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "busy.h"
#include "channel.h"
#include "device_list.h"
#include "resource.h"
#include "ui.h"

namespace {

// The index of the first usable entry from index from, below end; -1 when there is none.
int next_usable(PageWindow page, int list_id, int from, int end, char* address, int size) {
    for (int i = from; i < end; ++i) {
        if (entry_address(page, list_id, i, address, size) > 0) {
            return i;
        }
    }
    return -1;
}

// The path edit and the page's own check. 0 when the file may be uploaded.
int local_file_check(UploadPage* state, PageWindow page) {
    if (state->path_id != 0) {
        ui_get_text(page, state->path_id, state->local_path, sizeof state->local_path);
        if (!state->local_path[0]) {
            // As if File had been pressed; whatever is picked, nothing is uploaded now.
            file_picker(page, state->path_id);
            return -1;
        }
    }
    return state->check(page);
}

void run_cleanup(const UploadPage* state) {
    if (state->cleanup) {
        state->cleanup();
    }
}

void finish_busy(PageWindow page, const int* ids, int count) {
    clear_busy();
    enable_actions(page, ids, count);
}

}  // namespace

int dispatch_command(CommandHandler handler, PageWindow page, int id, int notification) {
    if (ui_busy.load()) {
        return 1;
    }
    return handler(page, id, notification);
}

void enable_actions(PageWindow page, const int* ids, int count) {
    const int enabled = ui_busy.load() ? 0 : 1;
    for (int i = 0; i < count; ++i) {
        ui_enable(page, ids[i], enabled);
    }
}

void page_refresh(PageWindow page, int list_id) {
    ui_list_clear(master_list_page(), kMasterListId);
    if (page != master_list_page() || list_id != kMasterListId) {
        ui_list_clear(page, list_id);
    }
    discover_devices(page, list_id);
}

int target_selection(PageWindow page, int list_id, char* address, int size, const char* warning) {
    address[0] = '\0';
    const int selected = ui_list_selection(page, list_id);
    if (selected < 0) {
        ui_message_box(page, warning, "Warning!");
        return -1;
    }
    return entry_address(page, list_id, selected, address, size) > 0 ? 0 : -1;
}

void single_upload(UploadPage* state, PageWindow page) {
    char address[kAddressSize];
    if (target_selection(page, state->list_id, address, sizeof address) != 0 ||
        local_file_check(state, page) != 0) {
        return;
    }
    set_busy();
    enable_actions(page, state->action_ids, state->action_count);
    memcpy(state->device, address, sizeof state->device);
    submit_upload(page, state->done, state->device, state->local_path, state->remote_name);
}

void single_upload_done(UploadPage* state, PageWindow page, int result) {
    run_cleanup(state);
    char text[96];
    snprintf(text, sizeof text, "Upgrade %s %s!\n", state->device, result == 1 ? "OK" : "FAIL");
    ui_message_box(page, text, "Upload");
    finish_busy(page, state->action_ids, state->action_count);
    page_refresh(page, state->list_id);
}

void upload_to_all(UploadPage* state, PageWindow page) {
    if (local_file_check(state, page) != 0) {
        return;
    }
    const int count = ui_list_count(page, state->list_id);
    char address[kAddressSize];
    const int first = next_usable(page, state->list_id, 0, count, address, sizeof address);
    if (first < 0) {
        run_cleanup(state);
        ui_message_box(page, "no file be uploaded!", "Upload to All");
        return;
    }
    // In place before the submit: the completion may run as soon as the job is taken.
    set_busy();
    enable_actions(page, state->action_ids, state->action_count);
    state->chain_index = first;
    state->chain_end = count;
    submit_upload(page, state->chain_done, address, state->local_path, state->remote_name);
}

void chain_upload_done(UploadPage* state, PageWindow page, int result) {
    const int index = state->chain_index;
    char address[kAddressSize];
    if (entry_address(page, state->list_id, index, address, sizeof address) > 0) {
        char annotated[kEntrySize];
        snprintf(annotated, sizeof annotated, "%s --- %s", address, result == 1 ? "OK" : "FAIL");
        if (ui_list_delete(page, state->list_id, index) >= 0) {
            ui_list_insert(page, state->list_id, index, annotated);
        }
    }
    const int next =
        next_usable(page, state->list_id, index + 1, state->chain_end, address, sizeof address);
    if (next >= 0) {
        state->chain_index = next;
        submit_upload(page, state->chain_done, address, state->local_path, state->remote_name);
        return;
    }
    run_cleanup(state);
    ui_message_box(page, "Upload to All Complete!", "Upload to All");
    finish_busy(page, state->action_ids, state->action_count);
}

void single_command(PageWindow page, int list_id, const int* action_ids, int action_count,
                    FrameBuilder build) {
    char address[kAddressSize];
    CommandFrame frame;
    if (target_selection(page, list_id, address, sizeof address) != 0 || build(page, &frame) != 0) {
        return;
    }
    set_busy();
    enable_actions(page, action_ids, action_count);
    send_command(page, list_id, address, frame.bytes, frame.length);
    finish_busy(page, action_ids, action_count);
}

void command_loop(PageWindow page, int list_id, const int* action_ids, int action_count,
                  FrameBuilder build) {
    CommandFrame frame;
    if (build(page, &frame) != 0) {
        return;
    }
    set_busy();
    enable_actions(page, action_ids, action_count);
    send_command_to_list(page, list_id, frame.bytes, frame.length);
    finish_busy(page, action_ids, action_count);
}

int file_picker(PageWindow page, int edit_id) {
    std::error_code error;
    const std::string initial = std::filesystem::current_path(error).string();
    const char* description = nullptr;
    const char* pattern = nullptr;
    if (edit_id == IDC_MP3_PATH) {
        description = "MP3 File";
        pattern = "*.mp3";
    } else if (edit_id == IDC_BANNER_PATH) {
        description = "Bitmap File";
        pattern = "*.bmp";
    }
    char path[kLocalPathSize] = "";
    if (ui_open_file(page, description, pattern, initial.c_str(), path, sizeof path) != 0) {
        return -1;
    }
    ui_set_text(page, edit_id, path);
    // Every relative path of the program resolves in the chosen file's folder from now on.
    std::filesystem::current_path(std::filesystem::path(path).parent_path(), error);
    return 0;
}
