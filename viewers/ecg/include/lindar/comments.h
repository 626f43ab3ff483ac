#pragma once
// The comment lists of the analysis bar: "Normal" entries (a name standing for a comment
// text) and "Predefined" comments (texts in groups). They live in "Comments.ini" in the
// program's home folder and are edited by the frame's two commands in a plain list dialog.
#include <QDialog>
#include <string>
#include <vector>

#include "platform/wintypes.h"

class QTableWidget;

// One row of a list: a name and its text ("Normal"), or a group and a comment ("Predefined").
struct CCommentEntry {
    CString strKey;
    CString strText;
    bool operator==(const CCommentEntry&) const = default;
};

class CCommentStore {
public:
    // The file in Lindar's home folder.
    CCommentStore();
    explicit CCommentStore(std::string strPath) : m_strPath(std::move(strPath)) {}

    // A missing file gives two empty lists.
    void Load();
    // The whole file rewritten through a temporary file; FALSE (and the old file kept) on
    // any failed write.
    bool Save() const;
    const std::string& Path() const { return m_strPath; }

    std::vector<CCommentEntry> m_normal;
    std::vector<CCommentEntry> m_predefined;

    // Texts are kept on one line in the file: backslash and line ends escaped.
    static std::string Escape(const CString& str);
    static CString Unescape(const std::string& str);

private:
    std::string m_strPath;
};

// A plain list of two-column rows with Add and Remove; OK hands back the rows whose first
// column is not empty.
class CCommentListDialog : public QDialog {
public:
    CCommentListDialog(const QString& strTitle, const QString& strKeyHeading, const QString& strTextHeading,
                       const std::vector<CCommentEntry>& rows, QWidget* pParent = nullptr);
    std::vector<CCommentEntry> Rows() const;
    QTableWidget* Table() const { return m_pTable; }
    void OnAdd();
    void OnRemove();

private:
    QTableWidget* m_pTable = nullptr;
};
