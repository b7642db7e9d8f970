// admin_page.cpp: the Admin page: the administrator name and password of the telephones.
#include "admin_command.h"
#include "device_list.h"
#include "page_common.h"
#include "pages.h"
#include "resource.h"
#include "ui.h"

namespace {

const int kActions[] = {IDC_ADMIN_OLD_NAME,     IDC_ADMIN_NEW_NAME,     IDC_ADMIN_CHANGE,
                        IDC_ADMIN_OLD_PASSWORD, IDC_ADMIN_NEW_PASSWORD, IDC_ADMIN_CONFIRM,
                        IDC_ADMIN_REFRESH,      IDC_ADMIN_UPGRADE,      IDC_ADMIN_UPGRADE_ALL};
constexpr int kActionCount = sizeof kActions / sizeof kActions[0];

}  // namespace

void admin_page_init(PageWindow page) {
    ui_set_read_only(page, IDC_ADMIN_NEW_NAME, 1);
}

void admin_page_activate(PageWindow page) {
    copy_device_list(page, IDC_ADMIN_LIST);
    enable_actions(page, kActions, kActionCount);
}

int admin_page_command(PageWindow page, int id, int) {
    switch (id) {
        case IDC_ADMIN_CHANGE:
            ui_set_read_only(page, IDC_ADMIN_NEW_NAME, !ui_get_check(page, IDC_ADMIN_CHANGE));
            return 1;
        case IDC_ADMIN_REFRESH:
            page_refresh(page, IDC_ADMIN_LIST);
            return 1;
        case IDC_ADMIN_UPGRADE:
            single_command(page, IDC_ADMIN_LIST, kActions, kActionCount, build_admin_frame);
            return 1;
        case IDC_ADMIN_UPGRADE_ALL:
            command_loop(page, IDC_ADMIN_LIST, kActions, kActionCount, build_admin_frame);
            return 1;
        default:
            return 0;
    }
}
