#pragma once
// The conversions' and reports' view of the two controls through their host wrappers (the
// server's hidden controls, the spirometry viewer's window): each call goes straight to
// the wrapper's method of the same name.
#include "ecg_control/host/wavelin.h"
#include "spiro_control/host/flowlin.h"
#include "acq_server/reports/conversions.h"

class CWavelinConversion : public acq_reports::IEkgConversionControl {
public:
    explicit CWavelinConversion(CWavelin& wavelin) : m_w(wavelin) {}
    bool EKGOpenFile(const std::string& strPath) override;
    bool EKGSetGraphPen(short nStyle, short nWidth, std::uint32_t color) override;
    bool EKGMakeImage(const std::string& strPath, short nChType, short nGain, short nRhyCh, short nWidth,
                      short bFilter) override;
    bool EKGMakePDF(const std::string& strPath, short nChType, short nGain, short nRhyCh,
                    short nWidth) override;
    bool EKGMakeXML(const std::string& strPath) override;
    std::string GetTime() override;
    std::string GetMisc(int nIndex) override;
    std::string GetPatientInfo(int nIndex) override;
    short GetRhythmParam(int nIndex) override;
    short GetAnalysisCnt() override;
    std::string GetAnalysis(int nIndex) override;

private:
    CWavelin& m_w;
};

class CFlowlinConversion : public acq_reports::ISpiroConversionControl {
public:
    explicit CFlowlinConversion(CFlowlin& flowlin) : m_f(flowlin) {}
    short Open(const std::string& strPath, short nType) override;
    short SaveJPEG(const std::string& strPath, short nWidth) override;
    short SavePDF(const std::string& strPath, short nWidth) override;
    std::string GetInformation(int nKind) override;
    std::string GetRaceString() override;
    std::string GetSmokeString() override;
    std::string GetSmokePackString() override;
    std::string GetFormulaString() override;
    std::string GetAnalysisString() override;
    std::string GetAnalysisStringPost() override;
    short GetTestType() override;
    short GetFileVersion() override;
    short GetParamCount(short nTestType, short nFileVer) override;
    float GetParam(short nTestType, short nKind, short nDepth) override;
    short GetEcode(short nTrial, short nPosition) override;
    short GetBestNo() override;
    short GetBestNoPost() override;

private:
    CFlowlin& m_f;
};
