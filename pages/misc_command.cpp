// misc_command.cpp: selection box entries, validation and payload of the settings command.
#include "misc_command.h"

#include <cstdio>

#include "field_refusal.h"
#include "ui.h"

namespace {

const char* const kRingerTypes[] = {"Tone 1",   "Tone 2",   "Tone 3",   "Tone 4",    "Melody 5",
                                    "Melody 6", "Melody 7", "Melody 8", "MP3_Ring 9"};
const char* const kHoldTones[] = {"Melody", "Tone", "MP3 Hold"};
const char* const kSwitch[] = {"Disable", "Enable"};

}  // namespace

const MiscBox kMiscBoxes[kMiscBoxCount] = {
    {IDC_MISC_RINGER, kRingerTypes, 9, 0},
    {IDC_MISC_HOLD_TONE, kHoldTones, 3, 0},
    {IDC_MISC_BANNER, kSwitch, 2, 0},
    {IDC_MISC_RADIO, kSwitch, 2, 1},
};

void init_misc_boxes(PageWindow page, int32_t remembered[kMiscBoxCount]) {
    for (int b = 0; b < kMiscBoxCount; ++b) {
        const MiscBox& box = kMiscBoxes[b];
        ui_combo_clear(page, box.id);
        for (int i = 0; i < box.count; ++i) {
            ui_combo_add(page, box.id, box.entries[i]);
        }
        remembered[b] = box.initial;
        ui_combo_select(page, box.id, box.initial);
    }
}

int build_misc_frame(PageWindow page, CommandFrame* frame, int32_t remembered[kMiscBoxCount]) {
    frame->bytes[0] = 0;
    frame->length = 0;

    char name[kAdminNameMax + 1];
    char password[kAdminPasswordMax + 1];
    ui_get_text(page, IDC_MISC_NAME, name, sizeof name);
    if (!name[0]) {
        return refuse_field(page, "Please input Administrator Name.");
    }
    ui_get_text(page, IDC_MISC_PASSWORD, password, sizeof password);
    if (!password[0]) {
        return refuse_field(page, "Administrator Password can not be blank.");
    }
    for (int b = 0; b < kMiscBoxCount; ++b) {
        remembered[b] = ui_combo_selection(page, kMiscBoxes[b].id);
    }
    // Unlike the admin fields, these go as typed.
    char payload[128];
    snprintf(payload, sizeof payload, "%s;!sep!;%s;!sep!;%d%d%d%d", name, password,
             static_cast<int>(remembered[0]), static_cast<int>(remembered[1]),
             static_cast<int>(remembered[2]), static_cast<int>(remembered[3]));
    build_command_frame("# ", payload, frame);
    return 0;
}
