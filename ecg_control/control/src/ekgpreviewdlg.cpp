#include "ecg_control/control/ekgpreviewdlg.h"

#include <QPainter>
#include <QPushButton>

namespace {
const QRect kGreyArea(QPoint(0, 27), QPoint(1023, 799));
const QRect kPageArea(QPoint(25, 52), QPoint(844, 671));  // 820 x 620
}  // namespace

CEkgPreviewDlg::CEkgPreviewDlg(const CEkgPage& page, QWidget* pParent) : QDialog(pParent) {
    setObjectName("EkgPreviewDlg");
    setWindowTitle("EKG Print Preview");
    setFont(QFont("Tahoma", 9));
    m_page.CopyFrom(page);
    m_page.SetCellSize(3);
    m_page.SetSpeed(2);
    m_page.Grid().SetColumnsRows(50, 37);
    m_page.Grid().SetCellSize(3);
    m_page.Grid().SetBorder(3);
    m_page.Grid().SetBackground(0xFFFFFF);
    auto* pPrint = new QPushButton("&Print", this);
    pPrint->setObjectName("PrintButton");
    pPrint->setGeometry(8, 2, 75, 23);
    pPrint->setDefault(true);
    auto* pClose = new QPushButton("&Close", this);
    pClose->setObjectName("CloseButton");
    pClose->setGeometry(90, 2, 75, 23);
    connect(pPrint, &QPushButton::clicked, this, &QDialog::accept);
    connect(pClose, &QPushButton::clicked, this, &QDialog::reject);
    setFixedSize(kWidth, kHeight);
}

namespace {
CEkgPreviewDlg::Runner& ProcessRunner() {
    static CEkgPreviewDlg::Runner s_runner;
    return s_runner;
}
}  // namespace

CEkgPreviewDlg::Runner CEkgPreviewDlg::SetRunner(Runner runner) {
    Runner previous = std::move(ProcessRunner());
    ProcessRunner() = std::move(runner);
    return previous;
}

int CEkgPreviewDlg::Run() {
    if (ProcessRunner()) return ProcessRunner()(*this);
    return exec() == QDialog::Accepted ? 1 : 2;
}

QImage CEkgPreviewDlg::Render() {
    QImage image(size(), QImage::Format_RGB32);
    image.fill(palette().color(QPalette::Window));
    QPainter painter(&image);
    QImage pageImage(kPageArea.size(), QImage::Format_RGB32);
    pageImage.fill(Qt::white);
    {
        QPainter pagePainter(&pageImage);
        m_page.DrawReportPage(pagePainter, 20, 10, FALSE);
    }
    painter.fillRect(kGreyArea, ColorFromRef(kGrey));
    painter.drawImage(kPageArea.topLeft(), pageImage);
    return image;
}

void CEkgPreviewDlg::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.drawImage(0, 0, Render());
}
