#pragma once
// One print job on a CUPS queue: the pages are drawn with QPainter into a spool PDF (QPrinter
// in PDF mode), and End() submits that file with libcups so that the job id, or the refusal,
// is seen. QPrinter on a native queue would print an unknown name to some other queue, and
// QPainter::end() reports success for a job the queue refused.
//
// Use: Begin -> draw on Painter() (NewPage between pages) -> End (or Abort). One job per
// Begin; the object can be used again after End or Abort. UI thread only (Qt painting).
#include <QPageLayout>
#include <QPainter>
#include <QPrinter>
#include <QString>
#include <memory>

class CPrintJob {
public:
    CPrintJob();
    ~CPrintJob();  // an unfinished job is aborted
    CPrintJob(const CPrintJob&) = delete;
    CPrintJob& operator=(const CPrintJob&) = delete;

    // printer: a CUPS queue name, looked up in QPrinterInfo ("" = the default queue); title:
    // the job's document name. FALSE when the queue is unknown or the spool file cannot start.
    bool Begin(const QString& printer, const QString& title, QPageLayout::Orientation orientation);
    // The same on a given paper size instead of the queue's default one.
    bool Begin(const QString& printer, const QString& title, QPageLayout::Orientation orientation,
               const QPageSize& paper);
    QPrinter& Printer();  // page rect and resolution, valid after Begin
    QPainter& Painter();  // valid between Begin and End
    bool NewPage();       // FALSE when the next page cannot be started
    // Ends the spool PDF and submits it with libcups; the CUPS job id (> 0), or 0 when the
    // document could not be ended or the job was refused. The spool file is always removed.
    int End();
    void Abort();  // drops the document, submits nothing
    QString LastError() const;

private:
    void RemoveSpool();

    std::unique_ptr<QPrinter> m_pPrinter;
    QPainter m_painter;
    QString m_strQueue, m_strTitle, m_strSpool, m_strError;
};
