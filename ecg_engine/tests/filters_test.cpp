#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <functional>
#include <string>
#include <cmath>
#include <cstdint>
#include <vector>

#include "ecg_engine/engine.h"
#include "ecg_engine/filters.h"
#include "ecg_engine/stages.h"
#include "record_fixture.h"
#include "testsupport/testsupport.h"

using namespace ecg_engine;

namespace {

constexpr int N = kInputSamples;
using Row = std::vector<std::int16_t>;

Row Sine(double dHz, double dAmp, double dOffset = 0) {
    Row x(N);
    for (int i = 0; i < N; ++i) {
        x[i] = static_cast<std::int16_t>(dOffset + dAmp * std::sin(2 * M_PI * dHz * i / 500.0));
    }
    return x;
}

}  // namespace

TEST(Filters, ResultsAreClampedToTheSampleRange) {
    EXPECT_EQ(ToSample(40000.7), 32767);
    EXPECT_EQ(ToSample(-40000.7), -32768);
    EXPECT_EQ(ToSample(-2.9), -2);
    EXPECT_EQ(ToSample(2.9), 2);
    EXPECT_EQ(ToSample(std::int64_t{70000}), 32767);
    EXPECT_EQ(ToSample(std::int64_t{-70000}), -32768);
    EXPECT_EQ(ToSample(std::nan("")), 0);

    // A full-scale step through the sharpest low-pass kernel overshoots past the 16-bit
    // range: the overshoot must stay at the top, not wrap into a deep negative spike.
    Row x(N, -32000);
    for (int i = 3000; i < N; ++i)
        x[i] = 32000;
    FilterLowPassMode0(x.data(), N, 3);
    for (int i = 3000; i < 3050; ++i)
        EXPECT_GT(x[i], 0) << i;
    EXPECT_EQ(*std::max_element(x.begin(), x.end()), 32767);

    // Mean removal of a row swinging over the whole range.
    Row y(N, 32767);
    for (int i = 0; i < N / 4; ++i)
        y[i] = -32768;
    RemoveBaselineMode1(y.data(), N, 0, nullptr);
    EXPECT_EQ(y[0], -32768);  // -32768 - 16383 clamps
    EXPECT_GT(y[N - 1], 0);
}

TEST(Filters, EdgesRepeatTheNearestComputedSample) {
    Row x = Sine(7, 800);
    FilterMuscle(x.data(), N);
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(x[i], x[6]) << i;
    for (int i = N - 5; i < N; ++i)
        EXPECT_EQ(x[i], x[N - 6]) << i;

    x = Sine(7, 800);
    FilterLowPassMode0(x.data(), N, 1);
    for (int i = N - 20; i < N; ++i)
        EXPECT_EQ(x[i], x[N - 21]) << i;

    x = Sine(7, 800);
    FilterLowPassMode1(x.data(), N, 2);
    for (int i = N - 6; i < N; ++i)
        EXPECT_EQ(x[i], x[N - 7]) << i;

    for (int nAC : {1, 2}) {
        x = Sine(7, 800);
        FilterAcHumMode0(x.data(), N, nAC);
        for (int i = 0; i < 10; ++i)
            EXPECT_EQ(x[i], x[10]) << nAC << " " << i;
        for (int i = N - 10; i < N; ++i)
            EXPECT_EQ(x[i], x[N - 10]) << nAC << " " << i;
    }
}

TEST(Filters, ConstantRowPassesTheMuscleFilterUnchanged) {
    Row x(N, 1234);
    FilterMuscle(x.data(), N);
    for (int v : x)
        ASSERT_EQ(v, 1234);
}

namespace {

struct SStageCase {
    const char* pszName;
    EEngineVariant eVariant;
    int nMode;
    SFilterSettings s;
};

// Runs the filter stage on a row copy in every InputLeads row and returns row 0.
Row RunStage(const SStageCase& c, const Row& in) {
    auto d = CreateEngineData(c.eVariant);
    d->AnalysisMode = c.nMode;
    d->FilterSettings = c.s;
    for (auto& row : d->InputLeads)
        std::copy(in.begin(), in.end(), row.begin());
    EXPECT_EQ(RunFilterStage(*d), 0);
    return Row(d->InputLeads[0].begin(), d->InputLeads[0].end());
}

Row Apply(Row x, std::initializer_list<std::function<void(std::int16_t*)>> steps) {
    for (const auto& f : steps)
        f(x.data());
    return x;
}

}  // namespace

TEST(Filters, StageChoosesTheFiltersBySettingsAndMode) {
    Row in = Sine(3, 500, 700);
    for (int i = 0; i < N; i += 97)
        in[i] += 300;  // some high-frequency content
    std::int16_t aScratch[N + 1];
    auto Base0 = [&](std::int16_t* x) { RemoveBaselineMode0(x, N, aScratch); };
    auto Base1 = [&](std::int16_t* x) { RemoveBaselineMode1(x, N, 0, aScratch); };
    auto Base1On = [&](std::int16_t* x) { RemoveBaselineMode1(x, N, 1, aScratch); };

    // Mode 1 with every switch off still removes the mean.
    EXPECT_EQ(RunStage({"B off", EEngineVariant::Zorvik31, 1, {0, 0, 0, 0}}, in),
              Apply(in, {Base1}));
    // Only the value 1 switches the second baseline step and the muscle filter on.
    EXPECT_EQ(RunStage({"B 2", EEngineVariant::Zorvik31, 1, {0, 0, 2, 2}}, in), Apply(in, {Base1}));
    EXPECT_EQ(RunStage({"B on", EEngineVariant::Zorvik31, 1, {0, 0, 1, 1}}, in),
              Apply(in, {Base1On, [](std::int16_t* x) { FilterMuscle(x, N); }}));
    // Set A removes the baseline whatever nBF is, and runs its own hum and low-pass filters.
    EXPECT_EQ(RunStage({"A", EEngineVariant::Zorvik31, 0, {1, 2, 0, 0}}, in),
              Apply(in, {Base0, [](std::int16_t* x) { FilterAcHumMode0(x, N, 1); },
                         [](std::int16_t* x) { FilterLowPassMode0(x, N, 2); }}));
    EXPECT_EQ(RunStage({"B", EEngineVariant::Zorvik31, 1, {2, 3, 0, 0}}, in),
              Apply(in, {Base1, [](std::int16_t* x) { FilterAcHumMode1(x, N, 2); },
                         [](std::int16_t* x) { FilterLowPassMode1(x, N, 3); }}));
    // The older build always runs set B with its own hum canceller.
    EXPECT_EQ(RunStage({"21", EEngineVariant::Zorvik21, 0, {1, 1, 0, 1}}, in),
              Apply(in, {Base1On, [](std::int16_t* x) { FilterAcHumZorvik21(x, N, 1); },
                         [](std::int16_t* x) { FilterLowPassMode1(x, N, 1); }}));
    // Switch values without a table entry filter nothing beyond the baseline.
    EXPECT_EQ(RunStage({"odd", EEngineVariant::Zorvik31, 1, {7, 9, 0, 0}}, in), Apply(in, {Base1}));
}

TEST(Filters, HumCancellersRemoveMainsHum) {
    for (int nAC : {1, 2}) {
        const double dHz = nAC == 1 ? 50 : 60;
        Row x = Sine(dHz, 200);
        FilterAcHumMode1(x.data(), N, nAC);
        int nPeak = 0;
        for (int i = 3000; i < N; ++i)
            nPeak = std::max(nPeak, std::abs(int{x[i]}));
        EXPECT_LT(nPeak, 20) << nAC;

        x = Sine(dHz, 200);
        FilterAcHumZorvik21(x.data(), N, nAC);
        nPeak = 0;
        for (int i = 3000; i < N; ++i)
            nPeak = std::max(nPeak, std::abs(int{x[i]}));
        EXPECT_LT(nPeak, 20) << nAC;
    }
}

TEST(Filters, EngineRunReadsTheNumbersInLauncherOrderAndDumpsBothRowSets) {
    testsupport::CTempDir dir;
    const std::string input = dir / "rec.ekg";
    ASSERT_TRUE(testsupport::WriteFile(
        input, ecg_engine_test::MakeEkgRecord(ecg_engine_test::EcgLikeSample)));
    // nAC, nLPF, nBF, nMF, mode, language; 258 keeps its low byte 2.
    std::string args[] = {"Zorvik31", input, "258", "2", "3", "1", "0", "7"};
    char* argv[8];
    for (int i = 0; i < 8; ++i)
        argv[i] = args[i].data();
    auto d = CreateEngineData(EEngineVariant::Zorvik31);
    ecg_engine_test::CWorkingFolder folder(dir.Path());
    ASSERT_EQ(EngineMain(*d, 8, argv), 0);
    EXPECT_EQ(d->FilterSettings.nAC, 2);
    EXPECT_EQ(d->FilterSettings.nLPF, 2);
    EXPECT_EQ(d->FilterSettings.nBF, 3);
    EXPECT_EQ(d->FilterSettings.nMF, 1);
    EXPECT_EQ(d->AnalysisMode, 0);
    EXPECT_EQ(d->InterpretationContext.nLanguage, 7);

    const auto& rows = d->DebugDumpRows;
    // The front's sixteen rows come first; later stages append their own.
    ASSERT_GE(rows.RowCount(), 16);
    EXPECT_EQ(rows.aNames[0], "dspBuf_I");
    EXPECT_EQ(rows.aNames[15], "Dc_V6");
    // The filtered V6 row is the raw one through set A: baseline, 60 Hz notch, kernel 2, muscle.
    Row x(rows.aRows[7].get(), rows.aRows[7].get() + N);
    std::int16_t aScratch[N + 1];
    RemoveBaselineMode0(x.data(), N, aScratch);
    FilterAcHumMode0(x.data(), N, 2);
    FilterLowPassMode0(x.data(), N, 2);
    FilterMuscle(x.data(), N);
    EXPECT_EQ(x, Row(rows.aRows[15].get(), rows.aRows[15].get() + N));
    EXPECT_TRUE(testsupport::Exists(dir / "rec/Debug_Debug_Save.dat"));
}
