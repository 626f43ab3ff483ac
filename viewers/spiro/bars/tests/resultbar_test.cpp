// The result bar with the real control over the spirometry fixtures: the table by test
// type and format (the quality-code row only in format 2), the interpretation, the comment
// and its save, the empty bar, minimizing.
#include <gtest/gtest.h>

#include <QPlainTextEdit>
#include <QTest>

#include "barsfixture.h"
#include "pulmetra/bars/barstrings.h"
#include "pulmetra/bars/resultbar.h"

using barstest::CRealControl;
using R = CPulmetraResultBar;

namespace {

struct PulmetraResultBar : ::testing::Test {
    void SetUp() override { ASSERT_TRUE(control.IsCreated()) << control.Error(); }
    CRealControl control;
    R bar;
    testsupport::CTempDir dir;
};

std::string FixtureName(int nType, int nFormat) {
    const char* ext = nType == 2 ? "svc" : nType == 3 ? "mvv" : "fvc";
    return "spiro_t" + std::to_string(nType) + "_f" + std::to_string(nFormat) + "." + ext;
}

// Every type and format: headings, labels, units and values as the control gives them.
TEST_F(PulmetraResultBar, TheTableHasTheControlsRowsAndColumnsForEveryTypeAndFormat) {
    const int kDepth[] = {0, 6, 4, 1, 6, 12};
    for (int t = 1; t <= 5; ++t)
        for (int f = 0; f <= 2; ++f) {
            const std::string name = FixtureName(t, f);
            SCOPED_TRACE(name);
            const std::string path = barstest::FixtureDir() + name;
            ASSERT_EQ(control->Open(path.c_str(), 0), t);
            bar.Refresh(control.get(), path);
            CExListCtrl& list = *bar.Params();
            EXPECT_TRUE(list.isEnabled());
            ASSERT_EQ(list.columnCount(), 2 + kDepth[t]);
            EXPECT_EQ(list.headerItem()->text(0), "Param");
            EXPECT_EQ(list.columnWidth(0), 110);
            EXPECT_EQ(list.columnWidth(1), 50);
            for (int d = 0; d < kDepth[t]; ++d) {
                EXPECT_EQ(list.headerItem()->text(2 + d),
                          pmstr::ToQ(control->GetMeasureString(short(t), short(d))));
                EXPECT_EQ(list.columnWidth(2 + d), 60);
            }
            const int nRows = (t == 2) ? 5 : (t == 3) ? 3 : (f == 2 ? 15 : 10);
            ASSERT_EQ(list.GetItemCount(), nRows);
            const bool bCodes = f == 2 && t != 2 && t != 3;
            for (int r = 0; r < nRows - (bCodes ? 1 : 0); ++r) {
                EXPECT_EQ(list.GetItemText(r, 0),
                          pmstr::ToQ(control->GetParamLabelString(short(t), short(r))));
                EXPECT_EQ(list.GetItemText(r, 1),
                          pmstr::ToQ(control->GetParamUnitString(short(t), short(r))));
                for (int d = 0; d < kDepth[t]; ++d)
                    EXPECT_EQ(list.GetItemText(r, 2 + d),
                              QString::asprintf(
                                  "%.2f", double(control->GetParam(short(t), short(r), short(d)))))
                        << r << " " << d;
            }
            // Without codes the last row is a row of values.
            if (!bCodes && kDepth[t] > 0) {
                EXPECT_FALSE(list.GetItemText(nRows - 1, 2).isEmpty());
            }
        }
    // A value by hand: type 1, format 2, FVC best = 1.37 + 0.21 + 0.06.
    const std::string path = barstest::FixtureDir() + "spiro_t1_f2.fvc";
    ASSERT_EQ(control->Open(path.c_str(), 0), 1);
    bar.Refresh(control.get(), path);
    EXPECT_EQ(bar.Params()->GetItemText(0, 0), "FVC");
    EXPECT_EQ(bar.Params()->GetItemText(0, 2), "1.64");
    EXPECT_EQ(bar.Params()->GetItemText(4, 5), "-41.62");
}

// The fixtures' quality codes: trials "010", "101", "0A1", overall "11 ", best trial 2;
// type 5 after: "001", "100", "1B0", overall "000", best after-trial 1.
TEST_F(PulmetraResultBar, FormatTwoTestsEndWithTheQualityCodeRow) {
    for (int t : {1, 4}) {
        SCOPED_TRACE(t);
        const std::string path = barstest::FixtureDir() + FixtureName(t, 2);
        ASSERT_EQ(control->Open(path.c_str(), 0), t);
        bar.Refresh(control.get(), path);
        CExListCtrl& list = *bar.Params();
        const int last = list.GetItemCount() - 1;
        EXPECT_EQ(list.GetItemText(last, 2), "11-1 101");
        EXPECT_EQ(list.GetItemText(last, 3), "");
        EXPECT_EQ(list.GetItemText(last, 4), "");
        EXPECT_EQ(list.GetItemText(last, 5), "_010");
        EXPECT_EQ(list.GetItemText(last, 6), "_101");
        EXPECT_EQ(list.GetItemText(last, 7), "_0-11");
    }
    EXPECT_EQ(bar.Params()->GetItemText(14, 0), "FVL Ecode");
    const std::string path = barstest::FixtureDir() + FixtureName(5, 2);
    ASSERT_EQ(control->Open(path.c_str(), 0), 5);
    bar.Refresh(control.get(), path);
    CExListCtrl& list = *bar.Params();
    const int last = list.GetItemCount() - 1;
    const std::pair<int, QString> cells[] = {
        {2, "11-1 101"}, {3, ""},     {4, "000 001"}, {5, ""},      {6, ""},      {7, ""},
        {8, "_010"},     {9, "_101"}, {10, "_0-11"},  {11, "_001"}, {12, "_100"}, {13, "_1-10"},
    };
    for (const auto& [col, text] : cells)
        EXPECT_EQ(list.GetItemText(last, col), text) << col;
}

TEST_F(PulmetraResultBar, ATrialWithoutCodesShowsAnUnderscore) {
    // Trial 1's first quality digit made unreadable (the fields start at byte 1312).
    const std::string path = barstest::CopyFixture("spiro_t4_f2.fvc", dir);
    std::string bytes = testsupport::ReadFile(path);
    ASSERT_GT(bytes.size(), 1320u);
    bytes[1312 + 3] = 'X';
    ASSERT_TRUE(testsupport::WriteFile(path, bytes));
    ASSERT_EQ(control->Open(path.c_str(), 0), 4);
    bar.Refresh(control.get(), path);
    EXPECT_EQ(bar.Params()->GetItemText(14, 5), "_010");
    EXPECT_EQ(bar.Params()->GetItemText(14, 6), "_");
    EXPECT_EQ(bar.Params()->GetItemText(14, 7), "_0-11");
}

TEST_F(PulmetraResultBar, FormatsZeroAndOneShowNoQualityCodeRow) {
    for (int t : {1, 4, 5})
        for (int f : {0, 1}) {
            const std::string path = barstest::FixtureDir() + FixtureName(t, f);
            ASSERT_EQ(control->Open(path.c_str(), 0), t);
            bar.Refresh(control.get(), path);
            CExListCtrl& list = *bar.Params();
            ASSERT_EQ(list.GetItemCount(), 10);
            for (int r = 0; r < 10; ++r)
                for (int c = 2; c < list.columnCount(); ++c)
                    EXPECT_FALSE(list.GetItemText(r, c).startsWith("_")) << t << f << r << c;
            EXPECT_NE(list.GetItemText(9, 0), "FVL Ecode");
        }
}

TEST_F(PulmetraResultBar, TheInterpretationAndTheCommentAreShown) {
    std::string path = barstest::FixtureDir() + "spiro_t1_f2.fvc";
    ASSERT_EQ(control->Open(path.c_str(), 0), 1);
    bar.Refresh(control.get(), path);
    EXPECT_EQ(bar.AnalysisText(), "Moderate Obstruction");
    EXPECT_EQ(bar.Analysis()->toPlainText(), "Moderate Obstruction");
    path = barstest::FixtureDir() + "spiro_t5_f2.fvc";
    ASSERT_EQ(control->Open(path.c_str(), 0), 5);
    bar.Refresh(control.get(), path);
    EXPECT_EQ(bar.AnalysisText(), "Mild Obstruction(B)\r\nNormal(P)");
    EXPECT_EQ(bar.Analysis()->toPlainText(), "Mild Obstruction(B)\nNormal(P)");
    // The fixture's comment is longer than the typing limit and shown whole.
    const QString comment = pmstr::ToQ(control->GetInformation(18));
    ASSERT_GT(comment.size(), R::kCommentLimit);
    EXPECT_EQ(bar.Comment()->text(), comment);
    EXPECT_TRUE(bar.Comment()->isEnabled());
    EXPECT_TRUE(bar.SaveButton()->isEnabled());
    // The window's has-file flag governs the comment and its button.
    bar.Refresh(control.get(), path, false);
    EXPECT_FALSE(bar.Comment()->isEnabled());
    EXPECT_FALSE(bar.SaveButton()->isEnabled());
    EXPECT_TRUE(bar.Params()->isEnabled());
}

TEST_F(PulmetraResultBar, TheCommentIsSavedIntoTheTestFile) {
    const std::string path = barstest::CopyFixture("spiro_t2_f2.svc", dir);
    ASSERT_EQ(control->Open(path.c_str(), 0), 2);
    bar.Refresh(control.get(), path);
    bar.show();
    bar.Comment()->clear();
    QTest::keyClicks(bar.Comment(), "Reviewed: mild restriction, repeat in 6 months please");
    EXPECT_EQ(bar.Comment()->text().size(), R::kCommentLimit);
    const QString typed = bar.Comment()->text();
    testsupport::CScriptedNotifier notifier;
    QTest::mouseClick(bar.SaveButton(), Qt::LeftButton);
    ASSERT_EQ(notifier.calls.size(), 1u);
    EXPECT_EQ(pmstr::ToQ(notifier.calls[0].text), "Exame salvo com sucesso.");
    EXPECT_EQ(pmstr::ToQ(barstest::ReadInformation(path, 18)), typed);
    EXPECT_EQ(barstest::ReadInformation(path, 0), "PT2-F2-ABCDEFGHI");

    bar.Refresh(control.get(), dir / "missing/x.svc");
    bar.OnSaveComment();
    ASSERT_EQ(notifier.calls.size(), 2u);
    EXPECT_EQ(pmstr::ToQ(notifier.calls[1].text), "Falha ao gravar o arquivo Spiro.");
}

TEST_F(PulmetraResultBar, WithoutAnExamTheBarIsEmptyAndDisabled) {
    const std::string path = barstest::FixtureDir() + "spiro_t5_f2.fvc";
    ASSERT_EQ(control->Open(path.c_str(), 0), 5);
    bar.Refresh(control.get(), path);
    ASSERT_GT(bar.Params()->GetItemCount(), 0);
    for (int n = 0; n < 2; ++n) {
        if (n == 0) {
            bar.Refresh(nullptr);
        } else {
            control->Clear();
            bar.Refresh(control.get(), path);
        }
        EXPECT_EQ(bar.Params()->GetItemCount(), 0);
        EXPECT_EQ(bar.Params()->columnCount(), 0);
        EXPECT_TRUE(bar.Analysis()->toPlainText().isEmpty());
        EXPECT_TRUE(bar.Comment()->text().isEmpty());
        for (QWidget* w : std::initializer_list<QWidget*>{bar.Params(), bar.Analysis(),
                                                          bar.Comment(), bar.SaveButton()})
            EXPECT_FALSE(w->isEnabled());
    }
    testsupport::CScriptedNotifier notifier;
    bar.Refresh(nullptr);
    bar.OnSaveComment();
    bar.Refresh(control.get(), path);
    bar.OnSaveComment();
    ASSERT_EQ(notifier.calls.size(), 2u);
    EXPECT_EQ(notifier.calls[0].text, pmstr::LoadString(pmstr::IDS_NO_EXAM));
    EXPECT_EQ(notifier.calls[1].text, pmstr::LoadString(pmstr::IDS_NO_RECORD));
}

TEST_F(PulmetraResultBar, MinimizingLeavesASixPixelStripAndTheFrameLaysOut) {
    int nLayouts = 0;
    bar.SetLayoutHandler([&] { ++nLayouts; });
    bar.resize(800, 200);
    bar.show();
    QTest::mouseClick(bar.MinimizeButton(), Qt::LeftButton);
    EXPECT_TRUE(bar.IsMinimized());
    EXPECT_EQ(bar.height(), 6);
    EXPECT_EQ(bar.MinimizeButton()->toolTip(), "Restore");
    EXPECT_EQ(bar.MinimizeButton()->size(), QSize(50, 6));
    EXPECT_EQ(bar.MinimizeButton()->geometry().right(), bar.width() - 1);
    EXPECT_EQ(nLayouts, 1);
    QTest::mouseClick(bar.MinimizeButton(), Qt::LeftButton);
    EXPECT_FALSE(bar.IsMinimized());
    EXPECT_EQ(bar.MinimizeButton()->toolTip(), "Minimize");
    EXPECT_EQ(nLayouts, 2);
}

}  // namespace
