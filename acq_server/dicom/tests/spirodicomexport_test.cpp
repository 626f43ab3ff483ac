// The spirometry export against the real spirometry control, held by the hosts' wrapper as
// the spirometry viewer holds it; the files judged by pydicom (dcmjudge.py) against the test
// files read by its own code, and by dciodvfy.
#include <dirent.h>

#include <QWidget>
#include <gtest/gtest.h>

#include "acq_server/dicom/spirodicomexport.h"
#include "controlsources.h"
#include "dcmtest.h"
#include "platform/folders.h"
#include "platform/settings.h"

using testsupport::CTempDir;

namespace {
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

class SpiroDicomExportTest : public ::testing::Test {
protected:
    void SetUp() override {
        int nStatus = -1;
        testsupport::RunCommand(std::string(OXU_PYTHON " " SPIRO_FIXTURES_SCRIPT " ") +
                                    testsupport::ShellQuote(dir / "fx"),
                                &nStatus);
        ASSERT_EQ(nStatus, 0);
        settings.strProfileKey = "Corvane/Pulmetra";
        settings.clock = [] { return std::time_t{1700000000}; };
        std::string strError;
        ASSERT_TRUE(flowlin.Create(&parent, 0, &strError, CFlowlin::kLibraryName)) << strError;
    }
    void TearDown() override { flowlin.Destroy(); }
    // Opens a test of the fixtures in the control; its test type.
    short Open(const std::string& strPath) { return flowlin.Open(strPath.c_str(), 0); }

    CTempDir dir;
    testsupport::CEnvScope config{"XDG_CONFIG_HOME", (dir / "config").c_str()};
    bool bTmp = testsupport::WriteFile(dir / "tmp/.keep", "");
    testsupport::CEnvScope tmp{"TMPDIR", (dir / "tmp").c_str()};
    testsupport::CCodePageScope codepage{"CP1252"};
    testsupport::CEnvScope controlDir{"CORVANE_CONTROL_DIR", FLOWLIN_DIR};
    dicomexport::CExportSettings settings;
    QWidget parent;
    CFlowlin flowlin;
};

// Every kind of test, each saved under a plain name and under a name of another kind, in the
// three picture kinds: every curve sample, and the control's own picture.
TEST_F(SpiroDicomExportTest, EveryKindWithEveryCurveSampleAndTheControlsPicture) {
    struct Case {
        const char* test;
        const char* channels;
        const char* samples;
    } cases[] = {
        {"spiro_t1_f0.fvc", "12", "1500"}, {"spiro_t5_f1.fvc", "12", "1500"},
        {"spiro_t4_f2.fvc", "12", "1500"}, {"spiro_t2_f0.svc", "3", "8000"},
        {"spiro_t3_f1.mvv", "1", "2400"},
    };
    ASSERT_TRUE(bTmp);
    const auto tempBefore = Listing(platform::PrivateTempDir());
    std::vector<std::string> judge;
    auto add = [&](std::vector<std::string> command) {
        if (!judge.empty()) {
            judge.push_back("--");
        }
        judge.insert(judge.end(), command.begin(), command.end());
    };
    int nExport = 0;
    for (const Case& c : cases) {
        const std::string strTest = dir / ("fx/" + std::string(c.test));
        ASSERT_GT(Open(strTest), 0) << c.test;
        for (const char* pszName : {"exam.dcm", "x_FVC.dcm"}) {
            const int nType = nExport++ % 3;
            const std::string n = std::to_string(nExport);
            const std::string strDcm = dir / (n + "/" + pszName);
            testsupport::WriteFile(dir / (n + "/.keep"), "");
            CFlowlinDicomSource source(flowlin);
            CSpiroDicomExport exp(settings);
            ASSERT_EQ(exp.MakeDicomFile(strTest, strDcm, source, nType), 1)
                << c.test << " " << pszName;
            EXPECT_EQ(source.m_aPictures.size(), 1u);
            EXPECT_EQ(dcmtest::VerifyErrors(strDcm), "") << c.test << " " << nType;
            add({"spiro", strDcm, strTest});
            add({"attrs", strDcm,
                 std::string("WaveformSequence[0].NumberOfWaveformChannels=") + c.channels,
                 std::string("WaveformSequence[0].NumberOfWaveformSamples=") + c.samples,
                 "WaveformSequence[0].SamplingFrequency=200", "StudyDate=20260314",
                 "StudyTime=092601", "Modality=PR", "PatientSex=M", "PatientAge=047Y",
                 "StudyDescription=SPIRO", "Columns=768", "Rows=1024"});
            // The same page as the control saves it itself.
            const std::string strPicture = dir / ("own" + n + (nType == 2 ? ".jpg" : ".bmp"));
            if (nType == 2) {
                ASSERT_EQ(flowlin.SaveJPEG(strPicture.c_str(), 768), 0);
                add({"jpeg", strDcm, strPicture});
            } else {
                ASSERT_EQ(flowlin.SaveBMP(strPicture.c_str(), 768), 0);
                add({"bmp", strDcm, strPicture, nType == 1 ? "rgb" : "grey"});
            }
        }
    }
    EXPECT_EQ(dcmtest::Judge(judge), "");
    EXPECT_EQ(Listing(platform::PrivateTempDir()), tempBefore);
}

// The control's own date text with a one-digit month is no date.
TEST_F(SpiroDicomExportTest, OneDigitMonthGivesNoDate) {
    ASSERT_GT(Open(dir / "fx/spiro_t1_f0.fvc"), 0);
    flowlin.SetInformation(11, "3");
    ASSERT_EQ(flowlin.GetInformation(11), "3");
    CFlowlinDicomSource source(flowlin);
    CSpiroDicomExport exp(settings);
    ASSERT_EQ(exp.MakeDicomFile(dir / "fx/spiro_t1_f0.fvc", dir / "m.dcm", source, 1), 1);
    EXPECT_EQ(
        dcmtest::Judge({"attrs", dir / "m.dcm", "StudyDate=", "StudyTime=092601", "SeriesDate!",
                        "InstitutionName=City Clinic", "ReferringPhysicianName=Dr. Kim"}),
        "");
    EXPECT_EQ(dcmtest::VerifyErrors(dir / "m.dcm"), "");
}

TEST_F(SpiroDicomExportTest, FailuresTouchNoFile) {
    testsupport::WriteFile(dir / "out/x_FVC.dcm", "earlier");
    testsupport::WriteFile(dir / "out/x_dcm_temp.bmp", "the user's own file");
    const auto tempBefore = Listing(platform::PrivateTempDir());
    const auto outBefore = Listing(dir / "out");
    const std::string strFvc = dir / "fx/spiro_t1_f0.fvc";
    struct Case {
        const char* name;
        int nType;
        std::string test;
        bool bHeld;  // the control holds the FVC test
    } cases[] = {
        {"image type 5", 5, strFvc, true},
        {"image type 3", 3, strFvc, true},
        {"no test in the control", 1, strFvc, false},
        {"test file gone", 1, dir / "fx/gone.fvc", true},
        {"test file of another kind", 2, dir / "fx/spiro_t2_f0.svc", true},
    };
    for (const Case& c : cases) {
        if (c.bHeld) {
            ASSERT_EQ(Open(strFvc), 1) << c.name;
        } else {
            flowlin.Clear();
        }
        CFlowlinDicomSource source(flowlin);
        CSpiroDicomExport exp(settings);
        EXPECT_EQ(exp.MakeDicomFile(c.test, dir / "out/x_FVC.dcm", source, c.nType), 0) << c.name;
        EXPECT_TRUE(source.m_aPictures.empty()) << c.name;
        EXPECT_EQ(Listing(dir / "out"), outBefore) << c.name;
        EXPECT_EQ(testsupport::ReadFile(dir / "out/x_FVC.dcm"), "earlier") << c.name;
        EXPECT_EQ(Listing(platform::PrivateTempDir()), tempBefore) << c.name;
    }
    EXPECT_EQ(testsupport::ReadFile(dir / "out/x_dcm_temp.bmp"), "the user's own file");
}
}  // namespace
