#pragma once
// Reads an ECG report page from its raster (testsupport::CPageRaster) as a reader with a
// ruler would: the grid's 5 mm lines, the height of the first calibration pulse, the trace
// rows with where each ends and the marks that stand up from it (spikes of the record,
// column marks), and the distance of one second along the traces.
//
// Meant for records that are flat between spikes (MakeRulerRecord): a flat trace is a row of
// dark pixels across most of the grid, and a spike a thin dark run 2 mm above it.
//
// Link `corvane_testsupport_qt`.
#include <QMarginsF>
#include <QPointF>
#include <string>
#include <vector>

#include "testsupport/pageraster.h"

namespace testsupport {

struct CEcgPaperReading {
    CGridLines grid;
    // The first calibration pulse, from its top line to its feet (line centres), mm.
    double dPulseHeight = 0;
    // The median distance of neighbouring marks along the rows, mm: one second of a record
    // with a spike every second.
    double dSecond = 0;
    // Trace baselines, mm from the page's top, top to bottom.
    std::vector<double> rows;
    // Per row: its last dark x, and the x of each mark standing up from it; mm from the grid's
    // left line.
    std::vector<double> rowEnds;
    std::vector<std::vector<double>> rowMarks;
};

// pulseTopLeft: the first pulse's top-left corner, mm right of and below the grid's top-left
// line crossing.
CEcgPaperReading ReadEcgPaper(const CPageRaster& page, QPointF pulseTopLeft);
// The height (mm) of a calibration pulse whose top-left corner lies at topLeft (mm from the
// grid's top-left line crossing): from the centre of its top line halfway along it to the
// centre of its left foot 1 mm before its rise; 0 when either is not found.
double PulseHeight(const CPageRaster& page, const CGridLines& grid, QPointF topLeft);
// The first pulse of the paper report of a lead format (0..3), as ReadEcgPaper wants it.
QPointF PaperPulseTopLeft(int nFormat);
// The widest gap (mm) along the trace rows of a reading, between 0.5 mm after one mark (or
// the grid's left edge) and 0.5 mm before the next (or the row's end): 0 for solid traces,
// the gaps of a dash or dot pattern otherwise. Under a spike's tip the row is left by the
// trace itself, so the marks are skipped.
double WidestTraceGap(const CPageRaster& page, const CEcgPaperReading& reading);
// The figures of a reading on one line (for test logs and reports).
std::string Describe(const CEcgPaperReading& reading);

// What the paper report of a ruler record (MakeRulerRecord) at 25 mm/s and 10 mm/mV must
// measure on a printer whose unprintable margins (mm, on the page as it is read) are given:
// the 250 x 185 mm grid of 5 mm boxes placed 21 mm and 9 mm inside the printable area, a
// 10 mm pulse, 25 mm a second, the rows of the format each ending at the grid's right edge,
// and no ink where the printer cannot print. The faults found, one a line; "" when none.
std::string PaperFaults(const CPageRaster& page, const CEcgPaperReading& reading,
                        const QMarginsF& margins, int nFormat);
// Where the span of a record on one page differs from that on another page of it (the paper
// against the record's PDF): row by row the same marks, each within half a millimetre of its
// twin. The faults found, one a line; "" when the pages agree.
std::string SpanFaults(const CEcgPaperReading& reading, const CEcgPaperReading& other);

}  // namespace testsupport
