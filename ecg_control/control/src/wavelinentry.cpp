// Entry points of libWavelin.so: self-registration and control creation.
#include <cstring>

#include "ecg_control/control/wavelinctrl.h"
#include "ecg_control/wavelin_dispids.h"
#include "ecg_control/link/ekgfinder.h"
#include "platform/dispatch.h"

using namespace platform;

namespace {
// One finder for the process, from load to unload: its thread answers carts that look for
// a PC even before a control exists.
struct CProcessFinder {
    ekglink::CEkgFinder finder;
    CProcessFinder() { wavelin::SetProcessFinder(&finder); }
    ~CProcessFinder() { wavelin::SetProcessFinder(nullptr); }
} g_processFinder;
}  // namespace

extern "C" {

// Registers the control and its property page; the dispatch table in
// wavelin_dispids.h stands where a type library stood, so nothing else is registered.
__attribute__((visibility("default"))) HRESULT DllRegisterServer() {
    const void* pSelf = reinterpret_cast<const void*>(&DllRegisterServer);
    if (!RegisterThisLibrary(wavelin::kProgId, wavelin::kClsid, pSelf) ||
        !RegisterThisLibrary(wavelin::kPropPageProgId, wavelin::kPropPageClsid, pSelf)) {
        return SELFREG_E_CLASS;
    }
    return S_OK;
}

__attribute__((visibility("default"))) HRESULT DllUnregisterServer() {
    BOOL bOk = UnregisterControl(wavelin::kProgId);
    bOk = UnregisterControl(wavelin::kPropPageProgId) && bOk;
    return bOk ? S_OK : SELFREG_E_CLASS;
}

__attribute__((visibility("default"))) CDispatchControl* CorvaneCreateControl(const char* progid,
                                                                              QWidget* parent) {
    if (progid && (std::strcmp(progid, wavelin::kPropPageProgId) == 0 ||
                   std::strcmp(progid, wavelin::kPropPageClsid) == 0)) {
        return new CWavelinPropPage(parent);
    }
    return new CWavelinCtrl(parent);
}
}
