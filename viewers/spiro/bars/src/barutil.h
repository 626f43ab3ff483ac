#pragma once
// Small pieces the bars share.
#include <QLineEdit>
#include <QString>
#include <QValidator>

#include "platform/wintypes.h"

namespace pmbars {

// A field's typing limit, as an edit control's text limit works: typing cannot make the
// text longer than the limit, but a longer text the program shows is shown whole (and may
// be kept or shortened), so showing a record never cuts what it holds. (A line edit's own
// maximum length would cut the text it is given.)
class CTypingLimit : public QValidator {
public:
    CTypingLimit(int nLimit, QLineEdit* pEdit);
    State validate(QString& input, int&) const override {
        return input.size() <= std::max<qsizetype>(m_nLimit, m_nCurrent) ? Acceptable : Invalid;
    }

private:
    int m_nLimit;
    qsizetype m_nCurrent = 0;  // the text's length before the change being checked
};

void LimitTyping(QLineEdit* pEdit, int nLimit);
// Sets a field's text as the program shows it.
inline void SetFieldText(QLineEdit* pEdit, const QString& text) {
    pEdit->setText(text);
}

// "%04s": right-aligned in width characters, padded on the left with '0'.
CString ZeroPad(const CString& text, std::size_t width);
// Removes from the end every character that is one of pszChars (an edit's TrimRight).
CString TrimRight(CString text, const char* pszChars);

}  // namespace pmbars
