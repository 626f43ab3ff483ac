#include "zeqgdt/gdtconfig.h"

#include "zeqgdt/gdtutils.h"

namespace {
const char kSection[] = "SECTION GDT";
}

CGDTConfig::CGDTConfig() {
    m_strIniPath = CGDTUtils::MakePath("", "ZeqGDT.ini");
    m_strTempPath = CGDTUtils::MakePath("", "GDTTmp");
    Load();
}

CGDTConfig::~CGDTConfig() = default;

void CGDTConfig::Load() {
    const CString& ini = m_strIniPath;
    m_bUseNetworkPath = CGDTUtils::IniReadInt(ini, kSection, "USE NETWORK PATH", 0) ? TRUE : FALSE;
    m_strSharePath = CGDTUtils::IniReadString(ini, kSection, "SHARE PATH", CGDTUtils::MakePath("", "GDTShare"));
    m_strNetworkUser = CGDTUtils::IniReadString(ini, kSection, "NETWORK USER", "");
    m_strNetworkPassword = CGDTUtils::IniReadString(ini, kSection, "NETWORK PASSWORD", "");
    m_strReceiverName = CGDTUtils::IniReadString(ini, kSection, "RECEIVER NAME", "HIS");
    m_strSenderName = CGDTUtils::IniReadString(ini, kSection, "SENDER NAME", "CORVANE");
    m_strReceiverShortName = CGDTUtils::IniReadString(ini, kSection, "RECEIVER SHORT NAME", "HIS");
    m_strSenderShortName = CGDTUtils::IniReadString(ini, kSection, "SENDER SHORT NAME", "CVN");
    m_strDateFormat = CGDTUtils::IniReadString(ini, kSection, "DATE FORMAT", "MMDDYYYY");
    m_bUseMultiOrder = CGDTUtils::IniReadInt(ini, kSection, "USE MULTI ORDER", 0) ? TRUE : FALSE;
    m_strCallProgram = CGDTUtils::IniReadString(ini, kSection, "ZeqGDT CALL PROGRAM", "");
    if (!CGDTUtils::IsDir(m_strTempPath)) CGDTUtils::CreateDir(m_strTempPath);
    if (!CGDTUtils::IsFile(ini)) Save();
}

void CGDTConfig::Save() {
    const CString& ini = m_strIniPath;
    CGDTUtils::IniWriteInt(ini, kSection, "USE NETWORK PATH", m_bUseNetworkPath ? 1 : 0);
    CGDTUtils::IniWriteString(ini, kSection, "SHARE PATH", m_strSharePath);
    CGDTUtils::IniWriteString(ini, kSection, "NETWORK USER", m_strNetworkUser);
    CGDTUtils::IniWriteString(ini, kSection, "NETWORK PASSWORD", m_strNetworkPassword);
    CGDTUtils::IniWriteString(ini, kSection, "RECEIVER NAME", m_strReceiverName);
    CGDTUtils::IniWriteString(ini, kSection, "SENDER NAME", m_strSenderName);
    CGDTUtils::IniWriteString(ini, kSection, "RECEIVER SHORT NAME", m_strReceiverShortName);
    CGDTUtils::IniWriteString(ini, kSection, "SENDER SHORT NAME", m_strSenderShortName);
    CGDTUtils::IniWriteString(ini, kSection, "DATE FORMAT", m_strDateFormat);
    CGDTUtils::IniWriteInt(ini, kSection, "USE MULTI ORDER", m_bUseMultiOrder ? 1 : 0);
    CGDTUtils::IniWriteString(ini, kSection, "ZeqGDT CALL PROGRAM", m_strCallProgram);
}
