#pragma once
// The completion step of a recording the cart has ended: the samples become the engine's
// input file, the engine runs, and its result file becomes the shown record, keeping the
// recording's patient values and pacemaker marks. The view acts on the outcome (mode,
// events, clearing); nothing here touches a window or a socket.
#include "ecg_control/ekgrecord.h"
#include "ecg_control/globalbuffer.h"
#include "ecg_control/link/enginelauncher.h"
#include "platform/wintypes.h"

namespace ekglink {

// Fewer sample items than this are no record to analyse.
constexpr int kMinRecordItems = 1000;

enum class ECompletion {
    kSignalNotGood,    // too few sample items
    kInputNotWritten,  // the engine's input file could not be written; the samples and the
                       // record's values are left as they were
    kEngineFailed,     // engine not started, timed out, failed, or its result file unreadable
    kCompleted,
};

struct CCompletionResult {
    ECompletion outcome = ECompletion::kEngineFailed;
    CString strInput;   // "__temp.raw" as written (empty when not written)
    CString strResult;  // its ".ksi"
};

// The result file of an engine input: the last extension replaced by ".ksi".
CString ResultPathFor(const CString& strInput);

// The engine's analysis mode for a record's mode value (outside 0..2: 1).
int EngineModeFor(int nRecordMode);

CCompletionResult CompleteRecording(CWaveBuffer& wave, CEkgRecordInfo& info,
                                    CMorphologyTable& morph, int nItems,
                                    const CString& strEngineDir, int nLanguage,
                                    CEngineLauncher& launcher);

}  // namespace ekglink
