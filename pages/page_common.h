// page_common.h: what every page does the same way: activation, Refresh, target selection,
// the single upload and the Upload to All chain with their completions, commands to one or all
// devices, and the file picker.
#pragma once

#include <atomic>
#include <cstdint>

#include "command_cipher.h"
#include "page_window.h"
#include "transfer_worker.h"

constexpr int kLocalPathSize = 256;  // the path edits give at most 255 characters
constexpr int kRemoteNameSize = 32;
constexpr int kAddressSize = 32;

// The page's own check of its local file (size limits, bitmap rule, station list): 0 when it
// may be uploaded, -1 when not (the check has shown its message, if any).
using FileCheckStep = int (*)(PageWindow page);
// Builds the page's command frame from its fields: 0 when ready, -1 after a message.
using FrameBuilder = int (*)(PageWindow page, CommandFrame* frame);

// Transfer state of one upload page, kept in static storage by the page.
struct UploadPage {
    int list_id;
    int path_id;         // 0 when the page has no path edit (its check prepares the file)
    int file_button_id;  // the File button that opens the picker for path_id
    const int* action_ids;
    int action_count;
    FileCheckStep check;      // also does the page's preparation, such as the remote name
    CompletionCallback done;  // the page's single-upload completion
    CompletionCallback chain_done;
    // Run before the closing message of a single upload or of a chain, and when a chain finds
    // no device: removes what the page prepared for the upload. May be null.
    void (*cleanup)();
    char local_path[kLocalPathSize];
    char remote_name[kRemoteNameSize];
    char device[kAddressSize];
    std::atomic<int32_t> chain_index;
    std::atomic<int32_t> chain_end;
};

using CommandHandler = int (*)(PageWindow page, int id, int notification);

// A control's command: ignored while the busy flag is set, otherwise given to the page's
// handler. 1 when handled (or ignored), 0 when the page has no handler for the control.
int dispatch_command(CommandHandler handler, PageWindow page, int id, int notification);
// Enables the action controls, or disables them while the busy flag is set.
void enable_actions(PageWindow page, const int* ids, int count);
// Empties the master list and this page's list, then asks the telephones to answer.
void page_refresh(PageWindow page, int list_id);
// The first token of the selected entry into address. 0, or -1 (the warning shown when nothing
// is selected, with the given text).
int target_selection(PageWindow page, int list_id, char* address, int size,
                     const char* warning = "Please select a target device.");
// The single upload of the page's file to the selected device.
void single_upload(UploadPage* state, PageWindow page);
// Completion of a single upload: the message, then the page usable again and a Refresh.
void single_upload_done(UploadPage* state, PageWindow page, int result);
// Uploads the page's file to every usable entry of its list in turn.
void upload_to_all(UploadPage* state, PageWindow page);
// Completion of one upload of the chain: annotates the entry and submits the next.
void chain_upload_done(UploadPage* state, PageWindow page, int result);
// The command frame sent to the selected device, or to every listed device.
void single_command(PageWindow page, int list_id, const int* action_ids, int action_count,
                    FrameBuilder build);
void command_loop(PageWindow page, int list_id, const int* action_ids, int action_count,
                  FrameBuilder build);
// The open-file dialog for the path edit; a chosen file's folder becomes the current
// directory. 0 when a file was chosen, -1 otherwise.
int file_picker(PageWindow page, int edit_id);
