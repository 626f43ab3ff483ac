#pragma once
// Small objects of the three kinds the store sender carries: an ECG record's Secondary
// Capture (bitmap picture, 12 x 5000 16-bit samples), a spirometry one (JPEG picture, 3 x
// 8000 32-bit samples) and a 12-lead ECG waveform object (no picture).
#include <string>
#include <vector>

namespace peerobjects {
// Writes the three files into the folder (with the pictures they need) and returns their
// paths; nIndex makes the UIDs unique.
std::vector<std::string> MakeThreeKinds(const std::string& strDir, int nIndex);
// One small object (a Secondary Capture with a tiny JPEG and 50 samples) for the benchmark
// and the long lists.
std::string MakeSmall(const std::string& strDir, int nIndex);
}  // namespace peerobjects
