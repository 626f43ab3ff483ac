#pragma once
// The viewers' string table by resource id. The texts are kept as UTF-8 in the source and
// handed out in the installation code page (what crosses the control and the notifier) or
// as QString (what a widget shows).
#include <QString>
#include <string>

#include "platform/wintypes.h"

namespace vstr {

enum : UINT {
    IDS_PROPSHT_CAPTION = 102,
    IDS_ERR_INVALID_IP = 61204,
    IDS_ERR_CONNECT_TIMEOUT = 61205,
    IDS_ERR_NO_ID = 61206,
    IDS_ERR_NO_NAME = 61207,
    IDS_ERR_NO_EXAM = 61208,
    IDS_LANGUAGE_PROBE = 61209,
    IDS_ERR_NOT_A_NUMBER = 61712,  // the framework's own field-exchange messages
    IDS_ERR_RANGE = 61713,
    IDS_RECORD_FAILED = 65107,
    IDS_NO_IP_ADDRESS = 65108,
    IDS_RECORD_CANCELLED = 65121,
    IDS_EXAM_SAVED = 65122,
    IDS_NO_FILE_NAME = 65123,
    IDS_CONNECT_FAILED = 65124,
    IDS_OPEN_FAILED = 65303,
    IDS_RECEIVING = 65311,
    IDS_STOPPING = 65312,
    IDS_START_RECORDING = 65314,
    IDS_SIGNAL_NOT_GOOD = 65323,
    IDS_SAVED_NOT_ANALYSED = 65326,
    IDS_OPT_INTERPRETATION = 65327,
    IDS_OPT_MEASUREMENTS = 65328,
    IDS_OPT_COMMENT = 65329,
    IDS_OPT_PACEMAKER = 65330,
};

// The text of id in the installation code page; empty for an id that does not exist.
std::string LoadString(UINT nId);
// The same text for a widget.
QString QStr(UINT nId);
// A code-page text for a widget, and back.
QString ToQ(const std::string& text);
std::string FromQ(const QString& text);

}  // namespace vstr
