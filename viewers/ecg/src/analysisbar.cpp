#include "lindar/analysisbar.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "ecg_control/wavelin_dispids.h"
#include "lindar/examlist.h"
#include "lindar/lindargraphwnd.h"
#include "platform/codepage.h"
#include "platform/notifier.h"

using namespace wavelin;

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
}  // namespace

CAnalysisBar::CAnalysisBar(QWidget* pParent) : QWidget(pParent) {
    setObjectName("analysisBar");
    auto* pMain = new QHBoxLayout(this);
    auto* pValues = new QFormLayout;
    const char* labels[] = {"Frequência Cardíaca", "Intervalo PR", "Duração QRS", "QT/QTc", "Eixo P-R-T"};
    for (int i = 0; i < 5; ++i) {
        m_fields[i] = new QLineEdit(this);
        m_fields[i]->setReadOnly(true);
        m_fields[i]->setFocusPolicy(Qt::NoFocus);
        pValues->addRow(QString::fromUtf8(labels[i]), m_fields[i]);
    }
    auto* pBox = new QVBoxLayout;
    pBox->addWidget(new QLabel(QString::fromUtf8("Análise"), this));
    pBox->addLayout(pValues);
    pMain->addLayout(pBox);
    m_pResults = new QTreeWidget(this);
    m_pResults->setHeaderLabel(QString::fromUtf8("Resultado da Análise"));
    m_pRoot = new QTreeWidgetItem(m_pResults, QStringList(QString::fromUtf8("Resultado Automático")));
    pMain->addWidget(m_pResults);
    auto* pComment = new QVBoxLayout;
    pComment->addWidget(new QLabel(QString::fromUtf8("Comentários do Médico"), this));
    m_pComment = new QPlainTextEdit(this);
    m_pComment->setReadOnly(true);
    pComment->addWidget(m_pComment);
    auto* pButtons = new QHBoxLayout;
    m_pEdit = new QPushButton("Editar", this);
    m_pEdit->setCheckable(true);
    m_pSave = new QPushButton(QString::fromUtf8("Salvar Comentário"), this);
    pButtons->addWidget(m_pEdit);
    pButtons->addWidget(m_pSave);
    pComment->addLayout(pButtons);
    pMain->addLayout(pComment);
    connect(m_pEdit, &QPushButton::clicked, this, [this] { OnEdit(); });
    connect(m_pSave, &QPushButton::clicked, this, [this] { OnSaveComment(); });
}

void CAnalysisBar::ShowValues(CLindarGraphWnd* pGraph) {
    qDeleteAll(m_pRoot->takeChildren());
    if (!pGraph || !pGraph->m_pExam) {
        for (QLineEdit* f : m_fields) f->clear();
        m_pComment->clear();
        return;
    }
    short v[8];
    for (short i = 0; i < 8; ++i)
        v[i] = static_cast<short>(pGraph->Call(DISPID_EKGGetRhythmParam, {i}).AsLong());
    m_fields[0]->setText(QString::asprintf("%d bpm", v[0]));
    m_fields[1]->setText(QString::asprintf("%d ms", v[1]));
    m_fields[2]->setText(QString::asprintf("%d ms", v[2]));
    m_fields[3]->setText(QString::asprintf("%d/%d ms", v[3], v[4]));
    m_fields[4]->setText(QString::asprintf("%d/%d/%d", v[5], v[6], v[7]));
    const short nCount = pGraph->Call(DISPID_EKGGetAnalysisCnt).AsShort();
    for (short i = 0; i < nCount; ++i) {
        const CString s = pGraph->Call(DISPID_EKGGetAnalysis, {i}).AsText();
        if (!s.empty())
            new QTreeWidgetItem(m_pRoot, QStringList(Screen(s)));
    }
    m_pRoot->setExpanded(true);
    m_pComment->setPlainText(Screen(pGraph->Call(DISPID_EKGGetComment).AsText()));
}

void CAnalysisBar::EnableComment(bool bOn) {
    m_pComment->setEnabled(bOn);
    m_pEdit->setEnabled(bOn);
    m_pSave->setEnabled(bOn);
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
    m_pGraph->Call(DISPID_EKGSetComment, {Bytes(strText)});
    const bool bOk = m_pGraph->Call(DISPID_EKGSaveFile, {m_pGraph->m_pExam->GetPath()}).AsLong() == 1;
    platform::ShowMessage(Utf8ToCodePage(bOk ? "Exame salvo com sucesso!" : "Falha ao gravar o arquivo (*.ekg)."),
                          bOk ? platform::MB_ICONINFORMATION : platform::MB_ICONERROR);
}

CParamListBar::CParamListBar(QWidget* pParent) : QWidget(pParent) {
    setObjectName("paramListBar");
    auto* pLayout = new QVBoxLayout(this);
    pLayout->addWidget(new QLabel(QString::fromUtf8("Parâmetros"), this));
    m_pTable = new QTableWidget(this);
    m_pTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_pTable->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_pTable->verticalHeader()->hide();
    pLayout->addWidget(m_pTable);
}

void CParamListBar::ShowExam(CLindarGraphWnd* pGraph) {
    static const char* heads[] = {"Ch",    "PR int", "P amp", "P dur",   "Q amp",   "Q dur", "R amp", "R dur",
                                  "S amp", "S dur",  "QLR dur", "QRS dur", "QRS amp", "T amp", "ST amp", "QTc int"};
    static const int widths[] = {30, 50, 50, 50, 52, 52, 50, 50, 50, 50, 60, 60, 65, 50, 60, 60};
    static const char* rows[] = {"  I", " II", "III", "aVR", "aVL", "aVF", " V1", " V2", " V3", " V4", " V5", " V6"};
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
            const short v = pGraph->Call(DISPID_EKGGetMorphologyParam, {k, lead}).AsShort();
            auto* pItem = new QTableWidgetItem(QString::asprintf("%d", v));
            pItem->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            m_pTable->setItem(lead, k + 1, pItem);
        }
    }
}
