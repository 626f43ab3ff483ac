#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "ecg_engine/debug_output.h"
#include "ecg_engine/engine.h"
#include "testsupport/testsupport.h"

using namespace ecg_engine;
using testsupport::CTempDir;

namespace {

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

std::unique_ptr<CEngineData> DataIn(const CTempDir& dir) {
    auto d = CreateEngineData(EEngineVariant::Zorvik31);
    CopyText(d->DebugFolderPrefix, dir.Path().c_str());
    return d;
}

}  // namespace

TEST(DebugOutput, DataFileHoldsNamedColumnsOf6000Values) {
    CTempDir dir;
    auto d = DataIn(dir);
    for (int r = 0; r < 8; ++r) {
        for (int i = 0; i < kInputSamples; ++i)
            d->InputLeads[r][i] = static_cast<short>(r * 10 - i);
    }
    DumpRawLeads(*d);
    const std::int32_t aShort[3] = {7, -8, 9};
    AppendDebugRow(*d, "Qrs_", "aVL", aShort, 3);
    ASSERT_EQ(WriteDebugDataFile(*d), 0);

    const auto lines = Lines(testsupport::ReadFile(dir / "Debug_Debug_Save.dat"));
    ASSERT_EQ(lines.size(), 6001u);
    EXPECT_EQ(lines[0].substr(0, 32), "       dspBuf_I       dspBuf_II ");
    EXPECT_NE(lines[0].find("      dspBuf_V6         Qrs_aVL "), std::string::npos);
    EXPECT_EQ(lines[0].size(), 9u * 16);
    // Line 1 is sample 0; the short row keeps 0 beyond its three values.
    EXPECT_EQ(lines[1].substr(0, 32), "              0              10 ");
    EXPECT_EQ(lines[2].substr(8 * 16), "             -8 ");
    EXPECT_EQ(lines[5000].substr(8 * 16), "              0 ");
    EXPECT_EQ(lines[6000].substr(0, 16), "          -5999 ");
}

TEST(DebugOutput, RowsAreAllocatedOnlyAsUsedAndStopAtTheirCapacity) {
    auto d = CreateEngineData(EEngineVariant::Zorvik31);
    EXPECT_EQ(d->DebugDumpRows.RowCount(), 0);
    const std::int16_t v = 1;
    for (int i = 0; i < kMaxDebugRows; ++i)
        ASSERT_NE(AppendDebugRow(*d, "r", "", &v, 1), nullptr);
    EXPECT_EQ(AppendDebugRow(*d, "r", "", &v, 1), nullptr);
    EXPECT_EQ(d->DebugDumpRows.RowCount(), kMaxDebugRows);
}

TEST(DebugOutput, MarkersStandOutAroundEventPositions) {
    CTempDir dir;
    auto d = DataIn(dir);
    for (auto& row : d->InputLeads)
        row.fill(5);
    d->Detection.IOQm.qrs_num = 3;
    d->Detection.IOQm.qrs_onset = {0, 600, 5999};  // 0 and the last index are never marked
    d->Detection.IOQm.qrs_offset = {700, 0, 0};
    DumpDetection(*d);
    ASSERT_EQ(d->DebugDumpRows.RowCount(), 8);
    EXPECT_EQ(d->DebugDumpRows.aNames[2], "Wbi_V1");
    const std::int32_t* p = d->DebugDumpRows.aRows[2].get();
    EXPECT_EQ(p[599], 5 + 128);
    EXPECT_EQ(p[601], 5 - 128);
    EXPECT_EQ(p[699], 5 - 128);
    EXPECT_EQ(p[701], 5 + 128);
    EXPECT_EQ(p[0], 5);
    EXPECT_EQ(p[1], 5);
    EXPECT_EQ(p[5998], 5);
}

TEST(DebugOutput, LogsFollowTheirLayouts) {
    CTempDir dir;
    auto d = DataIn(dir);
    InitAnalysis(*d);
    d->Detection.LeadQuality = {0, 1, 2, 3, 4, 9, 0, 0};
    d->Detection.MaxPower[0] = 12345;
    d->Detection.SymbolicPower[0] = -7;
    ASSERT_EQ(WriteSignalQualityLog(*d), 0);
    auto qm = Lines(testsupport::ReadFile(dir / "Debug_Ecg_Event_Qm.log"));
    ASSERT_EQ(qm.size(), 13u);
    EXPECT_EQ(qm[0], "[Signal Quality Result]");
    EXPECT_EQ(qm[1], std::string(105, '-'));
    EXPECT_EQ(qm[2], "Lead |            Max Power       Symbolic Power       Signal Quality");
    EXPECT_EQ(qm[4], "   I |                12345                   -7         GOOD QUALITY");
    EXPECT_EQ(qm[7], "  V2 |                    0                    0         FAULTED LEAD");
    EXPECT_EQ(qm[9], "  V4 |                    0                    0            UNDEFINED");

    // Two beats; lead III without usable signal gets no recognition section.
    auto& q = d->Qrs;
    q.LeadBeatList.nCount.fill(2);
    q.QrsComplexType[0] = {0x1C, 0x9C};
    q.QrsComplexType[1] = {0x08, 0x42};
    q.LeadBeatList.onset[0] = {100, 500};
    q.QrsWaveTable[0][1][WaveR2] = {11, -22, 33, 44};
    d->Detection.LeadQuality12.fill(0);
    d->Detection.LeadQuality12[2] = 4;
    ASSERT_EQ(WriteQrsRecognitionLog(*d), 0);
    const std::string qrs = testsupport::ReadFile(dir / "Debug_Ecg_Event_Qrs.log");
    auto ql = Lines(qrs);
    EXPECT_EQ(ql[0], "[QRS Complex Type check result]");
    EXPECT_EQ(ql[2],
              "    |      I      II     III     aVR     aVL     aVF      V1      V2      V3 "
              "     V4      V5      V6 ");
    EXPECT_EQ(ql[4].substr(0, 21), "  1 |    QRS       R ");
    EXPECT_EQ(ql[5].substr(0, 21), "  2 |   QRnS    ???? ");
    EXPECT_NE(qrs.find("[ Lead  II QRS Complex Recognition result]"), std::string::npos);
    EXPECT_EQ(qrs.find("[ Lead III QRS"), std::string::npos);
    EXPECT_NE(qrs.find("  2 |    0     0     0     0 |     0     0     0     0 |     0     0     0"
                       "     0 |    33    11   -22    44 |"),
              std::string::npos);

    d->BeatCount = 1;
    d->Measurements.GlobalMeasurements = {72, 160, 90, 380, 410, 50, -400, 30};
    ASSERT_EQ(WriteMeasurementLog(*d), 0);
    const std::string mt = testsupport::ReadFile(dir / "Debug_Ecg_Event_Mt.log");
    EXPECT_NE(mt.find("|  GOOD |  GOOD | NOSIG |  GOOD |"), std::string::npos);
    EXPECT_NE(mt.find("|     72 bpm |     160 ms |      90 ms |     380 ms |     410 ms |     "
                      "50 deg |   -400 deg |     30 deg |\n"),
              std::string::npos);
    EXPECT_NE(mt.find("[ Lead  V6 Duration & Amplitude Infomation ]"), std::string::npos);
}

TEST(DebugOutput, FileThatCannotBeCreatedIsReportedAndDoesNotFailTheStep) {
    CTempDir dir;
    auto d = CreateEngineData(EEngineVariant::Zorvik31);
    CopyText(d->DebugFolderPrefix, (dir / "no/such/folder/").c_str());
    EXPECT_EQ(WriteDebugDataFile(*d), -1);
    EXPECT_EQ(WriteMeasurementLog(*d), -1);
    EXPECT_EQ(RunStep(*d, 10), 0);
    EXPECT_EQ(RunStep(*d, 14), 0);
    EXPECT_EQ(RunStep(*d, 15), 0);
    EXPECT_EQ(RunStep(*d, 16), 0);
}
