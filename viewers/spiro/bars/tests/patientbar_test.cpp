// The patient bar with the real control over the spirometry fixtures: what it shows, what
// editing allows, and what "Salvar Info" leaves in the test file (read back by the record
// reader), the shown words translated back.
#include <gtest/gtest.h>

#include <QLabel>
#include <QSignalSpy>
#include <QTest>

#include "barsfixture.h"
#include "pulmetra/bars/barstrings.h"
#include "pulmetra/bars/patientbar.h"

using barstest::CRealControl;
using P = CPulmetraPatientBar;

namespace {

QString U(const char* utf8) {
    return QString::fromUtf8(utf8);
}

struct PulmetraPatientBar : ::testing::Test {
    void SetUp() override { ASSERT_TRUE(control.IsCreated()) << control.Error(); }
    CRealControl control;
    P bar;
    testsupport::CTempDir dir;
};

TEST_F(PulmetraPatientBar, ShowsTheTestsPatientWithShownWordsAndEnablesTheBar) {
    const std::string path = barstest::FixtureDir() + "spiro_t4_f2.fvc";
    ASSERT_EQ(control->Open(path.c_str(), 0), 4);
    bar.Refresh(control.get(), path);
    const std::pair<UINT, QString> expected[] = {
        {P::IDC_ID, "PT4-F2-ABCDEFGHI"},
        {P::IDC_NAME, U("João Gonçalves")},
        {P::IDC_SURNAME, "Ward 42"},
        {P::IDC_AGE, "47"},
        {P::IDC_HEIGHT, "171"},
        {P::IDC_WEIGHT, "72"},
        {P::IDC_SEX, "Masculino"},
        {P::IDC_RACE, "Branco"},
        {P::IDC_SMOKER, "Sim"},
        {P::IDC_SMOKE_YEARS, "12"},
        {P::IDC_PACKS, U("1/2 maço/dia")},
        {P::IDC_DOCTOR, "Dr. Kim"},
        {P::IDC_HOSPITAL, "City Clinic"},
        {P::IDC_DATE, "2026/03/14 09:26"},
        {P::IDC_FORMULA, "ECCS/Quanjer"},
    };
    for (const auto& [id, text] : expected) {
        SCOPED_TRACE(id);
        ASSERT_NE(bar.Field(id), nullptr);
        EXPECT_EQ(bar.Field(id)->text(), text);
        EXPECT_TRUE(bar.Field(id)->isEnabled());
        EXPECT_FALSE(bar.Field(id)->IsKeyboardInputEnabled());
    }
    EXPECT_EQ(bar.WeightUnit()->text(), "Kg");
    EXPECT_TRUE(bar.EditButton()->isEnabled());
    EXPECT_TRUE(bar.SaveButton()->isEnabled());
    // Each list is on the entry that is the shown text.
    EXPECT_EQ(bar.List(P::IDC_SEX_LIST)->currentText(), "Masculino");
    EXPECT_EQ(bar.List(P::IDC_RACE_LIST)->currentText(), "Branco");
    EXPECT_EQ(bar.List(P::IDC_SMOKER_LIST)->currentText(), "Sim");
    EXPECT_EQ(bar.List(P::IDC_PACKS_LIST)->currentText(), U("1/2 maço/dia"));
}

TEST_F(PulmetraPatientBar, APoundTestShowsLbAndALongHospitalWhole) {
    for (const char* name : {"spiro_t2_f2.svc", "spiro_t5_f1.fvc"}) {
        SCOPED_TRACE(name);
        const std::string path = barstest::FixtureDir() + name;
        ASSERT_GT(control->Open(path.c_str(), 0), 0);
        bar.Refresh(control.get(), path);
        EXPECT_EQ(bar.WeightUnit()->text(), "lb");
        EXPECT_EQ(bar.Field(P::IDC_WEIGHT)->text(), "150");
    }
    EXPECT_EQ(bar.Field(P::IDC_HOSPITAL)->text(), "St. Hospital of the Valley");
    const std::string metric = barstest::FixtureDir() + "spiro_t1_f2.fvc";
    ASSERT_EQ(control->Open(metric.c_str(), 0), 1);
    bar.Refresh(control.get(), metric);
    EXPECT_EQ(bar.WeightUnit()->text(), "Kg");
}

TEST_F(PulmetraPatientBar, WithoutAnExamEveryFieldIsEmptyAndTheBarDisabled) {
    const std::string path = barstest::FixtureDir() + "spiro_t2_f2.svc";
    ASSERT_EQ(control->Open(path.c_str(), 0), 2);
    bar.Refresh(control.get(), path);
    bar.OnEdit(true);
    ASSERT_EQ(bar.WeightUnit()->text(), "lb");
    for (int n = 0; n < 2; ++n) {
        if (n == 0) {
            bar.Refresh(nullptr);
        } else {
            control->Clear();  // a window whose control holds no test
            bar.Refresh(control.get(), path);
        }
        for (UINT id :
             {P::IDC_ID, P::IDC_NAME, P::IDC_SURNAME, P::IDC_AGE, P::IDC_HEIGHT, P::IDC_WEIGHT,
              P::IDC_SEX, P::IDC_RACE, P::IDC_SMOKER, P::IDC_SMOKE_YEARS, P::IDC_PACKS,
              P::IDC_DOCTOR, P::IDC_HOSPITAL, P::IDC_DATE, P::IDC_FORMULA}) {
            SCOPED_TRACE(id);
            EXPECT_TRUE(bar.Field(id)->text().isEmpty());
            EXPECT_FALSE(bar.Field(id)->isEnabled());
        }
        EXPECT_EQ(bar.WeightUnit()->text(), "Kg");
        EXPECT_FALSE(bar.EditButton()->isEnabled());
        EXPECT_FALSE(bar.SaveButton()->isEnabled());
        EXPECT_FALSE(bar.IsEditing());
        EXPECT_EQ(bar.EditButton()->GetCheck(), 0);
    }
    // Saving anyway: no exam, then an exam whose control holds no test.
    testsupport::CScriptedNotifier notifier;
    bar.Refresh(nullptr);
    bar.OnSave();
    bar.Refresh(control.get(), path);
    bar.OnSave();
    ASSERT_EQ(notifier.calls.size(), 2u);
    EXPECT_EQ(notifier.calls[0].text, pmstr::LoadString(pmstr::IDS_NO_EXAM));
    EXPECT_EQ(pmstr::ToQ(notifier.calls[0].text), U("Os dados do exame atual não são válidos !"));
    EXPECT_EQ(pmstr::ToQ(notifier.calls[1].text), U("Os dados do exame Qar não é válido!!!"));
}

TEST_F(PulmetraPatientBar, EditingOpensTheTypedFieldsAndSwapsSmokerAndPacksForTheirLists) {
    const std::string path = barstest::FixtureDir() + "spiro_t1_f2.fvc";
    ASSERT_EQ(control->Open(path.c_str(), 0), 1);
    bar.Refresh(control.get(), path);
    bar.show();
    QTest::mouseClick(bar.EditButton(), Qt::LeftButton);
    EXPECT_TRUE(bar.IsEditing());
    const UINT typed[] = {P::IDC_ID,     P::IDC_NAME,     P::IDC_SURNAME, P::IDC_SMOKE_YEARS,
                          P::IDC_DOCTOR, P::IDC_HOSPITAL, P::IDC_SMOKER,  P::IDC_PACKS};
    const UINT shown[] = {P::IDC_AGE,  P::IDC_HEIGHT, P::IDC_WEIGHT, P::IDC_SEX,
                          P::IDC_RACE, P::IDC_DATE,   P::IDC_FORMULA};
    for (UINT id : typed)
        EXPECT_TRUE(bar.Field(id)->IsKeyboardInputEnabled()) << id;
    for (UINT id : shown)
        EXPECT_FALSE(bar.Field(id)->IsKeyboardInputEnabled()) << id;
    EXPECT_TRUE(bar.List(P::IDC_SMOKER_LIST)->isVisible());
    EXPECT_TRUE(bar.List(P::IDC_PACKS_LIST)->isVisible());
    EXPECT_FALSE(bar.Field(P::IDC_SMOKER)->isVisible());
    EXPECT_FALSE(bar.Field(P::IDC_PACKS)->isVisible());
    EXPECT_EQ(bar.List(P::IDC_SMOKER_LIST)->currentText(), "Sim");
    EXPECT_FALSE(bar.List(P::IDC_SEX_LIST)->isVisible());
    // Typing stops at the test file's width; a shown text is never cut.
    bar.Field(P::IDC_ID)->clear();
    QTest::keyClicks(bar.Field(P::IDC_ID), "ABCDEFGHIJKLMNOPQRSTUVWXYZ");
    EXPECT_EQ(bar.Field(P::IDC_ID)->text(), "ABCDEFGHIJKLMNOP");
    bar.Field(P::IDC_SMOKE_YEARS)->clear();
    QTest::keyClicks(bar.Field(P::IDC_SMOKE_YEARS), "12345");
    EXPECT_EQ(bar.Field(P::IDC_SMOKE_YEARS)->text(), "123");
    QTest::mouseClick(bar.EditButton(), Qt::LeftButton);
    EXPECT_FALSE(bar.IsEditing());
    for (UINT id : typed)
        EXPECT_FALSE(bar.Field(id)->IsKeyboardInputEnabled()) << id;
    EXPECT_FALSE(bar.List(P::IDC_SMOKER_LIST)->isVisible());
    EXPECT_TRUE(bar.Field(P::IDC_SMOKER)->isVisible());
}

// Edited fields and the lists' choices reach the test file as the file keeps them.
TEST_F(PulmetraPatientBar, SalvarInfoWritesTheFieldsBackTranslated) {
    struct Case {
        const char* race;
        const char* smoker;
        const char* packs;
        const char* storedRace;
        const char* storedSmoke;
        const char* storedPacks;
    };
    const Case cases[] = {
        {"Negro", "Não", "Mais de 2 maços/dia", "Black", "No", "More two pack/day"},
        {"Branco", "Sim", "1/4 maço/dia", "Caucasian", "Yes", "Quarter pack/day"},
        {"Oriental", "Não", "1 maço/dia", "Oriental", "No", "One pack/day"},
        {"Branco", "Sim", "2 maços/dia", "Caucasian", "Yes", "Two pack/day"},
    };
    const std::string path = barstest::CopyFixture("spiro_t4_f2.fvc", dir);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.race);
        ASSERT_EQ(control->Open(path.c_str(), 0), 4);
        bar.Refresh(control.get(), path);
        bar.OnEdit(true);
        bar.Field(P::IDC_ID)->setText("NEW-ID");
        bar.Field(P::IDC_NAME)->setText(U("Zoë"));
        bar.Field(P::IDC_SURNAME)->setText("Ward 7");
        bar.Field(P::IDC_SMOKE_YEARS)->setText("5");
        bar.Field(P::IDC_DOCTOR)->setText("Dr. Who");
        bar.Field(P::IDC_HOSPITAL)->setText("Other Clinic");
        bar.List(P::IDC_RACE_LIST)->setCurrentText(U(c.race));
        bar.List(P::IDC_SMOKER_LIST)->setCurrentText(U(c.smoker));
        bar.List(P::IDC_PACKS_LIST)->setCurrentText(U(c.packs));
        testsupport::CScriptedNotifier notifier;
        bar.OnSave();
        ASSERT_EQ(notifier.calls.size(), 1u);
        EXPECT_EQ(pmstr::ToQ(notifier.calls[0].text), "Exame salvo com sucesso.");
        EXPECT_EQ(barstest::ReadRace(path), c.storedRace);
        EXPECT_EQ(barstest::ReadSmoke(path), c.storedSmoke);
        EXPECT_EQ(barstest::ReadSmokePack(path), c.storedPacks);
        EXPECT_EQ(barstest::ReadInformation(path, 0), "NEW-ID");
        EXPECT_EQ(pmstr::ToQ(barstest::ReadInformation(path, 1)), U("Zoë"));
        EXPECT_EQ(barstest::ReadInformation(path, 28), "Ward 7");
        EXPECT_EQ(barstest::ReadInformation(path, 8), "5");
        EXPECT_EQ(barstest::ReadInformation(path, 17), "Dr. Who");
        EXPECT_EQ(barstest::ReadInformation(path, 16), "Other Clinic");
        // The display-only fields go back as they were, the sex as the file's word.
        EXPECT_EQ(barstest::ReadInformation(path, 3), "Male");
        EXPECT_EQ(barstest::ReadInformation(path, 2), "47");
        EXPECT_EQ(barstest::ReadInformation(path, 4), "171");
        EXPECT_EQ(barstest::ReadInformation(path, 5), "72");
        // The fields show the chosen words.
        EXPECT_EQ(bar.Field(P::IDC_RACE)->text(), U(c.race));
        EXPECT_EQ(bar.Field(P::IDC_SMOKER)->text(), U(c.smoker));
    }
}

TEST_F(PulmetraPatientBar, APoundTestStaysInPoundsAfterASave) {
    const std::string path = barstest::CopyFixture("spiro_t5_f2.fvc", dir);
    ASSERT_EQ(control->Open(path.c_str(), 0), 5);
    bar.Refresh(control.get(), path);
    bar.Field(P::IDC_SURNAME)->setText("Ward 9");
    testsupport::CScriptedNotifier notifier;
    bar.OnSave();
    EXPECT_EQ(barstest::ReadInformation(path, 5), "150");
    EXPECT_EQ(barstest::ReadInformation(path, 27), "1");
    EXPECT_EQ(barstest::ReadInformation(path, 28), "Ward 9");
    // Shown again from the saved file: still pounds.
    ASSERT_EQ(control->Open(path.c_str(), 0), 5);
    bar.Refresh(control.get(), path);
    EXPECT_EQ(bar.WeightUnit()->text(), "lb");
}

TEST_F(PulmetraPatientBar, AFailedSaveSaysSoAndLeavesTheFileAlone) {
    const std::string path = barstest::CopyFixture("spiro_t1_f2.fvc", dir);
    ASSERT_EQ(control->Open(path.c_str(), 0), 1);
    const std::string before = testsupport::ReadFile(path);
    bar.Refresh(control.get(), dir / "no/such/folder/x.fvc");
    bar.Field(P::IDC_ID)->setText("CHANGED");
    testsupport::CScriptedNotifier notifier;
    bar.OnSave();
    ASSERT_EQ(notifier.calls.size(), 1u);
    EXPECT_EQ(pmstr::ToQ(notifier.calls[0].text), "Falha ao gravar o arquivo Spiro.");
    EXPECT_NE(notifier.calls[0].type & platform::MB_ICONERROR, 0u);
    EXPECT_EQ(testsupport::ReadFile(path), before);
    EXPECT_FALSE(testsupport::Exists(dir / "no"));
}

// A sex or ethnicity that no list entry shows is kept as it is, not replaced by an entry
// or emptied.
TEST_F(PulmetraPatientBar, ValuesNoListShowsAreKept) {
    const std::string path = barstest::CopyFixture("spiro_t1_f2.fvc", dir);
    ASSERT_EQ(control->Open(path.c_str(), 0), 1);
    control->SetInformation(3, "Other");
    bar.Refresh(control.get(), path);
    EXPECT_EQ(bar.Field(P::IDC_SEX)->text(), "Other");
    EXPECT_EQ(bar.List(P::IDC_SEX_LIST)->currentIndex(), -1);
    testsupport::CScriptedNotifier notifier;
    bar.OnSave();
    EXPECT_EQ(barstest::ReadInformation(path, 3), "Other");
    EXPECT_EQ(barstest::ReadRace(path), "Caucasian");
    // "Asian", an older name, goes back as "Oriental".
    bar.List(P::IDC_RACE_LIST)->setCurrentIndex(-1);
    bar.Field(P::IDC_RACE)->setText("Asian");
    bar.OnSave();
    EXPECT_EQ(barstest::ReadRace(path), "Oriental");
}

}  // namespace
