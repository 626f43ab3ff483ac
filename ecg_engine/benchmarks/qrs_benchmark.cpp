// The detection stage (lead quality, QRS windows, beat list) and the QRS recognition stage
// on one filtered 10-second record at 75 per minute, without debug output.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "../tests/record_fixture.h"
#include "ecg_engine/engine.h"
#include "ecg_engine/stages.h"

using namespace ecg_engine;

namespace {

// Reads and filters the record once; every iteration starts from these leads.
std::unique_ptr<CEngineData> PreparedRecord() {
    const std::string path = ecg_engine_test::WriteEcgLikeRecord("qrsbench");

    auto d = CreateEngineData(EEngineVariant::Zorvik31);
    d->bDebugOutput = false;
    d->Arguments = {path.c_str()};
    if (RunStep(*d, 1) != 0)
        std::abort();
    d->Arguments.clear();
    d->FilterSettings = {1, 1, 0, 1};
    d->AnalysisMode = 1;
    InitAnalysis(*d);
    RunFilterStage(*d);
    std::remove(path.c_str());
    ::rmdir(path.substr(0, path.rfind('/')).c_str());
    return d;
}

void BM_QrsDetectionStage(benchmark::State& state) {
    auto d = PreparedRecord();
    for (auto _ : state) {
        InitAnalysis(*d);
        if (RunQrsDetectionStage(*d) != 0)
            state.SkipWithError("detection failed");
        benchmark::DoNotOptimize(d->Detection.IOQm.qrs_num);
    }
    state.counters["beats"] = d->Detection.IOQm.qrs_num;
}

void BM_QrsDetectionAndRecognitionStages(benchmark::State& state) {
    auto d = PreparedRecord();
    for (auto _ : state) {
        InitAnalysis(*d);
        if (RunQrsDetectionStage(*d) != 0 || RunQrsRecognitionStage(*d) != 0)
            state.SkipWithError("stage failed");
        benchmark::DoNotOptimize(d->Qrs.QrsRate);
    }
    state.counters["rate"] = d->Qrs.QrsRate;
}

}  // namespace

BENCHMARK(BM_QrsDetectionStage)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_QrsDetectionAndRecognitionStages)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
