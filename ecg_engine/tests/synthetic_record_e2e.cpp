// Whole analysis runs on synthetic records with known waves: T ends, P onsets, PR, QT,
// heart rate and the three axes against the generator's truth.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "ecg_engine/engine.h"
#include "record_fixture.h"
#include "testsupport/testsupport.h"

using namespace ecg_engine;

namespace {

struct STruthBeat {
    int qrsOnset = 0, pOnset = -1, tOffset = -1, rr = 0;
};
struct STruth {
    double axis = 0;
    std::vector<STruthBeat> beats;
};

// Generates the record and reads its truth as plain lines through the generator's JSON.
STruth MakeRecord(const std::string& strPath, const std::string& strOptions) {
    int nStatus = -1;
    testsupport::RunCommand(std::string(ENGINE_PYTHON) + " " +
                                testsupport::ShellQuote(ECGSYNTH_SCRIPT) + " " +
                                testsupport::ShellQuote(strPath) + " " + strOptions,
                            &nStatus);
    EXPECT_EQ(nStatus, 0);
    const std::string strDump = testsupport::RunCommand(
        std::string(ENGINE_PYTHON) +
        " -c 'import json,sys; t=json.load(open(sys.argv[1])); print(t[\"axis\"]); "
        "[print(b[\"qrs_onset\"], b.get(\"p_onset\", -1), b.get(\"t_offset\", -1), "
        "b.get(\"rr_ms\", 0)) for b in t[\"beats\"]]' " +
        testsupport::ShellQuote(strPath + ".json"));
    STruth truth;
    std::istringstream in(strDump);
    in >> truth.axis;
    STruthBeat b;
    while (in >> b.qrsOnset >> b.pOnset >> b.tOffset >> b.rr)
        truth.beats.push_back(b);
    return truth;
}

// Adds a second P wave (a 90-sample bump of 100 uV along 60 degrees) at each record position
// to the leads the engine reads (I, II, V1..V6) of a written ".ekg".
void AddPWaves(const std::string& strPath, const std::vector<int>& starts) {
    std::string data = testsupport::ReadFile(strPath);
    const double aScale[12] = {0.5, 1, 0.5, -0.75, 0, 0.75, 1, 1, 1, 1, 1, 1};
    for (int l : {0, 1, 6, 7, 8, 9, 10, 11}) {
        for (int s0 : starts) {
            for (int k = 0; k < 45; ++k) {
                const std::size_t o = static_cast<std::size_t>(l) * 10200 + 2 * (s0 + k);
                auto v = static_cast<std::int16_t>(static_cast<unsigned char>(data[o]) |
                                                   (static_cast<unsigned char>(data[o + 1]) << 8));
                const double uv = 100.0 * aScale[l] * std::sin(M_PI * k / 45.0);
                v = static_cast<std::int16_t>(v + std::lround(uv / 2.44140625));
                data[o] = static_cast<char>(v & 0xFF);
                data[o + 1] = static_cast<char>((v >> 8) & 0xFF);
            }
        }
    }
    ASSERT_TRUE(testsupport::WriteFile(strPath, data));
}

std::unique_ptr<CEngineData> RunEngine(const std::string& strInput) {
    auto pData = CreateEngineData(EEngineVariant::Zorvik31);
    pData->bDebugOutput = false;
    std::vector<std::string> args = {"Zorvik31", strInput, "1", "0", "0", "0", "1", "0"};
    std::vector<char*> argv;
    for (auto& s : args)
        argv.push_back(s.data());
    ecg_engine_test::CWorkingFolder folder(ecg_engine_test::FolderOf(strInput));
    EXPECT_EQ(EngineMain(*pData, static_cast<int>(argv.size()), argv.data()), 0);
    return pData;
}

const STruthBeat* Nearest(const STruth& truth, int nQrsOnset) {
    const STruthBeat* p = nullptr;
    for (const auto& b : truth.beats) {
        if (!p || std::abs(b.qrsOnset - nQrsOnset) < std::abs(p->qrsOnset - nQrsOnset))
            p = &b;
    }
    return (p && std::abs(p->qrsOnset - nQrsOnset) < 25) ? p : nullptr;
}

}  // namespace

TEST(SyntheticRecords, WavesIntervalsRateAndAxesMatchTheTruth) {
    struct {
        const char* options;
        bool bClean;  // the QRS axis is checked on undisturbed records only
    } cases[] = {
        {"--rate 45", true},
        {"--rate 60", true},
        {"--rate 75 --axis 30", true},
        {"--rate 100 --axis 0", true},
        {"--rate 120 --axis 90", true},
        {"--rate 60 --axis -30", true},
        {"--rate 72 --axis 120", true},
        {"--rate 66 --drift 200", false},
        {"--rate 80 --hum 80", false},
    };
    testsupport::CTempDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.options);
        const std::string strPath = dir / "rec.ekg";
        const STruth truth = MakeRecord(strPath, c.options);
        ASSERT_GE(truth.beats.size(), 5u);
        auto pData = RunEngine(strPath);
        const CEngineData& d = *pData;
        const auto& g = d.Measurements.GlobalMeasurements;
        const int N = d.BeatCount;
        ASSERT_GE(N, static_cast<int>(truth.beats.size()) - 1);

        double dRR = 0;
        int nRR = 0;
        for (const auto& b : truth.beats) {
            if (b.rr) {
                dRR += b.rr;
                ++nRR;
            }
        }
        EXPECT_NEAR(g[0], 60000.0 / (dRR / nRR), 1.0) << "heart rate";
        const STruthBeat& b1 = truth.beats[1];
        EXPECT_NEAR(g[1], (b1.qrsOnset - b1.pOnset) * 2, 10) << "PR";
        EXPECT_NEAR(g[3], (b1.tOffset - b1.qrsOnset) * 2, 25) << "QT";
        EXPECT_NEAR(g[5], truth.axis, 2) << "P axis";
        if (c.bClean) {
            EXPECT_NEAR(g[6], truth.axis, 2) << "R axis";
        }
        EXPECT_NEAR(g[7], truth.axis, 2) << "T axis";

        for (int j = 0; j < N; ++j) {
            const STruthBeat* p = Nearest(truth, d.Qrs.GlobalQrsOnset[j]);
            ASSERT_NE(p, nullptr) << "beat " << j;
            EXPECT_NEAR(d.TWave.LeadTOffset[LeadI][j], p->tOffset, 15) << "T end of beat " << j;
            const int nP = d.PWave.ResultCount[j];
            ASSERT_EQ(nP, 1) << "beat " << j;
            EXPECT_NEAR(d.PWave.ResultOn[j * kMaxPWavesPerBeat], p->pOnset, 10)
                << "P onset of beat " << j;
        }
    }
}

TEST(SyntheticRecords, NoPWavesAndTwoPWavesPerQrs) {
    testsupport::CTempDir dir;
    {
        const std::string strPath = dir / "nop.ekg";
        MakeRecord(strPath, "--rate 70 --p 0");
        auto pData = RunEngine(strPath);
        const CEngineData& d = *pData;
        ASSERT_GE(d.BeatCount, 8);
        for (int j = 0; j < d.BeatCount; ++j)
            EXPECT_EQ(d.PWave.ResultCount[j], 0) << j;
        EXPECT_EQ(d.Measurements.GlobalMeasurements[1], 0);
        EXPECT_EQ(d.Measurements.GlobalMeasurements[5], MissingValue);
    }
    {
        // 40 per minute with a blocked P wave halfway between each T end and the next P.
        const std::string strPath = dir / "two.ekg";
        const STruth truth = MakeRecord(strPath, "--rate 40");
        std::vector<int> starts;
        for (std::size_t i = 1; i < truth.beats.size(); ++i)
            starts.push_back(truth.beats[i].qrsOnset - 300);
        AddPWaves(strPath, starts);
        auto pData = RunEngine(strPath);
        const CEngineData& d = *pData;
        ASSERT_GE(d.BeatCount, 6);
        for (int j = 0; j < d.BeatCount; ++j) {
            const STruthBeat* p = Nearest(truth, d.Qrs.GlobalQrsOnset[j]);
            ASSERT_NE(p, nullptr);
            if (p == &truth.beats[0])
                continue;  // the first beat has no blocked P wave before it
            EXPECT_EQ(d.PWave.ResultCount[j], 2) << j;
            // The conducted P wave stays the last one of the beat.
            EXPECT_NEAR(d.PWave.ResultOn[j * kMaxPWavesPerBeat + 1], p->pOnset, 10) << j;
        }
        EXPECT_NEAR(d.Measurements.GlobalMeasurements[1], 130, 10);
    }
}

TEST(SyntheticRecords, OneSilentLeadGetsThePoorQualityStatement) {
    testsupport::CTempDir dir;
    const std::string strPath = dir / "v3.ekg";
    MakeRecord(strPath, "--rate 70");
    // Lead V3 (block 8 of the file) carries no signal at all.
    std::string data = testsupport::ReadFile(strPath);
    std::fill(data.begin() + 8 * 10200, data.begin() + 8 * 10200 + 10000, '\0');
    ASSERT_TRUE(testsupport::WriteFile(strPath, data));
    auto pData = RunEngine(strPath);
    const CEngineData& d = *pData;
    ASSERT_GE(d.BeatCount, 8);
    bool bFound = false;
    for (int i = 0; i < d.ResultStatements.nCount; ++i) {
        if (std::string(d.ResultStatements.aText[i].data()).find("Poor data quality") !=
            std::string::npos)
            bFound = true;
    }
    EXPECT_TRUE(bFound);
}
