#pragma once
// A settings file of the private-profile kind on the platform INI engine. A bare file
// name (no folder) lies in the running program's home folder; a name with a folder is
// taken as it is; no name at all means "<Program>.ini" in the home folder.
#include <cstddef>

#include "oxuutil/oxuexport.h"
#include "platform/wintypes.h"

class OXU_EXPORT CIniFile {
public:
    explicit CIniFile(LPCSTR lpszFileName = nullptr);
    virtual ~CIniFile();
    CIniFile(const CIniFile&) = default;
    CIniFile& operator=(const CIniFile&) = default;

    // The text stays valid until the next read through this object.
    const CString& GetString(LPCSTR lpszSection, LPCSTR lpszKey, LPCSTR lpszDefault = "");
    int GetInt(LPCSTR lpszSection, LPCSTR lpszKey, int nDefault = 0) const;
    BOOL WriteString(LPCSTR lpszSection, LPCSTR lpszKey, LPCSTR lpszValue);
    BOOL WriteInt(LPCSTR lpszSection, LPCSTR lpszKey, int nValue);
    // Binary values with a check, as the structure form of private profiles keeps them.
    BOOL GetStruct(LPCSTR lpszSection, LPCSTR lpszKey, void* pData, std::size_t nSize) const;
    BOOL WriteStruct(LPCSTR lpszSection, LPCSTR lpszKey, const void* pData, std::size_t nSize);

    const CString& GetPathName() const { return m_strPath; }

    // Folder of the running program's own files (its home folder), ending with "/".
    static CString HomeFolder();

private:
    CString m_strPath;
    CString m_strValue;
};
