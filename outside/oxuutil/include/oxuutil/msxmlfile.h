#pragma once
// An XML document kept whole as text with the file it came from: loaded, changed by its
// owner, saved whole (a reader never sees half a file). It holds no open file, so copies
// are plain copies of the text and the name.
#include "oxuutil/oxuexport.h"
#include "platform/wintypes.h"

class OXU_EXPORT CMsXmlFile {
public:
    CMsXmlFile();
    CMsXmlFile(const CMsXmlFile&);
    CMsXmlFile& operator=(const CMsXmlFile&);
    ~CMsXmlFile();

    // TRUE when the file was read; the document and the name are then the file's.
    BOOL Load(LPCSTR lpszPath);
    // Writes the document to the file (its own when no name is given); TRUE when written.
    BOOL Save(LPCSTR lpszPath = nullptr);

    const CString& GetXml() const { return m_strXml; }
    void SetXml(const CString& strXml) { m_strXml = strXml; }
    const CString& GetPathName() const { return m_strPath; }

private:
    CString m_strPath;
    CString m_strXml;
};
