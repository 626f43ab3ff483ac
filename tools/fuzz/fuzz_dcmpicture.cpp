// The picture readers of the DICOM builder: any bytes as a bitmap (grey and RGB) and as a
// JPEG; a picture that is taken is also saved.
#include <cstdint>
#include <cstdio>

#include "fuzz_common.h"
#include "oxudcm/dcmtkdicomfile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize) {
    const std::string strPath = fuzz::WriteInput("picture", pData, nSize);
    for (int nKind : {0, 1, 2}) {
        CDcmTkEcgData data;
        const int nTaken = nKind < 2 ? data.AddBMPFile(strPath.c_str(), nKind, 128, 256)
                                     : data.AddJpegFile(strPath.c_str());
        if (nTaken) {
            CDcmDataInstance instance;
            instance.m_strSopClassUid = "1.2.840.10008.5.1.4.1.1.7";
            instance.m_strSopInstanceUid = "1.2.3";
            CDcmDataStudy study;
            study.m_strStudyUid = "1.2.4";
            CDcmDataSeries series;
            series.m_strModality = "OT";
            series.m_strSeriesUid = "1.2.5";
            data.AddStudyData(study);
            data.AddSeriesData(series);
            data.AddInstanceData(instance);
            const std::string strOut = fuzz::PrivateDir() + "/out.dcm";
            data.SaveAs(strOut.c_str(), 2);
            std::remove(strOut.c_str());
        }
    }
    return 0;
}
