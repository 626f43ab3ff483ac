// One engine run on a 5000-sample record, with the debug output (Zorvik31) and without it
// (the same run with the debug output switched off, and Zorvik21), and the debug data file
// alone.
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

std::string MakeInput() {
    return ecg_engine_test::WriteEcgLikeRecord("engbench");
}

const std::string& InputPath() {
    static const std::string s_path = MakeInput();
    return s_path;
}

void RunEngine(benchmark::State& state, EEngineVariant variant, bool bDebugOutput = true) {
    std::string input = InputPath();
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
    RunEngine(state, EEngineVariant::Zorvik31);
}
void BM_Zorvik31RunWithoutDebugOutput(benchmark::State& state) {
    RunEngine(state, EEngineVariant::Zorvik31, false);
}
void BM_Zorvik21Run(benchmark::State& state) {
    RunEngine(state, EEngineVariant::Zorvik21);
}

void BM_DebugDataFileOf16Rows(benchmark::State& state) {
    auto d = CreateEngineData(EEngineVariant::Zorvik31);
    std::string folder = InputPath().substr(0, InputPath().rfind('/') + 1);
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
BENCHMARK(BM_DebugDataFileOf16Rows)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
