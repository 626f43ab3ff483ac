#include "oxuutil/inifile.h"

#include <cstring>

#include "platform/folders.h"
#include "platform/profile.h"

namespace {

CString ProgramName() {
    CString strPath = platform::ProgramPath();
    const std::size_t nSlash = strPath.find_last_of('/');
    CString strName = nSlash == CString::npos ? strPath : strPath.substr(nSlash + 1);
    return strName.empty() ? CString("Oxu") : strName;
}

}  // namespace

CString CIniFile::HomeFolder() {
    return platform::HomeDir(ProgramName());
}

CIniFile::CIniFile(LPCSTR lpszFileName) {
    CString strName = lpszFileName ? lpszFileName : "";
    if (strName.empty())
        strName = ProgramName() + ".ini";
    if (strName.find_first_of("/\\") == CString::npos)
        m_strPath = HomeFolder() + strName;
    else
        m_strPath = strName;
}

CIniFile::~CIniFile() = default;

const CString& CIniFile::GetString(LPCSTR lpszSection, LPCSTR lpszKey, LPCSTR lpszDefault) {
    m_strValue = platform::GetProfileString(m_strPath, lpszSection, lpszKey,
                                            lpszDefault ? lpszDefault : "");
    return m_strValue;
}

int CIniFile::GetInt(LPCSTR lpszSection, LPCSTR lpszKey, int nDefault) const {
    return platform::GetProfileInt(m_strPath, lpszSection, lpszKey, nDefault);
}

BOOL CIniFile::WriteString(LPCSTR lpszSection, LPCSTR lpszKey, LPCSTR lpszValue) {
    return platform::WriteProfileString(m_strPath, lpszSection, lpszKey, lpszValue) ? TRUE : FALSE;
}

BOOL CIniFile::WriteInt(LPCSTR lpszSection, LPCSTR lpszKey, int nValue) {
    return WriteString(lpszSection, lpszKey, std::to_string(nValue).c_str());
}

BOOL CIniFile::GetStruct(LPCSTR lpszSection, LPCSTR lpszKey, void* pData,
                         std::size_t nSize) const {
    return platform::GetProfileStruct(m_strPath, lpszSection, lpszKey, pData, nSize) ? TRUE
                                                                                     : FALSE;
}

BOOL CIniFile::WriteStruct(LPCSTR lpszSection, LPCSTR lpszKey, const void* pData,
                           std::size_t nSize) {
    return platform::WriteProfileStruct(m_strPath, lpszSection, lpszKey, pData, nSize) ? TRUE
                                                                                       : FALSE;
}
