// misc_cmd.cpp: "kvxctl misc": the Misc. page's command for one, several or all telephones.
#include <cstdio>
#include <cstring>
#include <string>

#include "cli_options.h"
#include "command_run.h"
#include "commands.h"
#include "fleet.h"
#include "headless.h"
#include "misc_command.h"
#include "ui.h"

namespace {

const char kUsage[] =
    "usage: kvxctl misc --name NAME --password PASSWORD [--ringer TYPE] [--hold TONE]\n"
    "                   [--banner STATE] [--radio STATE] [--wait MS] [OPTIONS]\n"
    "                   (--all | ADDRESS... | --only-failed LOG)\n"
    "\n"
    "Sets the ringer type, hold tone, banner and internet radio of telephones, as the\n"
    "utility's Misc. page does. Each setting not given takes the page's initial choice.\n"
    "\n"
    "  --name NAME          the administrator name (1 to 31 characters)\n"
    "  --password PASSWORD  the administrator password (1 to 11 characters)\n"
    "  --ringer TYPE        \"Tone 1\" to \"Tone 4\", \"Melody 5\" to \"Melody 8\" or \"MP3_Ring "
    "9\"\n"
    "                       (default \"Tone 1\")\n"
    "  --hold TONE          Melody, Tone or \"MP3 Hold\" (default Melody)\n"
    "  --banner STATE       Enable or Disable (default Disable)\n"
    "  --radio STATE        internet radio: Enable or Disable (default Enable)\n"
    "Choices are matched without regard to case.\n"
    "\n";

enum { kName, kPassword, kRinger, kHold, kBanner, kRadio, kOwnCount };
const CliOption kOwnOptions[kOwnCount] = {{"name", true}, {"password", true}, {"ringer", true},
                                          {"hold", true}, {"banner", true},   {"radio", true}};
constexpr int kOptionCount = kOwnCount + kFleetOptionCount;
// The options that choose an entry of each selection box, in the boxes' order.
const int kBoxOptions[kMiscBoxCount] = {kRinger, kHold, kBanner, kRadio};

}  // namespace

int run_misc(int argc, char* const* argv) {
    CliOption options[kOptionCount];
    join_options(kOwnOptions, kOwnCount, options);
    ParsedArgs args;
    if (const int parsed =
            parse_command(argc, argv, options, kOptionCount, kUsage, command_usage_tail(), &args);
        parsed != kArgsOk) {
        return parsed;
    }
    const char* const* v = args.values;
    FleetArgs fleet;
    if (read_command_args(&args, kOwnCount, "misc", &fleet) != 0) {
        return kExitUsage;
    }
    if ((v[kName] && strlen(v[kName]) > kAdminNameMax) ||
        (v[kPassword] && strlen(v[kPassword]) > kAdminPasswordMax)) {
        fprintf(stderr, "kvxctl: the name has at most %d characters, the password at most %d\n",
                kAdminNameMax, kAdminPasswordMax);
        return kExitUsage;
    }
    int choice[kMiscBoxCount];
    for (int b = 0; b < kMiscBoxCount; ++b) {
        const MiscBox& box = kMiscBoxes[b];
        const char* wanted = v[kBoxOptions[b]];
        choice[b] = wanted ? pick_entry(wanted, box.entries, box.count) : box.initial;
        if (choice[b] < 0) {
            fprintf(stderr, "kvxctl: --%s %s: choose one of", kOwnOptions[kBoxOptions[b]].name,
                    wanted);
            for (int i = 0; i < box.count; ++i) {
                fprintf(stderr, "%s \"%s\"", i > 0 ? "," : "", box.entries[i]);
            }
            fprintf(stderr, "\n");
            return kExitUsage;
        }
    }

    fleet.run.what = "the misc command:";
    for (int b = 0; b < kMiscBoxCount; ++b) {
        fleet.run.what += std::string(b > 0 ? ", " : " ") + kOwnOptions[kBoxOptions[b]].name + " " +
                          kMiscBoxes[b].entries[choice[b]];
    }

    const PageWindow page = headless_page_create();
    int32_t remembered[kMiscBoxCount];
    init_misc_boxes(page, remembered);
    for (int b = 0; b < kMiscBoxCount; ++b) {
        ui_combo_select(page, kMiscBoxes[b].id, choice[b]);
    }
    ui_set_text(page, IDC_MISC_NAME, v[kName]);
    ui_set_text(page, IDC_MISC_PASSWORD, v[kPassword]);
    CommandFrame frame;
    int status = kExitUsage;
    if (build_misc_frame(page, &frame, remembered) == 0) {
        status = command_run(page, IDC_MISC_LIST, &frame, &fleet);
    } else {
        fleet_print_message();
    }
    headless_page_destroy(page);
    return status;
}
