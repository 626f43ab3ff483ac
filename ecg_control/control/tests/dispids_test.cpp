// The shared dispatch table against the control's own dispatch map, and every member
// called once through Invoke.
#include <gtest/gtest.h>

#include "ecg_control/control/ekgpreviewdlg.h"

#include <QWidget>
#include <memory>
#include <set>
#include <string>

#include "ecg_control/control/wavelinctrl.h"
#include "ecg_control/wavelin_dispids.h"
#include "testsupport/testsupport.h"

using namespace platform;

TEST(WavelinDispIds, TableMatchesTheControlsMap) {
    const auto map = CWavelinCtrl::DispatchMap();
    ASSERT_EQ(std::size(wavelin::kMethods), map.size());
    ASSERT_EQ(static_cast<int>(std::size(wavelin::kMethods)), wavelin::kMethodCount + 1);
    std::set<DISPID> seen;
    for (std::size_t i = 0; i < map.size(); ++i) {
        const DispMember& m = wavelin::kMethods[i];
        SCOPED_TRACE(m.name);
        EXPECT_EQ(m.dispid, map[i].dispid);
        EXPECT_STREQ(m.name, map[i].name);
        EXPECT_NE(map[i].pfn, nullptr);
        EXPECT_TRUE(seen.insert(m.dispid).second);
        // The identifier is the position in the map; AboutBox has the stock one.
        if (std::string(m.name) == "AboutBox") {
            EXPECT_EQ(m.dispid, -552);
        } else {
            EXPECT_EQ(m.dispid, static_cast<DISPID>(i + 1));
        }
    }
    ASSERT_EQ(static_cast<int>(std::size(wavelin::kEvents)), wavelin::kEventCount);
    for (std::size_t i = 0; i < std::size(wavelin::kEvents); ++i) {
        EXPECT_EQ(wavelin::kEvents[i].dispid, static_cast<DISPID>(i + 1));
    }
}

// What the server and the viewer rely on, by identifier (independent of the table).
TEST(WavelinDispIds, HostContractSpotChecks) {
    struct Case {
        DISPID id;
        const char* name;
        VARTYPE result;
        int nArgs;
    };
    const Case cases[] = {
        {3, "EKGInitialize", VT_EMPTY, 6},     {10, "EKGOpenFile", VT_BOOL, 1},
        {14, "EKGStartRecording", VT_BOOL, 2}, {23, "EKGPrint", VT_I2, 4},
        {27, "EKGMakeImage", VT_BOOL, 6},      {29, "EKGGetMorphologyParam", VT_I2, 2},
        {31, "EKGGetAnalysis", VT_BSTR, 1},    {46, "EKGPrintPreview", VT_I2, 3},
        {54, "EKGMakePDF", VT_BOOL, 5},        {55, "EKGMakeImageBMP", VT_BOOL, 6},
        {62, "EKGConnectedSearch", VT_I2, 1},  {65, "EKGMakeXML", VT_BOOL, 1},
        {68, "SetGrid", VT_BOOL, 3},           {70, "SetGraph", VT_BOOL, 3},
        {71, "EKGGetPrintError", VT_BSTR, 0},
    };
    for (const Case& c : cases) {
        const DispMember* m = wavelin::MethodInterface().Find(c.id);
        ASSERT_NE(m, nullptr) << c.name;
        EXPECT_STREQ(m->name, c.name);
        EXPECT_EQ(m->result, c.result) << c.name;
        EXPECT_EQ(m->nArgs, c.nArgs) << c.name;
    }
    const DispMember* e = wavelin::EventInterface().Find(4);
    ASSERT_NE(e, nullptr);
    EXPECT_STREQ(e->name, "EKGMeasureWidth");
    e = wavelin::EventInterface().Find(10);
    ASSERT_NE(e, nullptr);
    EXPECT_STREQ(e->name, "EKGPDFError");
    EXPECT_EQ(e->args[0], VT_I4);
}

// Every member answers through Invoke with a result of its declared type, on an empty
// control (no record): nothing may crash and the failure values come back.
TEST(WavelinDispIds, EveryMemberAnswersOnAnEmptyControl) {
    testsupport::CTempDir dir;
    testsupport::CScriptedNotifier notifier;
    // The print preview is closed at once, as an operator would.
    const auto previous = CEkgPreviewDlg::SetRunner([](CEkgPreviewDlg&) { return 2; });
    QWidget host;
    host.resize(640, 480);
    CWavelinCtrl ctrl(&host);
    for (const DispMember& m : wavelin::kMethods) {
        SCOPED_TRACE(m.name);
        std::vector<Variant> args;
        for (int i = 0; i < m.nArgs; ++i) {
            args.push_back(m.args[i] == VT_BSTR ? Variant(dir / "out.bin") : Variant(short(0)));
        }
        if (std::string(m.name) == "EKGOpenURL") {
            args[0] = Variant("http://127.0.0.1:1/none.ekg");
        }
        Variant result;
        ASSERT_EQ(ctrl.Invoke(m.dispid, args, &result), DISP_OK);
        EXPECT_EQ(result.Type(), m.result);
    }
    EXPECT_EQ(notifier.calls.size(), 1u);  // the about box
    CEkgPreviewDlg::SetRunner(previous);
}

// A host may destroy its window before it releases the control: the calls that still come
// answer with their failure values, and releasing the control afterwards is safe.
TEST(WavelinDispIds, CallsAfterTheHostWindowIsGone) {
    auto pHost = std::make_unique<QWidget>();
    CWavelinCtrl ctrl(pHost.get());
    pHost.reset();
    EXPECT_EQ(ctrl.Widget(), nullptr);
    Variant result;
    ASSERT_EQ(ctrl.InvokeByName("EKGOpenFile", {Variant("x.ekg")}, &result), DISP_OK);
    EXPECT_EQ(result, Variant::FromBool(false));
    ASSERT_EQ(ctrl.InvokeByName("EKGGetMode", {}, &result), DISP_OK);
    EXPECT_EQ(result, Variant(short(0)));
    ASSERT_EQ(ctrl.InvokeByName("EKGGetPatientInfo", {Variant(short(0))}, &result), DISP_OK);
    EXPECT_EQ(result, Variant(""));
    EXPECT_EQ(ctrl.InvokeByName("EKGClearGraph", {}, &result), DISP_OK);
}
