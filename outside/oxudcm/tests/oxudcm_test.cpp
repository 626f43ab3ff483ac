// The DICOM file builder: objects judged by pydicom (dcmjudge.py), dciodvfy and dcmdump.
#include <dirent.h>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include "dcmtest.h"
#include "dcmtk/config/osconfig.h"
#include "dcmtk/dcmdata/dcdeftag.h"
#include "oxudcm/dcmtkdicomfile.h"

using testsupport::CTempDir;

namespace {
constexpr const char* kSc = "1.2.840.10008.5.1.4.1.1.7";
constexpr const char* kEcg12 = "1.2.840.10008.5.1.4.1.1.9.1.1";

// A record file in the ECG layout: 12 lead blocks of 5000 samples and 100 zeros.
std::string MakeRecord(const std::string& strPath) {
    std::string s(12 * 5100 * 2 + 10000, '\0');
    for (int lead = 0; lead < 12; ++lead) {
        for (int k = 0; k < 5000; ++k) {
            const int v = ((lead * 977 + k * 31) % 4001) - 2000;
            const std::size_t at = 2 * static_cast<std::size_t>(lead * 5100 + k);
            s[at] = static_cast<char>(v & 0xFF);
            s[at + 1] = static_cast<char>((v >> 8) & 0xFF);
        }
    }
    // Sample 100 of leads I-aVR spells the bytes E0 7F 10 00 4F 42 00 00 (a Pixel Data tag
    // with VR "OB") inside the waveform: a writer that patched the first such run after
    // saving would corrupt these samples.
    const int anRun[4] = {0x7FE0, 0x0010, 0x424F, 0x0000};
    for (int lead = 0; lead < 4; ++lead) {
        const std::size_t at = 2 * static_cast<std::size_t>(lead * 5100 + 100);
        s[at] = static_cast<char>(anRun[lead] & 0xFF);
        s[at + 1] = static_cast<char>(anRun[lead] >> 8);
    }
    testsupport::WriteFile(strPath, s);
    return s;
}

std::vector<std::uint8_t> Interleave(const std::string& rec) {
    std::vector<std::uint8_t> ab;
    ab.reserve(120000);
    for (int k = 0; k < 5000; ++k) {
        for (int lead = 0; lead < 12; ++lead) {
            const std::size_t at = 2 * static_cast<std::size_t>(lead * 5100 + k);
            ab.push_back(static_cast<std::uint8_t>(rec[at]));
            ab.push_back(static_cast<std::uint8_t>(rec[at + 1]));
        }
    }
    return ab;
}

struct CObject {
    CDcmDataPatient patient;
    CDcmDataStudy study;
    CDcmDataSeries series;
    CDcmDataInstance instance;
    CDcmDataWaveform wave;

    CObject(const char* pszClass, const std::vector<std::uint8_t>& abSamples) {
        patient.m_strPatientId = "ID-4711";
        patient.m_strName = "J\xe9r\xf4me Dupont";  // CP1252
        patient.m_dtBirthDate = CDcmDateTime::Invalid();
        patient.m_strSex = "Male";
        study.m_strStudyUid = "1.2.840.2.3000.3.1.1700000000";
        study.m_dtStudyDate = CDcmDateTime::Date(2024, 3, 14);
        study.m_dtStudyTime = CDcmDateTime::Time(9, 26, 1);
        study.m_strReferringPhysician = "Dr. Weiss";
        study.m_strStudyId = "1";
        study.m_strDescription = "EKG";
        study.m_strPatientAge = "57";
        study.m_strPatientSize = "1.78";
        study.m_strPatientWeight = "72.57";
        series.m_strModality = "EC";
        series.m_strSeriesUid = "1.2.840.2.3000.3.1.1.1700000000";
        series.m_strSeriesNumber = "1";
        series.m_dtSeriesDate = study.m_dtStudyDate;
        series.m_dtSeriesTime = study.m_dtStudyTime;
        series.m_strManufacturer = "Corvane Co., Ltd.";
        series.m_strInstitution = "Clinic Nord";
        series.m_strSoftwareVersions = "Qar Server 1.16";
        instance.m_strInstanceNumber = "1";
        instance.m_dtContentDate = CDcmDateTime::Invalid();
        instance.m_dtContentTime = CDcmDateTime::Invalid();
        instance.m_dtAcquisition = CDcmDateTime::Time(9, 26, 1);
        instance.m_strSopClassUid = pszClass;
        instance.m_strSopInstanceUid = "1.2.840.2.3000.3.1.1.1.1700000000";
        wave.SetOriginality("ORIGIN");
        wave.SetChannelNo(12);
        wave.SetSamplesNo(5000);
        wave.SetSampleFrequency(500);
        wave.SetWFBitsAllocated(16);
        wave.SetSampleInterpretation("SS");
        wave.SetWaveLength(120000);
        wave.SetWaveformData(abSamples);
    }
    void AddTo(CDcmTkEcgData& data) const {
        data.AddPatientData(patient);
        data.AddStudyData(study);
        data.AddSeriesData(series);
        data.AddInstanceData(instance);
        data.AddWaveformData(wave);
    }
};

std::vector<std::string> Listing(const std::string& strDir) {
    std::vector<std::string> names;
    if (DIR* d = opendir(strDir.c_str())) {
        while (dirent* e = readdir(d)) {
            if (std::string(e->d_name) != "." && std::string(e->d_name) != "..") {
                names.emplace_back(e->d_name);
            }
        }
        closedir(d);
    }
    std::sort(names.begin(), names.end());
    return names;
}

class OxuDcmTest : public ::testing::Test {
protected:
    CTempDir dir;
    testsupport::CCodePageScope codepage{"CP1252"};
    std::string rec = MakeRecord(dir / "rec.ekg");
};

TEST_F(OxuDcmTest, SecondaryCaptureWithBitmapAndWaveform) {
    testsupport::WriteFile(dir / "p.bmp", dcmtest::MakeBmp(37, 21));
    for (int nKind : {0, 1}) {
        CDcmTkEcgData data;
        CObject obj(kSc, Interleave(rec));
        obj.AddTo(data);
        ASSERT_EQ(data.AddBMPFile((dir / "p.bmp").c_str(), nKind, 128, 256), 1) << data.GetLastError();
        const std::string strFile = dir / ("k" + std::to_string(nKind) + ".dcm");
        ASSERT_EQ(data.SaveAs(strFile.c_str(), 2, 0), 1) << data.GetLastError();
        EXPECT_EQ(dcmtest::Judge({"attrs", strFile, "PatientName=J\xc3\xa9r\xc3\xb4me Dupont",
                                  "PatientID=ID-4711", "PatientSex=M", "PatientBirthDate=",
                                  "StudyDate=20240314", "StudyTime=092601", "Modality=EC",
                                  "SpecificCharacterSet=ISO_IR 192", "PatientAge=057Y",
                                  "ContentDate!", "AcquisitionDateTime!", "SOPClassUID=" + std::string(kSc),
                                  "WaveformSequence[0].SamplingFrequency=500",
                                  "WaveformSequence[0].WaveformOriginality=ORIGINAL",
                                  "WaveformSequence[0].ChannelDefinitionSequence[2].ChannelSourceSequence[0].CodeValue=5.6.3-9-61",
                                  "WaveformSequence[0].ChannelDefinitionSequence[0].ChannelSensitivity=2.44140625"}),
                  "");
        EXPECT_EQ(dcmtest::Judge({"ecg", strFile, dir / "rec.ekg"}), "");
        EXPECT_EQ(dcmtest::Judge({"bmp", strFile, dir / "p.bmp", nKind ? "rgb" : "grey"}), "");
        if (nKind == 0) {
            EXPECT_EQ(dcmtest::Judge({"attrs", strFile, "WindowCenter=128", "WindowWidth=256"}), "");
        }
        EXPECT_EQ(dcmtest::VerifyErrors(strFile), "");
        EXPECT_TRUE(dcmtest::DumpReads(strFile));
    }
}

TEST_F(OxuDcmTest, JpegStaysOneFragmentUnderBaselineWhateverTheChoice) {
    ASSERT_TRUE(dcmtest::MakeJpeg(dir / "p.jpg", 101, 75));
    for (int nChoice : {4, 2}) {
        CDcmTkEcgData data;
        CObject(kSc, Interleave(rec)).AddTo(data);
        ASSERT_EQ(data.AddJpegFile((dir / "p.jpg").c_str()), 1) << data.GetLastError();
        const std::string strFile = dir / ("j" + std::to_string(nChoice) + ".dcm");
        ASSERT_EQ(data.SaveAs(strFile.c_str(), nChoice), 1) << data.GetLastError();
        EXPECT_EQ(dcmtest::Judge({"jpeg", strFile, dir / "p.jpg"}), "");
        EXPECT_EQ(dcmtest::Judge({"attrs", strFile, "Rows=75", "Columns=101"}), "");
        EXPECT_EQ(dcmtest::VerifyErrors(strFile), "");
        EXPECT_TRUE(dcmtest::DumpReads(strFile));
    }
}

// The server library's object: 12-lead ECG waveform storage, with or without the report
// picture beside the waveform.
TEST_F(OxuDcmTest, TwelveLeadWaveformObject) {
    ASSERT_TRUE(dcmtest::MakeJpeg(dir / "p.jpg", 64, 48));
    for (bool bPicture : {false, true}) {
        CDcmTkEcgData data;
        CObject obj(kEcg12, Interleave(rec));
        obj.series.m_strModality = "ECG";
        obj.instance.m_dtAcquisition = CDcmDateTime::DateTime(2024, 3, 14, 9, 26, 1);
        obj.AddTo(data);
        if (bPicture) {
            ASSERT_EQ(data.AddJpegFile((dir / "p.jpg").c_str()), 1);
        }
        const std::string strFile = dir / (bPicture ? "wj.dcm" : "w.dcm");
        ASSERT_EQ(data.SaveAs(strFile.c_str(), 2), 1) << data.GetLastError();
        EXPECT_EQ(dcmtest::Judge({"ecg", strFile, dir / "rec.ekg", "--", "attrs", strFile,
                                  "ContentDate=20240314", "ContentTime=092601",
                                  "AcquisitionDateTime=20240314092601",
                                  bPicture ? "Rows=48" : "PixelData!"}),
                  "");
        EXPECT_EQ(dcmtest::VerifyErrors(strFile), "") << bPicture;
    }
}

// Every failure leaves the folder as it was: no target, no temporary file, an earlier file
// of the same name untouched.
TEST_F(OxuDcmTest, FailedSavesLeaveNothingBehind) {
    testsupport::WriteFile(dir / "p.bmp", dcmtest::MakeBmp(8, 8));
    testsupport::WriteFile(dir / "keep.dcm", "earlier");
    struct Case {
        const char* name;
        int nTransfer;
        void (*change)(CObject&);
        bool bPicture;
    } cases[] = {
        {"transfer choice 3", 3, [](CObject&) {}, true},
        {"transfer choice 0", 0, [](CObject&) {}, true},
        {"32-bit samples called SS", 2, [](CObject& o) { o.wave.SetWFBitsAllocated(32); }, true},
        {"length not matching the counts", 2, [](CObject& o) { o.wave.SetWaveLength(119998); }, true},
        {"no study UID", 2, [](CObject& o) { o.study.m_strStudyUid.clear(); }, true},
        {"bad UID", 2, [](CObject& o) { o.instance.m_strSopInstanceUid = "1.2.x"; }, true},
        {"secondary capture without picture", 2, [](CObject&) {}, false},
    };
    const auto before = Listing(dir.Path());
    for (const Case& c : cases) {
        CDcmTkEcgData data;
        CObject obj(kSc, Interleave(rec));
        c.change(obj);
        obj.AddTo(data);
        if (c.bPicture) {
            ASSERT_EQ(data.AddBMPFile((dir / "p.bmp").c_str(), 1, 128, 256), 1);
        }
        EXPECT_EQ(data.SaveAs((dir / "keep.dcm").c_str(), c.nTransfer), 0) << c.name;
        EXPECT_FALSE(data.GetLastError().empty()) << c.name;
        EXPECT_EQ(Listing(dir.Path()), before) << c.name;
        EXPECT_EQ(testsupport::ReadFile(dir / "keep.dcm"), "earlier") << c.name;
    }
    CDcmTkEcgData data;
    CObject(kSc, Interleave(rec)).AddTo(data);
    EXPECT_EQ(data.AddBMPFile((dir / "missing.bmp").c_str(), 1, 128, 256), 0);
    EXPECT_EQ(data.AddBMPFile((dir / "p.bmp").c_str(), 2, 128, 256), 0);
    EXPECT_EQ(data.AddJpegFile((dir / "p.bmp").c_str()), 0);
    EXPECT_EQ(data.SaveAs((dir / "nofolder/x.dcm").c_str(), 2), 0);
    EXPECT_EQ(Listing(dir.Path()), before);
}

TEST_F(OxuDcmTest, DamagedBitmapsAreRefused) {
    std::string good = dcmtest::MakeBmp(16, 16);
    struct Case {
        const char* name;
        std::string bytes;
    } cases[] = {
        {"cut short", good.substr(0, good.size() - 1)},
        {"header only", good.substr(0, 54)},
        {"huge width", [&] { std::string s = good; s[21] = 0x7F; return s; }()},
        {"pixel offset past the end", [&] { std::string s = good; s[12] = 0x7F; return s; }()},
        {"not a bitmap", "PK" + good.substr(2)},
    };
    for (const Case& c : cases) {
        testsupport::WriteFile(dir / "bad.bmp", c.bytes);
        CDcmTkEcgData data;
        EXPECT_EQ(data.AddBMPFile((dir / "bad.bmp").c_str(), 1, 128, 256), 0) << c.name;
    }
}

TEST_F(OxuDcmTest, InsertedValuesUseTheDictionaryVr) {
    testsupport::WriteFile(dir / "p.bmp", dcmtest::MakeBmp(8, 8));
    unsigned char abBytes[] = {1, 2, 3, 4};
    {
        CDcmTkItemPtrArray items;
        items.AddItem(DCM_PatientComments, "Caf\xe9");
        items.AddItem(DCM_StudyID, 42);
        items.AddItem(DCM_PatientWeight, 3.5);
        items.AddItem(DCM_Rows, 8);
        items.AddItem(DCM_EncapsulatedDocument, abBytes, 4);
        items.AddItem(DCM_RedPaletteColorLookupTableData, nullptr, 0);
        CDcmTkEcgData data;
        CObject(kSc, Interleave(rec)).AddTo(data);
        ASSERT_EQ(data.AddBMPFile((dir / "p.bmp").c_str(), 1, 128, 256), 1);
        EXPECT_EQ(data.InsertValues(items), 6);
        ASSERT_EQ(data.SaveAs((dir / "i.dcm").c_str(), 2), 1) << data.GetLastError();
        EXPECT_EQ(dcmtest::Judge({"attrs", dir / "i.dcm", "PatientComments=Caf\xc3\xa9", "StudyID=42",
                                  "PatientWeight=3.500000", "Rows=8", "EncapsulatedDocument=hex:01020304",
                                  "RedPaletteColorLookupTableData="}),
                  "");
    }
    struct Case {
        const char* name;
        void (*add)(CDcmTkItemPtrArray&);
    } cases[] = {
        {"text into US", [](CDcmTkItemPtrArray& a) { a.AddItem(DCM_Rows, "many"); }},
        {"too long CS", [](CDcmTkItemPtrArray& a) { a.AddItem(DCM_Modality, "ABCDEFGHIJKLMNOPQ"); }},
        {"bad date", [](CDcmTkItemPtrArray& a) { a.AddItem(DCM_StudyDate, "2024-03-14"); }},
        {"unknown tag", [](CDcmTkItemPtrArray& a) { a.AddItem(DcmTagKey(0x7777, 0x7777), "x"); }},
        {"bytes into text", [](CDcmTkItemPtrArray& a) {
             unsigned char b[2] = {65, 66};
             a.AddItem(DCM_PatientName, b, 2);
         }},
        {"default item", [](CDcmTkItemPtrArray& a) { a.AddItem(DcmTagKey(0xFFFF, 0xFFFF), "x"); }},
    };
    for (const Case& c : cases) {
        CDcmTkItemPtrArray items;
        c.add(items);
        CDcmTkEcgData data;
        CObject(kSc, Interleave(rec)).AddTo(data);
        ASSERT_EQ(data.AddBMPFile((dir / "p.bmp").c_str(), 1, 128, 256), 1);
        data.InsertValues(items);
        EXPECT_EQ(data.SaveAs((dir / "bad.dcm").c_str(), 2), 0) << c.name;
        EXPECT_FALSE(testsupport::Exists(dir / "bad.dcm")) << c.name;
    }
}

TEST(OxuDcmDateTime, ValidityAndForms) {
    EXPECT_FALSE(CDcmDateTime::Date(0, 0, 0).IsValid());
    EXPECT_FALSE(CDcmDateTime::Date(2023, 2, 29).IsValid());
    EXPECT_TRUE(CDcmDateTime::Date(2024, 2, 29).IsValid());
    EXPECT_EQ(CDcmDateTime::Date(2024, 2, 29).DicomTime(), "");
    EXPECT_EQ(CDcmDateTime::Time(23, 59, 1).DicomTime(), "235901");
    EXPECT_FALSE(CDcmDateTime::Time(24, 0, 0).IsValid());
    EXPECT_EQ(CDcmDateTime::DateTime(1999, 12, 31, 23, 59, 1).DicomDateTime(), "19991231235901");
    EXPECT_EQ(CDcmDateTime().GetStatus(), CDcmDateTime::kNull);
}
}  // namespace
