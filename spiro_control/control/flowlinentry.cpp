// Entry points of libFlowlin.so: self-registration and control creation.
#include <cstring>

#include "platform/dispatch.h"
#include "spiro_control/flowlin_dispids.h"
#include "spiro_control/flowlinctrl.h"

using namespace platform;

extern "C" {

// Registers the control and its property page; the dispatch table in flowlin_dispids.h
// stands where a type library stood, so nothing else is registered.
__attribute__((visibility("default"))) HRESULT DllRegisterServer() {
    const void* pSelf = reinterpret_cast<const void*>(&DllRegisterServer);
    if (!RegisterThisLibrary(flowlin::kProgId, flowlin::kClsid, pSelf) ||
        !RegisterThisLibrary(flowlin::kPropPageProgId, flowlin::kPropPageClsid, pSelf)) {
        return SELFREG_E_CLASS;
    }
    return S_OK;
}

__attribute__((visibility("default"))) HRESULT DllUnregisterServer() {
    BOOL bOk = UnregisterControl(flowlin::kProgId);
    bOk = UnregisterControl(flowlin::kPropPageProgId) && bOk;
    return bOk ? S_OK : SELFREG_E_CLASS;
}

__attribute__((visibility("default"))) CDispatchControl* CorvaneCreateControl(const char* progid,
                                                                              QWidget* parent) {
    if (progid && (std::strcmp(progid, flowlin::kPropPageProgId) == 0 ||
                   std::strcmp(progid, flowlin::kPropPageClsid) == 0)) {
        return new CFlowlinPropPage(parent);
    }
    return new CFlowlinCtrl(parent);
}
}
