#pragma once
// The server's string table: the operator's texts by their resource ids. Kept as UTF-8
// here; Str() gives the installation code page that messages and files carry, QStr() the
// screen's text.
#include <QString>
#include <string>

namespace qarstr {

enum : int {
    IDS_SOCKETS_INIT_FAILED = 104,
    IDR_MAINFRAME = 128,
    IDS_SPLASH_FOLDER = 61214,
    IDS_IP_INVALID = 61204,
    IDS_DATA_TIME = 61211,
    IDS_PATIENT_ID = 61212,
    IDS_FILE_NAME = 61213,
    IDS_EXE_FILTER = 61215,
    IDS_ALL_FILTER = 61216,
    IDS_TIP_RUNNING = 61217,
    IDS_TIP_SETTINGS = 61218,
    IDS_TIP_RECEIVING = 61219,
    IDS_TIP_STOPPED = 61220,
    IDS_SERVER_NOT_RUNNING = 61221,
    IDS_TRAY_TIP = 61209,
    IDS_ALREADY_RUNNING = 61210,
    IDS_APP_TITLE = 57344,
};

// The UTF-8 text of a string id; empty for an unknown id.
const char* Utf8(int nId);
// The text in the installation code page.
std::string Str(int nId);
QString QStr(int nId);
// A UTF-8 literal in the installation code page, for the texts that are not in the table.
std::string Cp(const char* pszUtf8);

// The product texts the server hands to the controls and shows in its about box.
inline constexpr const char* kCompany = "Corvane Co., Ltd.";
inline constexpr const char* kProduct = "RovEzez";
inline constexpr const char* kVersion = "Ver 1.16(20160504)";

}  // namespace qarstr
