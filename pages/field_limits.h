// field_limits.h: the longest text each edit field of the pages takes. The field checks, the
// station list, the dialogs' edit limits and kvxctl all use these.
#pragma once

constexpr int kAdminNameMax = 31;      // the administrator name, on the Admin and Misc. pages
constexpr int kAdminPasswordMax = 11;  // the administrator password, likewise
constexpr int kStationNameMax = 79;
constexpr int kStationUrlMax = 254;
