#pragma once
// Test records written byte by byte in the layouts the engine reads.
#include <stdlib.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstdint>
#include <functional>
#include <string>

namespace ecg_engine_test {

// The engine appends its report lines to a file in the working folder: runs inside a test
// change into the test's own folder for their duration.
class CWorkingFolder {
public:
    explicit CWorkingFolder(const std::string& strFolder) {
        char sz[4096];
        if (::getcwd(sz, sizeof sz))
            m_strPrevious = sz;
        m_bChanged = ::chdir(strFolder.c_str()) == 0;
    }
    ~CWorkingFolder() {
        if (m_bChanged && !m_strPrevious.empty())
            (void)::chdir(m_strPrevious.c_str());
    }
    CWorkingFolder(const CWorkingFolder&) = delete;
    CWorkingFolder& operator=(const CWorkingFolder&) = delete;

private:
    std::string m_strPrevious;
    bool m_bChanged = false;
};

// The folder part of a path ("." when it has none).
inline std::string FolderOf(const std::string& strPath) {
    const auto n = strPath.rfind('/');
    return n == std::string::npos ? std::string(".") : strPath.substr(0, n + 1);
}

// Sample s of lead l (EngineLeadOrder) of the record the fixtures write.
using SampleFn = std::function<std::int16_t(int l, int s)>;

// A distinct, easily recognised value for every lead and sample.
inline std::int16_t MarkerSample(int l, int s) {
    return static_cast<std::int16_t>((l + 1) * 1000 + (s % 997) - 400);
}

// A plausible ECG: spiky beats at 75 per minute on a slow drift, per-lead gain.
inline std::int16_t EcgLikeSample(int l, int s) {
    const double t = s / 500.0;
    const double dPhase = std::fmod(t, 0.8);
    const double dQrs = 400.0 * std::exp(-std::pow((dPhase - 0.3) / 0.012, 2));
    const double dT = 80.0 * std::exp(-std::pow((dPhase - 0.55) / 0.05, 2));
    const double dDrift = 60.0 * std::sin(2 * M_PI * 0.3 * t);
    const double dHum = 15.0 * std::sin(2 * M_PI * 50.0 * t);
    return static_cast<std::int16_t>((0.5 + 0.1 * l) * (dQrs + dT) + dDrift + dHum);
}

// 12 lead blocks (nSamples little-endian samples and 200 zero bytes each), nTotal bytes in
// all (0: the whole control-written size, 132900 for 5000 samples a lead, 156900 for 6000).
inline std::string MakeEkgRecord(const SampleFn& fn, std::size_t nTotal = 0, int nSamples = 5000) {
    std::string data;
    for (int l = 0; l < 12; ++l) {
        for (int s = 0; s < nSamples; ++s) {
            const auto v = static_cast<std::uint16_t>(fn(l, s));
            data.push_back(static_cast<char>(v & 0xFF));
            data.push_back(static_cast<char>(v >> 8));
        }
        data.append(200, '\0');
    }
    data.resize(nTotal ? nTotal : 24 * static_cast<std::size_t>(nSamples) + 12900, '\0');
    return data;
}

// 3000-byte header, then 4 groups of 3 leads interleaved, big-endian.
inline std::string MakeDcdRecord(const SampleFn& fn) {
    std::string data(3000, 'H');
    for (int g = 0; g < 4; ++g) {
        for (int s = 0; s < 5000; ++s) {
            for (int k = 0; k < 3; ++k) {
                const auto v = static_cast<std::uint16_t>(fn(3 * g + k, s));
                data.push_back(static_cast<char>(v >> 8));
                data.push_back(static_cast<char>(v & 0xFF));
            }
        }
    }
    return data;
}

// Writes an ECG-like ".ekg" record into a new folder under $TMPDIR (or /tmp) for the
// benchmarks; aborts when it cannot.
inline std::string WriteEcgLikeRecord(const char* pszFolderPrefix) {
    const char* pszTmp = std::getenv("TMPDIR");
    std::string dir = std::string(pszTmp && *pszTmp ? pszTmp : "/tmp") + "/" + pszFolderPrefix +
                      ".XXXXXX";
    if (!::mkdtemp(dir.data()))
        std::abort();
    const std::string path = dir + "/rec.ekg";
    const std::string data = MakeEkgRecord(EcgLikeSample);
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f || std::fwrite(data.data(), 1, data.size(), f) != data.size())
        std::abort();
    std::fclose(f);
    return path;
}

}  // namespace ecg_engine_test
