#include <gtest/gtest.h>

#include <climits>

#include "ecg_engine/engine.h"
#include "ecg_engine/engine_data.h"

using namespace ecg_engine;

TEST(EngineData, InitAnalysisPresetsEveryResultTable) {
    auto d = CreateEngineData(EEngineVariant::Zorvik31);
    // Leave traces of an earlier run everywhere InitAnalysis must clean up.
    d->AnalysisLeads[3][17] = 99;
    d->BeatCount = 12;
    d->HeartRate = 80;
    d->Detection.IOQm.qrs_num = 5;
    d->Qrs.LeadBeatList.nCount[4] = 7;
    d->Measurements.Taxis[2] = 30;
    d->Measurements.GlobalMeasurements[6] = 45;
    d->PWave.nCounter = 3;
    d->RhythmStatementSlots[19][0] = 'x';
    d->WaveformStatementSlots[0][5] = 'y';
    d->ResultStatements.nCount = 4;
    d->ResultStatements.aText[2][0] = 'z';
    d->DetectionFlag = 0;

    EXPECT_EQ(InitAnalysis(*d), 0);

    EXPECT_EQ(d->DetectionFlag, 1);
    EXPECT_EQ(d->AnalysisLeads[3][17], 0);
    EXPECT_EQ(d->BeatCount, 0);
    EXPECT_EQ(d->HeartRate, 0);
    EXPECT_EQ(d->Detection.IOQm.qrs_num, 0);
    EXPECT_EQ(d->Qrs.LeadBeatList.nCount[4], 0);
    EXPECT_EQ(d->PWave.nCounter, 0);
    EXPECT_EQ(d->ResultStatements.nCount, 0);
    for (int v : d->Measurements.Paxis)
        EXPECT_EQ(v, MissingValue);
    for (int v : d->Measurements.Taxis)
        EXPECT_EQ(v, MissingValue);
    for (int v : d->Measurements.Raxis)
        EXPECT_EQ(v, MissingValue);
    for (int v : d->TWave.TOffset)
        EXPECT_EQ(v, MissingValue);
    const auto& g = d->Measurements.GlobalMeasurements;
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(g[i], 0) << i;
    for (int i = 5; i < 8; ++i)
        EXPECT_EQ(g[i], MissingValue) << i;
    for (const auto& s : d->RhythmStatementSlots)
        EXPECT_STREQ(s.data(), "");
    for (const auto& s : d->WaveformStatementSlots)
        EXPECT_STREQ(s.data(), "");
    for (int i = 0; i < 20; ++i)
        EXPECT_STREQ(d->ResultStatements.aText[i].data(), "");
}

TEST(EngineData, DecimalArgumentsFollowAtoiAndSaturate) {
    const struct {
        const char* psz;
        int n;
    } cases[] = {{"0", 0},
                 {"  12", 12},
                 {"-5", -5},
                 {"+7x", 7},
                 {"abc", 0},
                 {"", 0},
                 {nullptr, 0},
                 {"\t3 4", 3},
                 {"99999999999", INT_MAX},
                 {"-99999999999", INT_MIN},
                 {"258", 258}};
    for (const auto& c : cases)
        EXPECT_EQ(ParseDecimal(c.psz), c.n) << (c.psz ? c.psz : "null");
}

TEST(EngineData, RunStepKnowsOnlyItsSteps) {
    auto d = CreateEngineData(EEngineVariant::Zorvik31);
    EXPECT_EQ(RunStep(*d, 0), 0);
    EXPECT_EQ(RunStep(*d, 8), -1);
    EXPECT_EQ(RunStep(*d, 11), -1);
    EXPECT_EQ(RunStep(*d, 99), -1);
    EXPECT_EQ(RunStep(*d, 2), 0);
    EXPECT_EQ(d->DebugDumpRows.RowCount(), 8);

    auto d21 = CreateEngineData(EEngineVariant::Zorvik21);
    EXPECT_EQ(RunStep(*d21, 2), 0);
    EXPECT_EQ(d21->DebugDumpRows.RowCount(), 0);  // the older build dumps nothing
}
