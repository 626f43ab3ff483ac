#include "lindar/comments.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "platform/atomicfile.h"
#include "platform/codepage.h"
#include "platform/folders.h"
#include "platform/profile.h"

namespace {
constexpr const char* kNormal = "Normal";
constexpr const char* kPredefined = "Predefined";

QString Screen(const CString& s) {
    return QString::fromStdU16String(platform::ToUtf16(s));
}
CString Bytes(const QString& s) {
    return platform::FromUtf16(std::u16string_view(reinterpret_cast<const char16_t*>(s.utf16()),
                                                   static_cast<std::size_t>(s.size())));
}

void ReadList(const std::string& strPath, const char* pszSection, const char* pszKey,
              std::vector<CCommentEntry>& out) {
    out.clear();
    const int nCount = platform::GetProfileInt(strPath, pszSection, "COUNT", 0);
    for (int i = 1; i <= nCount; ++i) {
        const std::string n = std::to_string(i);
        CCommentEntry e;
        e.strKey = CCommentStore::Unescape(platform::GetProfileString(strPath, pszSection, (pszKey + n).c_str(), ""));
        e.strText = CCommentStore::Unescape(platform::GetProfileString(strPath, pszSection, ("TEXT" + n).c_str(), ""));
        if (!e.strKey.empty())
            out.push_back(std::move(e));
    }
}

std::string WriteList(const char* pszSection, const char* pszKey, const std::vector<CCommentEntry>& list) {
    std::string s = std::string("[") + pszSection + "]\n";
    s += "COUNT=" + std::to_string(list.size()) + "\n";
    for (std::size_t i = 0; i < list.size(); ++i) {
        const std::string n = std::to_string(i + 1);
        s += pszKey + n + "=" + CCommentStore::Escape(list[i].strKey) + "\n";
        s += "TEXT" + n + "=" + CCommentStore::Escape(list[i].strText) + "\n";
    }
    return s;
}
}  // namespace

CCommentStore::CCommentStore() : m_strPath(platform::HomeDir("Lindar") + "Comments.ini") {}

std::string CCommentStore::Escape(const CString& str) {
    std::string out;
    for (std::size_t i = 0; i < str.size(); ++i) {
        const char c = str[i];
        if (c == '\\') {
            out += "\\\\";
        } else if (c == '\r' || c == '\n') {
            out += "\\n";
            if (c == '\r' && i + 1 < str.size() && str[i + 1] == '\n')
                ++i;
        } else {
            out += c;
        }
    }
    return out;
}

CString CCommentStore::Unescape(const std::string& str) {
    CString out;
    for (std::size_t i = 0; i < str.size(); ++i) {
        if (str[i] == '\\' && i + 1 < str.size()) {
            ++i;
            out += str[i] == 'n' ? CString("\r\n") : CString(1, str[i]);
        } else {
            out += str[i];
        }
    }
    return out;
}

void CCommentStore::Load() {
    ReadList(m_strPath, kNormal, "NAME", m_normal);
    ReadList(m_strPath, kPredefined, "GROUP", m_predefined);
}

bool CCommentStore::Save() const {
    const auto nSlash = m_strPath.find_last_of('/');
    if (nSlash != std::string::npos && !platform::MakeDirs(m_strPath.substr(0, nSlash)))
        return false;
    platform::CAtomicFile file;
    return file.Open(m_strPath) && file.Write(WriteList(kNormal, "NAME", m_normal) + "\n" +
                                              WriteList(kPredefined, "GROUP", m_predefined)) &&
           file.Commit();
}

CCommentListDialog::CCommentListDialog(const QString& strTitle, const QString& strKeyHeading,
                                       const QString& strTextHeading, const std::vector<CCommentEntry>& rows,
                                       QWidget* pParent)
    : QDialog(pParent) {
    setWindowTitle(strTitle);
    setObjectName("commentListDialog");
    auto* pLayout = new QVBoxLayout(this);
    m_pTable = new QTableWidget(static_cast<int>(rows.size()), 2, this);
    m_pTable->setObjectName("list");
    m_pTable->setHorizontalHeaderLabels({strKeyHeading, strTextHeading});
    m_pTable->horizontalHeader()->setStretchLastSection(true);
    m_pTable->setColumnWidth(0, 160);
    m_pTable->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_pTable->setStyleSheet("QTableWidget { background: #eeeeff; }");
    for (int r = 0; r < static_cast<int>(rows.size()); ++r) {
        m_pTable->setItem(r, 0, new QTableWidgetItem(Screen(rows[r].strKey)));
        // One line in the cell; the line ends of a text are kept as "\n" marks.
        m_pTable->setItem(r, 1, new QTableWidgetItem(Screen(rows[r].strText).replace("\r\n", "\\n")));
    }
    pLayout->addWidget(m_pTable);
    auto* pRow = new QHBoxLayout;
    auto* pAdd = new QPushButton("Adicionar", this);
    pAdd->setObjectName("add");
    auto* pRemove = new QPushButton("Remover", this);
    pRemove->setObjectName("remove");
    pRow->addWidget(pAdd);
    pRow->addWidget(pRemove);
    pRow->addStretch();
    pLayout->addLayout(pRow);
    auto* pButtons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    pButtons->button(QDialogButtonBox::Cancel)->setText("Cancelar");
    pLayout->addWidget(pButtons);
    connect(pAdd, &QPushButton::clicked, this, [this] { OnAdd(); });
    connect(pRemove, &QPushButton::clicked, this, [this] { OnRemove(); });
    connect(pButtons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(pButtons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    resize(560, 360);
}

void CCommentListDialog::OnAdd() {
    const int r = m_pTable->rowCount();
    m_pTable->insertRow(r);
    m_pTable->setItem(r, 0, new QTableWidgetItem);
    m_pTable->setItem(r, 1, new QTableWidgetItem);
    m_pTable->setCurrentCell(r, 0);
    m_pTable->editItem(m_pTable->item(r, 0));
}

void CCommentListDialog::OnRemove() {
    const int r = m_pTable->currentRow();
    if (r >= 0)
        m_pTable->removeRow(r);
}

std::vector<CCommentEntry> CCommentListDialog::Rows() const {
    std::vector<CCommentEntry> rows;
    for (int r = 0; r < m_pTable->rowCount(); ++r) {
        const QTableWidgetItem* pKey = m_pTable->item(r, 0);
        const QTableWidgetItem* pText = m_pTable->item(r, 1);
        const QString strKey = pKey ? pKey->text().trimmed() : QString();
        if (strKey.isEmpty())
            continue;
        QString strText = pText ? pText->text() : QString();
        strText.replace("\\n", "\r\n");
        rows.push_back({Bytes(strKey), Bytes(strText)});
    }
    return rows;
}
