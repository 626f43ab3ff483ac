#pragma once
// The command line of a viewer: named parameters "-u USER", "-p TEXT", "-sid ID" (a leading
// "-" or "/", the name without regard to case) and positional parameters. One pair of
// enclosing double quotes is removed from every value, as the server quotes the path it
// hands over.
#include <map>
#include <vector>

#include "oxuutil/oxuexport.h"
#include "platform/wintypes.h"

class OXU_EXPORT CWinCmdLineInfo {
public:
    // argv[0] is the program and is skipped.
    void ParseCommandLine(int argc, const char* const* argv);
    void ParseCommandLine(const std::vector<CString>& args);

    // The named parameter's value (name without its "-"), or an empty text.
    CString GetParam(LPCSTR lpszName) const;
    // The positional parameter with this index, or an empty text.
    CString GetParam(int nIndex) const;

    static CString StripQuotes(const CString& str);

private:
    std::map<CString, CString> m_named;  // lower-case names
    std::vector<CString> m_positional;
};
