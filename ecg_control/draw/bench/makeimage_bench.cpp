// One EKGMakeImage (render at 10 px/mm, resample, JPEG) from a 5000-sample record.
#include <cstdlib>
#include <string>

#include <QGuiApplication>
#include <benchmark/benchmark.h>

#include "ecg_control/draw/ekgpage.h"
#include "synthrecord.h"
#include "testsupport/testsupport.h"

namespace {

void BM_MakeImage(benchmark::State& state) {
    CSynthRecord rec;
    MakeSynthRecord(rec, 5000, true);
    testsupport::CTempDir dir;
    const std::string strPath = dir / "bench_ekg.jpg";
    const int nWidth = static_cast<int>(state.range(0));
    const BOOL bSmooth = state.range(1) != 0;
    for (auto _ : state) {
        // The view exports on a fresh copy of its page every time.
        CEkgPage page;
        page.Attach(&rec.wave, &rec.info, &rec.morph, &rec.device);
        if (!page.MakeImage(strPath, 1, 3, 1, nWidth, bSmooth)) {
            state.SkipWithError("MakeImage failed");
            break;
        }
    }
}
BENCHMARK(BM_MakeImage)
    ->Args({2700, 0})
    ->Args({800, 0})
    ->Args({800, 1})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// The page bitmap alone (2700 x 2025 at 10 px/mm), without resampling and encoding.
void BM_RenderReport(benchmark::State& state) {
    CSynthRecord rec;
    MakeSynthRecord(rec, 5000, true);
    for (auto _ : state) {
        CEkgPage page;
        page.Attach(&rec.wave, &rec.info, &rec.morph, &rec.device);
        QImage image;
        if (!page.RenderReport(1, 3, 1, FALSE, CEkgPage::kReportWidth, image)) {
            state.SkipWithError("RenderReport failed");
            break;
        }
    }
}
BENCHMARK(BM_RenderReport)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_LayoutCompute(benchmark::State& state) {
    CSynthRecord rec;
    MakeSynthRecord(rec, 5000, true);
    CTraceLayout layout;
    layout.Attach(&rec.wave, &rec.info, &rec.morph);
    layout.SetSettings(static_cast<int>(state.range(0)), 3, 2, 1, 10);
    for (auto _ : state) {
        layout.Invalidate();
        benchmark::DoNotOptimize(layout.Compute(50, 162));
    }
}
BENCHMARK(BM_LayoutCompute)->DenseRange(0, 3)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
