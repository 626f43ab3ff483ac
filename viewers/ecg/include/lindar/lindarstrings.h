#pragma once
// Lindar's string table: the program's own texts by their resource numbers, as 8-bit text
// in the installation code page.
#include "platform/wintypes.h"

namespace lindar {
enum : unsigned {
    IDS_APP_TITLE = 57344,
    IDS_EXAM_OPEN = 65105,
    IDS_SAVE_OK = 65106,
    IDS_SAVE_FAILED = 65107,
    IDS_NO_IP = 65108,
    IDS_CONNECT_FAILED = 65124,
    IDS_BAD_FORMAT = 65139,
    IDS_PRINT_FAILED = 65205,
    IDS_FULLSCREEN_NEEDS_EXAM = 65302,
    IDS_OPEN_FAILED = 65303,
    IDS_EMPTY_TITLE = 65304,
    IDS_PRODUCT = 65309,
    IDS_COMPANY = 65310,
    IDS_BAD_SIGNAL = 65324,
    IDS_BAD_IP = 61204,
};
CString LoadStr(unsigned nID);
}  // namespace lindar
