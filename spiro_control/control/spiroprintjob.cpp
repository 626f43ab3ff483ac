// Print jobs on the CUPS queues, and the document loop of the control's printing methods.
// The package's print-job helper is used when it is built (it sees a refused job through
// libcups); Qt's printer alone otherwise.
#include "spiro_control/spiroprintjob.h"

#include <QPageLayout>
#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>

#ifdef FLOWLIN_HAVE_PRINTJOB
#include "printjob/printjob.h"
#endif

namespace {

class CQtPrintJob : public ISpiroPrintJob {
public:
    CQtPrintJob() : m_printer(QPrinter::HighResolution) {}

    bool Begin(const QString& strPrinter, const QString& strTitle,
               const QPrinter* pChosen) override {
        const QPrinterInfo info = strPrinter.isEmpty() ? QPrinterInfo::defaultPrinter()
                                                       : QPrinterInfo::printerInfo(strPrinter);
        if (info.isNull()) {
            return false;
        }
        m_printer.setPrinterName(info.printerName());
        m_printer.setDocName(strTitle);
        if (pChosen) {
            m_printer.setPageLayout(pChosen->pageLayout());
            m_printer.setDuplex(pChosen->duplex());
        } else {
            m_printer.setPageOrientation(QPageLayout::Portrait);
        }
        m_printer.setCopyCount(1);
        return m_painter.begin(&m_printer);
    }
    QPainter& Painter() override { return m_painter; }
    CSpiroPageMetrics Page() override {
        CSpiroPageMetrics page;
        page.nWidthPx = m_printer.width();
        page.nHeightPx = m_printer.height();
        page.dWidthMm = m_printer.widthMM();
        return page;
    }
    bool NewPage() override { return m_printer.newPage(); }
    bool End() override { return m_painter.end() && m_printer.printerState() != QPrinter::Error; }
    void Abort() override {
        m_printer.abort();
        if (m_painter.isActive()) {
            m_painter.end();
        }
    }

private:
    QPrinter m_printer;
    QPainter m_painter;
};

#ifdef FLOWLIN_HAVE_PRINTJOB
class CHelperPrintJob : public ISpiroPrintJob {
public:
    bool Begin(const QString& strPrinter, const QString& strTitle,
               const QPrinter* pChosen) override {
        CPrintSetup setup = pChosen ? CPrintSetup::FromPrinter(*pChosen) : CPrintSetup();
        setup.strPrinter = strPrinter;
        return m_job.Begin(setup, strTitle);
    }
    QPainter& Painter() override { return m_job.Painter(); }
    CSpiroPageMetrics Page() override {
        const QRect rc = m_job.PrintableRect();
        CSpiroPageMetrics page;
        page.nWidthPx = rc.width();
        page.nHeightPx = rc.height();
        page.dWidthMm = rc.width() * 25.4 / m_job.Printer().resolution();
        return page;
    }
    bool NewPage() override { return m_job.NewPage(); }
    // The job id of an accepted job; 0 when it could not be ended or was refused.
    bool End() override { return m_job.End() > 0; }
    void Abort() override { m_job.Abort(); }

private:
    CPrintJob m_job;
};
#endif

std::unique_ptr<ISpiroPrintJob> MakeQtPrintJob() {
#ifdef FLOWLIN_HAVE_PRINTJOB
    return std::make_unique<CHelperPrintJob>();
#else
    return std::make_unique<CQtPrintJob>();
#endif
}

SpiroPrintJobFactory g_pfnFactory = &MakeQtPrintJob;

}  // namespace

std::unique_ptr<ISpiroPrintJob> MakeSpiroPrintJob() {
    return g_pfnFactory();
}

SpiroPrintJobFactory SetSpiroPrintJobFactory(SpiroPrintJobFactory pfnFactory) {
    SpiroPrintJobFactory pfnOld = g_pfnFactory;
    g_pfnFactory = pfnFactory != nullptr ? pfnFactory : &MakeQtPrintJob;
    return pfnOld;
}

short PrintReportCopies(CSpiroExport& exporter, const QString& strPrinter, int nCopies,
                        const QPrinter* pChosen) {
    std::unique_ptr<ISpiroPrintJob> pJob = MakeSpiroPrintJob();
    if (!pJob || !pJob->Begin(strPrinter, QStringLiteral("SpiroPrint"), pChosen)) {
        return spiroout::kErrPrinter;
    }
    for (int i = 0; i < nCopies; ++i) {
        if (i > 0 && !pJob->NewPage()) {
            pJob->Abort();
            return spiroout::kErrPrinter;
        }
        exporter.PrintReportPage(pJob->Painter(), pJob->Page());
    }
    return pJob->End() ? spiroout::kOk : spiroout::kErrPrinter;
}
