#pragma once
// Controls are reached only by dispatch identifier, as hosts reach them on the system's
// original platform: a table of members per interface, Invoke with Variant arguments,
// and events delivered to the host's sink by their own identifiers. Control libraries
// register their ProgID, class identifier and file in the control registry and are
// opened by ProgID.
#include <array>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "platform/variant.h"

class QWidget;

namespace platform {

using DISPID = std::int32_t;

constexpr int kMaxDispArgs = 10;

struct DispMember {
    DISPID dispid;
    const char* name;
    VARTYPE result;  // VT_EMPTY: no result
    std::array<VARTYPE, kMaxDispArgs> args{};
    int nArgs = 0;

    constexpr DispMember(DISPID id, const char* n, VARTYPE r, std::initializer_list<VARTYPE> a)
        : dispid(id), name(n), result(r) {
        for (VARTYPE t : a) {
            if (nArgs < kMaxDispArgs) args[static_cast<std::size_t>(nArgs++)] = t;
        }
    }
};

// One interface: its name and members (methods, or events).
struct DispInterface {
    const char* name;
    std::span<const DispMember> members;

    const DispMember* Find(DISPID id) const;
    // Case-insensitive, as names are looked up by the original platform.
    const DispMember* FindByName(const std::string& name) const;
};

enum DispResult : int {
    DISP_OK = 0,
    DISP_E_MEMBERNOTFOUND = 1,
    DISP_E_BADPARAMCOUNT = 2,
    DISP_E_TYPEMISMATCH = 3,
};
const char* DispResultText(DispResult r);

// Coerces the arguments to the member's declared types. On a type mismatch nBadArg is
// the 0-based position of the argument that did not convert.
DispResult CoerceArgs(const DispMember& member, const std::vector<Variant>& in,
                      std::vector<Variant>& out, int* nBadArg = nullptr);
// The same for a property, whose entry's result is its type: no argument reads it, one
// argument of that type writes it.
DispResult CoercePropertyArgs(const DispMember& property, const std::vector<Variant>& in,
                              std::vector<Variant>& out, int* nBadArg = nullptr);

// The host's receiver of a control's events.
class IEventSink {
public:
    virtual ~IEventSink() = default;
    virtual void OnEvent(DISPID dispid, const std::vector<Variant>& args) = 0;
};

// What a host holds of a control.
class CDispatchControl {
public:
    virtual ~CDispatchControl() = default;
    virtual const DispInterface& Methods() const = 0;
    virtual const DispInterface& Events() const = 0;
    // The control's properties (none unless a control has some). Invoke reaches them by
    // their identifiers like methods.
    virtual const DispInterface& Properties() const;
    // A method or property by identifier or (case-insensitive) name; *pbProperty tells
    // which. nullptr when the control has no such member.
    const DispMember* FindMember(DISPID dispid, bool* pbProperty = nullptr) const;
    const DispMember* FindMemberByName(const std::string& name, bool* pbProperty = nullptr) const;
    // Unknown identifiers, wrong argument counts and arguments that do not convert are
    // refused before the control sees the call; a result that does not convert to the
    // declared type comes back empty.
    virtual DispResult Invoke(DISPID dispid, const std::vector<Variant>& args, Variant* pResult) = 0;
    // One sink (nullptr disconnects); the control fires events to it on the host's thread.
    virtual void SetEventSink(IEventSink* pSink) = 0;
    // The control's window, a child of the parent given at creation. The control owns it;
    // a host releases the control before it destroys that parent, but a control must
    // also survive its window being destroyed with the parent first.
    virtual QWidget* Widget() = 0;

    // Invoke by name, for tools.
    DispResult InvokeByName(const std::string& name, const std::vector<Variant>& args,
                            Variant* pResult);
};

// Base for controls: checks and coerces the call against the table, then calls Dispatch
// with arguments of the declared types; FireEvent checks the event table likewise.
class CDispatchControlBase : public CDispatchControl {
public:
    DispResult Invoke(DISPID dispid, const std::vector<Variant>& args, Variant* pResult) final;
    void SetEventSink(IEventSink* pSink) override { m_pSink = pSink; }

protected:
    // args are of the member's declared types; the result is coerced to the declared type.
    // A property comes with no argument (read: return its value) or one (write: the result
    // is dropped).
    virtual Variant Dispatch(const DispMember& member, const std::vector<Variant>& args) = 0;
    // An event whose arguments do not fit its table entry is a fault of the control and
    // is not delivered.
    void FireEvent(DISPID dispid, const std::vector<Variant>& args);

private:
    IEventSink* m_pSink = nullptr;
};

// The control registry: $XDG_CONFIG_HOME/Corvane/Controls.ini, a section per ProgID.
struct ControlRegistration {
    std::string progid;
    std::string clsid;    // "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}"
    std::string library;  // absolute path of the shared library
};
std::string ControlRegistryPath();
bool RegisterControl(const ControlRegistration& reg);
bool UnregisterControl(const std::string& progid);
// Looks a control up by ProgID or by class identifier.
bool FindControl(const std::string& progidOrClsid, ControlRegistration& reg);

// Registers the library that holds addressInLibrary under progid and clsid; what a
// control library's DllRegisterServer calls.
bool RegisterThisLibrary(const std::string& progid, const std::string& clsid,
                         const void* addressInLibrary);

// Opens the registered library (kept loaded for the life of the process) and creates the
// control as a child of parent. nullptr, with the reason in *pError, on failure.
std::unique_ptr<CDispatchControl> CreateControl(const std::string& progidOrClsid, QWidget* parent,
                                                std::string* pError = nullptr);

// Names of the C entry points every control library exports:
//   HRESULT DllRegisterServer();   HRESULT DllUnregisterServer();
//   platform::CDispatchControl* CorvaneCreateControl(const char* progid, QWidget* parent);
constexpr const char* kCreateControlEntry = "CorvaneCreateControl";
constexpr const char* kRegisterEntry = "DllRegisterServer";
constexpr const char* kUnregisterEntry = "DllUnregisterServer";
using CreateControlFn = CDispatchControl* (*)(const char* progid, QWidget* parent);
using HRESULT = std::int32_t;
using RegisterFn = HRESULT (*)();

// Self-registration results.
constexpr HRESULT S_OK = 0;
constexpr HRESULT SELFREG_E_TYPELIB = static_cast<HRESULT>(0x80040200u);
constexpr HRESULT SELFREG_E_CLASS = static_cast<HRESULT>(0x80040201u);

}  // namespace platform
