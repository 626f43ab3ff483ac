#include "pulmetra/bars/resultbar.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPlainTextEdit>
#include <QResizeEvent>
#include <QVBoxLayout>

#include "barutil.h"
#include "platform/format.h"
#include "platform/notifier.h"
#include "pulmetra/bars/barstrings.h"
#include "spiro_control/host/flowlin.h"

using namespace pmstr;

namespace {

// Bitmaps 157 (minimize: an arrow down) and 158 (restore: an arrow up), drawn.
QImage ArrowBitmap(bool bDown) {
    QImage img(16, 6, QImage::Format_RGB32);
    img.fill(Qt::white);
    QPainter p(&img);
    p.setPen(Qt::black);
    p.setBrush(Qt::black);
    const QPointF down[] = {{4, 1}, {12, 1}, {8, 5}};
    const QPointF up[] = {{4, 5}, {12, 5}, {8, 1}};
    p.drawPolygon(bDown ? down : up, 3);
    return img;
}

QString Fixed2(float v) {
    return QString::number(double(v), 'f', 2);
}

// "%d%d%d %d%d%d" of two trials' three quality digits.
QString TwoCodes(CFlowlin& f, short a, short b) {
    return QString::fromStdString(
        platform::Format("%d%d%d %d%d%d", f.GetEcode(a, 0), f.GetEcode(a, 1), f.GetEcode(a, 2),
                         f.GetEcode(b, 0), f.GetEcode(b, 1), f.GetEcode(b, 2)));
}

// "_ddd" of a trial, "_" when its first digit is negative (no code).
QString TrialCodes(CFlowlin& f, short t) {
    if (f.GetEcode(t, 0) < 0)
        return "_";
    return QString::fromStdString(
        platform::Format("_%d%d%d", f.GetEcode(t, 0), f.GetEcode(t, 1), f.GetEcode(t, 2)));
}

QLabel* Title(QWidget* pParent, const char* pszText) {
    return new QLabel(QString::fromUtf8(pszText), pParent);
}

}  // namespace

CPulmetraResultBar::CPulmetraResultBar(QWidget* pParent) : CExDialogBar(pParent) {
    setObjectName("142");
    m_pBody = new QWidget(this);
    auto* pOuter = new QVBoxLayout(this);
    pOuter->setContentsMargins(0, kMinimizedHeight, 0, 0);
    pOuter->addWidget(m_pBody);
    auto* pRow = new QHBoxLayout(m_pBody);

    auto* pLeft = new QVBoxLayout;
    pLeft->addWidget(Title(m_pBody, "Resultado Automático"));
    m_pAnalysis = new QPlainTextEdit(m_pBody);
    m_pAnalysis->setObjectName(QString::number(IDC_ANALYSIS));
    m_pAnalysis->setReadOnly(true);
    pLeft->addWidget(m_pAnalysis, 1);
    pLeft->addWidget(Title(m_pBody, "Comentário"));
    m_pComment = new CExEdit(m_pBody);
    m_pComment->setObjectName(QString::number(IDC_COMMENT));
    m_pComment->SetBkColor(oxuctrl::kPaleField);
    m_pComment->EnableKeyboardInput(TRUE);
    pmbars::LimitTyping(m_pComment, kCommentLimit);
    pLeft->addWidget(m_pComment);
    m_pSave = new CButtonST(m_pBody);
    m_pSave->setObjectName(QString::number(IDC_SAVE_COMMENT));
    m_pSave->setText(QString::fromUtf8("Salvar Comentário"));
    pLeft->addWidget(m_pSave);
    pRow->addLayout(pLeft, 1);

    auto* pRight = new QVBoxLayout;
    pRight->addWidget(Title(m_pBody, "Parâmetros"));
    auto* pFrame = new QFrame(m_pBody);
    pFrame->setObjectName(QString::number(IDC_PARAMS_FRAME));
    pFrame->setFrameShape(QFrame::Box);
    auto* pFrameLayout = new QVBoxLayout(pFrame);
    m_pParams = new CExListCtrl(pFrame);
    m_pParams->setObjectName(QString::number(IDC_PARAMS));
    m_pParams->setAllColumnsShowFocus(true);  // full-row selection
    m_pParams->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_pParams->setStyleSheet("QTreeView::item { border: 1px solid #d0d0d0; }");  // grid lines
    pFrameLayout->addWidget(m_pParams);
    pRight->addWidget(pFrame, 1);
    pRow->addLayout(pRight, 3);
    pRight->setContentsMargins(0, 0, 8, 0);

    // The minimize button sits at the right end, over the layout.
    m_pMinimize = new CButtonST(this);
    m_pMinimize->setObjectName(QString::number(IDC_MINIMIZE));
    m_pMinimize->SetBitmaps(ArrowBitmap(true));
    m_pMinimize->SetTooltipText("Minimize");
    m_pMinimize->setFixedSize(50, kMinimizedHeight);
    m_pMinimize->raise();

    connect(m_pSave, &QPushButton::clicked, this, [this] { OnSaveComment(); });
    connect(m_pMinimize, &QPushButton::clicked, this, [this] { OnMinimize(); });
    Refresh(nullptr);
}

void CPulmetraResultBar::resizeEvent(QResizeEvent* e) {
    CExDialogBar::resizeEvent(e);
    m_pMinimize->move(std::max(0, width() - m_pMinimize->width()), 0);
}

void CPulmetraResultBar::Clear() {
    m_pParams->DeleteAllItems();
    m_pParams->setColumnCount(0);
    m_strAnalysis.clear();
    m_pAnalysis->clear();
    pmbars::SetFieldText(m_pComment, QString());
}

void CPulmetraResultBar::Refresh(CFlowlin* pControl, const CString& strExamPath, bool bHasFile) {
    m_pControl = pControl;
    m_strPath = strExamPath;
    const short nType = pControl ? pControl->GetTestType() : 0;
    Clear();
    const bool bShown = pControl && nType >= 1 && nType <= 5;
    m_pAnalysis->setEnabled(bShown);
    m_pParams->setEnabled(bShown);
    if (!bShown) {
        m_pComment->setEnabled(false);
        m_pSave->setEnabled(false);
        return;
    }
    CFlowlin& f = *pControl;
    FillTable(f, nType);
    m_strAnalysis = f.GetAnalysisString();
    if (nType == 5)
        m_strAnalysis += "(B)\r\n" + f.GetAnalysisStringPost() + "(P)";
    m_pAnalysis->setPlainText(ToQ(m_strAnalysis).replace("\r\n", "\n"));
    pmbars::SetFieldText(m_pComment, ToQ(f.GetInformation(18)));
    m_pComment->setEnabled(bHasFile);
    m_pSave->setEnabled(bHasFile);
}

void CPulmetraResultBar::FillTable(CFlowlin& f, short nType) {
    CExListCtrl& list = *m_pParams;
    list.InsertColumn(0, "Param", 110);
    list.InsertColumn(1, QString(), 50);
    const short nDepth = f.GetParamDepth(nType);
    for (short d = 0; d < nDepth; ++d)
        list.InsertColumn(2 + d, ToQ(f.GetMeasureString(nType, d)), 60);
    const short nVersion = f.GetFileVersion();
    const short nRows = f.GetParamCount(nType, nVersion);
    // Format-2 FVC tests end with the quality-code row.
    const bool bCodes = nVersion == 2 && nType != 2 && nType != 3 && nRows > 0;
    for (short r = 0; r < nRows; ++r) {
        const int n = list.InsertItem(r, ToQ(f.GetParamLabelString(nType, r)));
        list.SetItemText(n, 1, ToQ(f.GetParamUnitString(nType, r)));
        if (bCodes && r == nRows - 1) {
            const short b = static_cast<short>(f.GetBestNo() - 1);
            list.SetItemText(n, 2, TwoCodes(f, 3, b));
            if (nType == 5) {
                const short p = static_cast<short>(f.GetBestNoPost() + 3);
                list.SetItemText(n, 4, TwoCodes(f, 7, p));
                for (short t = 0; t < 3; ++t) {
                    list.SetItemText(n, 8 + t, TrialCodes(f, t));
                    list.SetItemText(n, 11 + t, TrialCodes(f, short(4 + t)));
                }
            } else {
                for (short t = 0; t < 3; ++t)
                    list.SetItemText(n, 5 + t, TrialCodes(f, t));
            }
            continue;
        }
        for (short d = 0; d < nDepth; ++d)
            list.SetItemText(n, 2 + d, Fixed2(f.GetParam(nType, r, d)));
    }
}

void CPulmetraResultBar::OnSaveComment() {
    if (!m_pControl || m_strPath.empty()) {
        platform::ShowMessage(LoadString(IDS_NO_EXAM), platform::MB_ICONERROR);
        return;
    }
    const short nType = m_pControl->GetTestType();
    if (nType < 1 || nType > 5) {
        platform::ShowMessage(LoadString(IDS_NO_RECORD), platform::MB_ICONERROR);
        return;
    }
    m_pControl->SetInformation(18, FromQ(m_pComment->text()).c_str());
    const bool bOk = m_pControl->Save(m_strPath.c_str()) >= 0;
    platform::ShowMessage(LoadString(bOk ? IDS_SAVED : IDS_SAVE_FAILED),
                          bOk ? platform::MB_ICONINFORMATION : platform::MB_ICONERROR);
}

void CPulmetraResultBar::OnMinimize() {
    m_bMinimized = !m_bMinimized;
    ShowMinimized();
    if (m_onLayout)
        m_onLayout();
}

void CPulmetraResultBar::ShowMinimized() {
    m_pBody->setVisible(!m_bMinimized);
    if (m_bMinimized)
        setFixedHeight(kMinimizedHeight);
    else {
        setMinimumHeight(0);
        setMaximumHeight(QWIDGETSIZE_MAX);
    }
    m_pMinimize->SetBitmaps(ArrowBitmap(!m_bMinimized));
    m_pMinimize->SetTooltipText(m_bMinimized ? "Restore" : "Minimize");
}
