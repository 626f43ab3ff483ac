// The report page, its image exports and the PDF report, on the shaped fixtures.
#include <cstdlib>
#include <memory>
#include <string>

#include <QGuiApplication>
#include <QImage>
#include <benchmark/benchmark.h>

#include "spiro_control/spiroexport.h"
#include "testsupport/testsupport.h"

namespace {

testsupport::CTempDir* g_pDir = nullptr;

std::string Fixture(int nType) {
    static const char* const kNames[] = {"",
                                         "shaped_t1_f0.fvc",
                                         "shaped_t2_f2.svc",
                                         "shaped_t3_f2.mvv",
                                         "shaped_t4_f2.fvc",
                                         "shaped_t5_f2.fvc"};
    return *g_pDir / kNames[nType];
}

struct CLoaded {
    CSpiroTestFile file;
    CSpiroExport exporter;
    explicit CLoaded(int nType) {
        file.Open(Fixture(nType), 0);
        exporter.Init(&file);
        exporter.SetTestType(file.GetTestType());
    }
};

void BM_DrawReportPage(benchmark::State& state) {
    CLoaded loaded(static_cast<int>(state.range(1)));
    const int nWidth = static_cast<int>(state.range(0));
    for (auto _ : state) {
        QImage image;
        if (loaded.exporter.DrawReportPage(image, nWidth, nWidth * 8 / 6) != 0) {
            state.SkipWithError("DrawReportPage failed");
            break;
        }
    }
}
BENCHMARK(BM_DrawReportPage)
    ->Args({600, 1})
    ->Args({2400, 1})
    ->Args({600, 5})
    ->Args({2400, 5})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

void BM_SaveImage(benchmark::State& state) {
    CLoaded loaded(1);
    const int nWidth = static_cast<int>(state.range(0));
    const bool bJpeg = state.range(1) != 0;
    const std::string path = *g_pDir / (bJpeg ? "bench.jpg" : "bench.bmp");
    for (auto _ : state) {
        const short n =
            bJpeg ? loaded.exporter.SaveJPEG(path, nWidth) : loaded.exporter.SaveBMP(path, nWidth);
        if (n != 0) {
            state.SkipWithError("save failed");
            break;
        }
    }
}
BENCHMARK(BM_SaveImage)
    ->Args({600, 1})
    ->Args({2400, 1})
    ->Args({600, 0})
    ->Args({2400, 0})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

void BM_SavePDF(benchmark::State& state) {
    CLoaded loaded(static_cast<int>(state.range(0)));
    const std::string path = *g_pDir / "bench.pdf";
    for (auto _ : state) {
        if (loaded.exporter.SavePDF(path, 0) != 0) {
            state.SkipWithError("SavePDF failed");
            break;
        }
    }
}
BENCHMARK(BM_SavePDF)->DenseRange(1, 5)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QGuiApplication app(argc, argv);
    testsupport::CTempDir dir;
    g_pDir = &dir;
    int st = -1;
    testsupport::RunCommand(std::string(SPIRO_PYTHON3 " " SPIRO_FIXTURE_SCRIPT " ") +
                                testsupport::ShellQuote(dir.Path()),
                            &st);
    if (st != 0) {
        return 1;
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
