#include "oxuutil/wincmdlineinfo.h"

#include <algorithm>
#include <cctype>

namespace {
// The names that take the next word as their value.
bool TakesValue(const CString& strName) {
    return strName == "u" || strName == "p" || strName == "sid";
}

CString Lower(CString str) {
    std::transform(str.begin(), str.end(), str.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return str;
}
}  // namespace

CString CWinCmdLineInfo::StripQuotes(const CString& str) {
    if (str.size() >= 2 && str.front() == '"' && str.back() == '"')
        return str.substr(1, str.size() - 2);
    return str;
}

void CWinCmdLineInfo::ParseCommandLine(int argc, const char* const* argv) {
    std::vector<CString> args;
    for (int i = 1; i < argc; ++i)
        args.emplace_back(argv[i] ? argv[i] : "");
    ParseCommandLine(args);
}

void CWinCmdLineInfo::ParseCommandLine(const std::vector<CString>& args) {
    m_named.clear();
    m_positional.clear();
    for (std::size_t i = 0; i < args.size(); ++i) {
        const CString& strArg = args[i];
        if (strArg.size() > 1 && (strArg[0] == '-' || strArg[0] == '/')) {
            CString strName = Lower(strArg.substr(1));
            // An absolute path is a file, not a switch.
            if (strArg[0] == '/' && !TakesValue(strName)) {
                m_positional.push_back(StripQuotes(strArg));
                continue;
            }
            if (TakesValue(strName)) {
                m_named[strName] = i + 1 < args.size() ? StripQuotes(args[++i]) : CString();
            } else {
                m_named[strName] = CString();
            }
            continue;
        }
        m_positional.push_back(StripQuotes(strArg));
    }
}

CString CWinCmdLineInfo::GetParam(LPCSTR lpszName) const {
    auto it = m_named.find(Lower(lpszName ? lpszName : ""));
    return it == m_named.end() ? CString() : it->second;
}

CString CWinCmdLineInfo::GetParam(int nIndex) const {
    if (nIndex < 0 || static_cast<std::size_t>(nIndex) >= m_positional.size())
        return {};
    return m_positional[nIndex];
}
