// progress_bar.h: kvxctl's upload progress window: a bar redrawn in place on a terminal.
// It implements progress.h; this header adds what only the command line needs.
#pragma once

#include <cstdio>

// Where bars go. On anything but a terminal nothing is drawn, so output stays plain lines.
void progress_bar_setup(FILE* out, int is_terminal);
// The text before the next bar: the telephone's address.
void progress_bar_label(const char* text);
