#pragma once
// Device streams for the tests and the benchmark, encoded from the device's side of the
// protocol: a legacy ECG cart and a frame-mode ECG cart.
#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

namespace teststream {

using Bytes = std::vector<std::uint8_t>;

struct EcgSpec {
    std::string strID = "PAT0042";  // 16-byte patient ID field
    std::string strName = "DOE JOHN";
    bool b6000 = false;
    int nBlocks = -1;  // sample blocks; -1 = a full record (1000 or 1200)
    std::vector<std::uint16_t> anPace;
    bool bDate = true;  // 2026-03-04 05:06(:07)
    std::vector<std::string> astrStatements = {"Sinus rhythm", "Normal ECG"};
    int nSeed = 0;  // varies the samples
    int nTransferOption = 1;
    bool bLongReply = false;
};

// Sample of channel c (0..7: I, II, V1..V6) at frame i.
short Sample(int nChannel, int nIndex, int nSeed = 0);
// Measurement value j of group k (0..4).
std::uint16_t Measure(int k, int j);
// Global value g (0..7).
std::uint16_t Global(int g);

Bytes LegacyEcg(const EcgSpec& desc);
Bytes FrameEcg(const EcgSpec& desc);

// The tests' fixed local time: 2026-01-02 03:04:05.
inline std::time_t FixedClock() {
    std::tm t{};
    t.tm_year = 126;
    t.tm_mon = 0;
    t.tm_mday = 2;
    t.tm_hour = 3;
    t.tm_min = 4;
    t.tm_sec = 5;
    t.tm_isdst = -1;
    return std::mktime(&t);
}

}  // namespace teststream
