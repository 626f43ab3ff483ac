#include "oxuutil/msxmlfile.h"

#include "platform/atomicfile.h"

// Out of line, so that the library that carries the class exports them.
CMsXmlFile::CMsXmlFile() = default;
CMsXmlFile::CMsXmlFile(const CMsXmlFile&) = default;
CMsXmlFile& CMsXmlFile::operator=(const CMsXmlFile&) = default;
CMsXmlFile::~CMsXmlFile() = default;

BOOL CMsXmlFile::Load(LPCSTR lpszPath) {
    std::string data;
    if (!lpszPath || !*lpszPath || !platform::ReadWholeFile(lpszPath, data))
        return FALSE;
    m_strPath = lpszPath;
    m_strXml = std::move(data);
    return TRUE;
}

BOOL CMsXmlFile::Save(LPCSTR lpszPath) {
    const CString path = lpszPath && *lpszPath ? CString(lpszPath) : m_strPath;
    if (path.empty() || !platform::WriteFileAtomically(path, m_strXml))
        return FALSE;
    m_strPath = path;
    return TRUE;
}
