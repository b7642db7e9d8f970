// progress_bar.h: kvxctl's progress line for a run over telephones, redrawn in place on a
// terminal and never drawn anywhere else, so that piped output stays plain result lines.
#pragma once

#include <cstdint>
#include <cstdio>

void progress_bar_setup(FILE* out, int is_terminal);
// 1 when the line is drawn (the output is a terminal), 0 otherwise.
int progress_bar_shown();

struct RunCounts {
    int total;      // phones in the run
    int done;       // phones whose result is final
    int failed;     // of those, the ones not OK
    int running;    // phones being worked on now
    int64_t bytes;  // file bytes moved so far
};
// Draws the line: a bar of the phones done, then the counts.
void progress_bar_draw(const RunCounts* counts);
// Wipes the line, so that the next output starts on a clean line.
void progress_bar_clear();
