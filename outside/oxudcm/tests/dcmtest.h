#pragma once
// Helpers of the DICOM tests: outside judges (pydicom through dcmjudge.py, dciodvfy,
// dcmdump) and small pictures written by the tests' own code.
#include <cstdint>
#include <string>
#include <vector>

#include "testsupport/testsupport.h"

namespace dcmtest {
// Runs dcmjudge.py with the arguments; its output, empty when everything matched.
std::string Judge(const std::vector<std::string>& args);
// Lines of dciodvfy that say "Error".
std::string VerifyErrors(const std::string& strFile);
// dcmdump reads the whole file (exit 0, no "E:" line).
bool DumpReads(const std::string& strFile);
// A 24-bit bottom-up BMP with a colour pattern.
std::string MakeBmp(int nWidth, int nHeight);
// A baseline JPEG made by ImageMagick.
bool MakeJpeg(const std::string& strPath, int nWidth, int nHeight);
}  // namespace dcmtest
