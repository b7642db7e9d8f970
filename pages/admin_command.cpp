// admin_command.cpp: validation and payload of the administrator account command.
#include "admin_command.h"

#include <cstdio>
#include <cstring>

#include "ascii_text.h"
#include "field_refusal.h"
#include "ui.h"

namespace {

bool alphanumeric(const char* text) {
    return letters_and_digits(text, strlen(text));
}

}  // namespace

int build_admin_frame(PageWindow page, CommandFrame* frame) {
    frame->bytes[0] = 0;
    frame->length = 0;

    char old_name[kAdminNameMax + 1];
    char new_name[kAdminNameMax + 1];
    char old_password[kAdminPasswordMax + 1];
    char new_password[kAdminPasswordMax + 1];
    char confirm[kAdminPasswordMax + 1];

    ui_get_text(page, IDC_ADMIN_OLD_NAME, old_name, sizeof old_name);
    if (!old_name[0]) {
        return refuse_field(page, "Please input Administrator Name.");
    }
    if (ui_get_check(page, IDC_ADMIN_CHANGE)) {
        ui_get_text(page, IDC_ADMIN_NEW_NAME, new_name, sizeof new_name);
        if (!new_name[0]) {
            return refuse_field(page, "Administrator Name can not be blank.");
        }
    } else {
        memcpy(new_name, old_name, sizeof new_name);
    }
    ui_get_text(page, IDC_ADMIN_OLD_PASSWORD, old_password, sizeof old_password);
    ui_get_text(page, IDC_ADMIN_NEW_PASSWORD, new_password, sizeof new_password);
    ui_get_text(page, IDC_ADMIN_CONFIRM, confirm, sizeof confirm);
    if (!old_password[0] || !new_password[0]) {
        return refuse_field(page, "Administrator Password can not be blank.");
    }
    if (strcmp(new_password, confirm) != 0) {
        return refuse_field(page, "Incorrect Administrator Password.");
    }
    // Fields of letters and digits only cannot contain the separator.
    if (!alphanumeric(old_name) || !alphanumeric(new_name) || !alphanumeric(old_password) ||
        !alphanumeric(new_password)) {
        return refuse_field(page, "Name and Password only accepts A~Z, a~z, 0~9.");
    }
    char payload[128];
    snprintf(payload, sizeof payload, "%s;!sep!;%s;!sep!;%s;!sep!;%s", old_name, new_name,
             old_password, new_password);
    build_command_frame("@ ", payload, frame);
    return 0;
}
