// The completion step (engine input written, Zorvik31 run, result read back) and one
// monitoring datagram from its bytes to the redrawn sweep band, at screen cells 2 and 10.
#include <cstdlib>
#include <string>

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <benchmark/benchmark.h>

#include "ecg_control/draw/ekgpage.h"
#include "ecg_control/link/monitordatagram.h"
#include "ecg_control/link/recordcompletion.h"
#include "synthrecord.h"
#include "testsupport/testsupport.h"

namespace {

void BM_CompletionStep(benchmark::State& state) {
    testsupport::CTempDir dir;
    CSynthRecord rec;
    for (auto _ : state) {
        state.PauseTiming();
        MakeSynthRecord(rec, 5000, false);
        state.ResumeTiming();
        CEngineLauncher launcher;
        const auto result = ekglink::CompleteRecording(rec.wave, rec.info, rec.morph, 1000, dir / "eng",
                                                       0, launcher);
        if (result.outcome != ekglink::ECompletion::kCompleted) {
            state.SkipWithError("the engine beside the benchmark did not complete");
            break;
        }
    }
}
BENCHMARK(BM_CompletionStep)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_DatagramToSweep(benchmark::State& state) {
    const int nCell = static_cast<int>(state.range(0));
    CSynthRecord rec;
    MakeSynthRecord(rec, 5000, false);
    CWaveBuffer wave;
    wave.CreateLeads(1000, 2);
    CEkgPage page;
    page.Attach(&wave, &rec.info, &rec.morph, &rec.device);
    page.SetCellSize(nCell);
    QImage view(1200, 800, QImage::Format_RGB32);
    view.fill(Qt::white);
    unsigned char datagram[84] = {3, 82};
    int nItem = 0;
    for (auto _ : state) {
        for (int k = 2; k < 82; ++k) datagram[k] = static_cast<unsigned char>(nItem + k);
        const auto dg = ekglink::ParseMonitorDatagram(datagram, sizeof(datagram));
        ekglink::StoreSampleSets(wave, nItem, dg.aSets);
        benchmark::DoNotOptimize(ekglink::CheckLeadFault(dg.byFlags1, dg.byFlags2));
        QPainter painter(&view);
        page.DrawSweep(painter, nItem, 0, 0, view.width(), 0x0000FF);
        nItem = (nItem + 1) % 200;
    }
}
BENCHMARK(BM_DatagramToSweep)->Arg(2)->Arg(10)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
