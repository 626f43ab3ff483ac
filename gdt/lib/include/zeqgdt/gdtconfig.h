#pragma once
// The settings of the GDT exchange in "ZeqGDT.ini" (section "SECTION GDT") in the
// exchange's home folder, which every program of the exchange shares (CGDTUtils::MakePath).
// A short-lived value: each operation loads a fresh one.
#include "zeqgdt/gdtdefs.h"

class ZEQGDT_API CGDTConfig {
public:
    CGDTConfig();  // paths set, then Load
    CGDTConfig(const CGDTConfig&) = default;
    CGDTConfig& operator=(const CGDTConfig&) = default;
    virtual ~CGDTConfig();

    // Reads every key with its default, makes the temp folder, writes the file when missing.
    void Load();
    void Save();

    CString m_strIniPath;
    BOOL m_bUseNetworkPath = FALSE;
    CString m_strSharePath;
    CString m_strNetworkUser;
    CString m_strNetworkPassword;
    CString m_strReceiverName;
    CString m_strSenderName;
    CString m_strReceiverShortName;
    CString m_strSenderShortName;
    CString m_strDateFormat;
    BOOL m_bUseMultiOrder = FALSE;
    CString m_strCallProgram;
    CString m_strTempPath;
};
