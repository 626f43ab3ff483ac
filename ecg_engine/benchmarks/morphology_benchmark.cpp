// The waveform stage alone (criteria, statements and the report line) on working data filled
// by hand, and whole engine runs with and without debug output on a synthetic record with
// many waveform findings.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "ecg_engine/engine.h"
#include "ecg_engine/morphology_stage.h"
#include "ecg_engine/rhythm_stage.h"

using namespace ecg_engine;

namespace {

// Representative measures with low chest voltage, biatrial P waves, QS in V1-V3, Q waves in
// V4-V6, inferior Q waves, ST depression and T inversion, and 12 pre-excited beats.
void FillManyFindings(CEngineData& d) {
    InitAnalysis(d);
    d.BeatCount = 12;
    d.HeartRate = 75;
    auto& rm = d.Rhythm.RepresentativeMeasures;
    for (auto& l : rm.Lead) {
        l = SLeadRepresentative{};
        l.PA = 100;
        l.PD = 60;
        l.RA = 900;
        l.RD = 40;
        l.SA = -400;
        l.SD = 30;
        l.sumQRS = 1300;
        l.TA = 300;
        l.QrsComplexType = 0x0C;
    }
    for (int l : {LeadV1, LeadV2, LeadV3}) {
        rm.Lead[l].RA = 0;
        rm.Lead[l].QA = -700;
        rm.Lead[l].QD = 80;
        rm.Lead[l].sumQRS = 700;
    }
    for (int l : {LeadV4, LeadV5, LeadV6, LeadII, LeadIII, LeadAVF}) {
        rm.Lead[l].QA = -400;
        rm.Lead[l].QD = 40;
        rm.Lead[l].RA = 600;
        rm.Lead[l].sumQRS = 900;
    }
    rm.Lead[LeadII].PA = 320;
    rm.Lead[LeadII].PD = 120;
    rm.Lead[LeadV1].PA = -150;
    for (int l : {LeadI, LeadAVL}) {
        rm.Lead[l].STj = rm.Lead[l].SecondStLevel = -200;
        rm.Lead[l].TA = -300;
    }
    rm.MedianRaxis = rm.MedianRaxis60 = 60;
    rm.MedianQRSdur = 110;
    rm.DominantShape = 0x0C;
    d.TWave.RecordQTc = 480;
    for (int l = 0; l < kLeads; ++l) {
        d.Finish.RepresentativeBeat[l] = 5;
        d.Measurements.QrsType[l][0] = 12;
        for (int b = 1; b <= 12; ++b)
            d.Measurements.QrsType[l][b] = l >= LeadV1 && l <= LeadV3 ? 16 : 0x0C;
    }
    auto& m = d.Measurements;
    for (int l : {LeadI, LeadII}) {
        d.Qrs.LeadBeatList.nCount[l] = 12;
        for (int b = 0; b < 12; ++b) {
            const int nOn = 200 + 380 * b;
            d.Qrs.QrsWaveTable[l][b][WaveR] = {nOn + 59, 1000, nOn, nOn + 59};
            for (int i = 0; i < 60; ++i)
                d.AnalysisLeads[l][nOn + i] = 1000 * i / 59;
        }
        for (int k = 1; k <= 12; ++k) {
            m.RD[l][k] = 120;
            m.SD[l][k] = 10;
        }
    }
    for (int k = 1; k <= 12; ++k) {
        m.PRint[k] = 100;
        m.QRSdur[k] = 140;
        m.RRint[k] = 760;
    }
    d.pszInputArgument = "/data/rec01.ekg";
    d.pszSecondArgument = "/dev/null";
    SelectStatementLanguage(d);
}

void BM_WaveformStageAlone(benchmark::State& state) {
    auto d = CreateEngineData(EEngineVariant::Zorvik31);
    FillManyFindings(*d);
    for (auto _ : state) {
        RunMorphologyAnalysis(*d);
        benchmark::DoNotOptimize(d->Finish.WaveformStatementCount);
    }
    if (d->Finish.WaveformStatementCount < 8)
        state.SkipWithError("fewer findings than expected");
}

std::string MakeRecord() {
    const char* pszTmp = std::getenv("TMPDIR");
    std::string strFolder = std::string(pszTmp && *pszTmp ? pszTmp : "/tmp") + "/morphbenchXXXXXX";
    if (!mkdtemp(strFolder.data()))
        return {};
    const std::string strPath = strFolder + "/rec.ekg";
    const std::string strCommand =
        std::string(ENGINE_PYTHON) + " " + ECGSYNTH_SCRIPT + " " + strPath +
        " --rate 75 --scale 0.45:0.5 --plead II:320,V1:-150 --pdur 60"
        " --V1 S:-1000:40 --V2 S:-1200:40 --V3 S:-900:40 --V4 Q:-400:16,R:1000:20,S:-300:12"
        " --V5 Q:-400:16,R:1000:20,S:-300:12 --V6 Q:-400:16,R:1000:20,S:-300:12"
        " --limb R:500:20@-90,R:1000:28@60 --st 50 --stlead I:-200,II:100 --qt 440";
    if (std::system(strCommand.c_str()) != 0)
        return {};
    if (chdir(strFolder.c_str()) != 0)
        return {};
    return strPath;
}

const std::string& RecordPath() {
    static const std::string s_path = MakeRecord();
    return s_path;
}

void RunEngine(benchmark::State& state, bool bDebugOutput) {
    std::string input = RecordPath();
    if (input.empty()) {
        state.SkipWithError("no record");
        return;
    }
    std::string numbers[6] = {"1", "1", "1", "0", "1", "0"};
    char* argv[8] = {const_cast<char*>("engine"), input.data()};
    for (int i = 0; i < 6; ++i)
        argv[2 + i] = numbers[i].data();
    for (auto _ : state) {
        auto d = CreateEngineData(EEngineVariant::Zorvik31);
        d->bDebugOutput = bDebugOutput;
        if (EngineMain(*d, 8, argv) != 0)
            state.SkipWithError("engine run failed");
    }
}

void BM_Zorvik31ManyFindingsWithDebugOutput(benchmark::State& state) {
    RunEngine(state, true);
}
void BM_Zorvik31ManyFindingsWithoutDebugOutput(benchmark::State& state) {
    RunEngine(state, false);
}

}  // namespace

BENCHMARK(BM_WaveformStageAlone)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Zorvik31ManyFindingsWithDebugOutput)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Zorvik31ManyFindingsWithoutDebugOutput)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
