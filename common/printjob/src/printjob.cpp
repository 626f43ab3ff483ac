#include "printjob/printjob.h"

#include <cups/cups.h>

#include <QFile>
#include <QFileInfo>
#include <QPrinterInfo>

#include "platform/folders.h"

CPrintJob::CPrintJob() : m_pPrinter(std::make_unique<QPrinter>(QPrinter::HighResolution)) {}

CPrintJob::~CPrintJob() { Abort(); }

bool CPrintJob::Begin(const QString& printer, const QString& title,
                      QPageLayout::Orientation orientation) {
    return Begin(printer, title, orientation, QPageSize());
}

bool CPrintJob::Begin(const QString& printer, const QString& title,
                      QPageLayout::Orientation orientation, const QPageSize& paper) {
    Abort();
    m_strError.clear();
    QPrinterInfo info = printer.isEmpty() ? QPrinterInfo::defaultPrinter()
                                          : QPrinterInfo::printerInfo(printer);
    if (info.isNull()) {
        m_strError = printer.isEmpty() ? QStringLiteral("There is no default printer.")
                                       : QStringLiteral("Unknown printer \"%1\".").arg(printer);
        return false;
    }
    m_strQueue = info.printerName();
    m_strTitle = title;
    m_strSpool = QString::fromStdString(platform::MakeTempFile("print-", ".pdf"));
    if (m_strSpool.isEmpty()) {
        m_strError = QStringLiteral("Cannot create the spool file.");
        return false;
    }
    // A fresh printer per job: QPrinter keeps state from a finished document.
    m_pPrinter = std::make_unique<QPrinter>(QPrinter::HighResolution);
    m_pPrinter->setOutputFormat(QPrinter::PdfFormat);
    m_pPrinter->setOutputFileName(m_strSpool);
    m_pPrinter->setDocName(title);
    m_pPrinter->setCreator(title);
    QPageSize size = paper.isValid() ? paper : info.defaultPageSize();
    if (!size.isValid()) size = QPageSize(QPageSize::A4);
    m_pPrinter->setPageLayout(QPageLayout(size, orientation, QMarginsF(0, 0, 0, 0)));
    m_pPrinter->setFullPage(true);
    if (!m_painter.begin(m_pPrinter.get())) {
        m_strError = QStringLiteral("Cannot start the spool file %1.").arg(m_strSpool);
        RemoveSpool();
        return false;
    }
    return true;
}

QPrinter& CPrintJob::Printer() { return *m_pPrinter; }

QPainter& CPrintJob::Painter() { return m_painter; }

bool CPrintJob::NewPage() {
    if (!m_painter.isActive()) return false;
    if (!m_pPrinter->newPage()) {
        m_strError = QStringLiteral("Cannot start a new page.");
        return false;
    }
    return true;
}

int CPrintJob::End() {
    if (!m_painter.isActive()) {
        if (m_strError.isEmpty()) m_strError = QStringLiteral("No document was begun.");
        RemoveSpool();
        return 0;
    }
    bool ended = m_painter.end();
    QFileInfo spool(m_strSpool);
    if (!ended || !spool.exists() || spool.size() == 0) {
        m_strError = QStringLiteral("The document could not be ended.");
        RemoveSpool();
        return 0;
    }
    QByteArray queue = m_strQueue.toUtf8(), file = QFile::encodeName(m_strSpool),
               title = m_strTitle.toUtf8();
    int job = cupsPrintFile(queue.constData(), file.constData(), title.constData(), 0, nullptr);
    if (job <= 0) {
        m_strError = QStringLiteral("The printer \"%1\" refused the job: %2")
                         .arg(m_strQueue, QString::fromUtf8(cupsLastErrorString()));
        job = 0;
    }
    RemoveSpool();
    return job;
}

void CPrintJob::Abort() {
    if (m_painter.isActive()) m_painter.end();
    RemoveSpool();
}

QString CPrintJob::LastError() const { return m_strError; }

void CPrintJob::RemoveSpool() {
    if (!m_strSpool.isEmpty()) QFile::remove(m_strSpool);
    m_strSpool.clear();
}
