#include "ecg_control/host/controlwrapper.h"

#include <dlfcn.h>
#include <sys/stat.h>

#include <cstdlib>

#include "platform/folders.h"

using platform::Variant;

CControlWrapper::~CControlWrapper() {
    Destroy();
}

bool RegisterControlBesideProgram(const char* pszLibraryName, std::string* pError) {
    std::vector<std::string> dirs;
    if (const char* pszDir = std::getenv("CORVANE_CONTROL_DIR"); pszDir && *pszDir)
        dirs.emplace_back(pszDir);
    dirs.push_back(platform::ProgramDir());
    for (const std::string& dir : dirs) {
        std::string path = dir + "/" + pszLibraryName;
        struct stat st {};
        if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
            continue;
        // Kept loaded: CreateControl opens the same file again and shares this handle.
        void* h = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!h) {
            if (pError)
                *pError = ::dlerror();
            return false;
        }
        auto fn = reinterpret_cast<platform::RegisterFn>(::dlsym(h, platform::kRegisterEntry));
        if (!fn || fn() != 0) {
            if (pError)
                *pError = path + ": registration failed";
            return false;
        }
        return true;
    }
    if (pError)
        *pError = std::string(pszLibraryName) + " not found beside the program";
    return false;
}

bool CControlWrapper::Create(const char* pszClsid, QWidget* pParent, UINT nCtrlId,
                             std::string* pError, const char* pszLibraryName) {
    Destroy();
    std::string strError;
    std::unique_ptr<platform::CDispatchControl> p =
        platform::CreateControl(pszClsid, pParent, &strError);
    platform::ControlRegistration reg;
    if (!p && pszLibraryName && !platform::FindControl(pszClsid, reg)) {
        std::string strReg;
        if (RegisterControlBesideProgram(pszLibraryName, &strReg))
            p = platform::CreateControl(pszClsid, pParent, &strError);
        else
            strError += "; " + strReg;
    }
    if (!p) {
        if (pError)
            *pError = strError;
        return false;
    }
    Attach(std::move(p), nCtrlId);
    return true;
}

void CControlWrapper::Attach(std::unique_ptr<platform::CDispatchControl> pControl, UINT nCtrlId) {
    Destroy();
    m_pControl = std::move(pControl);
    m_nCtrlId = nCtrlId;
    if (m_pControl)
        m_pControl->SetEventSink(this);
}

namespace {
// A control lent by its owner: calls pass through, events are not taken from the owner.
class CLentControl : public platform::CDispatchControl {
public:
    explicit CLentControl(platform::CDispatchControl& c) : m_c(c) {}
    const platform::DispInterface& Methods() const override { return m_c.Methods(); }
    const platform::DispInterface& Events() const override { return m_c.Events(); }
    const platform::DispInterface& Properties() const override { return m_c.Properties(); }
    platform::DispResult Invoke(platform::DISPID id, const std::vector<platform::Variant>& args,
                                platform::Variant* pResult) override {
        return m_c.Invoke(id, args, pResult);
    }
    void SetEventSink(platform::IEventSink*) override {}
    QWidget* Widget() override { return m_c.Widget(); }

private:
    platform::CDispatchControl& m_c;
};
}  // namespace

void CControlWrapper::Borrow(platform::CDispatchControl& control, UINT nCtrlId) {
    Attach(std::make_unique<CLentControl>(control), nCtrlId);
}

void CControlWrapper::Destroy() {
    if (m_pControl)
        m_pControl->SetEventSink(nullptr);
    m_pControl.reset();
}

QWidget* CControlWrapper::Widget() const {
    return m_pControl ? m_pControl->Widget() : nullptr;
}

Variant CControlWrapper::Call(platform::DISPID id, std::vector<Variant> args) {
    Variant result;
    if (m_pControl)
        m_pControl->Invoke(id, args, &result);
    return result;
}

void CControlWrapper::OnEvent(platform::DISPID dispid, const std::vector<Variant>& args) {
    if (m_onEvent)
        m_onEvent(m_nCtrlId, dispid, args);
}
