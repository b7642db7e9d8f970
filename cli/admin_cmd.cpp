// admin_cmd.cpp: "kvxctl admin": the Admin page's command for one, several or all telephones.
#include <cstdio>
#include <cstring>

#include "admin_command.h"
#include "cli_options.h"
#include "commands.h"
#include "fleet.h"
#include "headless.h"
#include "ui.h"

namespace {

const char kUsage[] =
    "usage: kvxctl admin --name NAME --password PASSWORD --new-password PASSWORD\n"
    "                    [--new-name NAME] [--confirm PASSWORD] [--wait MS]\n"
    "                    (--all | ADDRESS...)\n"
    "\n"
    "Changes the administrator name and password of telephones, as the utility's Admin page\n"
    "does. Names have 1 to 31, passwords 1 to 11 letters (A-Z, a-z) and digits.\n"
    "\n"
    "  --name NAME              the current administrator name\n"
    "  --password PASSWORD      the current administrator password\n"
    "  --new-name NAME          a new administrator name (default: keep the current one)\n"
    "  --new-password PASSWORD  the new administrator password\n"
    "  --confirm PASSWORD       the new password again (default: --new-password)\n"
    "  --all                    discover the telephones and send to every one of them\n"
    "  --wait MS                how long to wait for discovery answers and for replies,\n"
    "                           in milliseconds (default 2000)\n"
    "\n"
    "Prints one line per telephone: \"ADDRESS --- RESULT\" with the word the telephone\n"
    "answered (OK when it took the change), or \"ADDRESS --- no reply\".\n"
    "Exit status: 0 when every telephone answered OK, 1 when one did not or none was found,\n"
    "2 for bad arguments or field values, 3 when UDP port 10000 is in use.\n";

enum { kName, kPassword, kNewName, kNewPassword, kConfirm, kAll, kWait, kOptionCount };
const CliOption kOptions[kOptionCount] = {
    {"name", true},    {"password", true}, {"new-name", true}, {"new-password", true},
    {"confirm", true}, {"all", false},     {"wait", true}};

bool fits(const char* option, const char* value, int max) {
    if (value && strlen(value) > static_cast<size_t>(max)) {
        fprintf(stderr, "kvxctl: --%s has more than %d characters\n", option, max);
        return false;
    }
    return true;
}

}  // namespace

int run_admin(int argc, char* const* argv) {
    ParsedArgs args;
    if (const int parsed = parse_command(argc, argv, kOptions, kOptionCount, kUsage, "", &args);
        parsed != kArgsOk) {
        return parsed;
    }
    const char* const* v = args.values;
    const char* confirm = v[kConfirm] ? v[kConfirm] : v[kNewPassword];
    int wait_ms = kDefaultWaitMs;
    if (check_targets(&args, v[kAll] != nullptr) != 0 ||
        (v[kWait] && parse_wait(v[kWait], &wait_ms) != 0) ||
        !fits("name", v[kName], kAdminNameMax) || !fits("new-name", v[kNewName], kAdminNameMax) ||
        !fits("password", v[kPassword], kAdminPasswordMax) ||
        !fits("new-password", v[kNewPassword], kAdminPasswordMax) ||
        !fits("confirm", confirm, kAdminPasswordMax)) {
        return kExitUsage;
    }

    const PageWindow page = headless_page_create();
    ui_set_text(page, IDC_ADMIN_OLD_NAME, v[kName]);
    ui_set_check(page, IDC_ADMIN_CHANGE, v[kNewName] != nullptr);
    ui_set_text(page, IDC_ADMIN_NEW_NAME, v[kNewName]);
    ui_set_text(page, IDC_ADMIN_OLD_PASSWORD, v[kPassword]);
    ui_set_text(page, IDC_ADMIN_NEW_PASSWORD, v[kNewPassword]);
    ui_set_text(page, IDC_ADMIN_CONFIRM, confirm);
    CommandFrame frame;
    int status = kExitUsage;
    if (build_admin_frame(page, &frame) == 0) {
        status = fleet_send(page, IDC_ADMIN_LIST, &frame, v[kAll] != nullptr, args.targets,
                            args.target_count, wait_ms);
    } else {
        fleet_print_message();
    }
    headless_page_destroy(page);
    return status;
}
