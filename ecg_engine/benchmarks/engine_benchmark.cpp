// Whole engine runs on 5000-sample records, with the debug output (Zorvik31) and without it
// (the same run with the debug output switched off, and Zorvik21), and the debug data file
// alone. Records: a plain ECG-like signal, a sinus rhythm and a PVC bigeminy from the
// synthetic record generator (when python3 is there).
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "../tests/record_fixture.h"
#include "ecg_engine/debug_output.h"
#include "ecg_engine/engine.h"

using namespace ecg_engine;

namespace {

const std::string& EcgLikePath() {
    static const std::string s_path = ecg_engine_test::WriteEcgLikeRecord("engbench");
    return s_path;
}

// A record of the generator beside the ECG-like one; empty when it cannot be written.
std::string SynthRecord(const char* pszName, const char* pszOptions) {
    const std::string strFolder = ecg_engine_test::FolderOf(EcgLikePath());
    const std::string strPath = strFolder + pszName;
    const std::string strScript = ECGSYNTH_SCRIPT;
    const std::string strCommand =
        "/usr/bin/python3 '" + strScript + "' '" + strPath + "' " + pszOptions + " >/dev/null";
    return std::system(strCommand.c_str()) == 0 ? strPath : std::string();
}

const std::string& SinusPath() {
    static const std::string s_path = SynthRecord("sinus.ekg", "--rate 75");
    return s_path;
}

const std::string& PvcPath() {
    static const std::string s_path = SynthRecord(
        "pvc.ekg", "--script S,V:600,S:1000,V:600,S:1000,V:600,S:1000,V:600,S:1000,V:600,S:1000");
    return s_path;
}

void RunEngine(benchmark::State& state, const std::string& strInput, EEngineVariant variant,
               bool bDebugOutput = true) {
    if (strInput.empty()) {
        state.SkipWithError("record not written");
        return;
    }
    // The report line goes to the working folder: the record's.
    ecg_engine_test::CWorkingFolder folder(ecg_engine_test::FolderOf(strInput));
    std::string input = strInput;
    std::string numbers[6] = {"1", "1", "1", "1", "1", "0"};
    char* argv[8] = {const_cast<char*>("engine"), input.data()};
    for (int i = 0; i < 6; ++i)
        argv[2 + i] = numbers[i].data();
    const int argc = variant == EEngineVariant::Zorvik31 ? 8 : 6;
    for (auto _ : state) {
        auto d = CreateEngineData(variant);
        d->bDebugOutput = bDebugOutput;
        if (EngineMain(*d, argc, argv) != 0)
            state.SkipWithError("engine run failed");
    }
}

void BM_Zorvik31RunWithDebugOutput(benchmark::State& state) {
    RunEngine(state, EcgLikePath(), EEngineVariant::Zorvik31);
}
void BM_Zorvik31RunWithoutDebugOutput(benchmark::State& state) {
    RunEngine(state, EcgLikePath(), EEngineVariant::Zorvik31, false);
}
void BM_Zorvik21Run(benchmark::State& state) {
    RunEngine(state, EcgLikePath(), EEngineVariant::Zorvik21);
}
void BM_Zorvik31SinusWithDebugOutput(benchmark::State& state) {
    RunEngine(state, SinusPath(), EEngineVariant::Zorvik31);
}
void BM_Zorvik31SinusWithoutDebugOutput(benchmark::State& state) {
    RunEngine(state, SinusPath(), EEngineVariant::Zorvik31, false);
}
void BM_Zorvik31PvcWithDebugOutput(benchmark::State& state) {
    RunEngine(state, PvcPath(), EEngineVariant::Zorvik31);
}
void BM_Zorvik31PvcWithoutDebugOutput(benchmark::State& state) {
    RunEngine(state, PvcPath(), EEngineVariant::Zorvik31, false);
}

void BM_DebugDataFileOf16Rows(benchmark::State& state) {
    auto d = CreateEngineData(EEngineVariant::Zorvik31);
    std::string folder = ecg_engine_test::FolderOf(EcgLikePath());
    CopyText(d->DebugFolderPrefix, folder.c_str());
    DumpRawLeads(*d);
    DumpFilteredLeads(*d);
    for (auto _ : state)
        WriteDebugDataFile(*d);
}

}  // namespace

BENCHMARK(BM_Zorvik31RunWithDebugOutput)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Zorvik31RunWithoutDebugOutput)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Zorvik21Run)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Zorvik31SinusWithDebugOutput)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Zorvik31SinusWithoutDebugOutput)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Zorvik31PvcWithDebugOutput)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Zorvik31PvcWithoutDebugOutput)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DebugDataFileOf16Rows)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
