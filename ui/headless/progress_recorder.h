// progress_recorder.h: what the headless progress window was asked to do, for tests.
#pragma once

#include <string>
#include <vector>

#include "page_window.h"

// Events in order: "create", "destroy", or the percent of a notification as text.
std::vector<std::string> progress_recorded();
// Page the last window was opened over.
PageWindow progress_recorded_page();
void progress_clear_record();
