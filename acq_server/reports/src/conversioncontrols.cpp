#include "acq_server/reports/conversioncontrols.h"

bool CWavelinConversion::EKGOpenFile(const std::string& p) { return m_w.EKGOpenFile(p.c_str()) != FALSE; }
bool CWavelinConversion::EKGSetGraphPen(short s, short w, std::uint32_t c) {
    return m_w.EKGSetGraphPen(s, w, static_cast<long>(c)) != FALSE;
}
bool CWavelinConversion::EKGMakeImage(const std::string& p, short t, short g, short r, short w, short f) {
    return m_w.EKGMakeImage(p.c_str(), t, g, r, w, f) != FALSE;
}
bool CWavelinConversion::EKGMakePDF(const std::string& p, short t, short g, short r, short w) {
    return m_w.EKGMakePDF(p.c_str(), t, g, r, w) != FALSE;
}
bool CWavelinConversion::EKGMakeXML(const std::string& p) { return m_w.EKGMakeXML(p.c_str()) != FALSE; }
std::string CWavelinConversion::GetTime() { return m_w.EKGGetTime(); }
std::string CWavelinConversion::GetMisc(int n) { return m_w.EKGGetMisc(static_cast<short>(n)); }
std::string CWavelinConversion::GetPatientInfo(int n) { return m_w.EKGGetPatientInfo(static_cast<short>(n)); }
short CWavelinConversion::GetRhythmParam(int n) { return m_w.EKGGetRhythmParam(static_cast<short>(n)); }
short CWavelinConversion::GetAnalysisCnt() { return m_w.EKGGetAnalysisCnt(); }
std::string CWavelinConversion::GetAnalysis(int n) { return m_w.EKGGetAnalysis(static_cast<short>(n)); }

short CFlowlinConversion::Open(const std::string& p, short t) { return m_f.Open(p.c_str(), t); }
short CFlowlinConversion::SaveJPEG(const std::string& p, short w) { return m_f.SaveJPEG(p.c_str(), w); }
short CFlowlinConversion::SavePDF(const std::string& p, short w) { return m_f.SavePDF(p.c_str(), w); }
std::string CFlowlinConversion::GetInformation(int n) { return m_f.GetInformation(static_cast<short>(n)); }
std::string CFlowlinConversion::GetRaceString() { return m_f.GetRaceString(); }
std::string CFlowlinConversion::GetSmokeString() { return m_f.GetSmokeString(); }
std::string CFlowlinConversion::GetSmokePackString() { return m_f.GetSmokePackString(); }
std::string CFlowlinConversion::GetFormulaString() { return m_f.GetFormulaString(); }
std::string CFlowlinConversion::GetAnalysisString() { return m_f.GetAnalysisString(); }
std::string CFlowlinConversion::GetAnalysisStringPost() { return m_f.GetAnalysisStringPost(); }
short CFlowlinConversion::GetTestType() { return m_f.GetTestType(); }
short CFlowlinConversion::GetFileVersion() { return m_f.GetFileVersion(); }
short CFlowlinConversion::GetParamCount(short t, short v) { return m_f.GetParamCount(t, v); }
float CFlowlinConversion::GetParam(short t, short k, short d) { return m_f.GetParam(t, k, d); }
short CFlowlinConversion::GetEcode(short t, short p) { return m_f.GetEcode(t, p); }
short CFlowlinConversion::GetBestNo() { return m_f.GetBestNo(); }
short CFlowlinConversion::GetBestNoPost() { return m_f.GetBestNoPost(); }
