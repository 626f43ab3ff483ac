// recctl: a stand-in control for tests of the hosts. It registers under the identity of the
// ECG control, the spirometry control or both (RECCTL_AS=wavelin|flowlin|both when
// DllRegisterServer runs; default both), takes every call of that control's dispatch table
// and appends one line per call to the file named by RECCTL_LOG:
//     Wavelin.EKGSetMisc(2, "Corvane Co., Ltd.")
//     Flowlin.Open("/data/x.fvc", 0)
// Every call answers with the empty value of its declared result (0, FALSE, ""), unless
// the JSON object in the file named by RECCTL_ANSWERS holds an answer: the key "Name(args)"
// as the call is logged (for example "Flowlin.GetInformation(0)") is looked up first, then
// "Name" alone ("Wavelin.EKGOpenFile"); numbers, texts and true/false convert to the
// declared result type, a number given for a BOOL result staying that number (a control
// may answer 2 or -1 where 1 is meant). The file is read at each call, so a test may
// change it between records.
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <QPointer>
#include <QWidget>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "ecg_control/wavelin_dispids.h"
#include "platform/dispatch.h"
#include "spiro_control/flowlin_dispids.h"

using namespace platform;

namespace {

void LogLine(const std::string& line) {
    const char* pszFile = std::getenv("RECCTL_LOG");
    if (!pszFile || !*pszFile)
        return;
    if (std::FILE* f = std::fopen(pszFile, "ae")) {
        std::fprintf(f, "%s\n", line.c_str());
        std::fclose(f);
    }
}

Variant EmptyOf(VARTYPE vt) {
    switch (vt) {
        case VT_I2: return Variant(static_cast<short>(0));
        case VT_I4: return Variant(static_cast<std::int32_t>(0));
        case VT_R4: return Variant(0.0f);
        case VT_R8: return Variant(0.0);
        case VT_BSTR: return Variant("");
        case VT_BOOL: return Variant::FromBool(false);
        default: return {};
    }
}

// The scripted answer of a call, converted to the declared result; empty when none.
Variant Scripted(const std::string& strCall, const std::string& strName, VARTYPE vt) {
    const char* pszFile = std::getenv("RECCTL_ANSWERS");
    if (!pszFile || !*pszFile)
        return {};
    QFile file(QString::fromLocal8Bit(pszFile));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QJsonObject answers = QJsonDocument::fromJson(file.readAll()).object();
    QJsonValue v = answers.value(QString::fromStdString(strCall));
    if (v.isUndefined())
        v = answers.value(QString::fromStdString(strName));
    if (v.isUndefined() || v.isNull())
        return {};
    switch (vt) {
        case VT_I2: return Variant(static_cast<short>(v.toInt()));
        case VT_I4: return Variant(static_cast<std::int32_t>(v.toInt()));
        case VT_R4: return Variant(static_cast<float>(v.toDouble()));
        case VT_R8: return Variant(v.toDouble());
        case VT_BSTR: return Variant(v.toString().toStdString().c_str());
        case VT_BOOL:
            return v.isBool() ? Variant::FromBool(v.toBool()) : Variant::FromBOOL(v.toInt());
        default: return {};
    }
}

class CRecCtrl : public CDispatchControlBase {
public:
    CRecCtrl(const char* pszName, const DispInterface& methods, const DispInterface& events,
             QWidget* pParent)
        : m_strName(pszName), m_methods(methods), m_events(events), m_pWnd(new QWidget(pParent)) {
        m_pWnd->hide();
    }
    ~CRecCtrl() override { delete m_pWnd.data(); }
    const DispInterface& Methods() const override { return m_methods; }
    const DispInterface& Events() const override { return m_events; }
    QWidget* Widget() override { return m_pWnd.data(); }

protected:
    Variant Dispatch(const DispMember& m, const std::vector<Variant>& args) override {
        std::string line = m_strName + "." + m.name + "(";
        for (std::size_t i = 0; i < args.size(); ++i)
            line += (i ? ", " : "") + (args[i].Type() == VT_BSTR ? "\"" + args[i].AsText() + "\""
                                                                 : args[i].Display());
        line += ")";
        LogLine(line);
        Variant answer = Scripted(line, m_strName + "." + m.name, m.result);
        return answer.Type() == VT_EMPTY ? EmptyOf(m.result) : answer;
    }

private:
    std::string m_strName;
    const DispInterface& m_methods;
    const DispInterface& m_events;
    QPointer<QWidget> m_pWnd;
};

bool Wanted(const char* pszKind) {
    const char* as = std::getenv("RECCTL_AS");
    return !as || !*as || std::strcmp(as, "both") == 0 || std::strcmp(as, pszKind) == 0;
}

}  // namespace

extern "C" {
__attribute__((visibility("default"))) HRESULT DllRegisterServer() {
    const void* self = reinterpret_cast<const void*>(&DllRegisterServer);
    bool bOk = true;
    if (Wanted("wavelin"))
        bOk = RegisterThisLibrary(wavelin::kProgId, wavelin::kClsid, self) && bOk;
    if (Wanted("flowlin"))
        bOk = RegisterThisLibrary(flowlin::kProgId, flowlin::kClsid, self) && bOk;
    return bOk ? S_OK : SELFREG_E_CLASS;
}
__attribute__((visibility("default"))) HRESULT DllUnregisterServer() {
    bool bOk = true;
    if (Wanted("wavelin"))
        bOk = UnregisterControl(wavelin::kProgId) && bOk;
    if (Wanted("flowlin"))
        bOk = UnregisterControl(flowlin::kProgId) && bOk;
    return bOk ? S_OK : SELFREG_E_CLASS;
}
__attribute__((visibility("default"))) CDispatchControl* CorvaneCreateControl(const char* progid,
                                                                               QWidget* parent) {
    if (progid && std::strcmp(progid, wavelin::kProgId) == 0)
        return new CRecCtrl("Wavelin", wavelin::MethodInterface(), wavelin::EventInterface(), parent);
    if (progid && std::strcmp(progid, flowlin::kProgId) == 0)
        return new CRecCtrl("Flowlin", flowlin::MethodInterface(), flowlin::EventInterface(), parent);
    return nullptr;
}
}
