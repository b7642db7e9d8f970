// progress_bar.cpp: the progress line of kvxctl's runs, drawn as one terminal line.
#include "progress_bar.h"

#include <cstring>

namespace {

constexpr int kBarWidth = 30;

FILE* output = nullptr;
bool terminal = false;
int drawn_width = 0;

}  // namespace

void progress_bar_setup(FILE* out, int is_terminal) {
    output = out;
    terminal = is_terminal != 0;
    drawn_width = 0;
}

int progress_bar_shown() {
    return output && terminal ? 1 : 0;
}

void progress_bar_draw(const RunCounts* counts) {
    if (!progress_bar_shown()) {
        return;
    }
    char bar[kBarWidth + 1];
    const int filled = counts->total > 0 ? counts->done * kBarWidth / counts->total : 0;
    memset(bar, '#', static_cast<size_t>(filled));
    memset(bar + filled, '-', static_cast<size_t>(kBarWidth - filled));
    bar[kBarWidth] = '\0';
    char line[160];
    const int width = snprintf(line, sizeof line, "[%s] %d/%d done, %d failed, %d running, %lld KB",
                               bar, counts->done, counts->total, counts->failed, counts->running,
                               static_cast<long long>(counts->bytes / 1024));
    // Blanks cover what is left of a longer line drawn before.
    fprintf(output, "\r%s%*s", line, drawn_width > width ? drawn_width - width : 0, "");
    drawn_width = width;
    fflush(output);
}

void progress_bar_clear() {
    if (progress_bar_shown() && drawn_width > 0) {
        fprintf(output, "\r%*s\r", drawn_width, "");
        fflush(output);
    }
    drawn_width = 0;
}
