// mp3_page.cpp: the MP3 Hold/Ring page: hold music and ring tones, and the master device list.
#include <cstdio>

#include "busy.h"
#include "device_list.h"
#include "file_checks.h"
#include "page_common.h"
#include "pages.h"
#include "resource.h"
#include "ui.h"

namespace {

const int kActions[] = {IDC_MP3_HOLD,    IDC_MP3_RING,   IDC_MP3_FILE,      IDC_MP3_PATH,
                        IDC_MP3_REFRESH, IDC_MP3_UPLOAD, IDC_MP3_UPLOAD_ALL};
constexpr int kActionCount = sizeof kActions / sizeof kActions[0];

int tone_choice = kToneHold;

int check_size(PageWindow page);
void single_done(PageWindow page, int result);
void chain_done(PageWindow page, int result);

UploadPage state;  // described by describe_upload when the page is created

void describe_upload() {
    state.list_id = IDC_MP3_LIST;
    state.path_id = IDC_MP3_PATH;
    state.file_button_id = IDC_MP3_FILE;
    state.action_ids = kActions;
    state.action_count = kActionCount;
    state.check = check_size;
    state.done = single_done;
    state.chain_done = chain_done;
    state.cleanup = nullptr;
}

int check_size(PageWindow page) {
    const FileCheck check = mp3_size_check(state.local_path, tone_choice);
    if (check.result == kCheckRefused) {
        ui_message_box(page, check.message, check.caption);
    }
    return check.result == kCheckPassed ? 0 : -1;
}

void single_done(PageWindow page, int result) {
    single_upload_done(&state, page, result);
}

void chain_done(PageWindow page, int result) {
    chain_upload_done(&state, page, result);
}

void choose_tone(int tone) {
    tone_choice = tone;
    snprintf(state.remote_name, sizeof state.remote_name, "%s", tone_remote_name(tone));
}

}  // namespace

void mp3_page_init(PageWindow page) {
    describe_upload();
    set_master_list_page(page);
    page_refresh(page, IDC_MP3_LIST);
}

void mp3_page_activate(PageWindow page) {
    // As a click on the chosen tone's button: it is selected, and unless the page is busy its
    // command sets the remote name.
    ui_set_check(page, IDC_MP3_HOLD, tone_choice == kToneHold);
    ui_set_check(page, IDC_MP3_RING, tone_choice == kToneRing);
    if (!ui_busy.load()) {
        mp3_page_command(page, tone_choice == kToneRing ? IDC_MP3_RING : IDC_MP3_HOLD, 0);
    }
    enable_actions(page, kActions, kActionCount);
}

int mp3_page_command(PageWindow page, int id, int) {
    switch (id) {
        case IDC_MP3_HOLD:
            choose_tone(kToneHold);
            return 1;
        case IDC_MP3_RING:
            choose_tone(kToneRing);
            return 1;
        case IDC_MP3_FILE:
            file_picker(page, IDC_MP3_PATH);
            return 1;
        case IDC_MP3_REFRESH:
            page_refresh(page, IDC_MP3_LIST);
            return 1;
        case IDC_MP3_UPLOAD:
            single_upload(&state, page);
            return 1;
        case IDC_MP3_UPLOAD_ALL:
            upload_to_all(&state, page);
            return 1;
        default:
            return 0;
    }
}

const char* mp3_remote_name() {
    return state.remote_name;
}
