#include "acq_server/app/controlwrappers.h"

#include "ecg_control/wavelin_dispids.h"
#include "spiro_control/flowlin_dispids.h"

using platform::Variant;

CControlWrapper::~CControlWrapper() { Destroy(); }

bool CControlWrapper::Create(const char* pszClsid, QWidget* pParent, std::string* pError) {
    m_pControl = platform::CreateControl(pszClsid, pParent, pError);
    return m_pControl != nullptr;
}

void CControlWrapper::Destroy() { m_pControl.reset(); }

Variant CControlWrapper::Call(platform::DISPID id, std::vector<Variant> args) {
    Variant result;
    if (m_pControl)
        m_pControl->Invoke(id, args, &result);
    return result;
}

namespace {
Variant S(short n) { return Variant(n); }
Variant L(long n) { return Variant(static_cast<std::int32_t>(n)); }
Variant T(const char* psz) { return Variant(psz); }
BOOL B(const Variant& v) { return v.AsBool() ? TRUE : FALSE; }
}  // namespace

// ECG control

bool CWavelin::Create(QWidget* pParent, std::string* pError) {
    return CControlWrapper::Create(wavelin::kClsid, pParent, pError);
}
BOOL CWavelin::EKGOpenFile(const char* p) { return B(Call(wavelin::DISPID_EKGOpenFile, {T(p)})); }
BOOL CWavelin::EKGSetGraphPen(short nStyle, short nWidth, long cr) {
    return B(Call(wavelin::DISPID_EKGSetGraphPen, {S(nStyle), S(nWidth), L(cr)}));
}
BOOL CWavelin::EKGMakeImage(const char* p, short nType, short nGain, short nRhythm, short nWidth,
                            short nFilter) {
    return B(Call(wavelin::DISPID_EKGMakeImage,
                  {T(p), S(nType), S(nGain), S(nRhythm), S(nWidth), S(nFilter)}));
}
short CWavelin::EKGGetRhythmParam(short n) {
    return Call(wavelin::DISPID_EKGGetRhythmParam, {S(n)}).AsShort();
}
short CWavelin::EKGGetAnalysisCnt() { return Call(wavelin::DISPID_EKGGetAnalysisCnt).AsShort(); }
CString CWavelin::EKGGetAnalysis(short n) {
    return Call(wavelin::DISPID_EKGGetAnalysis, {S(n)}).AsText();
}
CString CWavelin::EKGGetPatientInfo(short n) {
    return Call(wavelin::DISPID_EKGGetPatientInfo, {S(n)}).AsText();
}
CString CWavelin::EKGGetMisc(short n) { return Call(wavelin::DISPID_EKGGetMisc, {S(n)}).AsText(); }
void CWavelin::EKGSetMisc(short n, const char* p) { Call(wavelin::DISPID_EKGSetMisc, {S(n), T(p)}); }
CString CWavelin::EKGGetTime() { return Call(wavelin::DISPID_EKGGetTime).AsText(); }
BOOL CWavelin::EKGMakePDF(const char* p, short nType, short nGain, short nRhythm, short nWidth) {
    return B(Call(wavelin::DISPID_EKGMakePDF, {T(p), S(nType), S(nGain), S(nRhythm), S(nWidth)}));
}
BOOL CWavelin::EKGConnectedSearch(short n) {
    return B(Call(wavelin::DISPID_EKGConnectedSearch, {S(n)}));
}
void CWavelin::EKGSetIPExchangeType(short n) { Call(wavelin::DISPID_EKGSetIPExchangeType, {S(n)}); }
BOOL CWavelin::EKGMakeXML(const char* p) { return B(Call(wavelin::DISPID_EKGMakeXML, {T(p)})); }

// Spirometry control

bool CFlowlin::Create(QWidget* pParent, std::string* pError) {
    return CControlWrapper::Create(flowlin::kClsid, pParent, pError);
}
short CFlowlin::Open(const char* p, short nType) {
    Variant v = Call(flowlin::DISPID_Open, {T(p), S(nType)});
    // No control (or no answer) reads as a refused file.
    return v.IsEmpty() ? short(-1) : v.AsShort();
}
short CFlowlin::GetTestType() { return Call(flowlin::DISPID_GetTestType).AsShort(); }
short CFlowlin::GetParamCount(short a, short b) {
    return Call(flowlin::DISPID_GetParamCount, {S(a), S(b)}).AsShort();
}
float CFlowlin::GetParam(short a, short b, short c) {
    return Call(flowlin::DISPID_GetParam, {S(a), S(b), S(c)}).AsFloat();
}
CString CFlowlin::GetInformation(short n) {
    return Call(flowlin::DISPID_GetInformation, {S(n)}).AsText();
}
void CFlowlin::SetInformation(short n, const char* p) {
    Call(flowlin::DISPID_SetInformation, {S(n), T(p)});
}
short CFlowlin::SaveJPEG(const char* p, short nWidth) {
    Variant v = Call(flowlin::DISPID_SaveJPEG, {T(p), S(nWidth)});
    return v.IsEmpty() ? short(-1) : v.AsShort();
}
CString CFlowlin::GetRaceString() { return Call(flowlin::DISPID_GetRaceString).AsText(); }
CString CFlowlin::GetSmokeString() { return Call(flowlin::DISPID_GetSmokeString).AsText(); }
CString CFlowlin::GetSmokePackString() { return Call(flowlin::DISPID_GetSmokePackString).AsText(); }
CString CFlowlin::GetAnalysisString() { return Call(flowlin::DISPID_GetAnalysisString).AsText(); }
CString CFlowlin::GetFormulaString() { return Call(flowlin::DISPID_GetFormulaString).AsText(); }
CString CFlowlin::GetAnalysisStringPost() {
    return Call(flowlin::DISPID_GetAnalysisStringPost).AsText();
}
short CFlowlin::GetFileVersion() { return Call(flowlin::DISPID_GetFileVersion).AsShort(); }
short CFlowlin::SavePDF(const char* p, short nWidth) {
    Variant v = Call(flowlin::DISPID_SavePDF, {T(p), S(nWidth)});
    return v.IsEmpty() ? short(-1) : v.AsShort();
}
short CFlowlin::GetEcode(short a, short b) {
    return Call(flowlin::DISPID_GetEcode, {S(a), S(b)}).AsShort();
}
short CFlowlin::GetBestNo() { return Call(flowlin::DISPID_GetBestNo).AsShort(); }
short CFlowlin::GetBestNoPost() { return Call(flowlin::DISPID_GetBestNoPost).AsShort(); }
