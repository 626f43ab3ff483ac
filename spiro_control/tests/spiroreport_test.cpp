// Texts of the report page: patient fields by unit selector, pound flag, race and smoking;
// what each format shows; headings and the error-code row.
#include <gtest/gtest.h>

#include <QPainter>

#include "spiro_control/spiroexport.h"
#include "spiro_control/spiroreporttext.h"
#include "spirofixtures.h"
#include "testsupport/paintrecorder.h"

using testsupport::CPaintRecord;
using testsupport::CRecordingDevice;

namespace {

// Every text the page draws, in drawing order.
QStringList PageTexts(CSpiroTestFile& file, BOOL bDiagnosis = TRUE) {
    CSpiroExport exporter;
    exporter.Init(&file);
    exporter.SetTestType(file.GetTestType());
    exporter.m_bPrintDiagnosis = bDiagnosis;
    CRecordingDevice dev(600, 800);
    {
        QPainter dc(&dev);
        exporter.DrawReportPageOn(dc, 600, 800);
    }
    QStringList texts;
    for (const CPaintRecord& r : dev.Of(CPaintRecord::kText))
        texts << r.text;
    return texts;
}

TEST(SpiroReport, PatientFieldsByUnitPoundRaceAndSmoking) {
    struct Case {
        short nUnit;
        BOOL bPound;
        const char* szWeight;
        char cRace, cSmoker;
        const char* szHeight;
        const char* szWeightText;
        const char* szRace;
        const char* szSmoke;
    };
    const Case cases[] = {
        {0, FALSE, "70", 'O', 'N', "Height : 171 cm", "Weight : 70 Kg", "Race : Oriental",
         "Smoke : No"},
        {0, TRUE, "150", 'C', 'Y', "Height : 5 ft 7 inch", "Weight : 150 lbs", "Race : Caucasian",
         "Smoke : Yes ( Half pack/day : 12 years )"},
        {1, FALSE, "70", 'O', 'Y', "Height : 5 ft 7 inch", "Weight : 154 lbs", "Race : Asian",
         "Smoke : Yes ( Half pack/day : 12 years )"},
        {1, TRUE, "150", 'B', 'N', "Height : 5 ft 7 inch", "Weight : 150 lbs", "Race : Black",
         "Smoke : No"},
        {2, FALSE, "70.4", 'O', 0, "Height : 5 ft 7 inch", "Weight : 155 lbs", "Race : Asian",
         "Smoke : "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.szWeightText);
        auto pFile = spirotest::OpenFixture(spirotest::RandomFixture(1, 2));
        CSpiroTestInfo& info = pFile->m_Info;
        info.SetUnit(c.nUnit);
        info.m_bPound = c.bPound;
        info.m_strWeight = c.szWeight;
        info.m_strHeight = "171";
        info.m_cRace = c.cRace;
        info.m_cSmoker = c.cSmoker;
        const QStringList texts = PageTexts(*pFile);
        EXPECT_TRUE(texts.contains(c.szHeight)) << texts.join("|").toStdString();
        EXPECT_TRUE(texts.contains(c.szWeightText)) << texts.join("|").toStdString();
        EXPECT_TRUE(texts.contains(c.szRace));
        EXPECT_TRUE(texts.contains(c.szSmoke));
    }
}

TEST(SpiroReport, FormatZeroShowsNoExtrapolationNormalRangeOrErrorCodes) {
    for (int nFormat = 0; nFormat <= 2; ++nFormat) {
        SCOPED_TRACE(nFormat);
        auto pFile = spirotest::OpenFixture(spirotest::RandomFixture(1, nFormat));
        const QStringList texts = PageTexts(*pFile);
        const QString all = texts.join("|");
        EXPECT_TRUE(all.contains("FVC Prediction Formula : "));
        EXPECT_TRUE(all.contains("- Result : Moderate Obstruction"));
        EXPECT_EQ(all.contains("Extrapolate Volume : "), nFormat >= 1);
        EXPECT_EQ(all.contains("- Normal range : within 0.15L or 5% of FVC ("), nFormat >= 1);
        // The error-code row: entry 3 with the best trial's entry, then entries 0-2.
        EXPECT_EQ(texts.contains("11  101"), nFormat == 2);
        EXPECT_EQ(texts.contains("_010"), nFormat == 2);
    }
    // Without the diagnosis flag none of it.
    auto pFile = spirotest::OpenFixture(spirotest::RandomFixture(1, 2));
    EXPECT_FALSE(PageTexts(*pFile, FALSE).join("|").contains("FVC Prediction Formula"));
}

TEST(SpiroReport, HeadingsPastTheSixthAreCutToFiveCharacters) {
    auto pFile = spirotest::OpenFixture(spirotest::RandomFixture(5, 2));
    const QStringList texts = PageTexts(*pFile);
    for (int k = 0; k < 12; ++k) {
        const CString strFull = CSpiroParamTable::GetMeasureString(5, static_cast<short>(k));
        const CString strShown = spiroreport::Heading(5, k);
        EXPECT_EQ(strShown, k > 5 ? strFull.substr(0, 5) : strFull) << k;
        EXPECT_TRUE(texts.contains(QString::fromStdString(strShown))) << k;
    }
    EXPECT_TRUE(texts.contains("BASE"));
    EXPECT_TRUE(texts.contains("POST"));
    // Pre/post error codes: entry 7 with the best post trial's (entry 4), entry 3 with the
    // best base trial's (entry 1), then 4-6 and 0-2.
    EXPECT_TRUE(texts.contains("000 001")) << texts.join("|").toStdString();
    EXPECT_TRUE(texts.contains("11  101"));
    EXPECT_TRUE(texts.contains("_1B0"));
}

// A slow vital capacity or MVV test of format 2 has no error-code row: every row shows.
TEST(SpiroReport, SvcAndMvvOfFormatTwoShowEveryRow) {
    for (int nType : {2, 3}) {
        SCOPED_TRACE(nType);
        auto pFile = spirotest::OpenFixture(spirotest::RandomFixture(nType, 2));
        const QStringList texts = PageTexts(*pFile);
        const int nRows = CSpiroParamTable::GetParamCount(static_cast<short>(nType), 2);
        const CString strLast = spiroreport::Fixed(
            pFile->m_Param.GetParam(static_cast<short>(nType), static_cast<short>(nRows - 1), 0),
            2);
        EXPECT_TRUE(texts.contains(QString::fromStdString(strLast))) << strLast;
        EXPECT_FALSE(spiroreport::HasEcodeRow(*pFile));
    }
}

// Error-code entries outside 0..7 (a best trial of 0 or 9) print blanks, and an empty
// field prints blanks: no NUL cuts the text.
TEST(SpiroReport, ErrorCodeEntriesOutsideTheTableAreBlank) {
    auto pFile = spirotest::OpenFixture(spirotest::RandomFixture(1, 2));
    pFile->m_Info.m_nBestTrial = 0;
    auto row = spiroreport::EcodeRow(*pFile);
    ASSERT_FALSE(row.empty());
    EXPECT_EQ(row[0].strText, "11     ");
    pFile->m_Info.m_nBestTrial = 9;
    EXPECT_EQ(spiroreport::EcodeRow(*pFile)[0].strText, "11     ");
    EXPECT_EQ(spiroreport::Ecode(pFile->m_Param, 7), "   ");
    EXPECT_EQ(spiroreport::Ecode(pFile->m_Param, -1), "   ");
    const QStringList texts = PageTexts(*pFile);
    EXPECT_TRUE(texts.contains("11     "));
}

// Patient texts are cut to 25, 27 and 30 bytes on whole characters.
TEST(SpiroReport, PatientTextsCutOnWholeCharacters) {
    testsupport::CCodePageScope cp("CP949");
    auto pFile = spirotest::OpenFixture(spirotest::RandomFixture(1, 2));
    // "Pat-ID : " is 9 bytes; 15 ASCII then a double-byte character across the limit.
    pFile->m_Info.m_strID = "ABCDEFGHIJKLMNO\xB0\xA1";
    const QStringList texts = PageTexts(*pFile);
    EXPECT_TRUE(texts.contains("Pat-ID : ABCDEFGHIJKLMNO")) << texts.join("|").toStdString();
}

}  // namespace
