#pragma once
// The exports' view of the real controls, through the hosts' wrappers as the viewers hold
// them. The ECG graph window's layout, gain and rhythm lead are the viewer's; here fixed.
// Each picture the export asks for is noted, so that tests can count them.
#include <string>
#include <vector>

#include "acq_server/dicom/dicomsource.h"
#include "ecg_control/host/wavelin.h"
#include "spiro_control/host/flowlin.h"

class CWavelinDicomSource : public IEkgDicomSource {
public:
    explicit CWavelinDicomSource(CWavelin& wavelin) : m_wavelin(wavelin) {}
    CString EKGGetPatientInfo(short n) override { return m_wavelin.EKGGetPatientInfo(n); }
    CString EKGGetMisc(short n) override { return m_wavelin.EKGGetMisc(n); }
    CString EKGGetTime() override { return m_wavelin.EKGGetTime(); }
    BOOL EKGMakeImage(const CString& p, short t, short g, short r, short w, short f) override {
        m_aPictures.push_back(p);
        return m_wavelin.EKGMakeImage(p.c_str(), t, g, r, w, f);
    }
    BOOL EKGMakeImageBMP(const CString& p, short t, short g, short r, short w, short f) override {
        m_aPictures.push_back(p);
        return m_wavelin.EKGMakeImageBMP(p.c_str(), t, g, r, w, f);
    }
    short GetChType() override { return 1; }
    short GetGain() override { return 3; }
    short GetRhyCh() override { return 1; }

    std::vector<std::string> m_aPictures;

private:
    CWavelin& m_wavelin;
};

class CFlowlinDicomSource : public ISpiroDicomSource {
public:
    explicit CFlowlinDicomSource(CFlowlin& flowlin) : m_flowlin(flowlin) {}
    CString GetInformation(short n) override { return m_flowlin.GetInformation(n); }
    short GetTestType() override { return m_flowlin.GetTestType(); }
    short SaveBMP(const CString& p, short w) override {
        m_aPictures.push_back(p);
        return m_flowlin.SaveBMP(p.c_str(), w);
    }
    short SaveJPEG(const CString& p, short w) override {
        m_aPictures.push_back(p);
        return m_flowlin.SaveJPEG(p.c_str(), w);
    }

    std::vector<std::string> m_aPictures;

private:
    CFlowlin& m_flowlin;
};
