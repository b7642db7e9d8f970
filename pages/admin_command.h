// admin_command.h: the Admin page's command: the checks of its fields in their order, and the
// admin frame. Shared by the page and kvxctl.
#pragma once

#include "command_cipher.h"
#include "field_limits.h"
#include "page_window.h"
#include "resource.h"

// Reads the page's fields, checks them and builds the admin frame. 0 when the frame is ready;
// -1, with the frame empty, after the first failed check's message has been shown.
int build_admin_frame(PageWindow page, CommandFrame* frame);
