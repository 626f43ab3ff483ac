// The pieces both exports share: counters, UIDs, date and time texts, values.
#include <gtest/gtest.h>

#include "acq_server/dicom/dicomexportcommon.h"
#include "platform/settings.h"
#include "testsupport/testsupport.h"

using namespace dicomexport;

namespace {
TEST(DicomExportCommon, DateTextsWithoutLocale) {
    struct Case {
        const char* text;
        const char* date;  // "" = invalid
    } cases[] = {
        {"20240314", "20240314"}, {"202403140926", "20240314"},
        {"2024031", "20240301"},  // the template is cut after one day digit
        {"", ""},           {"2024", ""},        {"00000000", ""},  {"20240230", ""},
        {"2024314", ""},    // a one-digit month shifts the day into the month
        {"19991231", "19991231"}, {"2024a314", ""},
    };
    for (const Case& c : cases) {
        const CDcmDateTime dt = ParseDate(c.text);
        EXPECT_EQ(dt.DicomDate(), c.date) << c.text;
        EXPECT_EQ(dt.IsValid(), *c.date != '\0') << c.text;
    }
}

TEST(DicomExportCommon, TimeTexts) {
    struct Case {
        const char* text;
        const char* time;
    } cases[] = {
        {"0926", "092601"}, {"092633", "092633"}, {"09263", "092603"}, {"", ""},
        {"2460", ""},       {"9", ""},            {"0000", "000001"}, {"12", ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ParseTime(c.text).DicomTime(), c.time) << c.text;
    }
}

TEST(DicomExportCommon, CountersAndUids) {
    testsupport::CTempDir dir;
    testsupport::CEnvScope env("XDG_CONFIG_HOME", dir.Path().c_str());
    const std::string strKey = "Corvane/Lindar";
    platform::CSettingsStore(strKey).WriteInt("Environment", "DCM SERIES ID", 41);
    const CExportIds a = NextIds(strKey);
    EXPECT_EQ(a.nStudy, 1);
    EXPECT_EQ(a.nSeries, 42);
    EXPECT_EQ(a.nInstance, 1);
    const CExportIds b = NextIds(strKey);
    EXPECT_EQ(b.nStudy, 2);
    EXPECT_EQ(MakeStudyUid(b, 1700000000), "1.2.840.2.3000.3.2.1700000000");
    EXPECT_EQ(MakeSeriesUid(b, 1700000000), "1.2.840.2.3000.3.2.43.1700000000");
    EXPECT_EQ(MakeInstanceUid(b, 1700000000), "1.2.840.2.3000.3.2.43.2.1700000000");
    EXPECT_NE(MakeInstanceUid(a, 1700000000), MakeInstanceUid(b, 1700000000));
}

TEST(DicomExportCommon, ValuesInTheirDicomForms) {
    EXPECT_EQ(DicomAge("57", "0"), "057Y");
    EXPECT_EQ(DicomAge("3", "1"), "003W");
    EXPECT_EQ(DicomAge("12", "2"), "012D");
    EXPECT_EQ(DicomAge("", "0"), "");
    EXPECT_EQ(DicomAge("abc", "0"), "");
    EXPECT_EQ(DicomHeight("178"), "1.78");
    EXPECT_EQ(DicomHeight(""), "");
    EXPECT_EQ(DicomHeight("5ft7"), "");
    EXPECT_EQ(DicomWeight("72"), "72.0");
    EXPECT_EQ(DicomWeight("160L"), "72.6");  // pounds
    EXPECT_EQ(DicomWeight("x"), "");
    EXPECT_EQ(FirstCharacter("Male"), "M");
    EXPECT_EQ(FirstCharacter(""), "");
}
}  // namespace
