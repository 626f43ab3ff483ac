#include "exportfixture.h"

#include <cmath>

#include "testsupport/testsupport.h"

namespace {
// One beat a second: P wave, QRS complex and T wave, in sample units (409.6 = 1 mV).
double Beat(unsigned nPosition, double dSize) {
    const double t = static_cast<double>(nPosition % 500);
    auto bump = [t](double dCentre, double dWidth, double dHeight) {
        const double d = (t - dCentre) / dWidth;
        return dHeight * std::exp(-d * d);
    };
    return dSize * (bump(100, 12, 60) - bump(170, 3, 80) + bump(180, 4, 480) - bump(190, 3, 120) +
                    bump(300, 25, 150));
}
}  // namespace

CTestRecord::CTestRecord(unsigned nSamples) {
    static const double kSizes[12] = {1.0,  1.4,  0.5, -1.1, 0.3, 0.9,
                                      -0.6, -0.3, 0.4, 1.5,  1.6, 1.2};
    wave.CreateLeads(nSamples, 2);
    wave.SetUserValue(nSamples == 6000 ? 1 : 0);
    for (int nLead = 0; nLead < 12; ++nLead) {
        for (unsigned i = 0; i < nSamples; ++i) {
            wave.SetSample(nLead, i, static_cast<short>(std::lround(Beat(i, kSizes[nLead]))));
        }
    }
    wave.AddMark(1178);
    wave.AddMark(2678);

    info.SetPatientInfo(0, "P-001");
    info.SetPatientInfo(1, "Joao Silva");
    info.SetPatientInfo(2, "54");
    info.SetPatientInfo(3, "Male");
    info.SetPatientInfo(4, "170");
    info.SetPatientInfo(5, "70");
    info.SetPatientInfo(8, "Santos");
    info.SetPatientInfo(9, "0");
    info.SetMisc(0, "Dr. Costa");
    info.SetMisc(1, "Hospital Central");
    info.SetTime(2026, 12, 9, 14, 35);
    info.SetFilterInfo(1, 2, 1, 0);
    const short anGlobals[8] = {72, 156, 94, 384, 421, 48, 35, 41};
    // As a device sends them, so that the record carries its directory marker.
    BYTE abyItem[18] = {0x18, 16};
    for (int i = 0; i < 8; ++i) {
        abyItem[2 + 2 * i] = static_cast<BYTE>((anGlobals[i] >> 8) & 0xFF);
        abyItem[3 + 2 * i] = static_cast<BYTE>(anGlobals[i] & 0xFF);
    }
    info.TakeDirectoryItem(abyItem, sizeof abyItem);
    info.AddStatement("Sinus rhythm");
    info.AddStatement("Normal ECG");
    info.SetComment("Reviewed without change.");
    morph.Create();
}

std::string Shell(const std::string& strCommand, int* pStatus) {
    return testsupport::RunCommand(strCommand + " 2>&1", pStatus);
}

int CountOf(const std::string& strText, const std::string& strWhat) {
    int n = 0;
    for (size_t nPos = strText.find(strWhat); nPos != std::string::npos;
         nPos = strText.find(strWhat, nPos + strWhat.size())) {
        ++n;
    }
    return n;
}
