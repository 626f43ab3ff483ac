#include "zeqgdt/gdtconfig.h"

#include "gdtsettings.h"
#include "zeqgdt/gdtutils.h"

namespace gdtsettings {

const std::vector<CSetting>& Settings() {
    static const std::vector<CSetting> settings = {
        {"USE NETWORK PATH", nullptr, &CGDTConfig::m_bUseNetworkPath, "0", false},
        {"SHARE PATH", &CGDTConfig::m_strSharePath, nullptr, "GDTShare", true},
        {"NETWORK USER", &CGDTConfig::m_strNetworkUser, nullptr, "", false},
        {"NETWORK PASSWORD", &CGDTConfig::m_strNetworkPassword, nullptr, "", false},
        {"RECEIVER NAME", &CGDTConfig::m_strReceiverName, nullptr, "HIS", false},
        {"SENDER NAME", &CGDTConfig::m_strSenderName, nullptr, "CORVANE", false},
        {"RECEIVER SHORT NAME", &CGDTConfig::m_strReceiverShortName, nullptr, "HIS", false},
        {"SENDER SHORT NAME", &CGDTConfig::m_strSenderShortName, nullptr, "CVN", false},
        {"DATE FORMAT", &CGDTConfig::m_strDateFormat, nullptr, "MMDDYYYY", false},
        {"USE MULTI ORDER", nullptr, &CGDTConfig::m_bUseMultiOrder, "0", false},
        {"ZeqGDT CALL PROGRAM", &CGDTConfig::m_strCallProgram, nullptr, "", false},
    };
    return settings;
}

CString DefaultText(const CSetting& s, const CString& strHome) {
    return s.bPath ? CGDTUtils::MakePath(strHome, s.pszDefault) : CString(s.pszDefault);
}

}  // namespace gdtsettings

using gdtsettings::kSection;

CGDTConfig::CGDTConfig() {
    m_strIniPath = CGDTUtils::MakePath("", "ZeqGDT.ini");
    m_strTempPath = CGDTUtils::MakePath("", "GDTTmp");
    Load();
}

CGDTConfig::~CGDTConfig() = default;

void CGDTConfig::Load() {
    for (const auto& s : gdtsettings::Settings()) {
        const CString strDefault = gdtsettings::DefaultText(s, "");
        if (s.pFlag) {
            this->*s.pFlag = CGDTUtils::IniReadInt(m_strIniPath, kSection, s.pszKey,
                                                   CGDTUtils::GetInt(strDefault))
                                 ? TRUE
                                 : FALSE;
        } else {
            this->*s.pText = CGDTUtils::IniReadString(m_strIniPath, kSection, s.pszKey, strDefault);
        }
    }
    if (!CGDTUtils::IsDir(m_strTempPath))
        CGDTUtils::CreateDir(m_strTempPath);
    if (!CGDTUtils::IsFile(m_strIniPath))
        Save();
}

void CGDTConfig::Save() {
    for (const auto& s : gdtsettings::Settings()) {
        if (s.pFlag) {
            CGDTUtils::IniWriteInt(m_strIniPath, kSection, s.pszKey, this->*s.pFlag ? 1 : 0);
        } else {
            CGDTUtils::IniWriteString(m_strIniPath, kSection, s.pszKey, this->*s.pText);
        }
    }
}
