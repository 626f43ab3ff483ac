#pragma once
// The server's small wrapper of the private-profile functions: an INI file by path, or the
// application's own profile (the settings store) when constructed with the flag. Missing
// files and keys give the defaults; nothing is reported.
#include <cstddef>
#include <string>

#include "platform/wintypes.h"

class CPrivateIniFile {
public:
    static constexpr const char* kDefaultName = "MyIniFile.ini";

    CPrivateIniFile();                              // the default file name
    explicit CPrivateIniFile(std::string strPath);  // that file
    // bUseProfile: reads go to the application profile of keyPath; writes still go to the
    // file (which is then empty, as the class always did).
    explicit CPrivateIniFile(bool bUseProfile, std::string strKeyPath = "Corvane\\Qar Server");
    virtual ~CPrivateIniFile() = default;

    const std::string& Path() const { return m_strPath; }

    int GetInt(const char* section, const char* key, int nDefault) const;
    // At most 255 characters, as the original buffer held.
    CString GetString(const char* section, const char* key, const char* pszDefault) const;
    float GetFloat(const char* section, const char* key, double dDefault) const;
    // FALSE when absent, of another length, or (in a file) with a wrong checksum.
    bool GetStruct(const char* section, const char* key, void* pData, std::size_t nSize) const;

    bool WriteString(const char* section, const char* key, const char* pszValue);
    bool WriteHex(const char* section, const char* key, unsigned nValue);
    bool WriteInt(const char* section, const char* key, int nValue);
    bool WriteFloat(const char* section, const char* key, double dValue);
    bool WriteStruct(const char* section, const char* key, const void* pData, std::size_t nSize);

    // Appends the section's lines ("key=value", file order) to the array and returns its
    // new size. The whole section is read, however long (the original cut it at 32 KB and
    // lost a busy day's newest rows).
    int GetSection(const char* section, CStringArray& arr) const;

private:
    std::string m_strPath;
    bool m_bUseProfile = false;
    std::string m_strKeyPath;
};
