#pragma once
// Synthetic records with known answers from tools/ecgsynth, and an in-process engine run.
#include <gtest/gtest.h>

#include <memory>
#include <regex>
#include <string>
#include <vector>

#include "ecg_engine/engine.h"
#include "ecg_engine/stages.h"
#include "platform/process.h"
#include "record_fixture.h"
#include "testsupport/testsupport.h"

namespace ecg_engine_test {

inline std::string SynthScript() { return ECGSYNTH_SCRIPT; }

// What the generator says about a record (record positions, 0..4999).
struct SSynthTruth {
    std::vector<int> aOnset, aOffset;
    std::vector<std::string> aLeadType;  // empty where the lobes do not make a sure type
    double dAxis = 0;
    std::string strJson;
};

inline std::vector<int> JsonInts(const std::string& json, const std::string& key) {
    std::vector<int> a;
    const std::regex re("\"" + key + "\": (-?[0-9]+)");
    for (auto it = std::sregex_iterator(json.begin(), json.end(), re); it != std::sregex_iterator();
         ++it)
        a.push_back(std::stoi((*it)[1]));
    return a;
}

inline SSynthTruth ParseTruth(const std::string& json) {
    SSynthTruth t;
    t.strJson = json;
    t.aOnset = JsonInts(json, "qrs_onset");
    t.aOffset = JsonInts(json, "qrs_offset");
    std::smatch m;
    if (std::regex_search(json, m, std::regex("\"axis\": (-?[0-9.]+)")))
        t.dAxis = std::stod(m[1]);
    if (std::regex_search(json, m, std::regex("\"lead_types\": \\[([^\\]]*)\\]"))) {
        const std::string list = m[1];
        const std::regex item("(null|\"([^\"]*)\")");
        for (auto it = std::sregex_iterator(list.begin(), list.end(), item);
             it != std::sregex_iterator(); ++it)
            t.aLeadType.push_back((*it)[2]);
    }
    return t;
}

// Writes a record with the generator; the truth comes back parsed.
inline SSynthTruth MakeSynthRecord(const std::string& path, const std::vector<std::string>& args) {
    std::vector<std::string> argv = {"/usr/bin/python3", SynthScript(), path};
    argv.insert(argv.end(), args.begin(), args.end());
    const auto r = platform::RunProcess(argv, 60000);
    EXPECT_TRUE(r.Succeeded()) << r.strError << " exit " << r.nExitCode;
    return ParseTruth(testsupport::ReadFile(path + ".json"));
}

// One engine run (Zorvik31 without debug output unless asked) with the given mode.
inline std::unique_ptr<ecg_engine::CEngineData> RunEngineOn(const std::string& path,
                                                            const std::string& strMode = "2",
                                                            const std::string& strAc = "1",
                                                            bool bDebug = false) {
    auto d = ecg_engine::CreateEngineData(ecg_engine::EEngineVariant::Zorvik31);
    d->bDebugOutput = bDebug;
    std::vector<std::string> args = {"Zorvik31", path, strAc, "1", "1", "0", strMode, "0"};
    std::vector<char*> argv;
    for (auto& s : args)
        argv.push_back(s.data());
    CWorkingFolder folder(FolderOf(path));
    EXPECT_EQ(ecg_engine::EngineMain(*d, static_cast<int>(argv.size()), argv.data()), 0);
    return d;
}

// The chain up to and including QRS recognition only, as EngineMain starts it; the later
// stages have tests of their own.
inline std::unique_ptr<ecg_engine::CEngineData> RunQrsStagesOn(const std::string& path,
                                                               const std::string& strMode = "2",
                                                               int nAc = 1, bool bDebug = false) {
    using namespace ecg_engine;
    auto d = CreateEngineData(EEngineVariant::Zorvik31);
    d->bDebugOutput = bDebug;
    d->Arguments = {path.c_str()};
    EXPECT_EQ(RunStep(*d, 1), 0);
    d->FilterSettings.nAC = static_cast<std::uint8_t>(nAc);
    d->FilterSettings.nLPF = 1;
    d->FilterSettings.nBF = 1;
    d->AnalysisMode = std::stoi(strMode);
    InitAnalysis(*d);
    if (d->AnalysisMode != 2)
        RunFilterStage(*d);
    d->Arguments.clear();
    if (RunQrsDetectionStage(*d) == 0) {
        EXPECT_EQ(RunQrsRecognitionStage(*d), 0);
    }
    return d;
}

}  // namespace ecg_engine_test
