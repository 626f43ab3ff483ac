#pragma once
// A host's hold on one control: created by class identifier as a child of a window, called
// only by dispatch identifier, its events handed to the host with the control id the host
// gave it (as a dialog routes its controls' events by id). A wrapper without a control
// answers every call with an empty result, which each member reads as its failure value.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/dispatch.h"
#include "platform/wintypes.h"

class QWidget;

// What a host window receives of its controls' events: the control id, the event id and
// the arguments in the types of the control's event table.
using ControlEventFn = std::function<void(UINT nCtrlId, platform::DISPID nEvent,
                                          const std::vector<platform::Variant>&)>;

class CControlWrapper : private platform::IEventSink {
public:
    CControlWrapper() = default;
    CControlWrapper(const CControlWrapper&) = delete;
    CControlWrapper& operator=(const CControlWrapper&) = delete;
    ~CControlWrapper() override;

    // Creates the control by class identifier as a child of pParent. When the control is not
    // registered (a new user has no control registry) and pszLibraryName is given, the
    // library of that name beside the program is registered and the creation tried again.
    // FALSE with the reason in *pError when the control cannot be had.
    bool Create(const char* pszClsid, QWidget* pParent, UINT nCtrlId = 0,
                std::string* pError = nullptr, const char* pszLibraryName = nullptr);
    // Takes a control made elsewhere (tests hand in their own).
    void Attach(std::unique_ptr<platform::CDispatchControl> pControl, UINT nCtrlId = 0);
    // Calls another holder's control without owning it (a dialog working on a view's control):
    // the control's events stay with its owner. The control must outlive this wrapper's use.
    void Borrow(platform::CDispatchControl& control, UINT nCtrlId = 0);
    bool IsCreated() const { return m_pControl != nullptr; }
    void Destroy();
    platform::CDispatchControl* Control() const { return m_pControl.get(); }
    QWidget* Widget() const;
    UINT CtrlId() const { return m_nCtrlId; }

    // Events of this control go to fn with the control id; none set: they are dropped.
    void SetEventHandler(ControlEventFn fn) { m_onEvent = std::move(fn); }

protected:
    platform::Variant Call(platform::DISPID id, std::vector<platform::Variant> args = {});

private:
    void OnEvent(platform::DISPID dispid, const std::vector<platform::Variant>& args) override;

    std::unique_ptr<platform::CDispatchControl> m_pControl;
    UINT m_nCtrlId = 0;
    ControlEventFn m_onEvent;
};

// Registers the control library pszLibraryName found in the program's folder (or, for test
// programs, in the folder named by CORVANE_CONTROL_DIR) by its own registration entry.
bool RegisterControlBesideProgram(const char* pszLibraryName, std::string* pError = nullptr);
