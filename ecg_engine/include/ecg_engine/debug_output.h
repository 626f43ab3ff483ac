#pragma once
// Debug trace of a run: named signal rows written as one column table, and three text logs,
// all in the folder named after the input file.
#include <cstdint>

#include "ecg_engine/engine_data.h"

namespace ecg_engine {

// Appends a row named pszPrefix + pszName filled from nCount values (the rest of the 6000
// stays 0). Returns the new row, or nullptr when the rows are full or memory is short.
std::int32_t* AppendDebugRow(CEngineData& d, const char* pszPrefix, const char* pszName,
                             const std::int16_t* pSource, int nCount);
std::int32_t* AppendDebugRow(CEngineData& d, const char* pszPrefix, const char* pszName,
                             const std::int32_t* pSource, int nCount);

// Marks event positions in a row: nSign * nHeight at p - 1 and -nSign * nHeight at p + 1.
// Position 0 and positions outside the row are not marked.
void MarkDebugRow(std::int32_t* pRow, const std::int32_t* pPositions, int nPositions, int nHeight,
                  int nSign);

// Row dumps (steps 2 to 7); each returns 0.
int DumpRawLeads(CEngineData& d);       // "dspBuf_"
int DumpFilteredLeads(CEngineData& d);  // "Dc_"
int DumpDetection(CEngineData& d);      // "Wbi_"
int DumpQrsRecognition(CEngineData& d);
int DumpTOffset(CEngineData& d);
int DumpPWave(CEngineData& d);

// Files (steps 10, 14, 15, 16); 0, or -1 when the file cannot be created.
int WriteDebugDataFile(CEngineData& d);      // "Debug_Debug_Save.dat"
int WriteSignalQualityLog(CEngineData& d);   // "Debug_Ecg_Event_Qm.log"
int WriteQrsRecognitionLog(CEngineData& d);  // "Debug_Ecg_Event_Qrs.log"
int WriteMeasurementLog(CEngineData& d);     // "Debug_Ecg_Event_Mt.log"

const char* QrsTypeText(int nType);

}  // namespace ecg_engine
