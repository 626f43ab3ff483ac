#include "spiro_control/spiropreviewdlg.h"

#include <QFontMetrics>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QStringList>

#include "spiro_control/spiroexport.h"

CSpiroPreviewDlg::CSpiroPreviewDlg(CSpiroExport* pExport, QWidget* pParent)
    : QDialog(pParent), m_pExport(pExport) {
    setWindowTitle(QStringLiteral("Print Preview"));
    setModal(true);
    QFont font;
    font.setFamilies(QStringList{QStringLiteral("Liberation Sans"), QStringLiteral("Arial")});
    font.setPointSize(9);
    setFont(font);
    // Dialog base units: the average width of the letters and the height of the font.
    const QFontMetrics metrics(font);
    const QString strLetters =
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    m_nBaseX = std::max(1, (metrics.horizontalAdvance(strLetters) / 26 + 1) / 2);
    m_nBaseY = std::max(1, metrics.height());
    setFixedSize(MapDialogRect(0, 0, 343, 402).size());

    auto* pPrint = new QPushButton(QStringLiteral("Print"), this);
    pPrint->setObjectName(QStringLiteral("IDOK"));
    pPrint->setGeometry(MapDialogRect(7, 7, 50, 14));
    pPrint->setDefault(true);
    connect(pPrint, &QPushButton::clicked, this, &QDialog::accept);
    auto* pClose = new QPushButton(QStringLiteral("Close"), this);
    pClose->setObjectName(QStringLiteral("IDCANCEL"));
    pClose->setGeometry(MapDialogRect(59, 7, 50, 14));
    connect(pClose, &QPushButton::clicked, this, &QDialog::reject);
    auto* pShadow = new QLabel(this);
    pShadow->setObjectName(QStringLiteral("shadow"));
    pShadow->setGeometry(MapDialogRect(32, 31, 282, 364));
    pShadow->setStyleSheet(QStringLiteral("background-color: #808080;"));
    m_pPicture = new QLabel(this);
    m_pPicture->setObjectName(QStringLiteral("picture"));
    m_pPicture->setGeometry(MapDialogRect(29, 28, 282, 364));
    m_pPicture->setAlignment(Qt::AlignCenter);
    OnInitDialog();
    pPrint->setFocus();
}

QRect CSpiroPreviewDlg::MapDialogRect(int x, int y, int w, int h) const {
    return QRect(x * m_nBaseX / 4, y * m_nBaseY / 8, w * m_nBaseX / 4, h * m_nBaseY / 8);
}

void CSpiroPreviewDlg::OnInitDialog() {
    if (m_pExport == nullptr) {
        return;
    }
    const QSize size = m_pPicture->contentsRect().size();
    if (m_pExport->DrawReportPage(m_page, size.width(), size.height()) == 0) {
        m_pPicture->setPixmap(QPixmap::fromImage(m_page));
    }
}
