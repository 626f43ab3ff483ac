#include "platform/dispatch.h"

#include <dlfcn.h>
#include <limits.h>
#include <stdlib.h>


#include "internal.h"
#include "platform/folders.h"
#include "platform/profile.h"

namespace platform {

const DispMember* DispInterface::Find(DISPID id) const {
    for (const DispMember& m : members) {
        if (m.dispid == id) return &m;
    }
    return nullptr;
}

const DispMember* DispInterface::FindByName(const std::string& n) const {
    for (const DispMember& m : members) {
        if (internal::EqualNoCase(n, m.name)) return &m;
    }
    return nullptr;
}

const char* DispResultText(DispResult r) {
    switch (r) {
        case DISP_OK: return "OK";
        case DISP_E_MEMBERNOTFOUND: return "member not found";
        case DISP_E_BADPARAMCOUNT: return "wrong number of arguments";
        case DISP_E_TYPEMISMATCH: return "argument type mismatch";
    }
    return "?";
}

DispResult CoerceArgs(const DispMember& member, const std::vector<Variant>& in,
                      std::vector<Variant>& out, int* nBadArg) {
    if (static_cast<int>(in.size()) != member.nArgs) return DISP_E_BADPARAMCOUNT;
    out.clear();
    out.reserve(in.size());
    for (int i = 0; i < member.nArgs; ++i) {
        Variant v;
        if (!in[static_cast<size_t>(i)].ChangeType(member.args[static_cast<size_t>(i)], v)) {
            if (nBadArg) *nBadArg = i;
            return DISP_E_TYPEMISMATCH;
        }
        out.push_back(std::move(v));
    }
    return DISP_OK;
}

DispResult CoercePropertyArgs(const DispMember& property, const std::vector<Variant>& in,
                              std::vector<Variant>& out, int* nBadArg) {
    out.clear();
    if (in.empty()) return DISP_OK;
    if (in.size() != 1) return DISP_E_BADPARAMCOUNT;
    Variant v;
    if (!in[0].ChangeType(property.result, v)) {
        if (nBadArg) *nBadArg = 0;
        return DISP_E_TYPEMISMATCH;
    }
    out.push_back(std::move(v));
    return DISP_OK;
}

const DispInterface& CDispatchControl::Properties() const {
    static const DispInterface none{"", {}};
    return none;
}

const DispMember* CDispatchControl::FindMember(DISPID dispid, bool* pbProperty) const {
    const DispMember* m = Methods().Find(dispid);
    const DispMember* p = m ? nullptr : Properties().Find(dispid);
    if (pbProperty) *pbProperty = p != nullptr;
    return m ? m : p;
}

const DispMember* CDispatchControl::FindMemberByName(const std::string& name,
                                                     bool* pbProperty) const {
    const DispMember* m = Methods().FindByName(name);
    const DispMember* p = m ? nullptr : Properties().FindByName(name);
    if (pbProperty) *pbProperty = p != nullptr;
    return m ? m : p;
}

DispResult CDispatchControl::InvokeByName(const std::string& name, const std::vector<Variant>& args,
                                          Variant* pResult) {
    const DispMember* m = FindMemberByName(name);
    if (!m) return DISP_E_MEMBERNOTFOUND;
    return Invoke(m->dispid, args, pResult);
}

DispResult CDispatchControlBase::Invoke(DISPID dispid, const std::vector<Variant>& args,
                                        Variant* pResult) {
    bool bProperty = false;
    const DispMember* m = FindMember(dispid, &bProperty);
    if (!m) return DISP_E_MEMBERNOTFOUND;
    std::vector<Variant> coerced;
    DispResult r = bProperty ? CoercePropertyArgs(*m, args, coerced) : CoerceArgs(*m, args, coerced);
    if (r != DISP_OK) return r;
    Variant result = Dispatch(*m, coerced);
    if (pResult) {
        // Writing a property has no result.
        const bool bWrite = bProperty && !coerced.empty();
        if (bWrite || !result.ChangeType(m->result, *pResult)) *pResult = Variant();
    }
    return DISP_OK;
}

void CDispatchControlBase::FireEvent(DISPID dispid, const std::vector<Variant>& args) {
    if (!m_pSink) return;
    const DispMember* m = Events().Find(dispid);
    if (!m) return;
    std::vector<Variant> coerced;
    if (CoerceArgs(*m, args, coerced) != DISP_OK) return;
    m_pSink->OnEvent(dispid, coerced);
}

std::string ControlRegistryPath() { return ConfigDir() + "Controls.ini"; }

bool RegisterControl(const ControlRegistration& reg) {
    if (reg.progid.empty() || reg.library.empty()) return false;
    std::string file = ControlRegistryPath();
    return WriteProfileString(file, reg.progid.c_str(), "CLSID", reg.clsid.c_str()) &&
           WriteProfileString(file, reg.progid.c_str(), "Library", reg.library.c_str());
}

bool UnregisterControl(const std::string& progid) {
    if (progid.empty()) return false;
    return WriteProfileString(ControlRegistryPath(), progid.c_str(), nullptr, nullptr);
}

bool FindControl(const std::string& progidOrClsid, ControlRegistration& reg) {
    CProfileDocument doc;
    if (progidOrClsid.empty() || !doc.Load(ControlRegistryPath())) return false;
    for (const std::string& section : doc.SectionNames()) {
        std::string clsid, library;
        doc.GetString(section.c_str(), "CLSID", clsid);
        doc.GetString(section.c_str(), "Library", library);
        if (internal::EqualNoCase(progidOrClsid, section.c_str()) ||
            (!clsid.empty() && internal::EqualNoCase(progidOrClsid, clsid.c_str()))) {
            if (library.empty()) return false;
            reg = {section, clsid, library};
            return true;
        }
    }
    return false;
}

bool RegisterThisLibrary(const std::string& progid, const std::string& clsid,
                         const void* addressInLibrary) {
    Dl_info info{};
    if (!dladdr(addressInLibrary, &info) || !info.dli_fname) return false;
    char real[PATH_MAX];
    if (!realpath(info.dli_fname, real)) return false;
    return RegisterControl({progid, clsid, real});
}

std::unique_ptr<CDispatchControl> CreateControl(const std::string& progidOrClsid, QWidget* parent,
                                                std::string* pError) {
    auto fail = [&](const std::string& why) {
        if (pError) *pError = why;
        return std::unique_ptr<CDispatchControl>();
    };
    ControlRegistration reg;
    if (!FindControl(progidOrClsid, reg)) return fail("control not registered: " + progidOrClsid);
    // Libraries stay loaded for the life of the process, as their objects may outlive
    // any one host call.
    void* lib = dlopen(reg.library.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!lib) {
        const char* err = dlerror();
        return fail(std::string("cannot load ") + reg.library + ": " + (err ? err : "?"));
    }
    auto create = reinterpret_cast<CreateControlFn>(dlsym(lib, kCreateControlEntry));
    if (!create) return fail(reg.library + " has no control entry point");
    CDispatchControl* ctl = create(reg.progid.c_str(), parent);
    if (!ctl) return fail("the library refused to create " + reg.progid);
    return std::unique_ptr<CDispatchControl>(ctl);
}

}  // namespace platform
