#pragma once
// Pulmetra's own texts by their resource numbers, handed out as 8-bit text in the
// installation code page (what the notifier and the control take).
#include <string>

#include "platform/wintypes.h"

namespace pulmetra {
enum : unsigned {
    IDS_SOCKETS_FAILED = 104,
    IDS_APP_TITLE = 57344,
    IDS_UNTITLED = 61443,
    IDS_EXAM_OPEN = 65105,
    IDS_EXAM_SAVED = 65138,
    IDS_OPEN_FAILED = 65139,
    IDS_UNEXPECTED = 65204,
    IDS_PRINT_FAILED = 65205,
    IDS_SAVE_FAILED = 65206,
    IDS_OVERWRITE = 65207,  // "%s" names the file
    IDS_EMPTY_TITLE = 65208,
};
CString AppString(unsigned nID);
// The text as written (UTF-8), for a text of another language than the installation's (the
// overwrite question is Korean): shown converted from what it is written in, not through the
// installation's code page.
std::string AppStringUtf8(unsigned nID);
}  // namespace pulmetra
