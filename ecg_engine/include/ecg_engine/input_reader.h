#pragma once
// Step 1 of the engine: reads the input record into InputLeads and derives the base name of
// the result files and the debug folder.
#include "ecg_engine/engine_data.h"

namespace ecg_engine {

enum class EInputKind { None = 0, Dcd = 1, Rec = 2, Ekg = 3, Raw = 4 };

// The kind named by the extension of the path's last component (exact spellings "DCD"/"dcd",
// "REC"/"rec", "EKG"/"ekg", "RAW"/"raw"), and in nDotPos the position of that dot.
EInputKind InputKindOf(const char* pszPath, int& nDotPos);

// Reads the record named by the first argument; 0, or -1 after a fatal input error (reported
// on standard output). Of a 6000-sample record (60 Hz mode, known by its file size) the first
// 5000 samples a lead are read.
int ReadInputRecord(CEngineData& d);

}  // namespace ecg_engine
