// Sections of the record: information kinds and code tables, parameter addressing and
// labels, predicted values and formula names.
#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <limits>
#include <string>

#include "spiro_control/spirotestfile.h"
#include "testsupport/testsupport.h"

TEST(SpiroTestInfo, ClearedStateKeepsCompanyAndDeviceTexts) {
    CSpiroTestFile file;
    file.SetInformation(20, "Clinic Co.");
    file.SetInformation(0, "ID1");
    file.m_Info.m_nTestType = 4;
    file.Clear();
    EXPECT_EQ(file.GetTestType(), 0);
    EXPECT_EQ(file.GetFormat(), 2);
    EXPECT_EQ(file.m_Info.m_nBestTrial, 1);
    EXPECT_EQ(file.m_Info.m_nPostBestTrial, 1);
    EXPECT_EQ(file.GetInformation(0), "");
    EXPECT_EQ(file.GetInformation(20), "Clinic Co.");
    EXPECT_EQ(CSpiroTestFile().GetInformation(20), "Corvane Co.,Ltd.");
    EXPECT_EQ(file.GetInformation(22), "Spirometer Ver 1.15");
    EXPECT_EQ(file.GetInformation(27), "0");
}

TEST(SpiroTestInfo, PoundWeightReadsWithoutItsLetterAndIsWrittenWithIt) {
    CSpiroTestInfo info;
    info.TakeWeight("150L");
    EXPECT_EQ(info.m_strWeight, "150");
    EXPECT_TRUE(info.m_bPound);
    EXPECT_EQ(info.StoredWeight(), "150L");
    info.TakeWeight("150l");
    EXPECT_EQ(info.m_strWeight, "150");
    EXPECT_TRUE(info.m_bPound);
    info.TakeWeight("72");
    EXPECT_FALSE(info.m_bPound);
    EXPECT_EQ(info.StoredWeight(), "72");
    // Cut to the 4-character field, a pound weight keeps its unit letter.
    info.TakeWeight("1500L");
    EXPECT_EQ(info.StoredWeight(), "150L");
}

TEST(SpiroTestInfo, SetInformationTakesOnlyKnownCodes) {
    CSpiroTestFile file;
    file.SetInformation(6, "Black");
    EXPECT_EQ(file.GetInformation(6), "B");
    file.SetInformation(6, "Asian");
    EXPECT_EQ(file.GetInformation(6), "B");
    EXPECT_EQ(file.m_Info.GetRaceString(), "Black");
    file.SetInformation(7, "No");
    EXPECT_EQ(file.m_Info.GetSmokeString(), "No");
    file.SetInformation(7, "x");
    EXPECT_EQ(file.GetInformation(7), "N");
    // Every amount of the code table is taken, "Half pack/day" too.
    const char* kPacks[][2] = {{"Q", "Quarter pack/day"},
                               {"H", "Half pack/day"},
                               {"O", "One pack/day"},
                               {"T", "Two pack/day"},
                               {"M", "More two pack/day"}};
    for (const auto& p : kPacks) {
        file.SetInformation(9, p[0]);
        EXPECT_EQ(file.m_Info.GetSmokePackString(), p[1]);
    }
    file.SetInformation(9, "Z");
    EXPECT_EQ(file.GetInformation(9), "M");
    // Kinds 19, 21 and 23-27 are read-only.
    for (short nKind : {19, 21, 23, 24, 25, 26, 27, 99}) {
        file.SetInformation(nKind, "1");
    }
    EXPECT_EQ(file.GetInformation(19), "");
    EXPECT_EQ(file.GetInformation(23), "");
    EXPECT_EQ(file.GetInformation(27), "0");
    EXPECT_EQ(file.GetInformation(99), "");
    file.m_Info.SetUnit(0x141);
    EXPECT_EQ(file.GetInformation(26), "A");
    EXPECT_EQ(file.GetInformation(24), "0.00");
    file.m_Predict.SetFloat(47, 1.234f);
    EXPECT_EQ(file.GetInformation(25), "1.23");
}

TEST(SpiroTestInfo, AnalysisTextsIgnoreCase) {
    CSpiroTestInfo info;
    info.m_strAnalysis = "NOR";
    info.m_strAnalysisPost = "VSO";
    EXPECT_EQ(info.GetAnalysisString(), "Normal");
    EXPECT_EQ(info.GetAnalysisStringPost(), "Very Severe Obstructive");
    info.m_strAnalysis = "o_r";
    EXPECT_EQ(info.GetAnalysisString(), "Obstructive + Restriction");
    info.m_strAnalysis = "blk";
    EXPECT_EQ(info.GetAnalysisString(), "N/A");
    info.m_strAnalysis = "XYZ";
    EXPECT_EQ(info.GetAnalysisString(), "");
}

TEST(SpiroParamTable, AddressingOfEveryTestType) {
    CSpiroParamTable t;
    t.m_afFvc[0][6] = 3.1f;  // base best
    t.m_afFvc[0][0] = 3.4f;  // post best
    t.m_afFvc[2][11] = 9.0f;
    EXPECT_EQ(t.GetParam(5, 0, 0), 3.1f);
    EXPECT_EQ(t.GetParam(5, 0, 2), 3.4f);
    EXPECT_EQ(t.GetParam(5, 2, 4), 9.0f);
    EXPECT_EQ(t.GetParam(5, 0, 12), 0.0f);
    EXPECT_EQ(t.GetParam(1, 0, 0), 3.4f);
    EXPECT_EQ(t.GetParam(1, 0, 6), 0.0f);
    EXPECT_EQ(t.GetParam(1, 15, 0), 0.0f);

    EXPECT_EQ(t.SetParam(2, 5, 0, 1.0f), -19);
    EXPECT_EQ(t.SetParam(2, 0, 4, 1.0f), -20);
    EXPECT_EQ(t.SetParam(6, 0, 0, 1.0f), -10);
    EXPECT_EQ(t.SetParam(5, 0, -1, 1.0f), -20);
    EXPECT_EQ(t.SetParam(4, 15, 0, 1.0f), -19);
    EXPECT_EQ(t.SetParam(3, 2, 77, 4.5f), 0) << "type 3 ignores the column";
    EXPECT_EQ(t.GetParam(3, 2, -5), 4.5f);
    EXPECT_EQ(t.SetParam(5, 1, 9, 2.5f), 0);
    EXPECT_EQ(t.m_afFvc[1][3], 2.5f);

    EXPECT_EQ(CSpiroParamTable::GetParamCount(1, 2), 15);
    EXPECT_EQ(CSpiroParamTable::GetParamCount(5, 1), 10);
    EXPECT_EQ(CSpiroParamTable::GetParamCount(4, 2, TRUE), 10);
    EXPECT_EQ(CSpiroParamTable::GetParamCount(2, 0), 5);
    EXPECT_EQ(CSpiroParamTable::GetParamCount(3, 2), 3);
    EXPECT_EQ(CSpiroParamTable::GetParamCount(0, 2), -10);
    EXPECT_EQ(CSpiroParamTable::GetParamDepth(5), 12);
    EXPECT_EQ(CSpiroParamTable::GetParamDepth(3), 1);
    EXPECT_EQ(CSpiroParamTable::GetParamDepth(7), -10);
}

TEST(SpiroParamTable, LabelTables) {
    EXPECT_EQ(CSpiroParamTable::GetParamLabelString(1, 10), "");
    EXPECT_EQ(CSpiroParamTable::GetParamLabelString(4, 10), "FIVC");
    EXPECT_EQ(CSpiroParamTable::GetParamLabelString(1, 7), "FEF 50%/FIF 50%");
    EXPECT_EQ(CSpiroParamTable::GetParamUnitString(1, 7), "[   ]");
    EXPECT_EQ(CSpiroParamTable::GetParamUnitString(5, 14), "");
    EXPECT_EQ(CSpiroParamTable::GetParamLabelString(5, 14), "FVL Ecode");
    EXPECT_EQ(CSpiroParamTable::GetParamLabelString(2, 4), "EC");
    EXPECT_EQ(CSpiroParamTable::GetParamUnitString(3, 1), "[BPM]");
    EXPECT_EQ(CSpiroParamTable::GetParamLabelString(3, 3), "");
    EXPECT_EQ(CSpiroParamTable::GetMeasureString(5, 4), "%CHG");
    EXPECT_EQ(CSpiroParamTable::GetMeasureString(4, 2), "%Pred");
    EXPECT_EQ(CSpiroParamTable::GetMeasureString(2, 1), "Meas1");
    EXPECT_EQ(CSpiroParamTable::GetMeasureString(3, 0), "");
    EXPECT_EQ(CSpiroParamTable::GetMeasureString(1, 6), "");
}

TEST(SpiroParamTable, ErrorCodeCharactersOutsideTheirFieldGiveMinusOne) {
    CSpiroParamTable t;
    t.m_acEcode[0] = {'0', '1', 'A'};
    t.m_acEcode[7] = {'1', '1', '1'};
    EXPECT_EQ(t.GetEcodeValue(0, 0), 0);
    EXPECT_EQ(t.GetEcodeValue(0, 1), 1);
    EXPECT_EQ(t.GetEcodeValue(0, 2), -1);
    EXPECT_EQ(t.GetEcodeValue(7, 2), 1);
    EXPECT_EQ(t.GetEcodeValue(8, 0), -1);
    EXPECT_EQ(t.GetEcodeValue(-1, 0), -1);
    // Position 3 would be the next trial's first character: it is outside the field.
    t.m_acEcode[1] = {'1', '1', '1'};
    EXPECT_EQ(t.GetEcodeValue(0, 3), -1);
    EXPECT_EQ(t.GetEcodeValue(0, -1), -1);
}

TEST(SpiroPredictData, TypeOneInFormatsOneAndTwoReadsItsPredictedValuesBack) {
    // These formats keep only the first eleven predicted values (slots 35-45), which are
    // the type-1 slots 22-32; reading them back must give the graphs their values.
    for (int nFormat : {1, 2}) {
        CSpiroPredictData out;
        for (int n = 22; n <= 34; ++n) out.SetFloat(n, static_cast<float>(n));
        for (int n = 35; n <= 45; ++n) out.SetFloat(n, static_cast<float>(n - 13));
        std::vector<BYTE> image(spirofile::FileLength(1, nFormat));
        ASSERT_EQ(out.Write(image.data(), static_cast<DWORD>(image.size()), 1, nFormat), 0);
        CSpiroPredictData in;
        ASSERT_EQ(in.Read(image.data(), static_cast<DWORD>(image.size()), 1, nFormat), 0);
        EXPECT_EQ(in.GetPredicted(1, 0), 22.0f) << nFormat;
        EXPECT_EQ(in.GetPredicted(1, 8), 30.0f) << nFormat;
        EXPECT_EQ(in.GetPredicted(1, 15), 31.0f) << nFormat;
        EXPECT_EQ(in.GetFloat(32), 32.0f) << nFormat;  // the formula index
        EXPECT_EQ(in.GetPredicted(1, 12), 0.0f) << nFormat;  // slot 33 is not kept
        std::vector<BYTE> again(image.size());
        ASSERT_EQ(in.Write(again.data(), static_cast<DWORD>(again.size()), 1, nFormat), 0);
        EXPECT_EQ(again, image) << nFormat;
    }
}

TEST(SpiroPredictData, PredictedValuesAndFormula) {
    CSpiroTestFile file;
    for (int n = 22; n <= 45; ++n) {
        file.m_Predict.SetFloat(n, static_cast<float>(n));
    }
    EXPECT_EQ(file.m_Predict.GetPredicted(1, 0), 22.0f);
    EXPECT_EQ(file.m_Predict.GetPredicted(1, 8), 30.0f);
    EXPECT_EQ(file.m_Predict.GetPredicted(1, 10), 32.0f);
    EXPECT_EQ(file.m_Predict.GetPredicted(1, 15), 31.0f);
    EXPECT_EQ(file.m_Predict.GetPredicted(1, 14), 0.0f);
    EXPECT_EQ(file.m_Predict.GetPredicted(1, 16), 0.0f);
    EXPECT_EQ(file.m_Predict.GetPredicted(4, 5), 38.0f);
    EXPECT_EQ(file.m_Predict.GetPredicted(5, 14), 40.0f);
    EXPECT_EQ(file.m_Predict.GetPredicted(5, 1), 0.0f);
    EXPECT_EQ(file.m_Predict.GetPredicted(4, 15), 0.0f);
    EXPECT_EQ(file.m_Predict.GetPredicted(9, 1), 0.0f);

    file.m_Info.m_nTestType = 2;
    EXPECT_EQ(file.GetFormulaIndex(), -1);
    EXPECT_EQ(file.GetFormulaString(), "");
    file.m_Info.m_nTestType = 1;
    EXPECT_EQ(file.GetFormulaIndex(), 0);
    EXPECT_EQ(file.GetInformation(21), "Morris/Polgar");
    file.m_Info.m_nTestType = 4;
    file.m_Predict.SetFloat(45, 2.6f);
    EXPECT_EQ(file.GetFormulaString(), "ECCS/Quanjer");
    file.m_Predict.SetFloat(45, 5.0f);
    EXPECT_EQ(file.GetFormulaString(), "Pereira");
    file.m_Predict.SetFloat(45, 6.0f);
    EXPECT_EQ(file.GetFormulaString(), "");
    file.m_Predict.SetFloat(45, std::numeric_limits<float>::quiet_NaN());
    EXPECT_EQ(file.GetFormulaIndex(), -1);
    file.m_Predict.SetFloat(45, 1e30f);
    EXPECT_EQ(file.GetFormulaIndex(), -1);
}

TEST(SpiroText, FieldsAreCutWithoutSplittingADoubleByteCharacter) {
    testsupport::CCodePageScope scope("CP949");
    BYTE field[16];
    CString text = std::string(15, 'a') + "\xB0\xA1";
    spirotext::WriteField(field, 16, text);
    EXPECT_EQ(spirotext::ReadField(field, 16), std::string(15, 'a'));
    spirotext::WriteField(field, 16, std::string(14, 'a') + "\xB0\xA1");
    EXPECT_EQ(spirotext::ReadField(field, 16), std::string(14, 'a') + "\xB0\xA1");
    BYTE param[6];
    spirotext::FormatParam(param, 1234.567f);
    EXPECT_EQ(spirotext::ReadField(param, 6), "1234.5");
    EXPECT_FLOAT_EQ(spirotext::ParseParam(param), 1234.5f);
    spirotext::FormatParam(param, -0.5f);
    EXPECT_EQ(spirotext::ReadField(param, 6), "-0.50");
}

// A host whose process locale writes decimal commas (a Qt program takes the user's locale)
// must still read and write the file's parameter texts with a decimal point.
TEST(SpiroText, ParameterTextsIgnoreTheProcessLocale) {
    testsupport::CTempDir dir;
    int nStatus = -1;
    testsupport::RunCommand("localedef -i pt_BR -f UTF-8 " + (dir / "pt_BR.UTF-8") + " 2>&1",
                            &nStatus);
    testsupport::CEnvScope locPath("LOCPATH", dir.Path().c_str());
    if (nStatus != 0 || std::setlocale(LC_ALL, "pt_BR.UTF-8") == nullptr) {
        GTEST_SKIP() << "no decimal-comma locale to be had";
    }
    struct CRestore {
        ~CRestore() { std::setlocale(LC_ALL, "C"); }
    } restore;

    BYTE param[6];
    spirotext::FormatParam(param, 3.45f);
    EXPECT_EQ(spirotext::ReadField(param, 6), "3.45");
    const BYTE text[6] = {'2', '.', '7', '5', 0, 0};
    EXPECT_FLOAT_EQ(spirotext::ParseParam(text), 2.75f);

    CSpiroTestFile file;
    file.m_Predict.SetFloat(46, 1.25f);
    EXPECT_EQ(file.GetInformation(24), "1.25");
}
