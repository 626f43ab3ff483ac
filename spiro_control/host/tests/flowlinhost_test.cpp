// The spirometry host wrapper against a recording stand-in (every member reaches its
// identifier with the table's types, properties read with no argument and written with
// one) and against the real control library created from an empty control registry.
#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <QWidget>
#include <cstdlib>
#include <functional>

#include "platform/dispatch.h"
#include "spiro_control/flowlin_dispids.h"
#include "spiro_control/host/flowlin.h"
#include "testsupport/qtapp.h"
#include "testsupport/testsupport.h"

using platform::DISPID;
using platform::Variant;

namespace {

::testing::Environment* const kApp =
    ::testing::AddGlobalTestEnvironment(new testsupport::CWidgetAppEnvironment);

class CRecordingControl : public platform::CDispatchControl {
public:
    const platform::DispInterface& Methods() const override { return flowlin::MethodInterface(); }
    const platform::DispInterface& Events() const override { return flowlin::EventInterface(); }
    const platform::DispInterface& Properties() const override {
        return flowlin::PropertyInterface();
    }
    platform::DispResult Invoke(DISPID id, const std::vector<Variant>& args,
                                Variant* pResult) override {
        m_nLastId = id;
        m_lastArgs = args;
        bool bProperty = false;
        const platform::DispMember* m = FindMember(id, &bProperty);
        if (m && pResult && !(bProperty && !args.empty())) {
            switch (m->result) {
                case platform::VT_BOOL:
                    *pResult = Variant::FromBool(true);
                    break;
                case platform::VT_I2:
                    *pResult = Variant(short(id));
                    break;
                case platform::VT_R4:
                    *pResult = Variant(float(id) + 0.5f);
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
    void SetEventSink(platform::IEventSink*) override {}
    QWidget* Widget() override { return nullptr; }

    DISPID m_nLastId = 0;
    std::vector<Variant> m_lastArgs;
};

struct MemberCase {
    DISPID id;
    std::function<void(CFlowlin&)> call;
    bool bPut = false;  // a property written: one argument of the property's type
};

const std::vector<MemberCase>& Cases() {
    using namespace flowlin;
    static const std::vector<MemberCase> cases = {
        {DISPID_FVCGraphType, [](CFlowlin& f) { f.GetFVCGraphType(); }},
        {DISPID_FVCGraphType, [](CFlowlin& f) { f.SetFVCGraphType(1); }, true},
        {DISPID_GridSize, [](CFlowlin& f) { f.SetGridSize(30); }, true},
        {DISPID_PrintDiagnosis, [](CFlowlin& f) { f.SetPrintDiagnosis(TRUE); }, true},
        {DISPID_PrintComment, [](CFlowlin& f) { f.SetPrintComment(FALSE); }, true},
        {DISPID_FVCGraphNum, [](CFlowlin& f) { f.GetFVCGraphNum(); }},
        {DISPID_FVCGraphNum, [](CFlowlin& f) { f.SetFVCGraphNum(2); }, true},
        {DISPID_Clear, [](CFlowlin& f) { f.Clear(); }},
        {DISPID_Open, [](CFlowlin& f) { f.Open("a.fvc", 0); }},
        {DISPID_Save, [](CFlowlin& f) { f.Save("a.fvc"); }},
        {DISPID_SetPenGrid, [](CFlowlin& f) { f.SetPenGrid(0, 1, 0xFF); }},
        {DISPID_SetPenGraph, [](CFlowlin& f) { f.SetPenGraph(0, 2, 0xFF00); }},
        {DISPID_SetPenReference, [](CFlowlin& f) { f.SetPenReference(2, 1, 0); }},
        {DISPID_GetTestType, [](CFlowlin& f) { f.GetTestType(); }},
        {DISPID_GetParamCount, [](CFlowlin& f) { f.GetParamCount(1, 2); }},
        {DISPID_GetParamDepth, [](CFlowlin& f) { f.GetParamDepth(1); }},
        {DISPID_GetParamLabelString, [](CFlowlin& f) { f.GetParamLabelString(1, 0); }},
        {DISPID_GetParamUnitString, [](CFlowlin& f) { f.GetParamUnitString(1, 0); }},
        {DISPID_GetMeasureString, [](CFlowlin& f) { f.GetMeasureString(1, 0); }},
        {DISPID_GetParam, [](CFlowlin& f) { f.GetParam(1, 0, 0); }},
        {DISPID_GetInformation, [](CFlowlin& f) { f.GetInformation(0); }},
        {DISPID_SetInformation, [](CFlowlin& f) { f.SetInformation(0, "x"); }},
        {DISPID_SaveJPEG, [](CFlowlin& f) { f.SaveJPEG("a.jpg", 600); }},
        {DISPID_PrintEx, [](CFlowlin& f) { f.PrintEx("pdf", 2); }},
        {DISPID_PrintPreview, [](CFlowlin& f) { f.PrintPreview(); }},
        {DISPID_GetRaceString, [](CFlowlin& f) { f.GetRaceString(); }},
        {DISPID_GetSmokeString, [](CFlowlin& f) { f.GetSmokeString(); }},
        {DISPID_GetSmokePackString, [](CFlowlin& f) { f.GetSmokePackString(); }},
        {DISPID_GetAnalysisString, [](CFlowlin& f) { f.GetAnalysisString(); }},
        {DISPID_GetFormulaString, [](CFlowlin& f) { f.GetFormulaString(); }},
        {DISPID_IsPound, [](CFlowlin& f) { f.IsPound(); }},
        {DISPID_GetAnalysisStringPost, [](CFlowlin& f) { f.GetAnalysisStringPost(); }},
        {DISPID_SetPenGraphPost, [](CFlowlin& f) { f.SetPenGraphPost(0, 2, 0xFF); }},
        {DISPID_GetFileVersion, [](CFlowlin& f) { f.GetFileVersion(); }},
        {DISPID_SaveBMP, [](CFlowlin& f) { f.SaveBMP("a.bmp", 600); }},
        {DISPID_SavePDF, [](CFlowlin& f) { f.SavePDF("a.pdf", 600); }},
        {DISPID_GetEcode, [](CFlowlin& f) { f.GetEcode(1, 0); }},
        {DISPID_GetTrialNum, [](CFlowlin& f) { f.GetTrialNum(); }},
        {DISPID_GetBestNo, [](CFlowlin& f) { f.GetBestNo(); }},
        {DISPID_GetBestNoPost, [](CFlowlin& f) { f.GetBestNoPost(); }},
        {DISPID_SetPDFPenGrid, [](CFlowlin& f) { f.SetPDFPenGrid(0, 1, 0); }},
        {DISPID_SetPDFPenGraph, [](CFlowlin& f) { f.SetPDFPenGraph(0, 1, 0); }},
        {DISPID_SetPDFPenGraphPost, [](CFlowlin& f) { f.SetPDFPenGraphPost(0, 1, 0); }},
        {DISPID_SetPDFPenReference, [](CFlowlin& f) { f.SetPDFPenReference(0, 1, 0); }},
    };
    return cases;
}

TEST(FlowlinHost, EveryMemberReachesItsIdentifierWithTheTablesTypes) {
    CFlowlin f;
    auto owned = std::make_unique<CRecordingControl>();
    CRecordingControl* p = owned.get();
    f.Attach(std::move(owned));
    for (const MemberCase& c : Cases()) {
        SCOPED_TRACE(c.id);
        p->m_nLastId = 0;
        c.call(f);
        ASSERT_EQ(p->m_nLastId, c.id);
        bool bProperty = false;
        const platform::DispMember* m = p->FindMember(c.id, &bProperty);
        ASSERT_NE(m, nullptr);
        if (bProperty) {
            ASSERT_EQ(p->m_lastArgs.size(), c.bPut ? 1u : 0u);
            if (c.bPut)
                EXPECT_EQ(p->m_lastArgs[0].Type(), m->result);
            continue;
        }
        ASSERT_EQ(int(p->m_lastArgs.size()), m->nArgs);
        for (int i = 0; i < m->nArgs; ++i)
            EXPECT_EQ(p->m_lastArgs[size_t(i)].Type(), m->args[size_t(i)]) << "argument " << i;
    }
}

TEST(FlowlinHost, ResultsComeBackUnchangedAndWithoutAControlAsFailures) {
    CFlowlin f;
    f.Attach(std::make_unique<CRecordingControl>());
    EXPECT_EQ(f.Open("x", 0), flowlin::DISPID_Open);
    EXPECT_EQ(f.GetFVCGraphNum(), flowlin::DISPID_FVCGraphNum);
    EXPECT_FLOAT_EQ(f.GetParam(1, 0, 0), flowlin::DISPID_GetParam + 0.5f);
    EXPECT_EQ(f.GetInformation(0), "r24");
    EXPECT_EQ(f.IsPound(), TRUE);

    CFlowlin none;
    EXPECT_EQ(none.Open("x", 0), -1);
    EXPECT_EQ(none.Save("x"), -1);
    EXPECT_EQ(none.SaveJPEG("x", 600), -1);
    EXPECT_EQ(none.SavePDF("x", 600), -1);
    EXPECT_EQ(none.PrintEx("p", 1), -1);
    EXPECT_EQ(none.GetTestType(), 0);
    EXPECT_EQ(none.GetInformation(0), "");
    for (const MemberCase& c : Cases())
        c.call(none);  // nothing to crash on
}

// The real control: a new user has no control registry, so the viewer's way registers the
// library found beside the program; the server's way (no library named) does not.
TEST(FlowlinHost, ANewUserGetsTheControlRegisteredAndItOpensATest) {
    ::setenv("CORVANE_CONTROL_DIR", FLOWLIN_DIR, 1);
    // A registry of its own: other tests of the run register the control in theirs.
    testsupport::CTempDir config;
    testsupport::CEnvScope configHome("XDG_CONFIG_HOME", config.Path().c_str());
    platform::UnregisterControl(flowlin::kProgId);
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const std::string out = dir.path().toStdString();
    int status = -1;
    testsupport::RunCommand(std::string(SPIRO_PYTHON3) + " " + SPIRO_FIXTURE_SCRIPT + " " +
                                testsupport::ShellQuote(out),
                            &status);
    ASSERT_EQ(status, 0);

    QWidget parent;
    CFlowlin f;
    std::string err;
    EXPECT_FALSE(f.Create(&parent, 0, &err));
    ASSERT_TRUE(f.Create(&parent, 0, &err, CFlowlin::kLibraryName)) << err;
    ASSERT_NE(f.Widget(), nullptr);
    EXPECT_EQ(f.Open((out + "/shaped_t3_f2.mvv").c_str(), 0), 3);
    EXPECT_EQ(f.GetTestType(), 3);
    EXPECT_EQ(f.GetFileVersion(), 2);
    f.SetGridSize(31);
    EXPECT_EQ(f.Open((out + "/missing.fvc").c_str(), 0), -2);
    f.Clear();
    EXPECT_EQ(f.GetTestType(), 0);
}

}  // namespace
