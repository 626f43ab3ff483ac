#pragma once
// The one printing seam of the spirometry control: a print job on a named queue, a page
// at a time, whose end says whether the spooler took it. The control's printing methods
// see only this interface; the job behind it is made by one factory.
#include <memory>

#include <QString>

#include "spiro_control/spiroexport.h"

class QPainter;
class QPrinter;

class ISpiroPrintJob {
public:
    virtual ~ISpiroPrintJob() = default;
    // Starts the document on the queue ("" = the default queue): on the paper, orientation,
    // two-sided printing and options that a print dialog left in pChosen, or without it on
    // the queue's default paper in portrait. FALSE when the queue is unknown or the spool
    // cannot start.
    virtual bool Begin(const QString& strPrinter, const QString& strTitle,
                       const QPrinter* pChosen) = 0;
    // The painter of the current page and the size of its printable area, whose corner is
    // the painter's origin.
    virtual QPainter& Painter() = 0;
    virtual CSpiroPageMetrics Page() = 0;
    virtual bool NewPage() = 0;
    // TRUE when the document was ended and the job accepted.
    virtual bool End() = 0;
    virtual void Abort() = 0;
};

using SpiroPrintJobFactory = std::unique_ptr<ISpiroPrintJob> (*)();
// The job the control prints with; tests may put another factory in place.
std::unique_ptr<ISpiroPrintJob> MakeSpiroPrintJob();
SpiroPrintJobFactory SetSpiroPrintJobFactory(SpiroPrintJobFactory pfnFactory);

// The document loop of Print and PrintEx: nCopies pages of the report page, one per copy,
// on what a print dialog chose in pChosen (Print) or the queue's defaults (PrintEx).
// 0 when the spooler took the job; -18 when the document could not be started, a page
// failed or the job was refused.
short PrintReportCopies(CSpiroExport& exporter, const QString& strPrinter, int nCopies,
                        const QPrinter* pChosen = nullptr);
