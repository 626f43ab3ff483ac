// The spirometry export: the control's part is played by the test record library (the
// test file read by the spirometry reader) and a picture the test draws itself.
#include <dirent.h>

#include <QImage>
#include <QPainter>
#include <gtest/gtest.h>

#include <map>

#include "acq_server/dicom/spirodicomexport.h"
#include "dcmtest.h"
#include "platform/folders.h"
#include "platform/settings.h"
#include "spiro_control/spirotestfile.h"

using testsupport::CTempDir;

namespace {
class CRecordSource : public ISpiroDicomSource {
public:
    explicit CRecordSource(const std::string& strTest) { nOpen = test.Open(strTest, 0); }
    CString GetInformation(short n) override {
        auto it = overrides.find(n);
        return it != overrides.end() ? it->second : test.GetInformation(n);
    }
    short GetTestType() override { return test.GetTestType(); }
    short SaveBMP(const CString& strPath, short nWidth) override { return Save(strPath, nWidth, "BMP"); }
    short SaveJPEG(const CString& strPath, short nWidth) override { return Save(strPath, nWidth, "JPEG"); }

    short Save(const CString& strPath, short nWidth, const char* pszFormat) {
        QImage image(nWidth, nWidth * 3 / 4, QImage::Format_RGB32);
        image.fill(Qt::white);
        QPainter painter(&image);
        painter.setPen(QPen(Qt::blue, 3));
        painter.drawLine(10, 10, nWidth - 10, nWidth * 3 / 4 - 10);
        painter.fillRect(40, 40, 120, 60, QColor(200, 30, 90));
        painter.end();
        aPictures.push_back(strPath);
        return image.save(QString::fromStdString(strPath), pszFormat, 75) ? 0 : -1;
    }

    CSpiroTestFile test;
    short nOpen = 0;
    std::map<short, CString> overrides;
    std::vector<std::string> aPictures;
};

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
    }
    CTempDir dir;
    testsupport::CEnvScope config{"XDG_CONFIG_HOME", (dir / "config").c_str()};
    bool bTmp = testsupport::WriteFile(dir / "tmp/.keep", "");
    testsupport::CEnvScope tmp{"TMPDIR", (dir / "tmp").c_str()};
    testsupport::CCodePageScope codepage{"CP1252"};
    dicomexport::CExportSettings settings;
};

TEST_F(SpiroDicomExportTest, EveryKindWithEveryCurveSample) {
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
    int nExport = 0;
    for (const Case& c : cases) {
        const std::string strTest = dir / ("fx/" + std::string(c.test));
        for (const char* pszName : {"exam.dcm", "x_FVC.dcm"}) {
            const int nType = nExport++ % 3;
            CRecordSource source(strTest);
            ASSERT_GT(source.nOpen, 0) << c.test;
            const std::string strDcm = dir / (std::to_string(nExport) + "/" + pszName);
            testsupport::WriteFile(dir / (std::to_string(nExport) + "/.keep"), "");
            CSpiroDicomExport exp(settings);
            ASSERT_EQ(exp.MakeDicomFile(strTest, strDcm, source, nType), 1) << c.test << " " << pszName;
            EXPECT_EQ(source.aPictures.size(), 1u);
            EXPECT_EQ(dcmtest::VerifyErrors(strDcm), "") << c.test << " " << nType;
            for (std::vector<std::string> command :
                 {std::vector<std::string>{"spiro", strDcm, strTest},
                  std::vector<std::string>{
                      "attrs", strDcm,
                      std::string("WaveformSequence[0].NumberOfWaveformChannels=") + c.channels,
                      std::string("WaveformSequence[0].NumberOfWaveformSamples=") + c.samples,
                      "WaveformSequence[0].SamplingFrequency=200", "StudyDate=20260314",
                      "StudyTime=092601", "Modality=PR", "PatientSex=M", "PatientAge=047Y",
                      "StudyDescription=SPIRO", nType == 2 ? "Columns=768" : "Rows=576"}}) {
                if (!judge.empty()) {
                    judge.push_back("--");
                }
                judge.insert(judge.end(), command.begin(), command.end());
            }
        }
    }
    EXPECT_EQ(dcmtest::Judge(judge), "");
    EXPECT_EQ(Listing(platform::PrivateTempDir()), tempBefore);
}

TEST_F(SpiroDicomExportTest, PictureEqualsWhatTheControlDrew) {
    for (int nType : {0, 1}) {
        CRecordSource source(dir / "fx/spiro_t2_f1.svc");
        // Keep a copy of the picture as the control made it.
        struct CKeep : CRecordSource {
            using CRecordSource::CRecordSource;
            std::string strCopy;
            short SaveBMP(const CString& p, short w) override {
                const short n = Save(p, w, "BMP");
                testsupport::WriteFile(strCopy, testsupport::ReadFile(p));
                return n;
            }
        } keep(dir / "fx/spiro_t2_f1.svc");
        keep.strCopy = dir / "copy.bmp";
        CSpiroDicomExport exp(settings);
        ASSERT_EQ(exp.MakeDicomFile(dir / "fx/spiro_t2_f1.svc", dir / "p.dcm", keep, nType), 1);
        EXPECT_EQ(dcmtest::Judge({"bmp", dir / "p.dcm", dir / "copy.bmp", nType ? "rgb" : "grey"}), "");
    }
}

TEST_F(SpiroDicomExportTest, OneDigitMonthGivesNoDate) {
    CRecordSource source(dir / "fx/spiro_t1_f0.fvc");
    source.overrides[11] = "3";
    CSpiroDicomExport exp(settings);
    ASSERT_EQ(exp.MakeDicomFile(dir / "fx/spiro_t1_f0.fvc", dir / "m.dcm", source, 1), 1);
    EXPECT_EQ(dcmtest::Judge({"attrs", dir / "m.dcm", "StudyDate=", "StudyTime=092601", "SeriesDate!",
                              "InstitutionName=City Clinic", "ReferringPhysicianName=Dr. Kim"}), "");
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
        short nForcedType;  // 0: the record's own
    } cases[] = {
        {"image type 5", 5, strFvc, 0},
        {"image type 3", 3, strFvc, 0},
        {"no test in the control", 1, strFvc, -1},
        {"test file gone", 1, dir / "fx/gone.fvc", 0},
        {"test file of another kind", 2, dir / "fx/spiro_t2_f0.svc", 0},
    };
    for (const Case& c : cases) {
        struct CForced : CRecordSource {
            using CRecordSource::CRecordSource;
            short nType = 0;
            short GetTestType() override { return nType < 0 ? 0 : nType ? nType : test.GetTestType(); }
        } source(strFvc);
        source.nType = c.nForcedType;
        CSpiroDicomExport exp(settings);
        EXPECT_EQ(exp.MakeDicomFile(c.test, dir / "out/x_FVC.dcm", source, c.nType), 0) << c.name;
        EXPECT_TRUE(source.aPictures.empty()) << c.name;
        EXPECT_EQ(Listing(dir / "out"), outBefore) << c.name;
        EXPECT_EQ(testsupport::ReadFile(dir / "out/x_FVC.dcm"), "earlier") << c.name;
        EXPECT_EQ(Listing(platform::PrivateTempDir()), tempBefore) << c.name;
    }
    EXPECT_EQ(testsupport::ReadFile(dir / "out/x_dcm_temp.bmp"), "the user's own file");
}
}  // namespace
