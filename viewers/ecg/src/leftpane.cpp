#include "lindar/leftpane.h"

#include <QPushButton>
#include <QResizeEvent>
#include <QToolButton>

#include "lindar/analysisbar.h"
#include "lindar/lindarbitmaps.h"
#include "lindar/patientbar.h"

CLeftPane::CLeftPane(CPatientBar* pPatient, CAnalysisBar* pAnalysis, QWidget* pParent)
    : QWidget(pParent), m_pPatient(pPatient), m_pAnalysis(pAnalysis) {
    setObjectName("leftPane");
    m_pPatient->setParent(this);
    m_pAnalysis->setParent(this);
    m_pInfo = new QPushButton(QString::fromUtf8("Informações"), this);
    m_pInfo->setObjectName(QString::number(IDC_INFO));
    m_pInfo->setCheckable(true);
    m_pInfo->setIcon(lindar::BitmapIcon(lindar::IDB_INFO_TAB));
    m_pAnalysisTab = new QPushButton(QString::fromUtf8("Análise"), this);
    m_pAnalysisTab->setObjectName(QString::number(IDC_ANALYSIS));
    m_pAnalysisTab->setCheckable(true);
    m_pAnalysisTab->setIcon(lindar::BitmapIcon(lindar::IDB_ANALYSIS_TAB));
    m_pMinimize = new QToolButton(this);
    m_pMinimize->setObjectName(QString::number(IDC_MINIMIZE));
    connect(m_pInfo, &QPushButton::clicked, this, [this] { ShowInfo(); });
    connect(m_pAnalysisTab, &QPushButton::clicked, this, [this] { ShowAnalysis(); });
    connect(m_pMinimize, &QToolButton::clicked, this, [this] { SetMinimized(!m_bMinimized); });
    setMinimumWidth(kMinimizedWidth);
    resize(m_nNormalWidth, 600);
    SetMinimized(false);
    ShowInfo();
}

void CLeftPane::ShowInfo() {
    m_pInfo->setChecked(true);
    m_pAnalysisTab->setChecked(false);
    m_pAnalysis->hide();
    m_pPatient->setVisible(!m_bMinimized);
}

void CLeftPane::ShowAnalysis() {
    m_pInfo->setChecked(false);
    m_pAnalysisTab->setChecked(true);
    m_pPatient->hide();
    m_pAnalysis->setVisible(!m_bMinimized);
}

bool CLeftPane::IsInfoShown() const {
    return m_pInfo->isChecked();
}

void CLeftPane::SetMinimized(bool bOn) {
    if (bOn && !m_bMinimized && width() > kMinimizedWidth)
        m_nNormalWidth = width();
    m_bMinimized = bOn;
    m_pMinimize->setToolTip(bOn ? " Restore" : " Minimize");
    m_pMinimize->setArrowType(bOn ? Qt::RightArrow : Qt::LeftArrow);
    m_pInfo->setVisible(!bOn);
    m_pAnalysisTab->setVisible(!bOn);
    if (bOn) {
        m_pPatient->hide();
        m_pAnalysis->hide();
        setFixedWidth(kMinimizedWidth);
    } else {
        setMinimumWidth(kMinimizedWidth);
        setMaximumWidth(QWIDGETSIZE_MAX);
        resize(m_nNormalWidth, height());
        // The frame lays its docks out by the pane's preferred width.
        setMinimumWidth(m_nNormalWidth);
        (IsInfoShown() ? static_cast<QWidget*>(m_pPatient) : m_pAnalysis)->show();
    }
    updateGeometry();
    Layout();
}

void CLeftPane::resizeEvent(QResizeEvent* e) {
    QWidget::resizeEvent(e);
    Layout();
}

void CLeftPane::Layout() {
    const int w = width(), h = height();
    if (m_bMinimized) {
        m_pMinimize->setGeometry(0, std::max(0, h - 55), kMinimizedWidth, 50);
        return;
    }
    m_pInfo->setGeometry(2, 2, (w - 8) / 2, 24);
    m_pAnalysisTab->setGeometry(4 + (w - 8) / 2, 2, (w - 8) / 2, 24);
    // The button at the left edge, 55 pixels above the bottom; each page at (2, 28).
    m_pMinimize->setGeometry(0, std::max(0, h - 55), kMinimizedWidth, 50);
    m_pMinimize->raise();
    const QRect page(2 + kMinimizedWidth, 28, std::max(0, w - 6 - kMinimizedWidth), std::max(0, h - 56));
    m_pPatient->setGeometry(page);
    m_pAnalysis->setGeometry(page);
}
