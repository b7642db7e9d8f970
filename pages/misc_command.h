// misc_command.h: the Misc. page's command: its selection boxes, the checks of its fields in
// their order, and the misc frame. Shared by the page and kvxctl.
#pragma once

#include <cstdint>

#include "command_cipher.h"
#include "field_limits.h"
#include "page_window.h"
#include "resource.h"

// The four selection boxes; the value sent for each is the index of its selected entry.
struct MiscBox {
    int id;
    const char* const* entries;
    int count;
    int initial;
};
constexpr int kMiscBoxCount = 4;
extern const MiscBox kMiscBoxes[kMiscBoxCount];  // ringer type, hold tone, banner, radio

// Fills the four boxes with their entries and selects and remembers the initial ones.
void init_misc_boxes(PageWindow page, int32_t remembered[kMiscBoxCount]);

// Reads the page's fields, checks them and builds the misc frame; once the checks pass, the
// boxes' selections become the remembered ones. 0 when the frame is ready; -1, with the frame
// empty, after the first failed check's message has been shown.
int build_misc_frame(PageWindow page, CommandFrame* frame, int32_t remembered[kMiscBoxCount]);
