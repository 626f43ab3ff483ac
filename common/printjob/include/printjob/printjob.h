#pragma once
// One print job on a CUPS queue: the pages are drawn with QPainter into a spool PDF (QPrinter
// in PDF mode), and End() submits that file with libcups so that the job id, or the refusal,
// is seen. QPrinter on a native queue would print an unknown name to some other queue, and
// QPainter::end() reports success for a job the queue refused.
//
// The page is the whole paper, but the painter's origin is the corner of the area the queue's
// printer can print (its PPD's imageable area, as CUPS reports it) on every page, and
// PrintableRect() is that area, as a printer's own device has it. The job asks the queue not
// to scale the page, so that what is drawn in millimetres is printed in millimetres.
//
// Use: Begin -> draw on Painter() (NewPage between pages) -> End (or Abort). One job per
// Begin; the object can be used again after End or Abort. UI thread only (Qt painting).
#include <QMarginsF>
#include <QPageLayout>
#include <QPainter>
#include <QPrinter>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>

// What a job prints on besides its queue: the paper and its orientation, two-sided printing
// and the queue's own options (a tray and the like) by their CUPS names.
struct CPrintSetup {
    QString strPrinter;  // a CUPS queue name ("" = the default queue)
    QPageSize paper;     // not valid: the queue's default paper
    QPageLayout::Orientation eOrientation = QPageLayout::Portrait;
    std::optional<QPrinter::DuplexMode> duplex;  // none: as the queue prints by default
    QStringList options;                         // names and values in turn

    // What a print dialog left in its printer: queue, paper, orientation, two-sided printing
    // and the options it gave the print system.
    static CPrintSetup FromPrinter(const QPrinter& printer);
};

class CPrintJob {
public:
    CPrintJob();
    ~CPrintJob();  // an unfinished job is aborted
    CPrintJob(const CPrintJob&) = delete;
    CPrintJob& operator=(const CPrintJob&) = delete;

    // Starts the job's spool PDF; title: the job's document name. FALSE when the queue is
    // unknown (looked up in QPrinterInfo) or the spool file cannot start.
    bool Begin(const CPrintSetup& setup, const QString& title);
    // The same on the queue's default paper, or on a given one.
    bool Begin(const QString& printer, const QString& title, QPageLayout::Orientation orientation);
    bool Begin(const QString& printer, const QString& title, QPageLayout::Orientation orientation,
               const QPageSize& paper);
    QPrinter& Printer();  // the resolution, valid after Begin
    QPainter& Painter();  // valid between Begin and End
    // The paper's unprintable margins on the page as it is drawn (mm): 0 where the queue
    // tells none.
    QMarginsF Margins() const { return m_margins; }
    // The printable area in device pixels, from the painter's origin.
    QRect PrintableRect() const;
    bool NewPage();  // FALSE when the next page cannot be started; the origin as at Begin
    // Ends the spool PDF and submits it with libcups; the CUPS job id (> 0), or 0 when the
    // document could not be ended or the job was refused. The spool file is always removed.
    int End();
    void Abort();  // drops the document, submits nothing
    QString LastError() const;

private:
    void RemoveSpool();
    void MoveOrigin();

    std::unique_ptr<QPrinter> m_pPrinter;
    QPainter m_painter;
    CPrintSetup m_setup;
    QMarginsF m_margins;
    QString m_strQueue, m_strTitle, m_strSpool, m_strError;
};

// The unprintable margins (mm) of a queue's paper held in portrait, as the queue's printer
// describes them (CUPS media-col margins from its PPD's imageable area); 0 on every side when
// the queue tells none.
QMarginsF QueueMargins(const QString& queue, const QPageSize& paper);
// The same margins on a page of the orientation as it is drawn: CUPS turns a landscape page
// a quarter counter-clockwise onto the paper, so its top lies on the paper's left edge.
QMarginsF OrientedMargins(const QMarginsF& portrait, QPageLayout::Orientation orientation);
