#include "ecg_control/host/wavelin.h"

#include "ecg_control/wavelin_dispids.h"

using platform::Variant;
using namespace wavelin;

namespace {
Variant S(short n) {
    return Variant(n);
}
Variant L(long n) {
    return Variant(static_cast<std::int32_t>(n));
}
Variant T(const char* psz) {
    return Variant(psz);
}
// A BOOL result as the control gives it: a host may tell 1 from another non-zero answer.
BOOL B(const Variant& v) {
    return static_cast<BOOL>(v.AsLong());
}
}  // namespace

bool CWavelin::Create(QWidget* pParent, UINT nCtrlId, std::string* pError,
                      const char* pszLibraryBeside) {
    return CControlWrapper::Create(kClsid, pParent, nCtrlId, pError, pszLibraryBeside);
}

void CWavelin::EKGInitialize(short a, short b, short c, short d, short e, short f) {
    Call(DISPID_EKGInitialize, {S(a), S(b), S(c), S(d), S(e), S(f)});
}
void CWavelin::EKGSetCellSize(short n) {
    Call(DISPID_EKGSetCellSize, {S(n)});
}
BOOL CWavelin::EKGSetGridPen(short s, short w, long c) {
    return B(Call(DISPID_EKGSetGridPen, {S(s), S(w), L(c)}));
}
BOOL CWavelin::EKGSetGridInnerPen(short s, short w, long c) {
    return B(Call(DISPID_EKGSetGridInnerPen, {S(s), S(w), L(c)}));
}
void CWavelin::EKGSetBackColor(long c) {
    Call(DISPID_EKGSetBackColor, {L(c)});
}
void CWavelin::EKGClearGraph() {
    Call(DISPID_EKGClearGraph);
}
BOOL CWavelin::EKGOpenFile(const char* p) {
    return B(Call(DISPID_EKGOpenFile, {T(p)}));
}
BOOL CWavelin::EKGSaveFile(const char* p) {
    return B(Call(DISPID_EKGSaveFile, {T(p)}));
}
BOOL CWavelin::EKGStartMonitoring(const char* p, short n) {
    return B(Call(DISPID_EKGStartMonitoring, {T(p), S(n)}));
}
BOOL CWavelin::EKGStopMonitoring() {
    return B(Call(DISPID_EKGStopMonitoring));
}
BOOL CWavelin::EKGStartRecording(const char* p, short n) {
    return B(Call(DISPID_EKGStartRecording, {T(p), S(n)}));
}
void CWavelin::EKGSetChType(short n) {
    Call(DISPID_EKGSetChType, {S(n)});
}
void CWavelin::EKGSetRhyCh(short n) {
    Call(DISPID_EKGSetRhyCh, {S(n)});
}
void CWavelin::EKGSetGain(short n) {
    Call(DISPID_EKGSetGain, {S(n)});
}
void CWavelin::EKGSetSpeed(short n) {
    Call(DISPID_EKGSetSpeed, {S(n)});
}
BOOL CWavelin::EKGSetGraphPen(short s, short w, long c) {
    return B(Call(DISPID_EKGSetGraphPen, {S(s), S(w), L(c)}));
}
short CWavelin::EKGPrint(const char* p, short g, short c, short r) {
    return Call(DISPID_EKGPrint, {T(p), S(g), S(c), S(r)}).AsShort();
}
CString CWavelin::EKGGetPrintError() {
    return Call(DISPID_EKGGetPrintError).AsText();
}
BOOL CWavelin::EKGSetPrintGraphPen(short s, short w, long c) {
    return B(Call(DISPID_EKGSetPrintGraphPen, {S(s), S(w), L(c)}));
}
BOOL CWavelin::EKGSetPrintGridPen(short s, short w, long c) {
    return B(Call(DISPID_EKGSetPrintGridPen, {S(s), S(w), L(c)}));
}
BOOL CWavelin::EKGSetPrintGridInnerPen(short s, short w, long c) {
    return B(Call(DISPID_EKGSetPrintGridInnerPen, {S(s), S(w), L(c)}));
}
BOOL CWavelin::EKGMakeImage(const char* p, short a, short b, short c, short d, short e) {
    return B(Call(DISPID_EKGMakeImage, {T(p), S(a), S(b), S(c), S(d), S(e)}));
}
short CWavelin::EKGGetRhythmParam(short n) {
    return Call(DISPID_EKGGetRhythmParam, {S(n)}).AsShort();
}
short CWavelin::EKGGetMorphologyParam(short k, short l) {
    return Call(DISPID_EKGGetMorphologyParam, {S(k), S(l)}).AsShort();
}
short CWavelin::EKGGetAnalysisCnt() {
    return Call(DISPID_EKGGetAnalysisCnt).AsShort();
}
CString CWavelin::EKGGetAnalysis(short n) {
    return Call(DISPID_EKGGetAnalysis, {S(n)}).AsText();
}
CString CWavelin::EKGGetPatientInfo(short n) {
    return Call(DISPID_EKGGetPatientInfo, {S(n)}).AsText();
}
CString CWavelin::EKGGetComment() {
    return Call(DISPID_EKGGetComment).AsText();
}
void CWavelin::EKGSetComment(const char* p) {
    Call(DISPID_EKGSetComment, {T(p)});
}
void CWavelin::EKGSetPatientInfo(short n, const char* p) {
    Call(DISPID_EKGSetPatientInfo, {S(n), T(p)});
}
void CWavelin::EKGSetFilterInfo(short a, short b, short c, short d) {
    Call(DISPID_EKGSetFilterInfo, {S(a), S(b), S(c), S(d)});
}
CString CWavelin::EKGGetMisc(short n) {
    return Call(DISPID_EKGGetMisc, {S(n)}).AsText();
}
void CWavelin::EKGSetMisc(short n, const char* p) {
    Call(DISPID_EKGSetMisc, {S(n), T(p)});
}
void CWavelin::EKGEnableMagnifyGlass(short a, short b, short c) {
    Call(DISPID_EKGEnableMagnifyGlass, {S(a), S(b), S(c)});
}
void CWavelin::EKGEnableMeasure(short n) {
    Call(DISPID_EKGEnableMeasure, {S(n)});
}
CString CWavelin::EKGGetTime() {
    return Call(DISPID_EKGGetTime).AsText();
}
void CWavelin::EKGSetPrintDiag(short n) {
    Call(DISPID_EKGSetPrintDiag, {S(n)});
}
void CWavelin::EKGSetPrintParam(short n) {
    Call(DISPID_EKGSetPrintParam, {S(n)});
}
void CWavelin::EKGSetPrintComment(short n) {
    Call(DISPID_EKGSetPrintComment, {S(n)});
}
short CWavelin::EKGPrintPreview(short g, short c, short r) {
    return Call(DISPID_EKGPrintPreview, {S(g), S(c), S(r)}).AsShort();
}
void CWavelin::EKGShowPacemaker(short n) {
    Call(DISPID_EKGShowPacemaker, {S(n)});
}
void CWavelin::EKGSetPrintPacemaker(short n) {
    Call(DISPID_EKGSetPrintPacemaker, {S(n)});
}
BOOL CWavelin::EKGMakePDF(const char* p, short a, short b, short c, short d) {
    return B(Call(DISPID_EKGMakePDF, {T(p), S(a), S(b), S(c), S(d)}));
}
BOOL CWavelin::EKGMakeImageBMP(const char* p, short a, short b, short c, short d, short e) {
    return B(Call(DISPID_EKGMakeImageBMP, {T(p), S(a), S(b), S(c), S(d), S(e)}));
}
short CWavelin::EKGGetConnectedEKGCnt() {
    return Call(DISPID_EKGGetConnectedEKGCnt).AsShort();
}
CString CWavelin::EKGGetConnectedEKGInfo(short n) {
    return Call(DISPID_EKGGetConnectedEKGInfo, {S(n)}).AsText();
}
CString CWavelin::EKGGetConnectedEKGID(short n) {
    return Call(DISPID_EKGGetConnectedEKGID, {S(n)}).AsText();
}
CString CWavelin::EKGGetConnectedEKGIP(short n) {
    return Call(DISPID_EKGGetConnectedEKGIP, {S(n)}).AsText();
}
short CWavelin::EKGConnectedSearch(short n) {
    return Call(DISPID_EKGConnectedSearch, {S(n)}).AsShort();
}
void CWavelin::EKGSetIPExchangeType(short n) {
    Call(DISPID_EKGSetIPExchangeType, {S(n)});
}
BOOL CWavelin::EKGMakeXML(const char* p) {
    return B(Call(DISPID_EKGMakeXML, {T(p)}));
}
void CWavelin::EKGSetLanguage(short n) {
    Call(DISPID_EKGSetLanguage, {S(n)});
}
BOOL CWavelin::SetBackColor(long c) {
    return B(Call(DISPID_SetBackColor, {L(c)}));
}
BOOL CWavelin::SetGrid(short s, short w, long c) {
    return B(Call(DISPID_SetGrid, {S(s), S(w), L(c)}));
}
BOOL CWavelin::SetGrid_Inner(short s, short w, long c) {
    return B(Call(DISPID_SetGrid_Inner, {S(s), S(w), L(c)}));
}
BOOL CWavelin::SetGraph(short s, short w, long c) {
    return B(Call(DISPID_SetGraph, {S(s), S(w), L(c)}));
}
