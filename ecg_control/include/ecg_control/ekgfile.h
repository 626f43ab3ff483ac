#pragma once
// ECG record files: ".ekg" (5000 samples a lead), ".raw" (6000), the engine's ".ksi"
// result, the engine input file "__temp.raw" and CSE ".dcd" files (read only).
//
// Layout for N samples a lead: 12 lead blocks of N little-endian 16-bit samples and 200
// zero bytes; the 10000-byte record information block at 24N + 2400, with the pacemaker
// list at its offset 4000; the 500-byte lead measurement block at 24N + 12400.
#include <string>

#include "ecg_control/ekgrecord.h"
#include "ecg_control/globalbuffer.h"
#include "platform/wintypes.h"

namespace ekgfile {
constexpr int kLeads = 12;
constexpr DWORD kLeadTail = 200;
constexpr int kMaxPaceMarks = 255;
constexpr DWORD kCseHeader = 3000;
constexpr DWORD kCseSamples = 5000;

// Mains mode 0 (50 Hz) = 5000 samples a lead, 1 (60 Hz) = 6000.
inline DWORD SamplesForMode(int nMainsMode) {
    return nMainsMode == 1 ? 6000 : 5000;
}
inline DWORD InfoBlockOffset(DWORD nSamples) {
    return 24 * nSamples + 2400;
}
inline DWORD PaceListOffset(DWORD nSamples) {
    return 24 * nSamples + 6400;
}
inline DWORD MorphologyOffset(DWORD nSamples) {
    return 24 * nSamples + 12400;
}
inline DWORD FileSize(DWORD nSamples) {
    return 24 * nSamples + 12900;
}

// File name of the empty-path save and of the engine input.
constexpr const char* kDefaultSaveName = "ekg.ksi";
constexpr const char* kEngineInputName = "__temp.raw";
}  // namespace ekgfile

// Reads a ".ekg", ".raw" or ".ksi" file. The record values are reset and then decoded
// from the file; a lead measurement block that does not start with 0x60 is dropped;
// pacemaker marks at or past the sample count are dropped. FALSE when the file cannot be
// read or a lead block or the information block is short (what was read stays).
BOOL ReadEkgFile(const CString& strPath, CWaveBuffer* pWave, CEkgRecordInfo* pInfo,
                 CMorphologyTable* pMorph, int nMainsMode);

// The same from the bytes of a whole file (BuildEkgFileImage's), read as the file would be.
BOOL ReadEkgFileImage(const std::string& strImage, CWaveBuffer* pWave, CEkgRecordInfo* pInfo,
                      CMorphologyTable* pMorph, int nMainsMode);

// Writes the whole record through a temporary file renamed over the target. An empty
// path means "ekg.ksi" in the private temporary folder. FALSE on any failed write.
BOOL WriteEkgFile(const CString& strPath, CWaveBuffer* pWave, CEkgRecordInfo* pInfo,
                  CMorphologyTable* pMorph);
// The path an empty save path stands for (empty when no temporary folder can be had).
CString DefaultSavePath();

// The bytes WriteEkgFile writes (FALSE when the samples are not 12 leads of 16 bits).
BOOL BuildEkgFileImage(CWaveBuffer* pWave, CEkgRecordInfo* pInfo, CMorphologyTable* pMorph,
                       std::string& strImage);

// Writes "__temp.raw" (lead blocks and the pacemaker list only) into the host program's
// home folder (platform::HomeDir of the running program's name; the private temporary
// folder when that cannot be had) or into the given folder (created first; an empty folder
// means the former). Returns the full path, empty on failure.
CString EngineInputFolder();
CString WriteEngineInput(CWaveBuffer* pWave);
CString WriteEngineInputTo(CWaveBuffer* pWave, const CString& strFolder);

// Reads a CSE ".dcd" file into the sample buffer; FALSE when it is shorter than its
// 3000-byte header and 4 x 15000 samples.
BOOL ReadCseFile(const CString& strPath, CWaveBuffer* pWave, int nMainsMode);
