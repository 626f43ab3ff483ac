#include "printjob/printjob.h"

#include <cups/cups.h>

#include <QFile>
#include <QFileInfo>
#include <QPrintEngine>
#include <QPrinterInfo>
#include <vector>

#include "platform/folders.h"

namespace {

// The option list Qt's print dialog leaves in a CUPS printer's engine (its private key).
constexpr auto kCupsOptionsKey = QPrintEngine::PrintEnginePropertyKey(0xfe00);

const char* SidesOf(QPrinter::DuplexMode eDuplex, QPageLayout::Orientation eOrientation) {
    switch (eDuplex) {
        case QPrinter::DuplexLongSide:
            return "two-sided-long-edge";
        case QPrinter::DuplexShortSide:
            return "two-sided-short-edge";
        case QPrinter::DuplexAuto:
            return eOrientation == QPageLayout::Landscape ? "two-sided-short-edge"
                                                          : "two-sided-long-edge";
        default:
            return "one-sided";
    }
}

}  // namespace

CPrintSetup CPrintSetup::FromPrinter(const QPrinter& printer) {
    CPrintSetup setup;
    setup.strPrinter = printer.printerName();
    setup.paper = printer.pageLayout().pageSize();
    setup.eOrientation = printer.pageLayout().orientation();
    setup.duplex = printer.duplex();
    if (QPrintEngine* pEngine = printer.printEngine())
        setup.options = pEngine->property(kCupsOptionsKey).toStringList();
    return setup;
}

QMarginsF QueueMargins(const QString& queue, const QPageSize& paper) {
    QMarginsF margins;
    const QByteArray name = queue.toUtf8();
    cups_dest_t* pDest =
        cupsGetNamedDest(CUPS_HTTP_DEFAULT, name.isEmpty() ? nullptr : name.constData(), nullptr);
    if (!pDest)
        return margins;
    if (cups_dinfo_t* pInfo = cupsCopyDestInfo(CUPS_HTTP_DEFAULT, pDest)) {
        const QSizeF mm = paper.size(QPageSize::Millimeter);
        cups_size_t size{};
        if (cupsGetDestMediaBySize(CUPS_HTTP_DEFAULT, pDest, pInfo, int(mm.width() * 100 + 0.5),
                                   int(mm.height() * 100 + 0.5), CUPS_MEDIA_FLAGS_DEFAULT, &size)) {
            // Hundredths of a millimetre.
            margins = QMarginsF(size.left / 100.0, size.top / 100.0, size.right / 100.0,
                                size.bottom / 100.0);
        }
        cupsFreeDestInfo(pInfo);
    }
    cupsFreeDests(1, pDest);
    return margins;
}

QMarginsF OrientedMargins(const QMarginsF& m, QPageLayout::Orientation eOrientation) {
    if (eOrientation != QPageLayout::Landscape)
        return m;
    return QMarginsF(m.bottom(), m.left(), m.top(), m.right());
}

CPrintJob::CPrintJob() : m_pPrinter(std::make_unique<QPrinter>(QPrinter::HighResolution)) {}

CPrintJob::~CPrintJob() {
    Abort();
}

bool CPrintJob::Begin(const QString& printer, const QString& title,
                      QPageLayout::Orientation orientation) {
    return Begin(printer, title, orientation, QPageSize());
}

bool CPrintJob::Begin(const QString& printer, const QString& title,
                      QPageLayout::Orientation orientation, const QPageSize& paper) {
    CPrintSetup setup;
    setup.strPrinter = printer;
    setup.paper = paper;
    setup.eOrientation = orientation;
    return Begin(setup, title);
}

bool CPrintJob::Begin(const CPrintSetup& setup, const QString& title) {
    Abort();
    m_strError.clear();
    const QString& printer = setup.strPrinter;
    QPrinterInfo info =
        printer.isEmpty() ? QPrinterInfo::defaultPrinter() : QPrinterInfo::printerInfo(printer);
    if (info.isNull()) {
        m_strError = printer.isEmpty() ? QStringLiteral("There is no default printer.")
                                       : QStringLiteral("Unknown printer \"%1\".").arg(printer);
        return false;
    }
    m_setup = setup;
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
    QPageSize size = setup.paper.isValid() ? setup.paper : info.defaultPageSize();
    if (!size.isValid())
        size = QPageSize(QPageSize::A4);
    // The whole paper is the page; the painter starts at the printable area's corner (moved
    // there in device pixels: Qt's page margins are rounded to whole points).
    m_pPrinter->setPageLayout(QPageLayout(size, setup.eOrientation, QMarginsF(0, 0, 0, 0)));
    m_pPrinter->setFullPage(true);
    m_margins = OrientedMargins(QueueMargins(m_strQueue, size), setup.eOrientation);
    if (!m_painter.begin(m_pPrinter.get())) {
        m_strError = QStringLiteral("Cannot start the spool file %1.").arg(m_strSpool);
        RemoveSpool();
        return false;
    }
    MoveOrigin();
    return true;
}

QRect CPrintJob::PrintableRect() const {
    const double k = m_pPrinter->resolution() / 25.4;
    const QSizeF paper = m_pPrinter->pageLayout().fullRect(QPageLayout::Millimeter).size();
    return QRect(0, 0, int((paper.width() - m_margins.left() - m_margins.right()) * k),
                 int((paper.height() - m_margins.top() - m_margins.bottom()) * k));
}

void CPrintJob::MoveOrigin() {
    const double k = m_pPrinter->resolution() / 25.4;
    m_painter.resetTransform();
    m_painter.translate(m_margins.left() * k, m_margins.top() * k);
}

QPrinter& CPrintJob::Printer() {
    return *m_pPrinter;
}

QPainter& CPrintJob::Painter() {
    return m_painter;
}

bool CPrintJob::NewPage() {
    if (!m_painter.isActive())
        return false;
    if (!m_pPrinter->newPage()) {
        m_strError = QStringLiteral("Cannot start a new page.");
        return false;
    }
    MoveOrigin();
    return true;
}

int CPrintJob::End() {
    if (!m_painter.isActive()) {
        if (m_strError.isEmpty())
            m_strError = QStringLiteral("No document was begun.");
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
    // The chosen options first; then the page as drawn, never fitted to the paper.
    std::vector<QByteArray> texts;
    for (const QString& text : m_setup.options)
        texts.push_back(text.toUtf8());
    cups_option_t* pOptions = nullptr;
    int nOptions = 0;
    for (std::size_t i = 0; i + 1 < texts.size(); i += 2)
        nOptions =
            cupsAddOption(texts[i].constData(), texts[i + 1].constData(), nOptions, &pOptions);
    if (m_setup.duplex)
        nOptions = cupsAddOption("sides", SidesOf(*m_setup.duplex, m_setup.eOrientation), nOptions,
                                 &pOptions);
    nOptions = cupsAddOption("print-scaling", "none", nOptions, &pOptions);
    nOptions = cupsRemoveOption("fit-to-page", nOptions, &pOptions);
    nOptions = cupsRemoveOption("fitplot", nOptions, &pOptions);
    QByteArray queue = m_strQueue.toUtf8(), file = QFile::encodeName(m_strSpool),
               title = m_strTitle.toUtf8();
    int job =
        cupsPrintFile(queue.constData(), file.constData(), title.constData(), nOptions, pOptions);
    cupsFreeOptions(nOptions, pOptions);
    if (job <= 0) {
        m_strError = QStringLiteral("The printer \"%1\" refused the job: %2")
                         .arg(m_strQueue, QString::fromUtf8(cupsLastErrorString()));
        job = 0;
    }
    RemoveSpool();
    return job;
}

void CPrintJob::Abort() {
    if (m_painter.isActive())
        m_painter.end();
    RemoveSpool();
}

QString CPrintJob::LastError() const {
    return m_strError;
}

void CPrintJob::RemoveSpool() {
    if (!m_strSpool.isEmpty())
        QFile::remove(m_strSpool);
    m_strSpool.clear();
}
