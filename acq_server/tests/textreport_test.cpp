// The text reports against files written line by line from their formats
// (data/reports/make_reports.py holds the same tables as the fakes below).
#include "acq_server/reports/ekgtextreport.h"
#include "acq_server/reports/spirotextreport.h"

#include <gtest/gtest.h>

#include <array>
#include <clocale>
#include <ctime>
#include <map>
#include <vector>

#include "testsupport/testsupport.h"

using namespace acq_reports;

namespace {

std::string Expected(const std::string& name) {
    return testsupport::ReadFile(std::string(REPORTS_DATA) + "/" + name);
}

// 2026/12/10 09:30 in local time, whatever the time zone.
std::time_t WriteTime() {
    std::tm tm{};
    tm.tm_year = 126;
    tm.tm_mon = 11;
    tm.tm_mday = 10;
    tm.tm_hour = 9;
    tm.tm_min = 30;
    tm.tm_isdst = -1;
    return std::mktime(&tm);
}

struct CEkgTable : IEkgReportValues {
    std::string time = "202603040506";
    std::string weight = "70";
    std::vector<std::string> statements = {"Normal Sinus Rhythm", "[ Normal ECG ]"};
    std::string GetTime() override { return time; }
    std::string GetMisc(int n) override {
        static const char* const kMisc[] = {"Dr. Lima", "Clinica Sol", "Corvane", "V1.00"};
        return n >= 0 && n < 4 ? kMisc[n] : "";
    }
    std::string GetPatientInfo(int n) override {
        if (n == 5) return weight;
        static const char* const kInfo[] = {"SIM001", "SIM PATIENT", "45", "Male", "170", "", "Hypertension"};
        return n >= 0 && n < 7 ? kInfo[n] : "";
    }
    short GetRhythmParam(int n) override {
        static const short kParam[] = {72, 160, 96, 380, 402, 45, -30, 60};
        return n >= 0 && n < 8 ? kParam[n] : 0;
    }
    short GetAnalysisCnt() override { return static_cast<short>(statements.size()); }
    std::string GetAnalysis(int n) override { return statements.at(static_cast<size_t>(n)); }
};

struct CSpiroTable : ISpiroReportValues {
    std::map<int, std::string> info = {
        {0, "SIM001"}, {1, "SIM PATIENT"}, {2, "45"},       {3, "Male"},     {4, "170"},
        {5, "70"},     {8, "10"},          {10, "2026"},    {11, "3"},       {12, "4"},
        {13, "5"},     {14, "6"},          {16, "Clinica Sol"}, {17, "Dr. Lima"}, {18, "Quiet"},
        {20, "Corvane"}, {22, "V1.00"},    {27, "0"}};
    short type = 1, version = 2, paramCount = 10;
    std::array<std::array<short, 3>, 8> ecode = {{{0, 1, 0}, {-1, -1, -1}, {1, 1, 0}, {0, 0, 1},
                                                  {1, 0, 0}, {-1, 0, 0}, {0, 0, 0}, {1, 1, 1}}};
    std::string GetInformation(int n) override { return info.count(n) ? info[n] : ""; }
    std::string GetRaceString() override { return "Caucasian"; }
    std::string GetSmokeString() override { return "Yes"; }
    std::string GetSmokePackString() override { return "One pack/day"; }
    std::string GetFormulaString() override { return "Knudson"; }
    std::string GetAnalysisString() override { return "Normal"; }
    std::string GetAnalysisStringPost() override { return "Mild obstruction"; }
    short GetTestType() override { return type; }
    short GetFileVersion() override { return version; }
    short GetParamCount(short, short) override { return paramCount; }
    float GetParam(short t, short r, short c) override {
        return static_cast<float>(r * 7 + c * 3 + t) * 0.25f - 4.0f;
    }
    short GetEcode(short t, short p) override {
        return t >= 0 && t < 8 && p >= 0 && p < 3 ? ecode[t][p] : -1;
    }
    short GetBestNo() override { return 1; }
    short GetBestNoPost() override { return 1; }
};

SReportSettings AllSections() {
    SReportSettings s;
    s.bJpeg = true;
    s.bPatient = s.bParam = s.bDiag = s.bHosp = true;
    return s;
}

const SReportFiles kEkgFiles = {"/data/EKG/SIM001_20260304050607.EKG",
                                "/data/JPEG/SIM001_20260304050607_ekg.jpg",
                                "/data/PDF/SIM001_20260304050607_ekg.pdf", "/data/DICOM/x_ekg.dcm"};

SReportFiles SpiroFiles(const std::string& record, const std::string& ext) {
    return {record, "/data/JPEG/x_" + ext + ".jpg", "/data/PDF/x_" + ext + ".pdf", "/data/DICOM/x.dcm"};
}

}  // namespace

TEST(EkgTextReport, MatchesTheFormats) {
    struct Case {
        const char* file;
        bool sections;
        const char* time;
        const char* weight;
        bool noStatements;
    } const cases[] = {
        {"ekg_all.txt", true, "202603040506", "70", false},
        {"ekg_none.txt", false, "202603040506", "70", false},
        // Pounds print as pounds; 170 cm is 5 ft 7 in; no statements: the count line "0".
        {"ekg_imperial.txt", true, "202603040506", "70L", true},
        // A short time text gives empty pieces.
        {"ekg_shorttime.txt", false, "20260", "70", false},
    };
    for (const Case& c : cases) {
        testsupport::CTempDir dir;
        CEkgTable values;
        values.time = c.time;
        values.weight = c.weight;
        if (c.noStatements) values.statements.clear();
        SReportSettings settings = AllSections();
        if (!c.sections) settings.bPatient = settings.bParam = settings.bDiag = settings.bHosp = false;
        settings.bPdf = false;  // switched off: the line stays empty
        settings.bDicom = false;
        const std::string path = dir / "r_ekg.txt";
        ASSERT_EQ(WriteEkgTextReport(path, values, settings, kEkgFiles, WriteTime()), 1) << c.file;
        EXPECT_EQ(testsupport::ReadFile(path), Expected(c.file)) << c.file;
    }
}

TEST(EkgTextReport, EmptyTimeTextGivesEmptyPieces) {
    testsupport::CTempDir dir;
    CEkgTable values;
    values.time.clear();
    ASSERT_EQ(WriteEkgTextReport(dir / "r_ekg.txt", values, {}, kEkgFiles, WriteTime()), 1);
    EXPECT_NE(testsupport::ReadFile(dir / "r_ekg.txt").find("- Test Time      = // :\r\r\n"),
              std::string::npos);
}

TEST(SpiroTextReport, MatchesTheFormats) {
    struct Case {
        const char* file;
        short type, version, paramCount;
        const char* record;
        const char* ext;
        const char* unitFlag;
        const char* weight;
    } const cases[] = {
        {"spiro_fvc.txt", 1, 2, 10, "/data/SPIRO/x.FVC", "fvc", "0", "70"},
        {"spiro_svc.txt", 2, 2, 5, "/data/SPIRO/x.svc", "svc", "0", "70"},
        // The MVV file line ends in a lone LF.
        {"spiro_mvv.txt", 3, 2, 3, "/data/SPIRO/x.mvv", "mvv", "0", "70"},
        // Format 2: fourteen rows and the error-code line ("_" for trial 1).
        {"spiro_fvl_v2.txt", 4, 2, 14, "/data/SPIRO/x.fvc", "fvc", "0", "70"},
        // Format 0: as many rows as the parameter table holds, no code line.
        {"spiro_fvl_v0.txt", 4, 0, 6, "/data/SPIRO/x.fvc", "fvc", "0", "70"},
        {"spiro_prepost.txt", 5, 2, 14, "/data/SPIRO/x.fvc", "fvc", "0", "70"},
        // No known type: no file line and no parameter table.
        {"spiro_type0.txt", 0, 2, 0, "/data/SPIRO/x.fvc", "fvc", "0", "70"},
        // The pound flag picks the imperial lines; the pounds print as stored.
        {"spiro_pounds.txt", 2, 2, 5, "/data/SPIRO/x.svc", "svc", "1", "150"},
    };
    for (const Case& c : cases) {
        testsupport::CTempDir dir;
        CSpiroTable values;
        values.type = c.type;
        values.version = c.version;
        values.paramCount = c.paramCount;
        values.info[27] = c.unitFlag;
        values.info[5] = c.weight;
        SReportSettings settings = AllSections();
        settings.bPdf = true;
        const std::string path = dir / "x.txt";
        ASSERT_EQ(WriteSpiroTextReport(path, values, settings, SpiroFiles(c.record, c.ext), WriteTime()), 1)
            << c.file;
        EXPECT_EQ(testsupport::ReadFile(path), Expected(c.file)) << c.file;
    }
}

TEST(SpiroInformationReport, MatchesTheFormats) {
    for (short type = 1; type <= 5; ++type) {
        CSpiroTable values;
        values.type = type;
        const std::string name = "info_" + std::to_string(type) + ".txt";
        EXPECT_EQ(SpiroInformationReportText(values), Expected(name)) << name;
    }
    CSpiroTable pounds;
    pounds.info[27] = "1";
    pounds.info[5] = "150";
    EXPECT_EQ(SpiroInformationReportText(pounds), Expected("info_pounds.txt"));

    testsupport::CTempDir dir;
    ASSERT_EQ(WriteSpiroInformationReport(dir / "i.txt", pounds), 1);
    EXPECT_EQ(testsupport::ReadFile(dir / "i.txt"), Expected("info_pounds.txt"));
}

// A host whose locale writes decimal commas (a Qt program takes the user's) changes no byte.
TEST(SpiroTextReport, DecimalPointWhateverTheLocale) {
    testsupport::CTempDir dir;
    int nStatus = -1;
    testsupport::RunCommand("localedef -i pt_BR -f UTF-8 " + (dir / "pt_BR.UTF-8") + " 2>&1", &nStatus);
    testsupport::CEnvScope locPath("LOCPATH", dir.Path().c_str());
    ASSERT_EQ(nStatus, 0);
    ASSERT_NE(std::setlocale(LC_ALL, "pt_BR.UTF-8"), nullptr);
    struct CRestore {
        ~CRestore() { std::setlocale(LC_ALL, "C"); }
    } restore;
    CSpiroTable values;
    values.type = 5;
    SReportSettings settings = AllSections();
    settings.bPdf = true;
    ASSERT_EQ(WriteSpiroTextReport(dir / "x.txt", values, settings,
                                   SpiroFiles("/data/SPIRO/x.fvc", "fvc"), WriteTime()),
              1);
    EXPECT_EQ(testsupport::ReadFile(dir / "x.txt"), Expected("spiro_prepost.txt"));
}

TEST(TextReports, UnwritableFolderWritesNothing) {
    testsupport::CTempDir dir;
    const std::string missing = dir / "no/such/folder/x_ekg.txt";
    CEkgTable ekg;
    EXPECT_EQ(WriteEkgTextReport(missing, ekg, AllSections(), kEkgFiles, WriteTime()), 0);
    CSpiroTable spiro;
    EXPECT_EQ(WriteSpiroTextReport(missing, spiro, AllSections(), SpiroFiles("x.fvc", "fvc"), WriteTime()), 0);
    EXPECT_EQ(WriteSpiroInformationReport(missing, spiro), 0);
    EXPECT_FALSE(testsupport::Exists(dir / "no"));
}
