#include "peerobjects.h"

#include "dcmtest.h"
#include "oxudcm/dcmtkdicomfile.h"

namespace peerobjects {
namespace {
void Fill(CDcmTkEcgData& data, const char* pszClass, int nIndex, int nKind) {
    const std::string n = std::to_string(nIndex), k = std::to_string(nKind);
    CDcmDataPatient patient;
    patient.m_strPatientId = "P" + n;
    patient.m_strName = "Peer^Test";
    patient.m_strSex = "F";
    data.AddPatientData(patient);
    CDcmDataStudy study;
    study.m_strStudyUid = "1.2.840.2.3000.3." + n + ".1700000000";
    study.m_dtStudyDate = CDcmDateTime::Date(2024, 3, 14);
    study.m_dtStudyTime = CDcmDateTime::Time(9, 26, 1);
    data.AddStudyData(study);
    CDcmDataSeries series;
    series.m_strModality = nKind == 2 ? "ECG" : "EC";
    series.m_strSeriesUid = "1.2.840.2.3000.3." + n + "." + k + ".1700000000";
    series.m_strSeriesNumber = k;
    data.AddSeriesData(series);
    CDcmDataInstance instance;
    instance.m_strInstanceNumber = "1";
    instance.m_strSopClassUid = pszClass;
    instance.m_strSopInstanceUid = "1.2.840.2.3000.3." + n + "." + k + ".1.1700000000";
    data.AddInstanceData(instance);
}

CDcmDataWaveform Wave(int nChannels, long nSamples, int nBits) {
    CDcmDataWaveform wave;
    wave.SetOriginality("ORIGIN");
    wave.SetChannelNo(static_cast<short>(nChannels));
    wave.SetSamplesNo(nSamples);
    wave.SetSampleFrequency(nBits == 16 ? 500 : 200);
    wave.SetWFBitsAllocated(static_cast<short>(nBits));
    wave.SetSampleInterpretation(nBits == 16 ? "SS" : "SL");
    const long nBytes = nChannels * nSamples * nBits / 8;
    wave.SetWaveLength(nBytes);
    std::vector<std::uint8_t> ab(static_cast<std::size_t>(nBytes));
    for (std::size_t i = 0; i < ab.size(); ++i) {
        ab[i] = static_cast<std::uint8_t>((i * 131) ^ (i >> 7));
    }
    wave.SetWaveformData(ab);
    return wave;
}
}  // namespace

std::vector<std::string> MakeThreeKinds(const std::string& strDir, int nIndex) {
    std::vector<std::string> files;
    testsupport::WriteFile(strDir + "p.bmp", dcmtest::MakeBmp(64, 48));
    dcmtest::MakeJpeg(strDir + "p.jpg", 64, 48);
    {
        CDcmTkEcgData data;
        Fill(data, "1.2.840.10008.5.1.4.1.1.7", nIndex, 0);
        data.AddWaveformData(Wave(12, 5000, 16));
        data.AddBMPFile((strDir + "p.bmp").c_str(), 1, 128, 256);
        files.push_back(strDir + "ecg" + std::to_string(nIndex) + ".dcm");
        if (data.SaveAs(files.back().c_str(), 2) != 1) return {};
    }
    {
        CDcmTkEcgData data;
        Fill(data, "1.2.840.10008.5.1.4.1.1.7", nIndex, 1);
        data.AddWaveformData_SPR(Wave(3, 8000, 32));
        data.AddJpegFile((strDir + "p.jpg").c_str());
        files.push_back(strDir + "spiro" + std::to_string(nIndex) + ".dcm");
        if (data.SaveAs(files.back().c_str(), 4) != 1) return {};
    }
    {
        CDcmTkEcgData data;
        Fill(data, "1.2.840.10008.5.1.4.1.1.9.1.1", nIndex, 2);
        data.AddWaveformData(Wave(12, 5000, 16));
        files.push_back(strDir + "wave" + std::to_string(nIndex) + ".dcm");
        if (data.SaveAs(files.back().c_str(), 2) != 1) return {};
    }
    return files;
}

std::string MakeSmall(const std::string& strDir, int nIndex) {
    const std::string strJpeg = strDir + "small.jpg";
    if (!testsupport::Exists(strJpeg) && !dcmtest::MakeJpeg(strJpeg, 16, 12)) {
        return {};
    }
    CDcmTkEcgData data;
    Fill(data, "1.2.840.10008.5.1.4.1.1.7", nIndex, 3);
    data.AddWaveformData(Wave(1, 50, 16));
    data.AddJpegFile(strJpeg.c_str());
    const std::string strPath = strDir + "s" + std::to_string(nIndex) + ".dcm";
    return data.SaveAs(strPath.c_str(), 4) == 1 ? strPath : std::string();
}
}  // namespace peerobjects
