// irlist_page.cpp: the I/R List page: the internet-radio station list, downloaded from a
// telephone, edited station by station and uploaded to one or all telephones.
#include <cstdio>
#include <cstring>

#include "busy.h"
#include "device_list.h"
#include "file_checks.h"
#include "page_common.h"
#include "pages.h"
#include "remote_names.h"
#include "resource.h"
#include "station_list.h"
#include "ui.h"

namespace {

const int kActions[] = {IDC_IR_STATION,  IDC_IR_NAME,   IDC_IR_URL,       IDC_IR_REFRESH,
                        IDC_IR_DOWNLOAD, IDC_IR_UPLOAD, IDC_IR_UPLOAD_ALL};
constexpr int kActionCount = sizeof kActions / sizeof kActions[0];

StationList stations;
int current_station = 0;

int upload_prepare(PageWindow page);
void single_done(PageWindow page, int result);
void chain_done(PageWindow page, int result);
void remove_station_file();

UploadPage state;  // described by describe_upload when the page is created

void describe_upload() {
    state.list_id = IDC_IR_LIST;
    state.path_id = 0;  // the list is prepared into a file of the page's own
    state.file_button_id = 0;
    state.action_ids = kActions;
    state.action_count = kActionCount;
    state.check = upload_prepare;
    state.done = single_done;
    state.chain_done = chain_done;
    state.cleanup = remove_station_file;
}

void remove_station_file() {
    remove(kStationListPath);
}

// Trimmed, and cut to the field: a field holds at most its size less one characters.
void save_edit(PageWindow page, int id, char* field, size_t size) {
    char text[kStationUrlSize + 1] = {};
    ui_get_text(page, id, text, sizeof text);
    trim(text);
    text[size - 1] = '\0';
    memcpy(field, text, size);
}

void station_save(PageWindow page) {
    save_edit(page, IDC_IR_NAME, stations.name[current_station], kStationNameSize);
    save_edit(page, IDC_IR_URL, stations.url[current_station], kStationUrlSize);
}

void station_show(PageWindow page) {
    const int selected = ui_combo_selection(page, IDC_IR_STATION);
    current_station = selected >= 0 && selected < kStationCount ? selected : 0;
    ui_set_text(page, IDC_IR_NAME, stations.name[current_station]);
    ui_set_text(page, IDC_IR_URL, stations.url[current_station]);
}

void show_station(PageWindow page, int index) {
    ui_combo_select(page, IDC_IR_STATION, index);
    station_show(page);
}

// Saves the edits, compacts and checks the list, and writes the file every device will get.
// 0 when it is ready to upload; -1 after a message.
int upload_prepare(PageWindow page) {
    station_save(page);
    int refused_station = -1;
    const FileCheck check = station_list_prepare(&stations, &refused_station);
    station_show(page);
    if (check.result != kCheckPassed) {
        ui_message_box(page, check.message, check.caption);
        if (refused_station >= 0) {
            show_station(page, refused_station);
        }
        return -1;
    }
    // An old or foreign file at the path must never be sent in place of this list.
    remove_station_file();
    if (station_list_write(&stations, kStationListPath) != 1) {
        remove_station_file();
        ui_message_box(page, "The station list could not be written to tmp.cfg.", "Warning!");
        return -1;
    }
    snprintf(state.local_path, sizeof state.local_path, "%s", kStationListPath);
    snprintf(state.remote_name, sizeof state.remote_name, "%s", kStationListUploadName);
    return 0;
}

void single_done(PageWindow page, int result) {
    single_upload_done(&state, page, result);
}

void chain_done(PageWindow page, int result) {
    chain_upload_done(&state, page, result);
}

void download_done(PageWindow page, int result) {
    memset(&stations, 0, sizeof stations);
    // A failed transfer leaves no file of its own; whatever is at the path is not this list.
    if (result == 1) {
        station_list_read(&stations, kStationListPath);
    }
    remove_station_file();
    char text[96];
    snprintf(text, sizeof text, "Receive from %s %s!\n", state.device, result == 1 ? "OK" : "FAIL");
    ui_message_box(page, text, "Download");
    show_station(page, 0);
    clear_busy();
    enable_actions(page, kActions, kActionCount);
    page_refresh(page, IDC_IR_LIST);
}

void download(PageWindow page) {
    char address[kAddressSize];
    if (target_selection(page, IDC_IR_LIST, address, sizeof address,
                         "Please select a source device.") != 0) {
        return;
    }
    set_busy();
    enable_actions(page, kActions, kActionCount);
    memcpy(state.device, address, sizeof state.device);
    submit_download(page, download_done, state.device, kStationListDownloadName, kStationListPath);
}

bool blank_or_tab(char c) {
    return c == ' ' || c == '\t';
}

}  // namespace

int trim_left(char* text) {
    if (!text || !*text) {
        return -1;
    }
    const char* first = text;
    while (blank_or_tab(*first)) {
        ++first;
    }
    if (*first) {
        memmove(text, first, strlen(first) + 1);
    }
    return 0;
}

int trim_right(char* text) {
    if (!text || !*text) {
        return -1;
    }
    size_t end = strlen(text);
    while (end > 0 &&
           (blank_or_tab(text[end - 1]) || text[end - 1] == '\r' || text[end - 1] == '\n')) {
        --end;
    }
    text[end] = '\0';
    return 0;
}

int trim(char* text) {
    if (!text || !*text) {
        return -1;
    }
    trim_left(text);
    trim_right(text);
    return 0;
}

void irlist_page_init(PageWindow page) {
    describe_upload();
    memset(&stations, 0, sizeof stations);
    ui_combo_clear(page, IDC_IR_STATION);
    for (int i = 1; i <= kStationCount; ++i) {
        char number[4];
        snprintf(number, sizeof number, "%d", i);
        ui_combo_add(page, IDC_IR_STATION, number);
    }
    current_station = 0;
    ui_combo_select(page, IDC_IR_STATION, 0);
}

void irlist_page_activate(PageWindow page) {
    ui_combo_select(page, IDC_IR_STATION, current_station);
    copy_device_list(page, IDC_IR_LIST);
    enable_actions(page, kActions, kActionCount);
}

int irlist_page_command(PageWindow page, int id, int notification) {
    switch (id) {
        case IDC_IR_STATION:
            if (notification == kSelectionChanged) {
                station_save(page);
                station_show(page);
            }
            return 1;
        case IDC_IR_REFRESH:
            page_refresh(page, IDC_IR_LIST);
            return 1;
        case IDC_IR_DOWNLOAD:
            download(page);
            return 1;
        case IDC_IR_UPLOAD:
            single_upload(&state, page);
            return 1;
        case IDC_IR_UPLOAD_ALL:
            upload_to_all(&state, page);
            return 1;
        default:
            return 0;
    }
}
