// misc_page.cpp: the Misc. page: ringer type, hold tone, banner and radio switches.
#include "device_list.h"
#include "misc_command.h"
#include "page_common.h"
#include "pages.h"
#include "resource.h"
#include "ui.h"

namespace {

const int kActions[] = {IDC_MISC_NAME, IDC_MISC_PASSWORD, IDC_MISC_REFRESH, IDC_MISC_UPGRADE,
                        IDC_MISC_UPGRADE_ALL};
constexpr int kActionCount = sizeof kActions / sizeof kActions[0];

// The selections of the last frame built; shown again at each activation.
int32_t remembered[kMiscBoxCount];

int build_frame(PageWindow page, CommandFrame* frame) {
    return build_misc_frame(page, frame, remembered);
}

}  // namespace

void misc_page_init(PageWindow page) {
    init_misc_boxes(page, remembered);
}

void misc_page_activate(PageWindow page) {
    for (int b = 0; b < kMiscBoxCount; ++b) {
        ui_combo_select(page, kMiscBoxes[b].id, remembered[b]);
    }
    copy_device_list(page, IDC_MISC_LIST);
    enable_actions(page, kActions, kActionCount);
}

int misc_page_command(PageWindow page, int id, int) {
    switch (id) {
        case IDC_MISC_REFRESH:
            page_refresh(page, IDC_MISC_LIST);
            return 1;
        case IDC_MISC_UPGRADE:
            single_command(page, IDC_MISC_LIST, kActions, kActionCount, build_frame);
            return 1;
        case IDC_MISC_UPGRADE_ALL:
            command_loop(page, IDC_MISC_LIST, kActions, kActionCount, build_frame);
            return 1;
        default:
            return 0;
    }
}
