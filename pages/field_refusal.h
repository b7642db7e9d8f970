// field_refusal.h: how the Admin and Misc. frame builders refuse a field they have read.
#pragma once

#include "page_window.h"

// Shows the message under the caption "Invalid!" and gives -1, the builders' refusal.
int refuse_field(PageWindow page, const char* message);
