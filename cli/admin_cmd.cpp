// admin_cmd.cpp: "kvxctl admin": the Admin page's command for one, several or all telephones.
#include <cstdio>
#include <cstring>
#include <string>

#include "admin_command.h"
#include "cli_options.h"
#include "command_run.h"
#include "commands.h"
#include "fleet.h"
#include "headless.h"
#include "ui.h"

namespace {

const char kUsage[] =
    "usage: kvxctl admin --name NAME --password PASSWORD --new-password PASSWORD\n"
    "                    [--new-name NAME] [--confirm PASSWORD] [--wait MS] [OPTIONS]\n"
    "                    (--all | ADDRESS... | --only-failed LOG)\n"
    "\n"
    "Changes the administrator name and password of telephones, as the utility's Admin page\n"
    "does. Names have 1 to 31, passwords 1 to 11 letters (A-Z, a-z) and digits.\n"
    "\n"
    "  --name NAME              the current administrator name\n"
    "  --password PASSWORD      the current administrator password\n"
    "  --new-name NAME          a new administrator name (default: keep the current one)\n"
    "  --new-password PASSWORD  the new administrator password\n"
    "  --confirm PASSWORD       the new password again (default: --new-password)\n";

enum { kName, kPassword, kNewName, kNewPassword, kConfirm, kOwnCount };
const CliOption kOwnOptions[kOwnCount] = {{"name", true},
                                          {"password", true},
                                          {"new-name", true},
                                          {"new-password", true},
                                          {"confirm", true}};
constexpr int kOptionCount = kOwnCount + kFleetOptionCount;

bool fits(const char* option, const char* value, int max) {
    if (value && strlen(value) > static_cast<size_t>(max)) {
        fprintf(stderr, "kvxctl: --%s has more than %d characters\n", option, max);
        return false;
    }
    return true;
}

}  // namespace

int run_admin(int argc, char* const* argv) {
    CliOption options[kOptionCount];
    join_options(kOwnOptions, kOwnCount, options);
    ParsedArgs args;
    if (const int parsed =
            parse_command(argc, argv, options, kOptionCount, kUsage, command_usage_tail(), &args);
        parsed != kArgsOk) {
        return parsed;
    }
    const char* const* v = args.values;
    const char* confirm = v[kConfirm] ? v[kConfirm] : v[kNewPassword];
    FleetArgs fleet;
    if (read_command_args(&args, kOwnCount, "admin", &fleet) != 0 ||
        !fits("name", v[kName], kAdminNameMax) || !fits("new-name", v[kNewName], kAdminNameMax) ||
        !fits("password", v[kPassword], kAdminPasswordMax) ||
        !fits("new-password", v[kNewPassword], kAdminPasswordMax) ||
        !fits("confirm", confirm, kAdminPasswordMax)) {
        return kExitUsage;
    }
    fleet.run.what = v[kNewName] ? std::string("the admin command: new name ") + v[kNewName] +
                                       " and a new password"
                                 : std::string("the admin command: a new password");

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
        status = command_run(page, IDC_ADMIN_LIST, &frame, &fleet);
    } else {
        fleet_print_message();
    }
    headless_page_destroy(page);
    return status;
}
