#pragma once
// The text report Pulmetra's Save As writes beside a JPEG, PDF or DICOM file when its save
// dialog's box is checked: the information report of the acquisition server's reports
// (acq_reports), with the viewer's own differences: height and weight are written as the
// test stores them ("Height=%s cm", "Weight=%s kg", whatever the unit flag), and only FVC
// tests of types 1 and 4 get the diagnosis and formula lines (type 5 has none).
//
// Host use: WriteResultText(active window's control, "<target>.txt"); FALSE means nothing
// was written (the view then shows 65206).
#include <string>

#include "acq_server/reports/reportvalues.h"

class CFlowlin;

namespace pulmetra {

// The report's bytes (lines end in CR LF).
std::string ResultText(acq_reports::ISpiroReportValues& values);
// Writes the report through a temporary file in the target's folder and renames it into
// place: TRUE only when the whole file was written; FALSE leaves no file behind (and an
// older file of that name untouched).
bool WriteResultText(acq_reports::ISpiroReportValues& values, const std::string& strPath);
bool WriteResultText(CFlowlin& control, const std::string& strPath);

}  // namespace pulmetra
