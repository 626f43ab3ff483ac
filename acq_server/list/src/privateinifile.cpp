#include "acq_server/list/privateinifile.h"

#include <clocale>
#include <cstdlib>

#include "platform/format.h"
#include "platform/profile.h"
#include "platform/settings.h"

CPrivateIniFile::CPrivateIniFile() : m_strPath(kDefaultName) {}

CPrivateIniFile::CPrivateIniFile(std::string strPath) : m_strPath(std::move(strPath)) {}

CPrivateIniFile::CPrivateIniFile(bool bUseProfile, std::string strKeyPath)
    : m_bUseProfile(bUseProfile), m_strKeyPath(std::move(strKeyPath)) {}

int CPrivateIniFile::GetInt(const char* section, const char* key, int nDefault) const {
    if (m_bUseProfile)
        return platform::CSettingsStore(m_strKeyPath).GetInt(section, key, nDefault);
    return platform::GetProfileInt(m_strPath, section, key, nDefault);
}

CString CPrivateIniFile::GetString(const char* section, const char* key,
                                   const char* pszDefault) const {
    CString s = m_bUseProfile
                    ? platform::CSettingsStore(m_strKeyPath).GetString(section, key, pszDefault)
                    : platform::GetProfileString(m_strPath, section, key, pszDefault);
    if (s.size() > 255)
        s.resize(255);
    return s;
}

float CPrivateIniFile::GetFloat(const char* section, const char* key, double dDefault) const {
    const CString s = GetString(section, key, platform::Format("%lf", dDefault).c_str());
    return static_cast<float>(std::strtod(s.c_str(), nullptr));
}

bool CPrivateIniFile::GetStruct(const char* section, const char* key, void* pData,
                                std::size_t nSize) const {
    if (m_bUseProfile) {
        std::vector<std::uint8_t> data;
        if (!platform::CSettingsStore(m_strKeyPath).GetBinary(section, key, data) ||
            data.size() > nSize)
            return false;
        std::copy(data.begin(), data.end(), static_cast<std::uint8_t*>(pData));
        return true;
    }
    return platform::GetProfileStruct(m_strPath, section, key, pData, nSize);
}

bool CPrivateIniFile::WriteString(const char* section, const char* key, const char* pszValue) {
    return platform::WriteProfileString(m_strPath, section, key, pszValue);
}

bool CPrivateIniFile::WriteHex(const char* section, const char* key, unsigned nValue) {
    return WriteString(section, key, platform::Format("0x%08X", nValue).c_str());
}

bool CPrivateIniFile::WriteInt(const char* section, const char* key, int nValue) {
    return WriteString(section, key, platform::Format("%d", nValue).c_str());
}

bool CPrivateIniFile::WriteFloat(const char* section, const char* key, double dValue) {
    return WriteString(section, key, platform::Format("%lf", dValue).c_str());
}

bool CPrivateIniFile::WriteStruct(const char* section, const char* key, const void* pData,
                                  std::size_t nSize) {
    return platform::WriteProfileStruct(m_strPath, section, key, pData, nSize);
}

int CPrivateIniFile::GetSection(const char* section, CStringArray& arr) const {
    for (std::string& line : platform::GetProfileSection(m_strPath, section))
        arr.push_back(std::move(line));
    return static_cast<int>(arr.size());
}
