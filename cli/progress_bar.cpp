// progress_bar.cpp: the upload progress "window" of kvxctl, drawn as one terminal line.
#include "progress_bar.h"

#include <atomic>
#include <cstring>

#include "progress.h"

namespace {

constexpr int kBarWidth = 40;
constexpr int kLabelSize = 64;

FILE* output = nullptr;
bool terminal = false;
char label[kLabelSize] = "";
std::atomic<int> open_bar{0};
int last_percent = 0;
int drawn_width = 0;

void draw(int percent) {
    percent = percent < 0 ? 0 : percent > 100 ? 100 : percent;
    char bar[kBarWidth + 1];
    const int filled = percent * kBarWidth / 100;
    memset(bar, '#', static_cast<size_t>(filled));
    memset(bar + filled, '-', static_cast<size_t>(kBarWidth - filled));
    bar[kBarWidth] = '\0';
    drawn_width = fprintf(output, "\r%s [%s] %3d %%", label, bar, percent) - 1;
    fflush(output);
}

}  // namespace

void progress_bar_setup(FILE* out, int is_terminal) {
    output = out;
    terminal = is_terminal != 0;
}

void progress_bar_label(const char* text) {
    snprintf(label, sizeof label, "%s", text);
}

void progress_create(PageWindow) {
    last_percent = 0;
    open_bar = 1;
    if (output && terminal) {
        draw(0);
    }
}

void progress_destroy() {
    if (open_bar.exchange(0) && output && terminal && drawn_width > 0) {
        // Blanks over the bar, so that the result line starts on a clean line.
        fprintf(output, "\r%*s\r", drawn_width, "");
        fflush(output);
    }
    drawn_width = 0;
}

int progress_exists() {
    return open_bar.load();
}

void progress_notify(int percent) {
    // As the window: a repeated value is taken but not drawn again.
    if (percent == last_percent) {
        return;
    }
    last_percent = percent;
    if (output && terminal) {
        draw(percent);
    }
}
