// The waveform statements on findings set by hand: order, suppressions, caveats, classes,
// the slot layouts of the languages and cut texts; the morphology line of the report and the
// stage driver.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <functional>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include "ecg_engine/statement_tables.h"
#include "morphology_fixture.h"
#include "record_fixture.h"
#include "testsupport/testsupport.h"

using namespace ecg_engine;
using namespace morphology_test;

// ---- statement selection ----

namespace {

Texts Select(CEngineData& d, const std::function<void(Findings&)>& set) {
    d.Morphology.MorphologyFindings = Findings{};
    set(d.Morphology.MorphologyFindings);
    d.Finish.WaveformStatementCount = SelectWaveformStatements(d);
    return Slots(d);
}

const char* Row(int nLanguage, int nRow) {
    return WaveformStatementRows(nLanguage)[nRow];
}

}  // namespace

TEST(MorphologyStatements, OrderSuppressionsAndCaveats) {
    struct {
        const char* pszName;
        std::function<void(Findings&)> set;
        Texts expected;
        int nSeverity;
    } cases[] = {
        {"nothing", [](Findings&) {}, {}, 0},
        {"low voltage QRS alone",
         [](Findings& f) {
             f.LowVoltageQrs = 1;
             f.AxisLeft = 1;
         },
         {"Low Voltage QRS", "Left Axis Deviation",
          "*** Axis and MI may be incorrect due to low voltage."},
         3},
        {"limb",
         [](Findings& f) {
             f.LowVoltageLimb = 1;
             f.AxisNormal = 1;
         },
         {"Low Voltage (Limb Leads)", "Normal Axis",
          "*** Axis may be incorrect due to low voltage."},
         2},
        {"chest",
         [](Findings& f) { f.LowVoltageChest = 1; },
         {"Low Voltage (Chest Leads)", "*** MI may be incorrect due to low voltage."},
         3},
        {"first axis only",
         [](Findings& f) {
             f.AxisRight = 1;
             f.AxisNorthwest = 1;
         },
         {"Right Axis Deviation"},
         2},
        {"WPW with RBBB",
         [](Findings& f) {
             f.Preexcitation = 1;
             f.CompleteRbbb = 1;
             f.LeftVentricularHypertrophy = 1;
             f.AnteriorMi = 1;
             f.PosteriorMi = 1;
             f.StDepression.Region[RegionInferior] = 1;
             f.StDepression.RegionCount = 1;
         },
         {"Ventricular preexcitation(WPW)", "Anterior MI", "Posterior MI"},
         4},
        {"LBBB",
         [](Findings& f) {
             f.Lbbb = 1;
             f.LeftVentricularHypertrophy = 1;
             f.AnteroseptalMi = 1;
             f.InferiorMi = 1;
             f.AnteriorExtensiveMi = 1;
             f.PosteriorMi = 1;
             f.TInversion.Region[RegionInferior] = 1;
             f.TInversion.RegionCount = 1;
             f.ProlongedQt = 1;
         },
         {"LBBB(Left Bundle Branch Block)", "Anterior extensive MI", "Inferior MI", "prolonged QT"},
         4},
        {"block order",
         [](Findings& f) {
             f.IncompleteRbbb = 1;
             f.BifascicularRbbbLpfb = 1;
             f.Nivcd = 1;
         },
         {"Bifascicular block (RBBB + LPFB)", "ICRBBB(Incomplete Right Bundle Branch Block)",
          "Nonspecific intraventricular coduction delay"},
         3},
        {"enlargement order",
         [](Findings& f) {
             f.LeftAtrialEnlargement = 1;
             f.RightAtrialEnlargement = 1;
             f.ProbableRvh = 1;
             f.LeftVentricularHypertrophy = 1;
         },
         {"RAE(Right Atrial Enlargement)", "LAE(Left Atrial Enlargement)",
          "LVH(Left Ventricular Hypertrophy)", "probable RVH"},
         3},
        {"one region",
         [](Findings& f) {
             f.StDepression.Region[RegionInferior] = 1;
             f.StDepression.RegionCount = 1;
         },
         {"ST abnormality, possible subendocardial ischemia(Inferior)"},
         3},
        {"two regions",
         [](Findings& f) {
             f.StDepression.Region[RegionInferior] = f.StDepression.Region[RegionAnteroseptal] = 1;
             f.StDepression.RegionCount = 2;
         },
         {"ST abnormality, possible subendocardial ischemia", "  (Inferior,Anteroseptal)"},
         3},
        {"all five",
         [](Findings& f) {
             f.TInversion.Region.fill(1);
             f.TInversion.RegionCount = 5;
         },
         {"T wave inversion, possible Myocardial ischemia",
          "  (High Lateral,Inferior,Anteroseptal,Anterolateral,Anterior)"},
         3},
        {"groups in order",
         [](Findings& f) {
             f.TInversion.Region[RegionAnterior] = 1;
             f.TInversion.RegionCount = 1;
             f.StElevation.Region[RegionHighLateral] = 1;
             f.StElevation.RegionCount = 1;
             f.StDepression.Region[RegionAnterolateral] = 1;
             f.StDepression.RegionCount = 1;
             f.ProlongedQt = 1;
         },
         {"ST abnormality, possible subendocardial ischemia(Anterolateral)",
          "ST abnormality, possible transmural injury(High Lateral)",
          "T wave inversion, possible Myocardial ischemia(Anterior)", "prolonged QT"},
         4},
        {"RBBB: no ST-T, no posterior",
         [](Findings& f) {
             f.CompleteRbbb = 1;
             f.PosteriorMi = 1;
             f.StElevation.Region[RegionInferior] = 1;
             f.StElevation.RegionCount = 1;
             f.ProlongedQt = 1;
         },
         {"CRBBB(Complete Right Bundle Branch Block)", "prolonged QT"},
         3},
        {"class 1",
         [](Findings& f) {
             f.AxisNormal = 1;
             f.IncompleteRbbb = 1;
         },
         {"Normal Axis", "ICRBBB(Incomplete Right Bundle Branch Block)"},
         1},
    };
    for (const auto& c : cases) {
        auto d = NormalRecord();
        d->Finish.EcgSeverity = 0;
        EXPECT_EQ(Select(*d, c.set), c.expected) << c.pszName;
        EXPECT_EQ(d->Finish.EcgSeverity, c.nSeverity) << c.pszName;
        EXPECT_EQ(d->WaveformStatementSlots[0][0], '\0') << c.pszName;
    }
    // The class is never lowered.
    auto d = NormalRecord();
    d->Finish.EcgSeverity = 4;
    Select(*d, [](Findings& f) { f.AxisNormal = 1; });
    EXPECT_EQ(d->Finish.EcgSeverity, 4);
}

TEST(MorphologyStatements, SlotLayoutsOfTheLanguages) {
    const auto One = [](Findings& f) {
        f.StDepression.Region[RegionInferior] = 1;
        f.StDepression.RegionCount = 1;
    };
    const auto Two = [](Findings& f) {
        f.StElevation.Region[RegionHighLateral] = f.StElevation.Region[RegionAnterior] = 1;
        f.StElevation.RegionCount = 2;
    };
    for (int nLanguage = 0; nLanguage < kStatementLanguages; ++nLanguage) {
        auto d = NormalRecord(nLanguage);
        const std::string strHeader = Row(nLanguage, 36), strRegion = Row(nLanguage, 42);
        const Texts one = nLanguage == 5 ? Texts{strHeader, "  (" + strRegion + ")"}
                                         : Texts{strHeader + "(" + strRegion + ")"};
        EXPECT_EQ(Select(*d, One), one) << nLanguage;

        const std::string strHeader2 = Row(nLanguage, 37);
        const std::string strList = std::string(Row(nLanguage, 41)) + "," + Row(nLanguage, 40);
        const Texts two = nLanguage == 2 ? Texts{strHeader2 + "(" + strList + ")"}
                                         : Texts{strHeader2, "  (" + strList + ")"};
        EXPECT_EQ(Select(*d, Two), two) << nLanguage;

        // Rows of the language, but "Anterior extensive MI" and the caveats in English.
        const Texts mixed = {Row(nLanguage, 17), Row(nLanguage, 11), "Anterior extensive MI",
                             Row(nLanguage, 33),
                             "*** Axis and MI may be incorrect due to low voltage."};
        EXPECT_EQ(Select(*d,
                         [](Findings& f) {
                             f.LowVoltageQrs = f.AxisNormal = f.AnteriorExtensiveMi = f.InferiorMi =
                                 1;
                         }),
                  mixed)
            << nLanguage;
    }
    // The older build states English whatever language it is given.
    auto d = NormalRecord(4, EEngineVariant::Zorvik21);
    d->InterpretationContext.nLanguage = 0;
    SelectStatementLanguage(*d);
    EXPECT_EQ(Select(*d, One), Texts{"ST abnormality, possible subendocardial ischemia(Inferior)"});
}

TEST(MorphologyStatements, LongTextsAreCutAtWholeCharacters) {
    // A table whose header and region names do not fit the work texts and slots: two-byte
    // characters of the Chinese code page.
    std::vector<std::string> rows(kWaveformRows, "x");
    std::string strWide;
    for (int i = 0; i < 150; ++i)
        strWide += "\xD6\xD0";  // one character, two bytes
    rows[36] = strWide;
    for (int r : {40, 41, 42, 43, 44})
        rows[r] = "\xC7\xB0" + strWide.substr(0, 60);
    std::vector<const char*> table;
    for (const auto& s : rows)
        table.push_back(s.c_str());

    auto d = NormalRecord(2);
    d->WaveformStatementTable = table.data();
    const Texts texts = Select(*d, [](Findings& f) {
        f.StDepression.Region.fill(1);
        f.StDepression.RegionCount = 5;
        f.TInversion.Region[RegionInferior] = 1;
        f.TInversion.RegionCount = 1;
    });
    ASSERT_EQ(texts.size(), 2u);
    for (const auto& s : texts) {
        EXPECT_LE(s.size(), static_cast<std::size_t>(kStatementSize - 1));
        // Every byte from the first non-ASCII on pairs up: no character is cut in half.
        std::size_t i = 0;
        while (i < s.size()) {
            const auto c = static_cast<unsigned char>(s[i]);
            if (c >= 0x81) {
                ASSERT_LT(i + 1, s.size()) << s;
                i += 2;
            } else {
                ++i;
            }
        }
    }
    // The region list is a 120-byte work text: it holds whole characters only.
    EXPECT_EQ(texts[0].rfind(strWide.substr(0, 10), 0), 0u);
}

TEST(MorphologyStatements, SlotsPastNineteenAreDropped) {
    auto d = NormalRecord(5);
    const Texts texts = Select(*d, [](Findings& f) {
        f.LowVoltageQrs = f.AxisNormal = 1;
        f.BifascicularRbbbLpfb = f.BifascicularRbbbLafb = f.CompleteRbbb = f.IncompleteRbbb =
            f.Nivcd = 1;
        f.BiatrialEnlargement = f.RightAtrialEnlargement = f.LeftAtrialEnlargement = 1;
        f.AnteriorExtensiveMi = f.HighLateralMi = f.LateralMi = f.AnterolateralMi = f.InferiorMi =
            1;
        f.PossibleAnteroseptalMi = f.AnteroseptalMi = f.AnteriorMi = 1;
        f.ProlongedQt = 1;
    });
    EXPECT_EQ(texts.size(), 19u);
    EXPECT_EQ(d->Finish.WaveformStatementCount, 19);
}

// ---- the stage and its report line ----

namespace {

std::string ReadFile(const std::string& strPath) {
    std::ifstream in(strPath, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

}  // namespace

TEST(MorphologyReport, RecordNames) {
    EXPECT_EQ(MorphologyRecordName("C:\\data\\rec01.EKG"), "rec01");
    EXPECT_EQ(MorphologyRecordName("/tmp/x.y/rec01.raw"), "rec01");
    EXPECT_EQ(MorphologyRecordName("a.b.ekg"), "a");
    EXPECT_EQ(MorphologyRecordName("rec01.dcd"), "rec01");
    // Without a record extension the scan ends at the end of the text.
    EXPECT_EQ(MorphologyRecordName("/tmp/noext"), "noext");
    EXPECT_EQ(MorphologyRecordName("/tmp/name.txt"), "name");
    EXPECT_EQ(MorphologyRecordName(""), "");
    EXPECT_EQ(MorphologyRecordName(nullptr), "");
}

TEST(MorphologyReport, LinesAsTheReportFileHoldsThem) {
    testsupport::CTempDir dir;
    ecg_engine_test::CWorkingFolder folder(dir.Path());
    auto d = NormalRecord();
    Select(*d, [](Findings& f) {
        f.AxisNormal = 1;
        f.LeftVentricularHypertrophy = 1;
    });
    ASSERT_TRUE(WriteMorphologyReport(*d, "/x/rec01.EKG", "1"));
    Select(*d, [](Findings& f) {
        f.LowVoltageLimb = 1;
        f.AxisLeft = 1;
    });
    ASSERT_TRUE(WriteMorphologyReport(*d, "a.b.ekg", "1"));
    Select(*d, [](Findings& f) { f.ProlongedQt = 1; });
    ASSERT_TRUE(WriteMorphologyReport(*d, "C:\\r\\q.raw", "1"));
    EXPECT_EQ(ReadFile(dir.Path() + "/1"),
              "- rec01 Mor :  Normal Axis, LVH(Left Ventricular Hypertrophy)\r\n"
              "- a Mor :  Low Voltage (Limb Leads), Left Axis Deviation\r\n"
              "*** Axis may be incorrect due to low voltage.\r\n"
              "- q Mor :  prolonged QT\r\n");

    // A report file that cannot be opened: no line, a message, and the run goes on.
    testing::internal::CaptureStdout();
    EXPECT_FALSE(WriteMorphologyReport(*d, "/x/rec01.EKG", "no/such/folder/1"));
    EXPECT_FALSE(WriteMorphologyReport(*d, "/x/rec01.EKG", nullptr));
    EXPECT_NE(testing::internal::GetCapturedStdout().find("[no/such/folder/1] open error."),
              std::string::npos);
}

TEST(MorphologyStage, RunsOnlyOnRealBeats) {
    testsupport::CTempDir dir;
    ecg_engine_test::CWorkingFolder folder(dir.Path());
    // Normal beats: "Normal Axis", and the line in the report.
    {
        auto d = NormalRecord();
        d->pszInputArgument = "/data/rec01.ekg";
        d->pszSecondArgument = "2";
        EXPECT_EQ(RunMorphologyAnalysis(*d), 0);
        EXPECT_EQ(Slots(*d), Texts{"Normal Axis"});
        EXPECT_EQ(ReadFile(dir.Path() + "/2"), "- rec01 Mor :  Normal Axis\r\n");
    }
    // No beats: all-zero measures would read as low voltage; nothing is stated.
    {
        auto d = NormalRecord();
        d->pszInputArgument = "/data/rec02.ekg";
        d->pszSecondArgument = "2";
        d->BeatCount = 0;
        for (auto& l : RM(*d).Lead)
            l = SLeadRepresentative{};
        EXPECT_EQ(RunMorphologyAnalysis(*d), 0);
        EXPECT_EQ(d->Finish.WaveformStatementCount, 0);
    }
    // A ventricular rhythm: no waveform statement.
    {
        auto d = NormalRecord();
        d->Rhythm.VentricularMark = kVentricularMarkRhythm;
        d->pszInputArgument = "/data/rec03.ekg";
        d->pszSecondArgument = "2";
        EXPECT_EQ(RunMorphologyAnalysis(*d), 0);
        EXPECT_EQ(d->Finish.WaveformStatementCount, 0);
    }
    // The older build states the same but writes no line.
    {
        auto d = NormalRecord(0, EEngineVariant::Zorvik21);
        d->pszInputArgument = "/data/rec04.ekg";
        d->pszSecondArgument = "2";
        EXPECT_EQ(RunMorphologyAnalysis(*d), 0);
        EXPECT_EQ(Slots(*d), Texts{"Normal Axis"});
    }
    EXPECT_EQ(ReadFile(dir.Path() + "/2"), "- rec01 Mor :  Normal Axis\r\n");

    // The QS and RSR' flags come from each lead's own representative beat, V1 included.
    auto d = NormalRecord();
    d->Measurements.QrsType[LeadV1][5] = 16;
    d->Measurements.QrsType[LeadV2][5] = 14;
    RM(*d).Lead[LeadV1].QrsComplexType = 14;  // V1's dominant shape, not its beat's
    FillLeadShapeFlags(*d);
    EXPECT_EQ(d->Morphology.QsFlag[LeadV1], 1);
    EXPECT_EQ(d->Morphology.RsrPrimeFlag[LeadV1], 0);
    EXPECT_EQ(d->Morphology.RsrPrimeFlag[LeadV2], 1);
}
