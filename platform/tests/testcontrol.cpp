// A small control for the dispatch tests: a few methods of every type and one event.
#include <QPointer>
#include <QWidget>

#include "platform/dispatch.h"

using namespace platform;

namespace {

constexpr const char* kProgId = "CORVANE.TestCtrl.1";
constexpr const char* kClsid = "{00000000-1111-2222-3333-444444444444}";

constexpr DispMember kMethods[] = {
    {1, "Add", VT_I2, {VT_I2, VT_I2}},
    {2, "Echo", VT_BSTR, {VT_BSTR}},
    {3, "Fire", VT_EMPTY, {VT_I4}},
    {4, "Negate", VT_BOOL, {VT_BOOL}},
    {5, "Half", VT_R4, {VT_R8}},
};
// Read with no argument, written with one.
constexpr DispMember kProperties[] = {
    {6, "Level", VT_I2, {}},
};
constexpr DispMember kEvents[] = {
    {1, "Done", VT_EMPTY, {VT_I4, VT_R4}},
};

class CTestCtrl : public CDispatchControlBase {
public:
    explicit CTestCtrl(QWidget* parent) : m_pWnd(new QWidget(parent)) {}
    ~CTestCtrl() override { delete m_pWnd.data(); }
    const DispInterface& Methods() const override { return m_methods; }
    const DispInterface& Events() const override { return m_events; }
    const DispInterface& Properties() const override { return m_properties; }
    QWidget* Widget() override { return m_pWnd.data(); }

protected:
    Variant Dispatch(const DispMember& m, const std::vector<Variant>& a) override {
        switch (m.dispid) {
            case 1: return Variant(static_cast<short>(a[0].AsShort() + a[1].AsShort()));
            case 2: return Variant("echo:" + a[0].AsText());
            case 3: FireEvent(1, {Variant(a[0].AsLong()), Variant(2.5)}); return {};
            case 4: return Variant::FromBool(!a[0].AsBool());
            case 5: return Variant(a[0].AsDouble() / 2);
            case 6:
                if (a.empty()) return Variant(m_nLevel);
                m_nLevel = a[0].AsShort();
                return Variant(m_nLevel);  // dropped: a write has no result
        }
        return {};
    }

private:
    DispInterface m_methods{"_DTest", kMethods};
    DispInterface m_events{"_DTestEvents", kEvents};
    DispInterface m_properties{"_DTest", kProperties};
    short m_nLevel = 0;
    QPointer<QWidget> m_pWnd;  // gone when the host destroyed its window first
};

}  // namespace

extern "C" {
__attribute__((visibility("default"))) HRESULT DllRegisterServer() {
    return RegisterThisLibrary(kProgId, kClsid, reinterpret_cast<const void*>(&DllRegisterServer))
               ? S_OK
               : SELFREG_E_CLASS;
}
__attribute__((visibility("default"))) HRESULT DllUnregisterServer() {
    return UnregisterControl(kProgId) ? S_OK : SELFREG_E_CLASS;
}
__attribute__((visibility("default"))) CDispatchControl* CorvaneCreateControl(const char* progid,
                                                                               QWidget* parent) {
    return new CTestCtrl(parent);
}
}
