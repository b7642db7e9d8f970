// banner_page.cpp: the Banner page: monochrome banner bitmaps into one of six slots.
#include <cstdio>

#include "device_list.h"
#include "file_checks.h"
#include "page_common.h"
#include "pages.h"
#include "remote_names.h"
#include "resource.h"
#include "ui.h"

namespace {

const int kActions[] = {IDC_BANNER_SLOT,    IDC_BANNER_FILE,   IDC_BANNER_PATH,
                        IDC_BANNER_REFRESH, IDC_BANNER_UPLOAD, IDC_BANNER_UPLOAD_ALL};
constexpr int kActionCount = sizeof kActions / sizeof kActions[0];

int saved_slot = 0;

int check_bitmap(PageWindow page);
void single_done(PageWindow page, int result);
void chain_done(PageWindow page, int result);

UploadPage state;  // described by describe_upload when the page is created

void describe_upload() {
    state.list_id = IDC_BANNER_LIST;
    state.path_id = IDC_BANNER_PATH;
    state.file_button_id = IDC_BANNER_FILE;
    state.action_ids = kActions;
    state.action_count = kActionCount;
    state.check = check_bitmap;
    state.done = single_done;
    state.chain_done = chain_done;
    state.cleanup = nullptr;
}

// The bitmap rule, then the slot: the saved slot changes only for a bitmap that passed.
int check_bitmap(PageWindow page) {
    const FileCheck check = bitmap_check(state.local_path);
    if (check.result == kCheckRefused) {
        ui_message_box(page, check.message, check.caption);
    }
    if (check.result != kCheckPassed) {
        return -1;
    }
    const int slot = ui_combo_selection(page, IDC_BANNER_SLOT);
    saved_slot = slot >= 0 && slot < kBannerSlotCount ? slot : 0;
    snprintf(state.remote_name, sizeof state.remote_name, "%s",
             banner_slot_remote_name(saved_slot));
    return 0;
}

void single_done(PageWindow page, int result) {
    single_upload_done(&state, page, result);
}

void chain_done(PageWindow page, int result) {
    chain_upload_done(&state, page, result);
}

}  // namespace

void banner_page_init(PageWindow page) {
    describe_upload();
    ui_combo_clear(page, IDC_BANNER_SLOT);
    for (const char* name : kBannerSlotNames) {
        ui_combo_add(page, IDC_BANNER_SLOT, name);
    }
    saved_slot = 0;
    ui_combo_select(page, IDC_BANNER_SLOT, 0);
}

void banner_page_activate(PageWindow page) {
    ui_combo_select(page, IDC_BANNER_SLOT, saved_slot);
    copy_device_list(page, IDC_BANNER_LIST);
    enable_actions(page, kActions, kActionCount);
}

int banner_page_command(PageWindow page, int id, int) {
    switch (id) {
        case IDC_BANNER_FILE:
            file_picker(page, IDC_BANNER_PATH);
            return 1;
        case IDC_BANNER_REFRESH:
            page_refresh(page, IDC_BANNER_LIST);
            return 1;
        case IDC_BANNER_UPLOAD:
            single_upload(&state, page);
            return 1;
        case IDC_BANNER_UPLOAD_ALL:
            upload_to_all(&state, page);
            return 1;
        default:
            return 0;  // a change of slot is remembered only when an upload starts
    }
}

const char* banner_remote_name() {
    return state.remote_name;
}
