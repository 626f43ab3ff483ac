// The ECG export against the real ECG control, held by the hosts' wrapper as a viewer holds
// it (registered from beside the program for a user without a control registry); the files
// judged by pydicom (dcmjudge.py), dciodvfy and dcmdump.
#include <dirent.h>

#include <QWidget>
#include <gtest/gtest.h>

#include "acq_server/dicom/ekgdicomexport.h"
#include "controlsources.h"
#include "dcmtest.h"
#include "platform/folders.h"
#include "platform/settings.h"

using testsupport::CTempDir;

namespace {
constexpr std::time_t kClock = 1700000000;

std::vector<std::string> Listing(const std::string& strDir) {
    std::vector<std::string> names;
    if (DIR* d = opendir(strDir.c_str())) {
        while (dirent* e = readdir(d)) {
            if (e->d_name[0] != '.') {
                names.emplace_back(e->d_name);
            }
        }
        closedir(d);
    }
    std::sort(names.begin(), names.end());
    return names;
}

class EkgDicomExportTest : public ::testing::Test {
protected:
    void SetUp() override {
        int nStatus = -1;
        testsupport::RunCommand(std::string(OXU_PYTHON " " EKG_FIXTURES_SCRIPT " ") +
                                    testsupport::ShellQuote(dir / "fx"),
                                &nStatus);
        ASSERT_EQ(nStatus, 0);
        std::string strError;
        ASSERT_TRUE(wavelin.Create(&parent, 0, &strError, CWavelin::kLibraryName)) << strError;
        pSource = std::make_unique<CWavelinDicomSource>(wavelin);
        settings.strProfileKey = "Corvane/Lindar";
        settings.clock = [] { return kClock; };
    }
    void TearDown() override {
        pSource.reset();
        wavelin.Destroy();
    }
    bool Open(const std::string& strName) {
        return wavelin.EKGOpenFile((dir / ("fx/" + strName)).c_str()) != FALSE;
    }
    int Counter(const char* pszName) {
        return platform::CSettingsStore(settings.strProfileKey).GetInt("Environment", pszName, 0);
    }

    CTempDir dir;
    testsupport::CEnvScope config{"XDG_CONFIG_HOME", (dir / "config").c_str()};
    // A scratch folder of this test's own, so that its listing shows only this test's files.
    bool bTmp = testsupport::WriteFile(dir / "tmp/.keep", "");
    testsupport::CEnvScope tmp{"TMPDIR", (dir / "tmp").c_str()};
    testsupport::CCodePageScope codepage{"CP1252"};
    testsupport::CEnvScope controlDir{"CORVANE_CONTROL_DIR", WAVELIN_DIR};
    QWidget parent;
    CWavelin wavelin;
    std::unique_ptr<CWavelinDicomSource> pSource;
    dicomexport::CExportSettings settings;
};

struct RecordCase {
    const char* file;
    const char* id;
    const char* date;
    const char* time;
    const char* weight;
};
const RecordCase kRecords[] = {
    {"server.ekg", "ID-4711", "20240314", "092601", "72.6"},    // pounds
    {"server60.raw", "ID-4711", "20240314", "092601", "72.6"},  // 6000 a lead
    {"engine.ksi", "", "", "", ""},                             // no time, no patient
    {"control.ekg", "0123456789ABCDEF", "19991231", "235901", "59.0"},
};

void PrintTo(const RecordCase& c, std::ostream* os) {
    *os << c.file;
}

class EkgDicomExportRecordTest : public EkgDicomExportTest,
                                 public ::testing::WithParamInterface<RecordCase> {};

// Each record in its three picture kinds.
TEST_P(EkgDicomExportRecordTest, BecomesAValidFileWithItsSamplesAndPicture) {
    const RecordCase& c = GetParam();
    const auto tempBefore = Listing(platform::PrivateTempDir());
    int nExport = 0;
    std::vector<std::string> judge;  // one run of the judge for every file
    auto add = [&](std::vector<std::string> command) {
        if (!judge.empty()) {
            judge.push_back("--");
        }
        judge.insert(judge.end(), command.begin(), command.end());
    };
    {
        ASSERT_TRUE(Open(c.file)) << c.file;
        const std::string strRecord = dir / ("fx/" + std::string(c.file));
        for (int nType : {0, 1, 2}) {
            ++nExport;
            const std::string n = std::to_string(nExport);
            const std::string strDcm = dir / (std::string(c.file) + n + ".dcm");
            CEkgDicomExport exp(settings);
            pSource->m_aPictures.clear();
            ASSERT_EQ(exp.MakeDicomFile(strDcm, *pSource, nType, strRecord), 1)
                << c.file << " " << nType;
            EXPECT_EQ(pSource->m_aPictures.size(), 1u);
            add({"attrs", strDcm, std::string("PatientID=") + c.id,
                 std::string("StudyDate=") + c.date, std::string("StudyTime=") + c.time,
                 "Modality=EC", std::string("PatientWeight") + (*c.weight ? "=" : "!") + c.weight,
                 "SOPClassUID=1.2.840.10008.5.1.4.1.1.7",
                 "StudyInstanceUID=1.2.840.2.3000.3." + n + ".1700000000",
                 "SeriesInstanceUID=1.2.840.2.3000.3." + n + "." + n + ".1700000000",
                 "SOPInstanceUID=1.2.840.2.3000.3." + n + "." + n + "." + n + ".1700000000",
                 "StudyID=" + n, "Manufacturer=Corvane Co., Ltd.",
                 "SoftwareVersions=Qar Server 1.16", "PatientBirthDate=", "ContentDate!"});
            add({"ecg", strDcm, strRecord});
            EXPECT_EQ(dcmtest::VerifyErrors(strDcm), "") << c.file << " " << nType;
            EXPECT_TRUE(dcmtest::DumpReads(strDcm)) << c.file;
            // The picture is the control's own, pixel for pixel or byte for byte.
            const std::string strPicture = dir / ("own" + n + (nType == 2 ? ".jpg" : ".bmp"));
            ASSERT_TRUE(nType == 2 ? wavelin.EKGMakeImage(strPicture.c_str(), 1, 3, 1, 1024, 0)
                                   : wavelin.EKGMakeImageBMP(strPicture.c_str(), 1, 3, 1, 1024, 0));
            if (nType == 2) {
                add({"jpeg", strDcm, strPicture});
            } else {
                add({"bmp", strDcm, strPicture, nType == 1 ? "rgb" : "grey"});
            }
        }
    }
    if (std::string(c.file) == "server.ekg") {
        add({"attrs", dir / "server.ekg1.dcm", "PatientName=J\xc3\xa9r\xc3\xb4me Dupont",
             "PatientSex=M", "PatientAge=057Y", "PatientSize=1.78",
             "ReferringPhysicianName=Dr. Weiss", "InstitutionName=Clinic Nord", "WindowCenter=128",
             "WindowWidth=256", "Columns=1024", "Rows=768"});
    }
    if (std::string(c.file) == "control.ekg") {
        add({"attrs", dir / "control.ekg1.dcm", "PatientSex=F", "PatientAge=104D", "PatientSize!"});
    }
    EXPECT_EQ(dcmtest::Judge(judge), "");
    // The pictures were private scratch files, and they are gone.
    EXPECT_EQ(Listing(platform::PrivateTempDir()), tempBefore);
}

INSTANTIATE_TEST_SUITE_P(Fixtures, EkgDicomExportRecordTest, ::testing::ValuesIn(kRecords),
                         [](const ::testing::TestParamInfo<RecordCase>& info) {
                             std::string s = info.param.file;
                             s.erase(std::remove(s.begin(), s.end(), '.'), s.end());
                             return s;
                         });

TEST_F(EkgDicomExportTest, WindowFromTheServerSettings) {
    platform::CSettingsStore server("Corvane/Qar Server");
    server.WriteInt("Environment", "DICOM WIN_WIDTH", 200);
    server.WriteInt("Environment", "DICOM WIN_CENTER", 90);
    platform::CSettingsStore(settings.strProfileKey)
        .WriteString("OXU DICOM Store SCU", "DICOM MODALITY EKG", "ECG");
    ASSERT_TRUE(Open("server.ekg"));
    CEkgDicomExport exp(settings);
    ASSERT_EQ(exp.MakeDicomFile(dir / "w.dcm", *pSource, 0, dir / "fx/server.ekg"), 1);
    EXPECT_TRUE(bTmp);
    EXPECT_EQ(dcmtest::Judge(
                  {"attrs", dir / "w.dcm", "WindowCenter=90", "WindowWidth=200", "Modality=ECG"}),
              "");
}

// A failed export makes no file, leaves no picture and still takes its three numbers.
TEST_F(EkgDicomExportTest, FailuresLeaveNothingAndAdvanceTheCounters) {
    ASSERT_TRUE(Open("server.ekg"));
    testsupport::WriteFile(dir / "out/b_ekg_dcm.bmp", "the user's own file");
    const auto tempBefore = Listing(platform::PrivateTempDir());
    const auto outBefore = Listing(dir / "out");
    struct Case {
        const char* name;
        std::string dcm;
        int nType;
        std::string record;
    } cases[] = {
        {"image type 3", dir / "out/b.dcm", 3, dir / "fx/server.ekg"},
        {"image type -1", dir / "out/b.dcm", -1, dir / "fx/server.ekg"},
        {"missing folder", dir / "out/none/b.dcm", 0, dir / "fx/server.ekg"},
        {"missing folder, JPEG", dir / "out/none/b.dcm", 2, dir / "fx/server.ekg"},
        {"record gone", dir / "out/b.dcm", 1, dir / "fx/gone.ekg"},
    };
    int nExpected = 0;
    for (const Case& c : cases) {
        CEkgDicomExport exp(settings);
        EXPECT_EQ(exp.MakeDicomFile(c.dcm, *pSource, c.nType, c.record), 0) << c.name;
        ++nExpected;
        EXPECT_EQ(Counter("DCM STUDY ID"), nExpected) << c.name;
        EXPECT_EQ(Counter("DCM SERIES ID"), nExpected) << c.name;
        EXPECT_EQ(Counter("DCM INSTANCE ID"), nExpected) << c.name;
        EXPECT_EQ(Listing(dir / "out"), outBefore) << c.name;
        EXPECT_EQ(Listing(platform::PrivateTempDir()), tempBefore) << c.name;
    }
    EXPECT_EQ(testsupport::ReadFile(dir / "out/b_ekg_dcm.bmp"), "the user's own file");
    // And a good export beside the user's file leaves it alone too.
    CEkgDicomExport exp(settings);
    EXPECT_EQ(exp.MakeDicomFile(dir / "out/b.dcm", *pSource, 0, dir / "fx/server.ekg"), 1);
    EXPECT_EQ(testsupport::ReadFile(dir / "out/b_ekg_dcm.bmp"), "the user's own file");
    EXPECT_EQ(Listing(dir / "out"), (std::vector<std::string>{"b.dcm", "b_ekg_dcm.bmp"}));
}

// Two exports in the same second differ by their counters.
TEST_F(EkgDicomExportTest, UidsDistinctWithinOneSecond) {
    ASSERT_TRUE(Open("server.ekg"));
    CEkgDicomExport a(settings), b(settings);
    ASSERT_EQ(a.MakeDicomFile(dir / "a.dcm", *pSource, 2, dir / "fx/server.ekg"), 1);
    ASSERT_EQ(b.MakeDicomFile(dir / "b.dcm", *pSource, 2, dir / "fx/server.ekg"), 1);
    EXPECT_NE(a.MakeInstanceUid(), b.MakeInstanceUid());
    EXPECT_NE(a.MakeStudyUid(), b.MakeStudyUid());
    EXPECT_EQ(dcmtest::Judge({"attrs", dir / "b.dcm", "SOPInstanceUID=" + b.MakeInstanceUid()}),
              "");
}
}  // namespace
