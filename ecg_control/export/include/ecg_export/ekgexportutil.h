#pragma once
// Small pieces that the PDF report and the XML export share: the record the export reads,
// the print switches, and the patient values as the reports show them.
#include "ecg_control/ekgrecord.h"
#include "ecg_control/globalbuffer.h"
#include "platform/wintypes.h"

// The shown record's objects (owned by the view window, never by an export).
struct CEkgRecordSources {
    CWaveBuffer* pWave = nullptr;
    CEkgRecordInfo* pInfo = nullptr;
    CMorphologyTable* pMorph = nullptr;
    // Company text and device name; the record's own device information when null.
    const CEkgDeviceInfo* pDevice = nullptr;
};

// The view window's print switches, also used by the image and PDF exports.
struct CEkgPrintFlags {
    BOOL bParam = TRUE;      // global measurement texts
    BOOL bDiag = TRUE;       // interpretation statements
    BOOL bComment = TRUE;    // doctor's comment
    BOOL bPacemaker = TRUE;  // pacemaker marks on the traces
};

namespace ekgexport {

// Samples a lead that the 250 mm grid of the reports holds at 25 mm/s (10 s).
constexpr UINT kGridSamples = 5000;
// Sample rate of every record (both mains modes).
constexpr int kSampleRate = 500;
// Microvolts per sample unit (10000 / 4096).
constexpr double kMicrovoltsPerUnit = 2.44140625;

}  // namespace ekgexport
