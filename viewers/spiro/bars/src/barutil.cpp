#include "barutil.h"

#include <cstring>

namespace pmbars {

CTypingLimit::CTypingLimit(int nLimit, QLineEdit* pEdit)
    : QValidator(pEdit), m_nLimit(nLimit), m_nCurrent(pEdit->text().size()) {
    // A change is checked before the line edit reports it, so this is the old length then.
    connect(pEdit, &QLineEdit::textChanged, this,
            [this](const QString& s) { m_nCurrent = s.size(); });
}

void LimitTyping(QLineEdit* pEdit, int nLimit) {
    pEdit->setValidator(new CTypingLimit(nLimit, pEdit));
}

CString ZeroPad(const CString& text, std::size_t width) {
    return text.size() >= width ? text : CString(width - text.size(), '0') + text;
}

CString TrimRight(CString text, const char* pszChars) {
    while (!text.empty() && text.back() != '\0' && std::strchr(pszChars, text.back()))
        text.pop_back();
    return text;
}

}  // namespace pmbars
