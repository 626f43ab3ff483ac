#pragma once
// A text made by the printf rules, of any length.
#include "oxuutil/oxuexport.h"
#include "platform/wintypes.h"

class OXU_EXPORT CStringFormat {
public:
    CStringFormat();
    CStringFormat(const CStringFormat&);
    CStringFormat& operator=(const CStringFormat&);
    ~CStringFormat();

    // The text formatted anew; an invalid format gives an empty text.
    const CString& Format(LPCSTR lpszFormat, ...) __attribute__((format(printf, 2, 3)));
    // The formatted text added at the end.
    const CString& AppendFormat(LPCSTR lpszFormat, ...) __attribute__((format(printf, 2, 3)));
    const CString& GetString() const { return m_str; }
    void Empty() { m_str.clear(); }

private:
    CString m_str;
};
