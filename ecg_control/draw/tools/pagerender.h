#pragma once
// The pages of one record as each output draws them (image export, screen page, paper
// page) and their ink quantised to three levels, for the reference comparisons of the
// drawing tests and for a person comparing two builds.
#include <string>

#include <QImage>

#include "synthrecord.h"

namespace pagerender {

// Pixels per millimetre of the paper page raster.
constexpr double kPaperPxPerMm = 6.0;

// Image export (before JPEG encoding) nWidth wide with a trace pen of nPenWidth.
QImage ImagePage(CSynthRecord& rec, int nFormat, int nGain, int nWidth, int nPenWidth);
// Screen page at the view's defaults (cell 2, border 3, 25 mm/s), grid for the mains mode.
QImage ScreenPage(CSynthRecord& rec, int nFormat, int nGain);
// Paper page at kPaperPxPerMm with the print pens' defaults.
QImage PaperPage(CSynthRecord& rec, int nFormat, int nGain);

// Red channel in three levels: 0 ink that is dark (below 110), 128 light ink (below
// nLightBelow), 255 none. The grid pens keep red at 255, so only traces and texts remain.
QImage InkLevels(const QImage& image, int nLightBelow = 200);

// A record by name: "synth50", "synth60" (the made-up record, 5000 or 6000 samples, with
// pacemaker marks) or the path of a record file (".raw" read as 60 Hz). FALSE when the
// file cannot be read.
bool LoadRecord(const std::string& strName, CSynthRecord& rec);

}  // namespace pagerender
