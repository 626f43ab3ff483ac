#include "lindar/analysisbar.h"

#include <algorithm>

#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QToolButton>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "lindar/comments.h"
#include "oxuctrl/oxuctrl.h"
#include "viewers/common/examlist.h"
#include "lindar/lindarbitmaps.h"
#include "lindar/lindargraphwnd.h"
#include "platform/codepage.h"
#include "platform/notifier.h"

namespace {
QString Screen(const CString& s) {
    return QString::fromStdU16String(platform::ToUtf16(s));
}
CString Bytes(const QString& s) {
    return platform::FromUtf16(std::u16string_view(reinterpret_cast<const char16_t*>(s.utf16()),
                                                   static_cast<std::size_t>(s.size())));
}
CString Utf8ToCodePage(const char* p) {
    return Bytes(QString::fromUtf8(p));
}

constexpr const char* kPaleTree = "QTreeWidget { background: #eeeeff; }";
// Kinds of the predefined tree's entries (item data).
enum { KIND_GROUP = 0, KIND_NORMAL = 1, KIND_PREDEFINED = 2 };

// A title strip on the button face, as the bar's titles are drawn.
QLabel* TitleStrip(const QString& strText, const char* pszId, QWidget* pParent) {
    auto* p = new CWndTitle(pParent);
    p->setText(strText);
    p->setObjectName(pszId);
    p->SetBkColor(oxuctrl::ToColorRef(pParent->palette().color(QPalette::Button)));
    p->setFrameShape(QFrame::Panel);
    return p;
}
}  // namespace

CAnalysisBar::CAnalysisBar(QWidget* pParent) : QWidget(pParent) {
    setObjectName("analysisBar");
    // One column, as a page of the left pane: values, statements, comment, predefined tree.
    auto* pMain = new QVBoxLayout(this);
    pMain->setContentsMargins(2, 2, 2, 2);
    pMain->addWidget(TitleStrip(QString::fromUtf8("Análise"), "1005", this));
    auto* pValues = new QFormLayout;
    const char* labels[] = {"Frequência Cardíaca", "Intervalo PR", "Duração QRS", "QT/QTc",
                            "Eixo P-R-T"};
    for (int i = 0; i < 5; ++i) {
        auto* pField = new CExEdit(this);
        pField->EnableKeyboardInput(FALSE);
        m_fields[i] = pField;
        m_fields[i]->setObjectName(QString::number(1006 + i));
        m_fields[i]->setFocusPolicy(Qt::NoFocus);
        pValues->addRow(QString::fromUtf8(labels[i]), m_fields[i]);
    }
    pMain->addLayout(pValues);
    pMain->addWidget(TitleStrip(QString::fromUtf8("Resultado da Análise"), "1011", this));
    m_pResults = new QTreeWidget(this);
    m_pResults->setObjectName("1013");
    m_pResults->setHeaderHidden(true);
    m_pResults->setStyleSheet(kPaleTree);
    m_pRoot =
        new QTreeWidgetItem(m_pResults, QStringList(QString::fromUtf8("Resultado Automático")));
    m_pRoot->setIcon(0, lindar::StripIcon(lindar::IDB_RESULT_IMAGES, 0));
    pMain->addWidget(m_pResults, 2);
    pMain->addWidget(TitleStrip(QString::fromUtf8("Comentários do Médico"), "1012", this));
    m_pComment = new QPlainTextEdit(this);
    m_pComment->setObjectName("1014");
    m_pComment->setReadOnly(true);
    pMain->addWidget(m_pComment, 2);
    auto* pButtons = new QHBoxLayout;
    m_pEdit = new QPushButton("Editar", this);
    m_pEdit->setObjectName("1043");
    m_pEdit->setCheckable(true);
    m_pSave = new QPushButton(QString::fromUtf8("Salvar Comentário"), this);
    m_pSave->setObjectName("1022");
    pButtons->addWidget(m_pEdit);
    pButtons->addWidget(m_pSave);
    pMain->addLayout(pButtons);
    pMain->addWidget(TitleStrip(QString::fromUtf8("Comentário  Predefinido"), "1015", this));
    m_pPredef = new QTreeWidget(this);
    m_pPredef->setObjectName("1037");
    m_pPredef->setHeaderHidden(true);
    m_pPredef->setStyleSheet(kPaleTree);
    m_pPredef->setContextMenuPolicy(Qt::CustomContextMenu);
    m_pNormalRoot = new QTreeWidgetItem(m_pPredef, QStringList("Normal"));
    m_pPredefRoot = new QTreeWidgetItem(m_pPredef, QStringList("Predefined"));
    for (QTreeWidgetItem* p : {m_pNormalRoot, m_pPredefRoot})
        p->setIcon(0, lindar::StripIcon(lindar::IDB_COMMENT_IMAGES, 0));
    pMain->addWidget(m_pPredef, 3);
    connect(m_pEdit, &QPushButton::clicked, this, [this] { OnEdit(); });
    connect(m_pSave, &QPushButton::clicked, this, [this] { OnSaveComment(); });
    connect(m_pPredef, &QTreeWidget::itemDoubleClicked, this,
            [this](QTreeWidgetItem* p, int) { AddEntry(p); });
    connect(m_pPredef, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pt) { OnPredefContextMenu(pt); });
}

void CAnalysisBar::ShowValues(CLindarGraphWnd* pGraph) {
    qDeleteAll(m_pRoot->takeChildren());
    if (!pGraph || !pGraph->m_pExam) {
        for (QLineEdit* f : m_fields)
            f->clear();
        m_pComment->clear();
        return;
    }
    short v[8];
    for (short i = 0; i < 8; ++i)
        v[i] = pGraph->EKGGetRhythmParam(i);
    m_fields[0]->setText(QString::asprintf("%d bpm", v[0]));
    m_fields[1]->setText(QString::asprintf("%d ms", v[1]));
    m_fields[2]->setText(QString::asprintf("%d ms", v[2]));
    m_fields[3]->setText(QString::asprintf("%d/%d ms", v[3], v[4]));
    m_fields[4]->setText(QString::asprintf("%d/%d/%d", v[5], v[6], v[7]));
    const short nCount = pGraph->EKGGetAnalysisCnt();
    for (short i = 0; i < nCount; ++i) {
        const CString s = pGraph->EKGGetAnalysis(i);
        if (!s.empty())
            (new QTreeWidgetItem(m_pRoot, QStringList(Screen(s))))
                ->setIcon(0, lindar::StripIcon(lindar::IDB_RESULT_IMAGES, 1));
    }
    m_pRoot->setExpanded(true);
    m_pComment->setPlainText(Screen(pGraph->EKGGetComment()));
}

void CAnalysisBar::EnableComment(bool bOn) {
    m_pComment->setEnabled(bOn);
    m_pEdit->setEnabled(bOn);
    m_pSave->setEnabled(bOn);
    m_pPredef->setEnabled(bOn);
}

void CAnalysisBar::SetComments(const CCommentStore& store) {
    qDeleteAll(m_pNormalRoot->takeChildren());
    qDeleteAll(m_pPredefRoot->takeChildren());
    m_normalTexts.clear();
    for (const CCommentEntry& e : store.m_normal) {
        auto* p = new QTreeWidgetItem(m_pNormalRoot, QStringList(Screen(e.strKey)));
        p->setData(0, Qt::UserRole, KIND_NORMAL);
        p->setIcon(0, lindar::StripIcon(lindar::IDB_COMMENT_IMAGES, 1));
        p->setToolTip(0, Screen(e.strText));
        m_normalTexts[e.strKey] = e.strText;
    }
    // Groups in the order they first appear, each with its comments.
    std::map<CString, QTreeWidgetItem*> groups;
    for (const CCommentEntry& e : store.m_predefined) {
        QTreeWidgetItem*& pGroup = groups[e.strKey];
        if (!pGroup) {
            pGroup = new QTreeWidgetItem(m_pPredefRoot, QStringList(Screen(e.strKey)));
            pGroup->setData(0, Qt::UserRole, KIND_GROUP);
            pGroup->setIcon(0, lindar::StripIcon(lindar::IDB_COMMENT_IMAGES, 0));
        }
        auto* p = new QTreeWidgetItem(pGroup, QStringList(Screen(e.strText)));
        p->setData(0, Qt::UserRole, KIND_PREDEFINED);
        p->setIcon(0, lindar::StripIcon(lindar::IDB_COMMENT_IMAGES, 1));
    }
    m_pNormalRoot->setExpanded(true);
    m_pPredefRoot->setExpanded(true);
}

bool CAnalysisBar::EntryText(QTreeWidgetItem* pItem, CString& strText) const {
    if (!pItem)
        return false;
    if (pItem->parent() == m_pNormalRoot) {
        auto it = m_normalTexts.find(Bytes(pItem->text(0)));
        strText = it == m_normalTexts.end() ? CString() : it->second;
        return true;
    }
    if (pItem->parent() && pItem->parent()->parent() == m_pPredefRoot) {
        strText = Bytes(pItem->text(0));
        return true;
    }
    return false;
}

void CAnalysisBar::AddEntry(QTreeWidgetItem* pItem) {
    CString strText;
    if (!EntryText(pItem, strText))
        return;
    if (strText.empty()) {
        platform::ShowMessage(Utf8ToCodePage("Texto do \"Resultado Normal\" não encontrado."),
                              platform::MB_ICONERROR);
        return;
    }
    QString strComment = m_pComment->toPlainText();
    if (!strComment.isEmpty())
        strComment += "\n";
    strComment += Screen(strText).replace("\r\n", "\n");
    m_pComment->setPlainText(strComment);
}

void CAnalysisBar::OnPredefContextMenu(const QPoint& pt) {
    QTreeWidgetItem* pItem = m_pPredef->itemAt(pt);
    CString strText;
    QMenu menu(QString::fromUtf8("Resultado"), this);
    QAction* pAdd = menu.addAction(QString::fromUtf8("Adicionar Comentário"));
    pAdd->setEnabled(EntryText(pItem, strText));
    QAction* pNormal = menu.addAction("Editar Resultado Normal...");
    QAction* pPredef = menu.addAction("Editar Resultado Predefinido...");
    QAction* pChosen = menu.exec(m_pPredef->viewport()->mapToGlobal(pt));
    if (pChosen == pAdd)
        AddEntry(pItem);
    else if (pChosen == pNormal && m_command)
        m_command(ID_EDIT_NORMAL);
    else if (pChosen == pPredef && m_command)
        m_command(ID_EDIT_PREDEFINED);
}

void CAnalysisBar::OnEdit() {
    m_bEditing = !m_bEditing;
    m_pEdit->setChecked(m_bEditing);
    m_pComment->setReadOnly(!m_bEditing);
}

void CAnalysisBar::OnSaveComment() {
    if (!m_pGraph || !m_pGraph->m_pExam) {
        platform::ShowMessage(Utf8ToCodePage("Dados do ECG inválidos !!!"), platform::MB_ICONERROR);
        return;
    }
    // The record keeps CRLF line ends, as the comment box of the original system wrote them.
    QString strText = m_pComment->toPlainText();
    strText.replace("\r\n", "\n").replace("\n", "\r\n");
    m_pGraph->EKGSetComment(Bytes(strText).c_str());
    const bool bOk = m_pGraph->EKGSaveFile(m_pGraph->m_pExam->GetPath().c_str()) == 1;
    platform::ShowMessage(
        Utf8ToCodePage(bOk ? "Exame salvo com sucesso!" : "Falha ao gravar o arquivo (*.ekg)."),
        bOk ? platform::MB_ICONINFORMATION : platform::MB_ICONERROR);
}

CParamListBar::CParamListBar(QWidget* pParent) : QWidget(pParent) {
    setObjectName("paramListBar");
    auto* pLayout = new QVBoxLayout(this);
    pLayout->setContentsMargins(0, 0, 0, 0);
    pLayout->setSpacing(0);
    m_pMinimize = new QToolButton(this);
    m_pMinimize->setObjectName("1006");
    m_pMinimize->setFixedSize(50, 6);
    pLayout->addWidget(m_pMinimize, 0, Qt::AlignRight);
    m_pBody = new QWidget(this);
    auto* pBody = new QVBoxLayout(m_pBody);
    pBody->setContentsMargins(2, 0, 2, 2);
    pBody->addWidget(TitleStrip(QString::fromUtf8("Parâmetros"), "1025", m_pBody));
    m_pTable = new QTableWidget(m_pBody);
    m_pTable->setObjectName("1002");
    m_pTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_pTable->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_pTable->setShowGrid(true);
    m_pTable->verticalHeader()->hide();
    pBody->addWidget(m_pTable);
    pLayout->addWidget(m_pBody);
    connect(m_pMinimize, &QToolButton::clicked, this, [this] { SetMinimized(!m_bMinimized); });
    // After its first set-up the bar is minimized.
    SetMinimized(true);
}

void CParamListBar::SetMinimized(bool bOn) {
    m_bMinimized = bOn;
    m_pBody->setVisible(!bOn);
    m_pMinimize->setToolTip(bOn ? "Param Restore" : "Param Minimize");
    m_pMinimize->setArrowType(bOn ? Qt::UpArrow : Qt::DownArrow);
    if (bOn) {
        setFixedHeight(6);
    } else {
        setMinimumHeight(0);
        setMaximumHeight(QWIDGETSIZE_MAX);
    }
    updateGeometry();
}

void CParamListBar::ShowExam(CLindarGraphWnd* pGraph) {
    static const char* heads[] = {"Ch",      "PR int", "P amp",  "P dur",  "Q amp",   "Q dur",
                                  "R amp",   "R dur",  "S amp",  "S dur",  "QLR dur", "QRS dur",
                                  "QRS amp", "T amp",  "ST amp", "QTc int"};
    static const int widths[] = {30, 50, 50, 50, 52, 52, 50, 50, 50, 50, 60, 60, 65, 50, 60, 60};
    static const char* rows[] = {"  I", " II", "III", "aVR", "aVL", "aVF",
                                 " V1", " V2", " V3", " V4", " V5", " V6"};
    m_pTable->clear();
    m_pTable->setRowCount(0);
    m_pTable->setColumnCount(0);
    if (!pGraph || !pGraph->m_pExam)
        return;
    m_pTable->setColumnCount(16);
    m_pTable->setRowCount(12);
    for (int k = 0; k < 16; ++k) {
        m_pTable->setHorizontalHeaderItem(k, new QTableWidgetItem(heads[k]));
        m_pTable->setColumnWidth(k, widths[k]);
    }
    for (short lead = 0; lead < 12; ++lead) {
        m_pTable->setItem(lead, 0, new QTableWidgetItem(rows[lead]));
        for (short k = 0; k < 15; ++k) {
            const short v = pGraph->EKGGetMorphologyParam(k, lead);
            auto* pItem = new QTableWidgetItem(QString::asprintf("%d", v));
            pItem->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            m_pTable->setItem(lead, k + 1, pItem);
        }
    }
    // The widths are the least each column gets: this font and the cell margins may need
    // more ("aVR" in 30 pixels would be cut to "a...").
    for (int k = 0; k < 16; ++k)
        m_pTable->setColumnWidth(
            k, std::max({widths[k], static_cast<QAbstractItemView*>(m_pTable)->sizeHintForColumn(k),
                         m_pTable->horizontalHeader()->sectionSizeHint(k)}));
}
