#pragma once
// Real ECG windows for the end-to-end tests: a window's reference from its references.json,
// Zorvik31 run on copies of windows as the real-window tool runs it, what its result file
// holds, and the faults of a reading against the reference beats. A reference R peak is found
// when a detected QRS widened by 75 ms on each side holds it (each QRS used once); a QRS left
// over is an extra one.
#include <algorithm>
#include <atomic>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "engine_runs.h"

namespace ecg_engine_test {

constexpr int kWiden = 75 * 500 / 1000;  // 75 ms at 500 samples/s

// The text of one field of a window's entry in references.json: a string without its quotes,
// or the inside of a list; empty when the window or the field is not there.
inline std::string WindowField(const std::string& strJson, const std::string& strFile,
                               const std::string& strField) {
    const std::string strEntry = "\"file\": \"" + strFile + "\"";
    const std::size_t nAt = strJson.find(strEntry);
    if (nAt == std::string::npos)
        return {};
    const std::size_t nEnd = strJson.find("\"file\": ", nAt + strEntry.size());
    const std::size_t nKey = strJson.find("\"" + strField + "\": ", nAt);
    if (nKey == std::string::npos || nKey > nEnd)
        return {};
    const std::size_t nValue = nKey + strField.size() + 4;
    const char cOpen = strJson[nValue];
    if (cOpen != '"' && cOpen != '[')
        return {};
    const std::size_t nClose = strJson.find(cOpen == '"' ? '"' : ']', nValue + 1);
    if (nClose == std::string::npos)
        return {};
    return strJson.substr(nValue + 1, nClose - nValue - 1);
}

// Every "file" of references.json in its order.
inline std::vector<std::string> WindowFiles(const std::string& strJson) {
    std::vector<std::string> a;
    const std::string strKey = "\"file\": \"";
    for (std::size_t n = strJson.find(strKey); n != std::string::npos;
         n = strJson.find(strKey, n + 1)) {
        const std::size_t nBegin = n + strKey.size();
        a.push_back(strJson.substr(nBegin, strJson.find('"', nBegin) - nBegin));
    }
    return a;
}

// The reference R peaks of one window.
inline std::vector<int> ReferencePeaks(const std::string& strJson, const std::string& strFile) {
    const std::string strList = WindowField(strJson, strFile, "r_peaks");
    std::vector<int> a;
    for (std::size_t n = strList.find_first_of("0123456789"); n != std::string::npos;) {
        std::size_t nEnd = strList.find_first_not_of("0123456789", n);
        a.push_back(std::stoi(strList.substr(n, nEnd - n)));
        n = nEnd == std::string::npos ? nEnd : strList.find_first_of("0123456789", nEnd);
    }
    return a;
}

// The numbers the real-window tool passes: no mains or low-pass filter, filter set B.
inline const std::vector<std::string> kWindowRunNumbers = {"0", "0", "1", "0", "1", "0"};

// Runs the program on each named record of the folder, in the folder, nThreads at a time;
// the exit codes in the order of the names. The debug folder each run writes beside its record
// (some 13 MB) is removed at once: nothing here reads it, and a set of windows would fill a
// small disk.
inline std::vector<int> RunOnEach(const std::string& strProgram, const std::string& strFolder,
                                  const std::vector<std::string>& aNames,
                                  const std::vector<std::string>& aNumbers, unsigned nThreads) {
    std::vector<int> aExit(aNames.size(), -1);
    std::atomic<std::size_t> nNext{0};
    auto work = [&] {
        for (std::size_t i = nNext++; i < aNames.size(); i = nNext++) {
            std::vector<std::string> args = {strProgram, aNames[i]};
            args.insert(args.end(), aNumbers.begin(), aNumbers.end());
            aExit[i] = RunIn(strFolder, args);
            std::error_code ec;
            std::filesystem::remove_all(
                std::filesystem::path(strFolder) / std::filesystem::path(aNames[i]).stem(), ec);
        }
    };
    std::vector<std::thread> aWorkers;
    for (unsigned t = 0; t < std::max(1u, nThreads); ++t)
        aWorkers.emplace_back(work);
    for (auto& w : aWorkers)
        w.join();
    return aExit;
}

// What a result file says.
struct SReading {
    bool bRead = false;
    std::vector<std::pair<int, int>> aQrs;  // onset and offset of each detected QRS
    std::vector<std::string> aStatements;
    int nHeartRate = 0;
};

inline SReading ReadResult(const std::string& strKsi) {
    CWaveBuffer wave;
    CEkgRecordInfo info;
    CMorphologyTable morph;
    SReading r;
    r.bRead = ReadEkgFile(strKsi, &wave, &info, &morph, 0) != FALSE;
    for (int b = 1; b <= info.m_arrays.Count(2); ++b)
        r.aQrs.emplace_back(info.m_arrays.Value(2, b), info.m_arrays.Value(3, b));
    r.aStatements.assign(info.GetStatements().begin(), info.GetStatements().end());
    r.nHeartRate = info.GetGlobalValue(0);
    return r;
}

// The beat faults of a reading: "missed <R>" for each reference R no QRS holds, then
// "<n> extra QRS"; the extra ones' onsets and offsets in strExtra.
struct SBeatFaults {
    std::vector<std::string> aFaults;
    std::string strExtra;
};

inline SBeatFaults JudgeBeats(const std::vector<int>& aPeaks, const SReading& r) {
    SBeatFaults f;
    std::vector<bool> abUsed(r.aQrs.size(), false);
    for (int nPeak : aPeaks) {
        int nHit = -1;
        for (std::size_t b = 0; b < r.aQrs.size() && nHit < 0; ++b)
            if (!abUsed[b] && r.aQrs[b].first - kWiden <= nPeak &&
                nPeak <= r.aQrs[b].second + kWiden)
                nHit = static_cast<int>(b);
        if (nHit < 0)
            f.aFaults.push_back("missed " + std::to_string(nPeak));
        else
            abUsed[nHit] = true;
    }
    int nExtra = 0;
    for (std::size_t b = 0; b < r.aQrs.size(); ++b) {
        if (abUsed[b])
            continue;
        ++nExtra;
        f.strExtra +=
            " " + std::to_string(r.aQrs[b].first) + "-" + std::to_string(r.aQrs[b].second);
    }
    if (nExtra > 0)
        f.aFaults.push_back(std::to_string(nExtra) + " extra QRS");
    return f;
}

// The rhythm statements no sinus window may carry, as Watched names them.
inline const std::vector<std::string> kSevereStatements = {"Atrial Fibrillation",
                                                           "flutter",
                                                           "SVT",
                                                           "Ventricular Rhythm",
                                                           "Ventricular Tachycardia",
                                                           "Slow Ventricular Tachycardia",
                                                           "Nonsustained Ventricular Tachycardia",
                                                           "AV Block II - type I",
                                                           "AV Block II - type II",
                                                           "Complete AV Block",
                                                           "2:1 AV Block",
                                                           "SA Block",
                                                           "Sinus Pause",
                                                           "Escape Ventricular Rhythm"};

// A rhythm statement as the tables name it; nothing for a statement not watched. A PVC
// bigeminy, trigeminy or short run states PVCs as well; a sinus pause is watched without its
// length.
inline std::vector<std::string> Watched(const std::string& s) {
    auto starts = [&](const char* p) { return s.rfind(p, 0) == 0; };
    if (starts("Normal Sinus Rhythm"))
        return {"Normal Sinus Rhythm"};
    if (s == "PVC Trigeminy" || s == "PVC Bigeminy" || s == "short run of PVC")
        return {"PVC", s};
    if (starts("Sinus Pause"))
        return {"Sinus Pause"};
    if (std::find(kSevereStatements.begin(), kSevereStatements.end(), s) != kSevereStatements.end())
        return {s};
    if (starts("Sinus ") || s == "Atrial Fibrillation" || s == "PAC Bigeminy" || s == "SA Block")
        return {s};
    if (s.find("lutter") != std::string::npos)
        return {"flutter"};
    if (starts("Supraventricular Tachycardia"))
        return {"SVT"};
    for (const char* p : {"PVC", "PAC", "PJC"})
        if (starts((std::string(p) + "(").c_str()))
            return {p};
    return {};
}

// The watched statements of a reading, each once, in the order stated.
inline std::vector<std::string> WatchedStatements(const SReading& r) {
    std::vector<std::string> a;
    for (const auto& s : r.aStatements)
        for (const std::string& t : Watched(s))
            if (std::find(a.begin(), a.end(), t) == a.end())
                a.push_back(t);
    return a;
}

inline std::vector<std::string> Split(const char* sz) {
    std::vector<std::string> a;
    std::string s = sz ? sz : "";
    for (std::size_t b = 0; !s.empty();) {
        const std::size_t e = s.find('|', b);
        a.push_back(s.substr(b, e - b));
        if (e == std::string::npos)
            break;
        b = e + 1;
    }
    return a;
}

inline std::string Joined(const std::vector<std::string>& a, const char* pszBetween = "; ") {
    std::string s;
    for (const auto& t : a)
        s += (s.empty() ? "" : pszBetween) + t;
    return s;
}

}  // namespace ecg_engine_test
