// The host wrapper against a recording stand-in (every member reaches its identifier with
// the table's types) and against the real control library (created from an empty control
// registry, events routed by control id).
#include <gtest/gtest.h>

#include <QWidget>
#include <cstdlib>
#include <functional>
#include <set>

#include "ecg_control/host/wavelin.h"
#include "ecg_control/wavelin_dispids.h"
#include "platform/dispatch.h"
#include "testsupport/qtapp.h"
#include "testsupport/testsupport.h"

using platform::DISPID;
using platform::Variant;

namespace {

::testing::Environment* const kApp =
    ::testing::AddGlobalTestEnvironment(new testsupport::CWidgetAppEnvironment);

// Records each call as it arrives, before any coercion, and answers with a value of the
// declared result type.
class CRecordingControl : public platform::CDispatchControl {
public:
    const platform::DispInterface& Methods() const override { return wavelin::MethodInterface(); }
    const platform::DispInterface& Events() const override { return wavelin::EventInterface(); }
    platform::DispResult Invoke(DISPID id, const std::vector<Variant>& args,
                                Variant* pResult) override {
        m_nLastId = id;
        m_lastArgs = args;
        const platform::DispMember* m = Methods().Find(id);
        if (m && pResult) {
            switch (m->result) {
                case platform::VT_BOOL:
                    *pResult = Variant::FromBool(true);
                    break;
                case platform::VT_I2:
                    *pResult = Variant(short(id));
                    break;
                case platform::VT_BSTR:
                    *pResult = Variant(std::string("r") + std::to_string(id));
                    break;
                default:
                    break;
            }
        }
        return platform::DISP_OK;
    }
    void SetEventSink(platform::IEventSink* p) override { m_pSink = p; }
    QWidget* Widget() override { return nullptr; }
    void Fire(DISPID id, const std::vector<Variant>& args) {
        if (m_pSink)
            m_pSink->OnEvent(id, args);
    }

    DISPID m_nLastId = 0;
    std::vector<Variant> m_lastArgs;
    platform::IEventSink* m_pSink = nullptr;
};

struct MemberCase {
    DISPID id;
    std::function<void(CWavelin&)> call;
};

const std::vector<MemberCase>& Cases() {
    static const std::vector<MemberCase> cases = {
        {3, [](CWavelin& w) { w.EKGInitialize(1, 2, 3, 4, 5, 6); }},
        {4, [](CWavelin& w) { w.EKGSetCellSize(4); }},
        {6, [](CWavelin& w) { w.EKGSetGridPen(0, 1, 0xFF); }},
        {7, [](CWavelin& w) { w.EKGSetGridInnerPen(0, 1, 0xFF); }},
        {8, [](CWavelin& w) { w.EKGSetBackColor(0xFFFFFF); }},
        {9, [](CWavelin& w) { w.EKGClearGraph(); }},
        {10, [](CWavelin& w) { w.EKGOpenFile("a.ekg"); }},
        {11, [](CWavelin& w) { w.EKGSaveFile("a.ekg"); }},
        {12, [](CWavelin& w) { w.EKGStartMonitoring("127.0.0.1", 5); }},
        {13, [](CWavelin& w) { w.EKGStopMonitoring(); }},
        {14, [](CWavelin& w) { w.EKGStartRecording("127.0.0.1", 5); }},
        {18, [](CWavelin& w) { w.EKGSetChType(1); }},
        {19, [](CWavelin& w) { w.EKGSetRhyCh(1); }},
        {20, [](CWavelin& w) { w.EKGSetGain(3); }},
        {21, [](CWavelin& w) { w.EKGSetSpeed(2); }},
        {22, [](CWavelin& w) { w.EKGSetGraphPen(0, 2, 0); }},
        {23, [](CWavelin& w) { w.EKGPrint("pdf", 3, 1, 1); }},
        {24, [](CWavelin& w) { w.EKGSetPrintGraphPen(0, 2, 0); }},
        {25, [](CWavelin& w) { w.EKGSetPrintGridPen(0, 1, 0x282828); }},
        {26, [](CWavelin& w) { w.EKGSetPrintGridInnerPen(0, 1, 0x7F7F7F); }},
        {27, [](CWavelin& w) { w.EKGMakeImage("a.jpg", 1, 3, 1, 1024, 1); }},
        {28, [](CWavelin& w) { w.EKGGetRhythmParam(0); }},
        {29, [](CWavelin& w) { w.EKGGetMorphologyParam(0, 1); }},
        {30, [](CWavelin& w) { w.EKGGetAnalysisCnt(); }},
        {31, [](CWavelin& w) { w.EKGGetAnalysis(0); }},
        {32, [](CWavelin& w) { w.EKGGetPatientInfo(0); }},
        {33, [](CWavelin& w) { w.EKGGetComment(); }},
        {34, [](CWavelin& w) { w.EKGSetComment("c"); }},
        {35, [](CWavelin& w) { w.EKGSetPatientInfo(0, "x"); }},
        {36, [](CWavelin& w) { w.EKGSetFilterInfo(1, 2, 3, 4); }},
        {37, [](CWavelin& w) { w.EKGGetMisc(0); }},
        {38, [](CWavelin& w) { w.EKGSetMisc(0, "m"); }},
        {39, [](CWavelin& w) { w.EKGEnableMagnifyGlass(1, 4, 3); }},
        {40, [](CWavelin& w) { w.EKGEnableMeasure(1); }},
        {42, [](CWavelin& w) { w.EKGGetTime(); }},
        {43, [](CWavelin& w) { w.EKGSetPrintDiag(1); }},
        {44, [](CWavelin& w) { w.EKGSetPrintParam(1); }},
        {45, [](CWavelin& w) { w.EKGSetPrintComment(1); }},
        {46, [](CWavelin& w) { w.EKGPrintPreview(3, 1, 1); }},
        {50, [](CWavelin& w) { w.EKGShowPacemaker(1); }},
        {51, [](CWavelin& w) { w.EKGSetPrintPacemaker(1); }},
        {54, [](CWavelin& w) { w.EKGMakePDF("a.pdf", 1, 3, 1, 1024); }},
        {55, [](CWavelin& w) { w.EKGMakeImageBMP("a.bmp", 1, 3, 1, 1024, 1); }},
        {58, [](CWavelin& w) { w.EKGGetConnectedEKGCnt(); }},
        {59, [](CWavelin& w) { w.EKGGetConnectedEKGInfo(0); }},
        {60, [](CWavelin& w) { w.EKGGetConnectedEKGID(0); }},
        {61, [](CWavelin& w) { w.EKGGetConnectedEKGIP(0); }},
        {62, [](CWavelin& w) { w.EKGConnectedSearch(100); }},
        {63, [](CWavelin& w) { w.EKGSetIPExchangeType(16); }},
        {65, [](CWavelin& w) { w.EKGMakeXML("a.xml"); }},
        {66, [](CWavelin& w) { w.EKGSetLanguage(11); }},
        {67, [](CWavelin& w) { w.SetBackColor(0xFFFFFF); }},
        {68, [](CWavelin& w) { w.SetGrid(0, 1, 0); }},
        {69, [](CWavelin& w) { w.SetGrid_Inner(0, 1, 0); }},
        {70, [](CWavelin& w) { w.SetGraph(0, 1, 0); }},
        {71, [](CWavelin& w) { w.EKGGetPrintError(); }},
    };
    return cases;
}

TEST(WavelinHost, EveryMemberReachesItsIdentifierWithTheTablesTypes) {
    CWavelin w;
    auto owned = std::make_unique<CRecordingControl>();
    CRecordingControl* p = owned.get();
    w.Attach(std::move(owned), 1054);
    for (const MemberCase& c : Cases()) {
        SCOPED_TRACE(c.id);
        p->m_nLastId = 0;
        c.call(w);
        ASSERT_EQ(p->m_nLastId, c.id);
        const platform::DispMember* m = wavelin::MethodInterface().Find(c.id);
        ASSERT_NE(m, nullptr);
        ASSERT_EQ(int(p->m_lastArgs.size()), m->nArgs);
        for (int i = 0; i < m->nArgs; ++i)
            EXPECT_EQ(p->m_lastArgs[size_t(i)].Type(), m->args[size_t(i)]) << "argument " << i;
    }
}

TEST(WavelinHost, ResultsComeBackUnchanged) {
    CWavelin w;
    w.Attach(std::make_unique<CRecordingControl>());
    EXPECT_EQ(w.EKGOpenFile("x"), TRUE);
    EXPECT_EQ(w.EKGGetConnectedEKGCnt(), 58);
    EXPECT_EQ(w.EKGConnectedSearch(1), 62);
    EXPECT_EQ(w.EKGGetConnectedEKGIP(0), "r61");
    EXPECT_EQ(w.EKGPrint("p", 1, 1, 1), 23);
}

TEST(WavelinHost, WithoutAControlEveryMemberFails) {
    CWavelin w;
    EXPECT_EQ(w.EKGOpenFile("x"), FALSE);
    EXPECT_EQ(w.EKGSaveFile("x"), FALSE);
    EXPECT_EQ(w.EKGGetConnectedEKGCnt(), 0);
    EXPECT_EQ(w.EKGGetPatientInfo(0), "");
    for (const MemberCase& c : Cases())
        c.call(w);  // nothing to crash on
}

TEST(WavelinHost, EventsReachTheHandlerWithTheirControlId) {
    CWavelin a, b;
    auto pa = std::make_unique<CRecordingControl>();
    auto pb = std::make_unique<CRecordingControl>();
    CRecordingControl* rawA = pa.get();
    CRecordingControl* rawB = pb.get();
    a.Attach(std::move(pa), 1054);
    b.Attach(std::move(pb), 1055);
    std::vector<std::pair<UINT, DISPID>> seen;
    auto fn = [&](UINT id, DISPID ev, const std::vector<Variant>&) { seen.emplace_back(id, ev); };
    a.SetEventHandler(fn);
    b.SetEventHandler(fn);
    rawB->Fire(wavelin::EVENTID_EKGRecordCompleted, {});
    rawA->Fire(wavelin::EVENTID_EKGMeasureHeight, {Variant(short(7))});
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0], std::make_pair(1055u, DISPID(wavelin::EVENTID_EKGRecordCompleted)));
    EXPECT_EQ(seen[1], std::make_pair(1054u, DISPID(wavelin::EVENTID_EKGMeasureHeight)));
    // A destroyed wrapper no longer listens.
    b.Destroy();
    EXPECT_EQ(b.Control(), nullptr);
}

TEST(WavelinHost, ABorrowedControlIsCalledButItsEventsStayWithItsOwner) {
    CWavelin owner, borrower;
    auto owned = std::make_unique<CRecordingControl>();
    CRecordingControl* p = owned.get();
    owner.Attach(std::move(owned), 1054);
    std::vector<UINT> seen;
    owner.SetEventHandler([&](UINT id, DISPID, const std::vector<Variant>&) { seen.push_back(id); });
    borrower.Borrow(*owner.Control(), 7);
    EXPECT_EQ(borrower.EKGGetConnectedEKGCnt(), 58);
    EXPECT_EQ(p->m_nLastId, 58);
    p->Fire(wavelin::EVENTID_EKGRecordCompleted, {});
    borrower.Destroy();  // the owner's control lives on and keeps its sink
    p->Fire(wavelin::EVENTID_EKGRecordCompleted, {});
    EXPECT_EQ(seen, (std::vector<UINT>{1054, 1054}));
    EXPECT_EQ(owner.EKGGetConnectedEKGCnt(), 58);
}

// The real control library: the private configuration folder of the test has no control
// registry, so the wrapper registers the library it finds and then creates the control.
TEST(WavelinHost, ANewUserGetsTheControlRegisteredBesideTheProgram) {
    ::setenv("CORVANE_CONTROL_DIR", WAVELIN_DIR, 1);
    // A registry of its own: other tests of the run register the control in theirs.
    testsupport::CTempDir config;
    testsupport::CEnvScope configHome("XDG_CONFIG_HOME", config.Path().c_str());
    platform::UnregisterControl(wavelin::kProgId);
    QWidget parent;
    CWavelin w;
    std::string err;
    EXPECT_FALSE(w.Create(&parent, 1054, &err));  // the server's way: registered by its script
    ASSERT_TRUE(w.Create(&parent, 1054, &err, CWavelin::kLibraryName)) << err;
    ASSERT_NE(w.Widget(), nullptr);
    EXPECT_EQ(w.Widget()->parentWidget(), &parent);
    platform::ControlRegistration reg;
    EXPECT_TRUE(platform::FindControl(wavelin::kClsid, reg));
    EXPECT_EQ(w.EKGGetConnectedEKGCnt(), 0);
    EXPECT_EQ(w.EKGOpenFile("/nonexistent/x.ekg"), FALSE);
    w.Destroy();
    ::unsetenv("CORVANE_CONTROL_DIR");
}

TEST(WavelinHost, AMissingLibraryIsAClearFailure) {
    QWidget parent;
    CControlWrapper w;
    std::string err;
    EXPECT_FALSE(
        w.Create("{00000000-0000-0000-0000-000000000001}", &parent, 1, &err, "libNoSuch.so"));
    EXPECT_NE(err.find("libNoSuch.so"), std::string::npos) << err;
}

}  // namespace
